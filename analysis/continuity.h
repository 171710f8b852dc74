#pragma once
// Continuity of the files of each exchange: laid end to end by their first and last
// call, where do they leave a gap, where do two cover the same time, and which
// sequence numbers are missing. A plain function over a list of entries, so a
// merged list is looked at the same way as the window's.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/exchange_rules.h"
#include "core/analyser_entry.h"

namespace vellmark {

struct ContinuityOptions {
  ExchangeRules rules;
  std::int64_t gapMinutes = 60;  // a gap is longer than this
};

// The files of one exchange of one family.
struct Lane {
  std::string family;
  std::string exchange;
  std::vector<std::size_t> rows;  // 1-based row numbers, by first call (then last call, then row)
};

// A gap or an overlap in a lane. `after` is the row with the latest last call so far,
// `before` the row that starts next; `minutes` the whole minutes between them (a gap)
// or shared by them (an overlap), rounded down.
struct LaneSpan {
  std::size_t lane = 0;  // index into Continuity::lanes
  std::size_t after = 0;
  std::size_t before = 0;
  std::int64_t minutes = 0;
};

// A run of sequence numbers no file of the lane carries.
struct MissingNumbers {
  std::size_t lane = 0;
  std::uint64_t from = 0;
  std::uint64_t to = 0;
};

struct Continuity {
  std::vector<Lane> lanes;  // by family, then exchange
  std::vector<LaneSpan> gaps;
  std::vector<LaneSpan> overlaps;
  std::vector<MissingNumbers> missing;
  // Rows of data files that have no place on a lane: not read (yet), no calls, a
  // time that is no real time, or a last call before the first.
  std::vector<std::size_t> leftOut;
};

// Rows of family "Unknown" take no part. Lanes, gaps and overlaps follow the rows in
// lane order; missing numbers follow the numbers.
Continuity FindContinuity(const std::vector<AnalyserEntry>& entries, const ContinuityOptions& options = {});

// Seconds since 1970-01-01 00:00:00 of a time text "YYYY-MM-DD   hh:mm:ss"; none when
// it is no real date and time.
std::optional<std::int64_t> StampSeconds(std::string_view stamp);

// The first and last call of an entry as seconds, when the entry has a place on a lane.
struct CallSpan {
  std::int64_t start = 0;
  std::int64_t end = 0;
};
std::optional<CallSpan> PlacedSpan(const AnalyserEntry& entry);

}  // namespace vellmark
