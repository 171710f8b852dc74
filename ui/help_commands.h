#pragma once
// The Help menu's User Manual and Check for Updates. Neither touches the list, and
// both work during a pass.

#include <QString>

class QWidget;

namespace vellmark::ui {

class DialogSeam;

inline const QString kManualPdf = QStringLiteral("velm.pdf");
inline const QString kManualDoc = QStringLiteral("velm.doc");
inline const QString kManualMissing =
    QStringLiteral("Help File velm.pdf or velm.doc not found in the application folder");

// Opens velm.pdf with the desktop's program for it, from the program's folder or else
// the current one; when it is missing or nothing opens it, velm.doc the same way;
// when that is missing too, says so.
void OpenUserManual(DialogSeam& dialogs, QWidget* parent, const QString& programFolder);

// Opens the update page of the project's web site, the outcome not reported; says so
// when the program was built without the site's address.
void OpenUpdatesPage(DialogSeam& dialogs, QWidget* parent);

}  // namespace vellmark::ui
