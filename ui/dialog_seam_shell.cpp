// The dialog seam's calls on the desktop shell: opening a local document and starting
// a program. Kept apart from the dialogs themselves.

#include <QDesktopServices>
#include <QProcess>

#include "ui/dialog_seam.h"

namespace vellmark::ui {

bool DialogSeam::openLocalDocument(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  openedDocuments.append(url);
  if (m_scripted) return m_shellResults.isEmpty() || m_shellResults.dequeue();
  return QDesktopServices::openUrl(url);
}

bool DialogSeam::startProgram(const QString& program) {
  startedPrograms.append(program);
  if (m_scripted) return m_shellResults.isEmpty() || m_shellResults.dequeue();
  return QProcess::startDetached(program, {});
}

}  // namespace vellmark::ui
