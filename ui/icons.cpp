#include "ui/icons.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <functional>

namespace vellmark::ui {

namespace {

// Pictures are drawn on a 16 by 16 canvas.
constexpr int kSize = 16;
using Drawing = std::function<void(QPainter&)>;

// An icon drawn at whatever size and pixel ratio it is shown at, so it stays sharp on
// a screen scaled by 2; greyed out for a disabled command.
class PaintedIcon : public QIconEngine {
 public:
  explicit PaintedIcon(Drawing draw) : draw_(std::move(draw)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap picture = pixmap(rect.size() * ratio, mode, state);
    picture.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, picture);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    // A list shows the same few icons on every row: each size is drawn once.
    const quint64 key = (quint64(size.width()) << 32) | (quint64(size.height()) << 4) | quint64(mode);
    if (auto it = drawn_.constFind(key); it != drawn_.constEnd()) return *it;
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    {
      QPainter p(&picture);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      p.scale(size.width() / double(kSize), size.height() / double(kSize));
      draw_(p);
    }
    if (mode == QIcon::Disabled && qobject_cast<QApplication*>(QCoreApplication::instance())) {
      QStyleOption option;
      picture = QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }
    drawn_.insert(key, picture);
    return picture;
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine* clone() const override { return new PaintedIcon(draw_); }

 private:
  Drawing draw_;
  QHash<quint64, QPixmap> drawn_;
};

// A coloured tile with the family's short mark in white, as large as 16 pixels allow:
// the colour tells the families apart at a glance, the mark when looked at.
void DrawFamilyTile(QPainter& p, const QColor& colour, const QString& mark) {
  QLinearGradient fill(0, 0, 0, kSize);
  fill.setColorAt(0, colour.lighter(118));
  fill.setColorAt(1, colour.darker(112));
  p.setPen(colour.darker(160));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 2.5, 2.5);
  QFont font(QStringLiteral("DejaVu Sans Condensed"));
  font.setStretch(QFont::Condensed);
  font.setPixelSize(mark.size() > 1 ? 9 : 12);
  font.setBold(true);
  font.setHintingPreference(QFont::PreferFullHinting);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, mark);
}

// A sheet of paper, the base of several toolbar pictures.
// The same sheet of records as in the application's icon.
void DrawSheet(QPainter& p) {
  p.setPen(QColor(40, 60, 100));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(2.5, 0.5, 9, 13));
  p.setPen(QPen(QColor(120, 138, 170), 1));
  for (int y = 4; y <= 10; y += 3) p.drawLine(QPointF(4.5, y + 0.5), QPointF(9.5, y + 0.5));
}

void DrawBadge(QPainter& p, const QColor& colour, bool plus) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(QRectF(7.5, 7.5, 8, 8));
  p.setPen(QPen(Qt::white, 1.6));
  p.drawLine(QPointF(9.5, 11.5), QPointF(13.5, 11.5));
  if (plus) p.drawLine(QPointF(11.5, 9.5), QPointF(11.5, 13.5));
}

void DrawToolbarPicture(QPainter& p, ToolbarPicture picture) {
  switch (picture) {
    case ToolbarPicture::Add:
      DrawSheet(p);
      DrawBadge(p, QColor(30, 150, 50), true);
      break;
    case ToolbarPicture::Remove:
      DrawSheet(p);
      DrawBadge(p, QColor(200, 40, 40), false);
      break;
    case ToolbarPicture::Clear: {
      // An eraser wiping a line.
      QPainterPath eraser;
      eraser.moveTo(2, 10);
      eraser.lineTo(9, 3);
      eraser.lineTo(14, 8);
      eraser.lineTo(8, 14);
      eraser.lineTo(6, 14);
      eraser.closeSubpath();
      p.setPen(QColor(130, 30, 50));
      p.setBrush(QColor(225, 75, 95));
      p.drawPath(eraser);
      QPainterPath band;
      band.moveTo(2, 10);
      band.lineTo(5.5, 6.5);
      band.lineTo(10.5, 11.5);
      band.lineTo(8, 14);
      band.lineTo(6, 14);
      band.closeSubpath();
      p.setBrush(QColor(235, 235, 240));
      p.drawPath(band);
      p.setPen(QPen(QColor(40, 60, 100), 1));
      p.drawLine(QPointF(9, 15.5), QPointF(15, 15.5));
      break;
    }
    case ToolbarPicture::Save:
      // A floppy disk.
      p.setPen(QColor(30, 50, 110));
      p.setBrush(QColor(60, 90, 170));
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(3.5, 9.5, 9, 5));
      break;
    case ToolbarPicture::Open:
      // A folder.
      p.setPen(QColor(150, 110, 20));
      p.setBrush(QColor(240, 200, 80));
      p.drawRect(QRectF(1.5, 4.5, 13, 9));
      p.drawRect(QRectF(1.5, 2.5, 5, 2));
      p.setBrush(QColor(250, 220, 120));
      p.drawRect(QRectF(2.5, 6.5, 12, 7));
      break;
    case ToolbarPicture::Analyse:
      // The application's magnifying glass over a sheet of records.
      DrawSheet(p);
      p.setPen(QPen(QColor(230, 150, 20), 1.7));
      p.setBrush(QColor(200, 225, 255, 170));
      p.drawEllipse(QPointF(9.5, 9.5), 3.3, 3.3);
      p.setPen(QPen(QColor(230, 150, 20), 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(12.2, 12.2), QPointF(14.8, 14.8));
      break;
    case ToolbarPicture::Stop: {
      // A red octagon.
      QPolygonF octagon;
      for (QPointF pt : {QPointF(5, 1), QPointF(11, 1), QPointF(15, 5), QPointF(15, 11), QPointF(11, 15),
                         QPointF(5, 15), QPointF(1, 11), QPointF(1, 5)})
        octagon << pt;
      p.setPen(QColor(120, 0, 0));
      p.setBrush(QColor(210, 30, 30));
      p.drawPolygon(octagon);
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4, 7, 8, 2));
      break;
    }
    case ToolbarPicture::Export:
      // A green spreadsheet grid.
      p.setPen(QColor(20, 100, 50));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(QColor(30, 130, 70));
      p.drawRect(QRectF(1.5, 1.5, 13, 3));
      for (int x = 6; x <= 10; x += 4) p.drawLine(QPointF(x + 0.5, 4.5), QPointF(x + 0.5, 14.5));
      for (int y = 8; y <= 11; y += 3) p.drawLine(QPointF(1.5, y + 0.5), QPointF(14.5, y + 0.5));
      break;
    case ToolbarPicture::About: {
      p.setPen(QColor(20, 60, 140));
      p.setBrush(QColor(50, 110, 210));
      p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
      QFont font("serif");
      font.setPixelSize(12);
      font.setBold(true);
      p.setFont(font);
      p.setPen(Qt::white);
      p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, "i");
      break;
    }
  }
}

}  // namespace

