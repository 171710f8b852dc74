#include "ui/dialog_seam.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QRegularExpression>
#include <QThread>

namespace vellmark::ui {

// Dialogs belong to the window's thread; a reader's thread must hand them over.
void DialogSeam::checkThread() {
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) return;
  ++wrongThreadCalls;
  Q_ASSERT(!"dialog shown off the window's thread");
}

void DialogSeam::message(QWidget* parent, const QString& text, QMessageBox::Icon icon, const QString& title) {
  checkThread();
  messages.append({text, icon, title});
  if (scripted_) return;
  QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

bool DialogSeam::question(QWidget* parent, const QString& text, const QString& title) {
  checkThread();
  messages.append({text, QMessageBox::Question, title});
  if (scripted_) return !answers_.isEmpty() && answers_.dequeue() == QMessageBox::Yes;
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

QString DialogSeam::KindOf(const QString& filter) {
  if (filter.contains(QLatin1String("*.vmr"))) return QStringLiteral("report");
  if (filter.contains(QLatin1String("*.xlsx"))) return QStringLiteral("workbook");
  return filter;
}

QString DialogSeam::chosen(const QString& filter, const QString& name) {
  if (!name.isEmpty()) folders.insert(KindOf(filter), QFileInfo(name).absolutePath());
  return name;
}

QString DialogSeam::openFileName(QWidget* parent, const QString& filter, const QString& offered) {
  checkThread();
  fileDialogs.append("open " + filter);
  if (scripted_) return chosen(filter, fileNames_.isEmpty() ? QString() : fileNames_.dequeue());
  const QString start = offered.isEmpty() ? folders.value(KindOf(filter)) : offered;
  return chosen(filter, QFileDialog::getOpenFileName(parent, QString(), start, filter));
}

QString DialogSeam::saveFileName(QWidget* parent, const QString& filter) {
  checkThread();
  fileDialogs.append("save " + filter);
  if (scripted_) return chosen(filter, fileNames_.isEmpty() ? QString() : fileNames_.dequeue());
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(filter);
  if (const QString folder = folders.value(KindOf(filter)); !folder.isEmpty()) dialog.setDirectory(folder);
  // The commands ask their own overwrite question, in one wording.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!filter.contains("*.vmr")) {
    // Other files (the workbook) get the filter's extension; a report name typed
    // without an extension is used as typed.
    static const QRegularExpression firstSuffix(R"(\(\*\.(\w+))");
    if (auto m = firstSuffix.match(filter); m.hasMatch()) dialog.setDefaultSuffix(m.captured(1));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return chosen(filter, dialog.selectedFiles().first());
}

std::optional<int> DialogSeam::number(QWidget* parent, const QString& title, const QString& label, int value, int min,
                                      int max) {
  checkThread();
  messages.append({label, QMessageBox::Question, title});
  if (scripted_) return numbers_.isEmpty() ? std::nullopt : std::optional(numbers_.dequeue());
  bool ok = false;
  const int chosen = QInputDialog::getInt(parent, title, label, value, min, max, 1, &ok);
  return ok ? std::optional(chosen) : std::nullopt;
}

void DialogSeam::openDocument(const QUrl& url) {
  openedDocuments.append(url);
  if (!scripted_) QDesktopServices::openUrl(url);
}

QString QtNameFilters(const QString& barFilter) {
  if (!barFilter.contains('|')) return barFilter;
  const QStringList parts = barFilter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i].trimmed();
    if (int open = name.indexOf('('); open >= 0) name = name.left(open).trimmed();
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts))
      patterns.append(p.trimmed() == "*.*" ? QStringLiteral("*") : p.trimmed());
    filters.append(name + " (" + patterns.join(' ') + ")");
  }
  return filters.join(";;");
}

}  // namespace vellmark::ui
