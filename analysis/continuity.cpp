#include "analysis/continuity.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "core/switch_family.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

int Number(std::string_view text, std::size_t pos, std::size_t n) {
  int v = 0;
  for (std::size_t i = pos; i < pos + n; ++i) v = v * 10 + (text[i] - '0');
  return v;
}

struct Placed {
  std::size_t row;  // 1-based
  CallSpan span;
};

}  // namespace

std::optional<std::int64_t> StampSeconds(std::string_view s) {
  if (!IsRealStamp(s)) return std::nullopt;
  const std::int64_t days = DaysFromCivil(Number(s, 0, 4), static_cast<unsigned>(Number(s, 5, 2)),
                                          static_cast<unsigned>(Number(s, 8, 2)));
  return days * 86400 + Number(s, 13, 2) * 3600 + Number(s, 16, 2) * 60 + Number(s, 19, 2);
}

std::optional<CallSpan> PlacedSpan(const AnalyserEntry& e) {
  if (!e.hasCallResults()) return std::nullopt;
  auto start = StampSeconds(e.start), end = StampSeconds(e.end);
  if (!start || !end || *end < *start) return std::nullopt;
  return CallSpan{*start, *end};
}

Continuity FindContinuity(const std::vector<AnalyserEntry>& entries, const ContinuityOptions& options) {
  Continuity result;
  // Lanes by (family, exchange): their placed rows and their sequence numbers.
  std::map<std::pair<std::string, std::string>, std::pair<std::vector<Placed>, std::set<std::uint64_t>>> lanes;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const AnalyserEntry& e = entries[i];
    if (e.family == SwitchFamilyTable::text(kFamilyUnknown)) continue;
    // A file left out still carries its number: that number is not missing.
    ExchangeKey key = options.rules.keyOf(e);
    auto& lane = lanes[{e.family, key.exchange}];
    if (key.seq) lane.second.insert(*key.seq);
    if (auto span = PlacedSpan(e)) lane.first.push_back({i + 1, *span});
    else result.leftOut.push_back(i + 1);
  }

  for (auto& [name, lane] : lanes) {
    auto& [placed, numbers] = lane;
    if (placed.empty()) continue;
    const std::size_t index = result.lanes.size();
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
      return std::tie(a.span.start, a.span.end) < std::tie(b.span.start, b.span.end);
    });
    Lane out{name.first, name.second, {}};
    // The row reaching furthest so far, and how far.
    std::size_t latestRow = 0;
    std::int64_t latestEnd = 0;
    for (const Placed& p : placed) {
      out.rows.push_back(p.row);
      if (latestRow != 0) {
        if (p.span.start < latestEnd) {
          const std::int64_t shared = std::min(latestEnd, p.span.end) - p.span.start;
          result.overlaps.push_back({index, latestRow, p.row, shared / 60});
        } else if (const std::int64_t minutes = (p.span.start - latestEnd) / 60; minutes > options.gapMinutes) {
          result.gaps.push_back({index, latestRow, p.row, minutes});
        }
      }
      if (latestRow == 0 || p.span.end > latestEnd) {
        latestRow = p.row;
        latestEnd = p.span.end;
      }
    }
    std::uint64_t previous = 0;
    bool first = true;
    for (std::uint64_t n : numbers) {
      if (!first && n > previous + 1) result.missing.push_back({index, previous + 1, n - 1});
      previous = n;
      first = false;
    }
    result.lanes.push_back(std::move(out));
  }
  return result;
}

}  // namespace vellmark
