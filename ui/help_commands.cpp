#include "ui/help_commands.h"

#include <QDir>
#include <QFileInfo>

#include "core/texts.h"
#include "ui/dialog_seam.h"
#include "ui/project_links.h"

namespace vellmark::ui {

namespace {

const QString kTitle = QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size());

// The document beside the program, else in the current folder; empty when neither.
QString Find(const QString& name, const QString& programFolder) {
  for (const QString& folder : {programFolder, QDir::currentPath()}) {
    const QFileInfo file(QDir(folder), name);
    if (!folder.isEmpty() && file.isFile()) return file.absoluteFilePath();
  }
  return {};
}

}  // namespace

void OpenUserManual(DialogSeam& dialogs, QWidget* parent, const QString& programFolder) {
  // The desktop only says whether it opened something, not why not: look first.
  const QString pdf = Find(kManualPdf, programFolder);
  if (!pdf.isEmpty() && dialogs.openLocalDocument(pdf)) return;
  const QString doc = Find(kManualDoc, programFolder);
  if (!doc.isEmpty()) {
    // A .doc with no program for it is not reported.
    dialogs.openLocalDocument(doc);
    return;
  }
  dialogs.message(parent, kManualMissing, QMessageBox::Critical, kTitle);
}

void OpenUpdatesPage(DialogSeam& dialogs, QWidget* parent) {
  if (HasProjectAddress()) dialogs.openDocument(UpdatesPage());
  else dialogs.message(parent, kNoProjectAddress, QMessageBox::Information, kTitle);
}

}  // namespace vellmark::ui
