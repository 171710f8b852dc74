#include "ui/window_settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace vellmark::ui {

WindowSettings::WindowSettings() {
  if (QCoreApplication::organizationName().isEmpty()) return;
  store_ = std::make_unique<QSettings>();
  geometry_ = store_->value("window/geometry").toByteArray();
  windowState_ = store_->value("window/state").toByteArray();
  columns_ = store_->value("list/columns").toByteArray();
  store_->beginGroup("folders");
  for (const QString& kind : store_->childKeys()) folders_.insert(kind, store_->value(kind).toString());
  store_->endGroup();
  recent_ = store_->value("reports/recent").toStringList();
  dateYear_ = store_->value("dates/year", 0).toInt();
}

WindowSettings::~WindowSettings() = default;

void WindowSettings::write(const QString& key, const QVariant& value) {
  if (store_) store_->setValue(key, value);
}

QByteArray WindowSettings::geometry() const { return geometry_; }
QByteArray WindowSettings::windowState() const { return windowState_; }
QByteArray WindowSettings::columns() const { return columns_; }

void WindowSettings::setLayout(const QByteArray& geometry, const QByteArray& windowState, const QByteArray& columns) {
  geometry_ = geometry;
  windowState_ = windowState;
  columns_ = columns;
  write("window/geometry", geometry);
  write("window/state", windowState);
  write("list/columns", columns);
}

void WindowSettings::setFolders(const QHash<QString, QString>& folders) {
  folders_ = folders;
  for (auto it = folders.begin(); it != folders.end(); ++it) write("folders/" + it.key(), it.value());
}

void WindowSettings::addRecentReport(const QString& path) {
  recent_.removeAll(path);
  recent_.prepend(path);
  while (recent_.size() > kRecentReports) recent_.removeLast();
  write("reports/recent", recent_);
}

void WindowSettings::removeRecentReport(const QString& path) {
  recent_.removeAll(path);
  write("reports/recent", recent_);
}

void WindowSettings::setDateYear(int year) {
  dateYear_ = year;
  write("dates/year", year);
}

}  // namespace vellmark::ui
