#include "ui/timeline_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QTimeZone>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "ui/timeline_model.h"

namespace vellmark::ui {

namespace {

constexpr int kBarHeight = 14;
constexpr double kZoomStep = 1.25;
constexpr double kMostSecondsPerPixel = 86400.0 * 365;
constexpr double kFewestSecondsPerPixel = 1;

QDateTime Utc(qint64 seconds) { return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()); }

}  // namespace

TimelineView::TimelineView(TimelineModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("timelineView");
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumHeight(kAxisHeight + kLaneHeight + kFooterHeight);
  connect(&model_, &TimelineModel::changed, this, &TimelineView::modelChanged);
  fitAll();
}

QSize TimelineView::sizeHint() const {
  return {800, kAxisHeight + std::max(model_.laneCount(), 3) * kLaneHeight + kFooterHeight};
}

void TimelineView::modelChanged() {
  if (!userMoved_) fitAll();
  updateGeometry();
  update();
}

void TimelineView::fitAll() {
  userMoved_ = false;
  const int width = std::max(this->width() - kLabelWidth - 10, 100);
  if (auto span = model_.span()) {
    // A little room at both ends, so the first and last bar do not touch the edges.
    const qint64 length = std::max<qint64>(span->second - span->first, 3600);
    secondsPerPixel_ = std::clamp(length * 1.04 / width, kFewestSecondsPerPixel, kMostSecondsPerPixel);
    viewStart_ = span->first - static_cast<qint64>(length * 0.02);
  }
  update();
}

void TimelineView::showSpan(qint64 from, qint64 to) {
  const int width = std::max(this->width() - kLabelWidth, 100);
  secondsPerPixel_ = std::clamp(static_cast<double>(std::max<qint64>(to - from, 60)) / width, kFewestSecondsPerPixel,
                                kMostSecondsPerPixel);
  viewStart_ = from;
  userMoved_ = true;
  update();
}

void TimelineView::zoom(double factor, int x) {
  const qint64 anchor = timeAt(x);
  secondsPerPixel_ = std::clamp(secondsPerPixel_ / factor, kFewestSecondsPerPixel, kMostSecondsPerPixel);
  viewStart_ = anchor - static_cast<qint64>((x - kLabelWidth) * secondsPerPixel_);
  userMoved_ = true;
  update();
}

void TimelineView::pan(int pixels) {
  viewStart_ += static_cast<qint64>(pixels * secondsPerPixel_);
  userMoved_ = true;
  update();
}

qint64 TimelineView::timeAt(int x) const {
  return viewStart_ + static_cast<qint64>(std::floor((x - kLabelWidth) * secondsPerPixel_));
}

double TimelineView::xOf(qint64 seconds) const {
  return kLabelWidth + static_cast<double>(seconds - viewStart_) / secondsPerPixel_;
}

int TimelineView::laneAt(int y) const {
  if (y < kAxisHeight) return -1;
  const int lane = (y - kAxisHeight) / kLaneHeight;
  return lane < model_.laneCount() ? lane : -1;
}

std::optional<std::size_t> TimelineView::rowAt(const QPoint& pos) const {
  const int lane = laneAt(pos.y());
  if (lane < 0 || pos.x() < kLabelWidth) return std::nullopt;
  // A bar is at least two pixels wide: look a pixel either side.
  const TimelineModel::Bar* bar = model_.barAt(lane, timeAt(pos.x()));
  if (!bar) bar = model_.barAt(lane, timeAt(pos.x() - 1));
  if (!bar) bar = model_.barAt(lane, timeAt(pos.x() + 1));
  if (!bar) return std::nullopt;
  return bar->row;
}