QIcon FamilyIcon(int index) {
  // Kept for the life of the process: pixmaps must not outlive the application object
  // in a static destructor.
  static auto* cache = new QHash<int, QIcon>;
  if (index < 1 || index > 8) return {};
  auto it = cache->find(index);
  if (it != cache->end()) return *it;
  struct Look {
    QColor colour;
    const char* mark;
  };
  // Slots 1 to 8 of the switch family table.
  static const Look kLooks[9] = {
      {},
      {QColor(30, 90, 190), "OC"},   // OCB
      {QColor(20, 140, 70), "CD"},   // CDOT
      {QColor(220, 120, 20), "E1"},  // E10B
      {QColor(130, 60, 170), "AX"},  // AXE
      {QColor(0, 140, 150), "5E"},   // 5ESS
      {QColor(180, 40, 50), "EW"},   // EWSD
      {QColor(20, 100, 50), "42"},   // CDOT42
      {QColor(130, 130, 130), "?"},  // Unknown
  };
  const Look look = kLooks[index];
  QIcon icon(new PaintedIcon([look](QPainter& p) { DrawFamilyTile(p, look.colour, QString::fromLatin1(look.mark)); }));
  cache->insert(index, icon);
  return icon;
}

QIcon ToolbarIcon(ToolbarPicture picture) {
  return QIcon(new PaintedIcon([picture](QPainter& p) { DrawToolbarPicture(p, picture); }));
}

QPixmap ApplicationPicture(int size) {
  // A sheet of call records under a magnifying glass, one record marked red as a
  // duplicate: what the program does, on the navy of its toolbar pictures.
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor navyTop(34, 74, 140), navyBottom(18, 44, 92), amber(244, 166, 35);
  if (size < 24) {
    // Too small for detail: fewer, pixel-aligned strokes.
    p.scale(size / 16.0, size / 16.0);
    QLinearGradient ground(0, 0, 0, 16);
    ground.setColorAt(0, navyTop);
    ground.setColorAt(1, navyBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2, 2, 9, 11));
    p.setBrush(QColor(140, 155, 180));
    p.drawRect(QRectF(3, 4, 7, 1));
    p.drawRect(QRectF(3, 10, 5, 1));
    p.setBrush(QColor(210, 40, 40));
    p.drawRect(QRectF(3, 7, 7, 1));
    p.setPen(QPen(amber, 1.6));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(10, 10), 3, 3);
    p.setPen(QPen(amber, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.3, 12.3), QPointF(14.6, 14.6));
    return pixmap;
  }
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient ground(0, 0, 0, 64);
  ground.setColorAt(0, navyTop);
  ground.setColorAt(1, navyBottom);
  p.setPen(QPen(QColor(12, 30, 64), 1.5));
  p.setBrush(ground);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  // The record sheet.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawRoundedRect(QRectF(12, 11, 32, 42), 3, 3);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(10, 9, 32, 42), 3, 3);
  for (int row = 0; row < 5; ++row) {
    const qreal y = 16 + row * 7;
    p.setBrush(row == 2 ? QColor(210, 40, 40) : QColor(150, 165, 190));
    p.drawRoundedRect(QRectF(15, y, row == 4 ? 14 : 22, 3), 1.5, 1.5);
  }
  // The magnifying glass.
  p.setPen(QPen(amber, 5));
  p.setBrush(QColor(200, 225, 255, 110));
  p.drawEllipse(QPointF(41, 40), 10, 10);
  p.setPen(QPen(amber, 7, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(49, 48), QPointF(56, 55));
  return pixmap;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(ApplicationPicture(size));
  return icon;
}

}  // namespace vellmark::ui
