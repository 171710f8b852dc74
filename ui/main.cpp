#include <QApplication>

#include "ui/frmVELM.h"
#include "ui/icons.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vellmark"));
  // Where the window keeps its settings (~/.config/Vellmark/Vellmark.conf).
  QApplication::setOrganizationName(QStringLiteral("Vellmark"));
  // Lets the desktop match the window to vellmark.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("vellmark"));
  QApplication::setWindowIcon(vellmark::ui::ApplicationIcon());
  vellmark::ui::frmVELM window;
  window.show();
  return app.exec();
}
