#pragma once
// The project's web site: the About box links to it and Check for Updates opens its
// update page. The address is set when the program is built (the CMake cache variable
// VELLMARK_PROJECT_URL); a build without one has no web site to offer.

#include <QString>
#include <QUrl>

#ifndef VELLMARK_PROJECT_URL
#define VELLMARK_PROJECT_URL ""
#endif

namespace vellmark::ui {

inline const QString kProjectAddress = QStringLiteral(VELLMARK_PROJECT_URL);
inline const QString kNoProjectAddress = QStringLiteral("No update address is configured for this build of Vellmark.");

inline bool HasProjectAddress() { return !kProjectAddress.isEmpty(); }
inline QUrl ProjectHomePage() { return QUrl(kProjectAddress); }
inline QUrl UpdatesPage() {
  QString base = kProjectAddress;
  if (!base.endsWith('/')) base += '/';
  return QUrl(base).resolved(QUrl(QStringLiteral("updates/velm.html")));
}

}  // namespace vellmark::ui
