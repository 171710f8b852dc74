#pragma once
// The project's web site: the About box links to it and Check for Updates opens its
// update page. The one place the address is written.

#include <QString>
#include <QUrl>

namespace vellmark::ui {

inline const QString kProjectAddress = QStringLiteral("https://vellmark.example.org/");

inline QUrl ProjectHomePage() { return QUrl(kProjectAddress); }
inline QUrl UpdatesPage() { return QUrl(kProjectAddress).resolved(QUrl(QStringLiteral("updates/velm.html"))); }

}  // namespace vellmark::ui
