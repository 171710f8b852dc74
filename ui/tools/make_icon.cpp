// Writes the application's picture as a PNG for the desktop entry:
//   vellmark-make-icon vellmark.png 256

#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "ui/icons.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const int size = argc == 3 ? std::atoi(argv[2]) : 0;
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "usage: vellmark-make-icon OUTPUT.png SIZE (16 to 1024)\n");
    return 2;
  }
  if (!vellmark::ui::ApplicationPicture(size).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "vellmark-make-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
