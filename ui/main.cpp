#include <QApplication>

#include "ui/frmVELM.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vellmark::ui::frmVELM window;
  window.show();
  return app.exec();
}
