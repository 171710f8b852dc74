// Renders the user manual (Markdown) to the PDF that User Manual opens:
//   vellmark-make-manual docs/manual.md velm.pdf
// Pictures named in the manual are read from its folder. Needs a Qt platform; the
// build runs it on the offscreen one.

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdio>

#include "ui/icons.h"

namespace {

// Loads the pictures the manual names from its folder, drawing those wider than the
// text at the text's width. A missing picture is an error: the build should say so.
bool PlaceImages(QTextDocument& document, const QString& folder, qreal textWidth) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextImageFormat format = fragment.charFormat().toImageFormat();
      if (!format.isValid()) continue;
      const QUrl name(format.name());
      QImage image = document.resource(QTextDocument::ImageResource, name).value<QImage>();
      if (image.isNull() && name.isRelative()) {
        image.load(folder + '/' + name.path());
        if (image.isNull()) {
          std::fprintf(stderr, "vellmark-make-manual: cannot read picture %s\n", qPrintable(name.path()));
          return false;
        }
        document.addResource(QTextDocument::ImageResource, name, image);
      }
      if (image.isNull() || image.width() <= textWidth) continue;
      format.setWidth(textWidth);
      format.setHeight(image.height() * textWidth / image.width());
      QTextCursor cursor(&document);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(format);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: vellmark-make-manual MANUAL.md OUTPUT.pdf\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString target = QString::fromLocal8Bit(argv[2]);
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "vellmark-make-manual: %s: %s\n", argv[1], qPrintable(in.errorString()));
    return 1;
  }
  const QString markdown = QString::fromUtf8(in.readAll());

  QTextDocument document;
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(10);
  document.setDefaultFont(font);
  document.setDefaultStyleSheet(QStringLiteral("code { font-family: 'DejaVu Sans Mono'; }"));
  document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);

  // The program's picture above the title.
  document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("vellmark:icon")),
                       vellmark::ui::ApplicationPicture(96).toImage());
  QTextCursor top(&document);
  top.insertImage(QStringLiteral("vellmark:icon"));
  top.insertBlock();

  QPdfWriter pdf(target);
  pdf.setTitle(QStringLiteral("Vellmark User Manual"));
  pdf.setCreator(QStringLiteral("Vellmark"));
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 16, 18, 16),
                                QPageLayout::Millimeter));
  // print() lays the text out at the writer's resolution; pictures are in points.
  const QRectF text = pdf.pageLayout().paintRect(QPageLayout::Point);
  if (!PlaceImages(document, QFileInfo(source).absolutePath(), text.width() * 0.95)) return 1;
  document.print(&pdf);
  return QFileInfo(target).size() > 0 ? 0 : 1;
}
