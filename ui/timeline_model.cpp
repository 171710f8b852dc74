#include "ui/timeline_model.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QTimeZone>
#include <QTimer>
#include <algorithm>

namespace vellmark::ui {

const QColor TimelineModel::kBarColour(70, 110, 170);
const QColor TimelineModel::kGapColour(230, 30, 30, 90);
const QColor TimelineModel::kOverlapColour(255, 140, 0, 150);
const QColor TimelineModel::kDuplicateColour(255, 0, 0);
const QColor TimelineModel::kSameContentColour(150, 40, 200);
const QColor TimelineModel::kOutlineColour(60, 60, 60);

namespace {

// "YYYY-MM-DDTHH" as seconds since 1970.
std::optional<qint64> HourStart(const std::string& hour) {
  if (hour.size() != 13) return std::nullopt;
  return StampSeconds(hour.substr(0, 10) + "   " + hour.substr(11, 2) + ":00:00");
}

}  // namespace

QColor TimelineModel::DensityColour(double share) {
  // From a pale blue for a quiet hour to a deep blue for the busiest.
  share = std::clamp(share, 0.0, 1.0);
  auto mix = [share](int quiet, int busy) { return quiet + static_cast<int>((busy - quiet) * share + 0.5); };
  return QColor(mix(205, 20), mix(222, 60), mix(245, 140));
}

TimelineModel::TimelineModel(const AnalyserList& list, QAbstractItemModel* source, QObject* parent)
    : QObject(parent), list_(list) {
  if (source) {
    connect(source, &QAbstractItemModel::dataChanged, this, &TimelineModel::schedule);
    connect(source, &QAbstractItemModel::rowsInserted, this, &TimelineModel::schedule);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &TimelineModel::schedule);
    connect(source, &QAbstractItemModel::modelReset, this, &TimelineModel::schedule);
    connect(source, &QAbstractItemModel::layoutChanged, this, &TimelineModel::schedule);
  }
  refresh();
}

void TimelineModel::setOptions(ContinuityOptions options) {
  options_ = std::move(options);
  refresh();
}

void TimelineModel::schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    if (scheduled_) refresh();
  });
}

void TimelineModel::refresh() {
  scheduled_ = false;
  const auto& entries = list_.entries();
  continuity_ = FindContinuity(entries, options_);
  bars_.clear();
  barOfRow_.assign(entries.size(), -1);
  shades_.clear();

  std::uint64_t busiest = 0;
  for (const auto& e : entries)
    if (e.callsPerHour)
      for (const HourCount& h : *e.callsPerHour) busiest = std::max(busiest, h.calls);

  for (std::size_t lane = 0; lane < continuity_.lanes.size(); ++lane) {
    for (std::size_t number : continuity_.lanes[lane].rows) {
      const AnalyserEntry& e = entries[number - 1];
      auto span = PlacedSpan(e);
      Bar bar;
      bar.row = number - 1;
      bar.path = QString::fromStdString(e.path);
      bar.lane = static_cast<int>(lane);
      bar.start = span->start;
      bar.end = span->end;
      bar.fill = kBarColour;
      bar.duplicate = e.duplicate();
      bar.sameContent = e.sameContentAs.has_value();
      bar.outline = bar.duplicate ? kDuplicateColour : bar.sameContent ? kSameContentColour : kOutlineColour;
      bar.warned = !e.warnings.empty();
      bar.selected = selected_.count(bar.row) > 0;
      if (e.callsPerHour && busiest > 0) {
        for (const HourCount& h : *e.callsPerHour) {
          auto from = HourStart(h.hour);
          if (!from) continue;
          const qint64 a = std::max<qint64>(*from, bar.start), b = std::min<qint64>(*from + 3600, bar.end);
          if (b < a) continue;
          bar.hours.push_back({a, b, DensityColour(static_cast<double>(h.calls) / static_cast<double>(busiest))});
        }
      }
      barOfRow_[bar.row] = static_cast<int>(bars_.size());
      bars_.push_back(std::move(bar));
    }
  }
  auto endOf = [this](std::size_t number) { return barOfRow(number - 1)->end; };
  auto startOf = [this](std::size_t number) { return barOfRow(number - 1)->start; };
  for (const LaneSpan& g : continuity_.gaps)
    shades_.push_back({static_cast<int>(g.lane), endOf(g.after), startOf(g.before), ShadeKind::Gap, kGapColour,
                       g.minutes});
  for (const LaneSpan& o : continuity_.overlaps)
    shades_.push_back({static_cast<int>(o.lane), startOf(o.before), std::min(endOf(o.after), endOf(o.before)),
                       ShadeKind::Overlap, kOverlapColour, o.minutes});
  emit changed();
}

QString TimelineModel::laneLabel(int lane) const {
  if (lane < 0 || lane >= laneCount()) return {};
  const Lane& l = continuity_.lanes[static_cast<std::size_t>(lane)];
  return QString::fromStdString(l.family) + "  " + QString::fromStdString(l.exchange);
}

std::vector<std::size_t> TimelineModel::leftOutRows() const {
  std::vector<std::size_t> rows;
  for (std::size_t number : continuity_.leftOut) rows.push_back(number - 1);
  return rows;
}

std::optional<std::pair<qint64, qint64>> TimelineModel::span() const {
  if (bars_.empty()) return std::nullopt;
  qint64 first = bars_.front().start, last = bars_.front().end;
  for (const Bar& b : bars_) {
    first = std::min(first, b.start);
    last = std::max(last, b.end);
  }
  return std::make_pair(first, last);
}

const TimelineModel::Bar* TimelineModel::barAt(int lane, qint64 t) const {
  for (auto it = bars_.rbegin(); it != bars_.rend(); ++it)
    if (it->lane == lane && it->start <= t && t <= it->end) return &*it;
  return nullptr;
}

const TimelineModel::Bar* TimelineModel::barOfRow(std::size_t row) const {
  if (row >= barOfRow_.size() || barOfRow_[row] < 0) return nullptr;
  return &bars_[static_cast<std::size_t>(barOfRow_[row])];
}

void TimelineModel::setSelectedRows(const std::set<std::size_t>& rows) {
  selected_ = rows;
  for (Bar& b : bars_) b.selected = selected_.count(b.row) > 0;
  emit changed();
}

QString TimelineModel::TimeText(qint64 seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString("yyyy-MM-dd   HH:mm:ss");
}

}  // namespace vellmark::ui
