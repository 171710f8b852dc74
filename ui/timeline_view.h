#pragma once
// The timeline: one lane per exchange, each file a bar from its first to its last
// call, gaps shaded red and overlaps orange, duplicates and same-content files in
// their outline colour, rows with warnings flagged. The wheel and + and - zoom, a
// drag and the arrow keys pan, Home fits everything; resting on a bar tells its file,
// clicking it asks for its row. It paints the same way to PNG and SVG files.

#include <QWidget>
#include <optional>

class QPainter;

namespace vellmark::ui {

class TimelineModel;

class TimelineView : public QWidget {
  Q_OBJECT
 public:
  explicit TimelineView(TimelineModel& model, QWidget* parent = nullptr);

  static constexpr int kLabelWidth = 160;
  static constexpr int kAxisHeight = 22;
  static constexpr int kLaneHeight = 24;
  static constexpr int kFooterHeight = 20;

  // The list row of the bar under `pos`, if any.
  std::optional<std::size_t> rowAt(const QPoint& pos) const;
  // The text shown when resting on `pos`: the file, its calls and its marks.
  QString hoverText(const QPoint& pos) const;

  // The seconds at x and the x of a time, at the present zoom.
  qint64 timeAt(int x) const;
  double xOf(qint64 seconds) const;
  double secondsPerPixel() const { return secondsPerPixel_; }

  void fitAll();
  // Shows the times from `from` to `to` across the view's width.
  void showSpan(qint64 from, qint64 to);
  // Zooms by `factor` (above 1: closer) keeping the time at `x` in place.
  void zoom(double factor, int x);
  void pan(int pixels);

  // The picture as the view shows it, at the view's size.
  bool exportPng(const QString& path) const;
  bool exportSvg(const QString& path) const;

  QSize sizeHint() const override;

 signals:
  void rowClicked(std::size_t row);
  // The context menu's exports: "png" or "svg".
  void exportRequested(const QString& format);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void paint(QPainter& painter, const QSize& size) const;
  void paintAxis(QPainter& painter, const QSize& size) const;
  void modelChanged();
  int laneAt(int y) const;
  QSize exportSize() const;

  TimelineModel& model_;
  qint64 viewStart_ = 0;
  double secondsPerPixel_ = 60;
  bool userMoved_ = false;  // zoomed or panned: a change of the list keeps the view
  std::optional<QPoint> pressedAt_;
  qint64 pressedStart_ = 0;
  bool dragged_ = false;
};

}  // namespace vellmark::ui
