#pragma once
// A file's calls per hour as a histogram: one column per clock hour from its first
// hour to its last, so an hour without calls (an outage) shows as an empty slot.

#include <QWidget>
#include <optional>

#include "core/calls_per_hour.h"

namespace vellmark::ui {

class HourHistogram : public QWidget {
  Q_OBJECT
 public:
  explicit HourHistogram(QWidget* parent = nullptr);

  // Nothing: the file's reader gives no times per call, or it was not verified.
  void setCounts(const std::optional<CallsPerHour>& counts);
  const std::optional<CallsPerHour>& counts() const { return counts_; }
  // Every hour from the first to the last, empty ones with 0 calls.
  const CallsPerHour& hourSlots() const { return slots_; }

  QSize sizeHint() const override { return {400, 90}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<CallsPerHour> counts_;
  CallsPerHour slots_;
};

}  // namespace vellmark::ui
