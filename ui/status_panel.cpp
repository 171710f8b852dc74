#include "ui/status_panel.h"

#include <QProgressBar>
#include <QResizeEvent>

namespace vellmark::ui {

StatusPanel::StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize StatusPanel::sizeHint() const { return {width_, QLabel::sizeHint().height()}; }

QSize StatusPanel::minimumSizeHint() const { return {minimumWidth(), QLabel::minimumSizeHint().height()}; }

void StatusPanel::setFullText(const QString& text) {
  full_ = text;
  elide();
}

void StatusPanel::setDescription(const QString& description) {
  description_ = description;
  elide();
}

void StatusPanel::elide() {
  const int room = contentsRect().width() - 2 * margin() - 4;
  const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, qMax(room, 0));
  setText(shown);
  setToolTip(shown != full_ ? full_ : description_);
  setAccessibleDescription(full_);
}

void StatusPanel::carry(QProgressBar* bar, int left, int width, int height, QWidget* beside) {
  bar_ = bar;
  beside_ = beside;
  barLeft_ = left;
  barWidth_ = width;
  barHeight_ = height;
  placeBar();
}

void StatusPanel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  placeBar();
  elide();
}

bool StatusPanel::event(QEvent* event) {
  // The text beside the bar changed its length.
  if (event->type() == QEvent::LayoutRequest) placeBar();
  return QLabel::event(event);
}

void StatusPanel::placeBar() {
  if (!bar_) return;
  const int besideWidth = beside_ && !beside_->sizeHint().isEmpty() ? beside_->sizeHint().width() + 6 : 0;
  constexpr int kStub = 48;
  const int room = this->width() - 2 * barLeft_;
  const int width = qMax(0, qMin(room, qMin(barWidth_, qMax(kStub, room - besideWidth))));
  bar_->setGeometry(barLeft_, qMax(0, (height() - barHeight_) / 2), width, barHeight_);
  if (beside_) {
    const int left = barLeft_ + width + 6;
    beside_->setGeometry(left, 0, qMax(0, this->width() - left - 2), height());
  }
}

}  // namespace vellmark::ui
