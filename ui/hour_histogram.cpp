#include "ui/hour_histogram.h"

#include <QDateTime>
#include <QPainter>
#include <QTimeZone>
#include <algorithm>

#include "analysis/continuity.h"

namespace vellmark::ui {

namespace {

// The slots stop here: a file whose hours run over years has bad times, not outages.
constexpr qint64 kMostSlots = 24 * 400;

std::optional<qint64> HourSeconds(const std::string& hour) {
  if (hour.size() != 13) return std::nullopt;
  return StampSeconds(hour.substr(0, 10) + "   " + hour.substr(11, 2) + ":00:00");
}

std::string HourText(qint64 seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString("yyyy-MM-dd'T'HH").toStdString();
}

}  // namespace

HourHistogram::HourHistogram(QWidget* parent) : QWidget(parent) {
  setObjectName("hourHistogram");
  setMinimumHeight(60);
}

void HourHistogram::setCounts(const std::optional<CallsPerHour>& counts) {
  counts_ = counts;
  slots_.clear();
  if (counts_ && !counts_->empty()) {
    auto first = HourSeconds(counts_->front().hour), last = HourSeconds(counts_->back().hour);
    if (first && last && (*last - *first) / 3600 < kMostSlots) {
      std::size_t next = 0;
      for (qint64 t = *first; t <= *last; t += 3600) {
        const std::string hour = HourText(t);
        const bool here = next < counts_->size() && (*counts_)[next].hour == hour;
        slots_.push_back({hour, here ? (*counts_)[next++].calls : 0});
      }
    } else {
      slots_ = *counts_;
    }
  }
  update();
}

void HourHistogram::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  const QRect text = rect().adjusted(6, 2, -6, -2);
  p.setPen(palette().text().color());
  if (!counts_) {
    p.drawText(text, Qt::AlignCenter, tr("Calls per hour: Verify Counts on a file whose records carry times"));
    return;
  }
  if (slots_.empty()) {
    p.drawText(text, Qt::AlignCenter, tr("No calls with a real time"));
    return;
  }
  std::uint64_t most = 1;
  for (const auto& s : slots_) most = std::max(most, s.calls);
  const int labels = fontMetrics().height();
  const QRectF area(6, labels + 2, width() - 12, height() - 2 * labels - 6);
  const double slotWidth = area.width() / static_cast<double>(slots_.size());
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const QRectF column(area.left() + slotWidth * static_cast<double>(i), area.top(), slotWidth, area.height());
    if (slots_[i].calls == 0) {
      p.fillRect(column, QColor(230, 30, 30, 60));  // an hour without calls
      continue;
    }
    const double h = area.height() * static_cast<double>(slots_[i].calls) / static_cast<double>(most);
    p.fillRect(QRectF(column.left(), area.bottom() - h, std::max(slotWidth - 1, 1.0), h), QColor(70, 110, 170));
  }
  p.drawText(QRectF(6, 0, width() - 12, labels), Qt::AlignLeft, tr("Calls per hour (most: %1)").arg(most));
  p.drawText(QRectF(6, height() - labels - 2, width() - 12, labels), Qt::AlignLeft,
             QString::fromStdString(slots_.front().hour));
  p.drawText(QRectF(6, height() - labels - 2, width() - 12, labels), Qt::AlignRight,
             QString::fromStdString(slots_.back().hour));
}

}  // namespace vellmark::ui