QString TimelineView::hoverText(const QPoint& pos) const {
  auto row = rowAt(pos);
  if (!row) return {};
  const TimelineModel::Bar* bar = model_.barOfRow(*row);
  QString text = tr("Row %1: %2\n%3 to %4")
                     .arg(*row + 1)
                     .arg(bar->path, TimelineModel::TimeText(bar->start), TimelineModel::TimeText(bar->end));
  if (bar->duplicate) text += tr("\nduplicate");
  if (bar->sameContent) text += tr("\nsame content as an earlier file");
  if (bar->warned) text += tr("\nhas warnings");
  return text;
}

void TimelineView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint(painter, size());
}

void TimelineView::paint(QPainter& p, const QSize& size) const {
  p.fillRect(QRect(QPoint(0, 0), size), palette().base());
  const int lanes = model_.laneCount();
  // Lane backgrounds and labels.
  for (int lane = 0; lane < lanes; ++lane) {
    const QRect band(0, kAxisHeight + lane * kLaneHeight, size.width(), kLaneHeight);
    if (lane % 2 == 1) p.fillRect(band, palette().alternateBase());
    p.setPen(palette().text().color());
    p.drawText(band.adjusted(6, 0, -(size.width() - kLabelWidth) - 4, 0), Qt::AlignVCenter | Qt::AlignLeft,
               model_.laneLabel(lane));
  }
  p.save();
  p.setClipRect(QRect(kLabelWidth, 0, size.width() - kLabelWidth, size.height()));
  paintAxis(p, size);
  // Gaps lie between bars, behind them; overlaps lie on bars and are laid over them.
  auto paintShades = [&](TimelineModel::ShadeKind kind) {
    for (const auto& shade : model_.shades()) {
      if (shade.kind != kind) continue;
      const double x0 = xOf(shade.from), x1 = xOf(shade.to);
      p.fillRect(QRectF(x0, kAxisHeight + shade.lane * kLaneHeight + 2, std::max(x1 - x0, 2.0), kLaneHeight - 4),
                 shade.colour);
    }
  };
  paintShades(TimelineModel::ShadeKind::Gap);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (const auto& bar : model_.bars()) {
    const double x0 = xOf(bar.start);
    const double w = std::max(xOf(bar.end) - x0, 2.0);
    const QRectF r(x0, kAxisHeight + bar.lane * kLaneHeight + (kLaneHeight - kBarHeight) / 2.0, w, kBarHeight);
    p.fillRect(r, bar.fill);
    for (const auto& hour : bar.hours) {
      const double h0 = xOf(hour.from);
      p.fillRect(QRectF(h0, r.top(), std::max(xOf(hour.to) - h0, 1.0), r.height()), hour.colour);
    }
    p.setPen(QPen(bar.outline, bar.duplicate || bar.sameContent ? 2 : 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    if (bar.selected) {
      p.setPen(QPen(palette().highlight().color(), 3));
      p.drawRect(r.adjusted(-2, -2, 2, 2));
    }
    if (bar.warned) {
      // A small amber flag at the bar's start.
      const QPointF tip(x0, r.top() - 1);
      const QPointF flag[3] = {tip, tip + QPointF(7, 0), tip + QPointF(0, 6)};
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(230, 160, 0));
      p.drawPolygon(flag, 3);
    }
  }
  paintShades(TimelineModel::ShadeKind::Overlap);
  p.restore();
  const auto left = model_.leftOutRows();
  if (!left.empty()) {
    QStringList rows;
    for (std::size_t row : left) rows << QString::number(row + 1);
    p.setPen(palette().text().color());
    p.drawText(QRect(6, kAxisHeight + lanes * kLaneHeight, size.width() - 12, kFooterHeight),
               Qt::AlignVCenter | Qt::AlignLeft, tr("Left out (no real call times): rows %1").arg(rows.join(", ")));
  }
}

void TimelineView::paintAxis(QPainter& p, const QSize& size) const {
  // The smallest step of the ladder that leaves 90 pixels between two labels.
  static constexpr qint64 kSteps[] = {60,        300,       900,       1800,      3600,       3 * 3600,
                                      6 * 3600,  12 * 3600, 86400,     2 * 86400, 7 * 86400,  30 * 86400,
                                      91 * 86400, 365 * 86400, 10 * 365 * 86400LL};
  qint64 step = kSteps[std::size(kSteps) - 1];
  for (qint64 s : kSteps)
    if (s / secondsPerPixel_ >= 90) {
      step = s;
      break;
    }
  const qint64 last = timeAt(size.width());
  const QString format = step < 86400 ? "MM-dd HH:mm" : "yyyy-MM-dd";
  p.setPen(palette().mid().color());
  for (qint64 t = (viewStart_ / step) * step; t <= last; t += step) {
    const double x = xOf(t);
    if (x < kLabelWidth) continue;
    p.drawLine(QPointF(x, kAxisHeight - 4), QPointF(x, size.height()));
    p.save();
    p.setPen(palette().text().color());
    p.drawText(QRectF(x + 3, 0, 120, kAxisHeight), Qt::AlignVCenter | Qt::AlignLeft, Utc(t).toString(format));
    p.restore();
  }
}

void TimelineView::resizeEvent(QResizeEvent*) {
  if (!userMoved_) fitAll();
}

void TimelineView::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0) zoom(std::pow(kZoomStep, notches), static_cast<int>(event->position().x()));
  event->accept();
}

