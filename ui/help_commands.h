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

// Opens velm.pdf from the current folder with the desktop's program for it; when it
// is missing or nothing opens it, velm.doc; when that is missing too, says so.
void OpenUserManual(DialogSeam& dialogs, QWidget* parent);

// Opens the update page of the project's web site; the outcome is not reported.
void OpenUpdatesPage(DialogSeam& dialogs);

}  // namespace vellmark::ui
