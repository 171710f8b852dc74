#include <QApplication>

#include "ui/frmVELM.h"
#include "ui/icons.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vellmark"));
  // Lets the desktop match the window to vellmark.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("vellmark"));
  QApplication::setWindowIcon(vellmark::ui::ApplicationIcon());
  vellmark::ui::frmVELM window;
  window.show();
  return app.exec();
}
