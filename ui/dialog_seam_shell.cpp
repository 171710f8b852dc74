// The dialog seam's calls on the desktop shell: opening a local document and starting
// a program. Kept apart from the dialogs themselves.

#include <QDesktopServices>
#include <QProcess>

#include "ui/dialog_seam.h"

namespace vellmark::ui {

bool DialogSeam::openLocalDocument(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  openedDocuments.append(url);
  if (scripted_) return shellResults_.isEmpty() || shellResults_.dequeue();
  return QDesktopServices::openUrl(url);
}

bool DialogSeam::startProgram(const QString& program) {
  startedPrograms.append(program);
  if (scripted_) return shellResults_.isEmpty() || shellResults_.dequeue();
  return QProcess::startDetached(program, {});
}

}  // namespace vellmark::ui