void TimelineView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressedAt_ = event->position().toPoint();
  pressedStart_ = viewStart_;
  dragged_ = false;
}

void TimelineView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (pressedAt_ && (event->buttons() & Qt::LeftButton)) {
    const int dx = pos.x() - pressedAt_->x();
    if (std::abs(dx) > 3) dragged_ = true;
    if (dragged_) {
      viewStart_ = pressedStart_ - static_cast<qint64>(dx * secondsPerPixel_);
      userMoved_ = true;
      update();
    }
    return;
  }
  const QString text = hoverText(pos);
  if (text.isEmpty()) QToolTip::hideText();
  else QToolTip::showText(event->globalPosition().toPoint(), text, this);
}

void TimelineView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressedAt_) return;
  const bool click = !dragged_;
  pressedAt_.reset();
  if (!click) return;
  if (auto row = rowAt(event->position().toPoint())) emit rowClicked(*row);
}

void TimelineView::keyPressEvent(QKeyEvent* event) {
  const int middle = kLabelWidth + (width() - kLabelWidth) / 2;
  switch (event->key()) {
    case Qt::Key_Plus: case Qt::Key_Equal: zoom(kZoomStep, middle); break;
    case Qt::Key_Minus: zoom(1 / kZoomStep, middle); break;
    case Qt::Key_Left: pan(-(width() - kLabelWidth) / 10); break;
    case Qt::Key_Right: pan((width() - kLabelWidth) / 10); break;
    case Qt::Key_Home: case Qt::Key_0: fitAll(); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void TimelineView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  connect(menu.addAction(tr("&Fit All")), &QAction::triggered, this, &TimelineView::fitAll);
  menu.addSeparator();
  connect(menu.addAction(tr("Export as &PNG...")), &QAction::triggered, this, [this] { emit exportRequested("png"); });
  connect(menu.addAction(tr("Export as &SVG...")), &QAction::triggered, this, [this] { emit exportRequested("svg"); });
  menu.exec(event->globalPos());
}

QSize TimelineView::exportSize() const { return size().isEmpty() ? sizeHint() : size(); }

bool TimelineView::exportPng(const QString& path) const {
  QImage image(exportSize(), QImage::Format_ARGB32);
  {
    QPainter painter(&image);
    paint(painter, image.size());
  }
  return image.save(path, "PNG");
}

bool TimelineView::exportSvg(const QString& path) const {
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(exportSize());
  svg.setViewBox(QRect(QPoint(0, 0), exportSize()));
  svg.setTitle("Vellmark timeline");
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  paint(painter, exportSize());
  return painter.end();
}

}  // namespace vellmark::ui
