#pragma once
// What the window keeps from one run to the next: its size and place, the docks, the
// list's column widths, the folder each kind of file dialog used last, the recent
// reports and the year for short dates. Kept with QSettings under the application's
// organisation and name; an application without an organisation name (a test, a
// benchmark) keeps them for the run only.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

namespace vellmark::ui {

class WindowSettings {
 public:
  WindowSettings();
  ~WindowSettings();

  QByteArray geometry() const;
  QByteArray windowState() const;
  QByteArray columns() const;
  void setLayout(const QByteArray& geometry, const QByteArray& windowState, const QByteArray& columns);

  // The folder last used by the dialogs of one kind ("report", "workbook", "files").
  QHash<QString, QString> folders() const { return folders_; }
  void setFolders(const QHash<QString, QString>& folders);

  // Report files opened or saved, the latest first.
  QStringList recentReports() const { return recent_; }
  void addRecentReport(const QString& path);
  void removeRecentReport(const QString& path);

  // The year C-DOT short names and E10B dates take; 0 for the clock's.
  int dateYear() const { return dateYear_; }
  void setDateYear(int year);

  static constexpr int kRecentReports = 8;

 private:
  void write(const QString& key, const QVariant& value);

  std::unique_ptr<QSettings> store_;
  QHash<QString, QString> folders_;
  QStringList recent_;
  int dateYear_ = 0;
  QByteArray geometry_, windowState_, columns_;
};

}  // namespace vellmark::ui
