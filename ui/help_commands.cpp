#include "ui/help_commands.h"

#include <QFileInfo>

#include "core/texts.h"
#include "ui/dialog_seam.h"
#include "ui/project_links.h"

namespace vellmark::ui {

void OpenUserManual(DialogSeam& dialogs, QWidget* parent) {
  // The desktop only says whether it opened something, not why not: look first.
  const QFileInfo pdf(kManualPdf);
  if (pdf.isFile() && dialogs.openLocalDocument(pdf.absoluteFilePath())) return;
  const QFileInfo doc(kManualDoc);
  if (doc.isFile()) {
    // A .doc with no program for it is not reported.
    dialogs.openLocalDocument(doc.absoluteFilePath());
    return;
  }
  dialogs.message(parent, kManualMissing, QMessageBox::Critical, QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size()));
}

void OpenUpdatesPage(DialogSeam& dialogs) { dialogs.openDocument(UpdatesPage()); }

}  // namespace vellmark::ui
