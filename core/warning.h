#pragma once
// Something about a file's results that a user should know before trusting them. A
// warning never changes the texts the list shows; it stands beside them.

#include <cstdint>
#include <optional>
#include <string>

namespace vellmark {

enum class WarningKind {
  BadTime,         // a date or time that is no calendar date or clock time
  EndBeforeStart,  // the last call lies before the first
  EstimatedCount,  // the count assumed full blocks where one is not
  StoppedEarly,    // the walk ended before the file did (a gap, an end mark)
  TrailingBytes,   // bytes after the last whole record or block
  WeakMatch,       // the family was only guessed (bytes beyond the end, a name without a date)
  AssumedLayout,   // the file does not show its layout and no file before it did
};

// "bad_time", "end_before_start", "estimated_count", "stopped_early", "trailing_bytes",
// "weak_match", "assumed_layout".
const char* WarningKindName(WarningKind kind);

struct Warning {
  WarningKind kind = WarningKind::BadTime;
  std::string text;
  std::optional<std::uint64_t> offset = std::nullopt;  // in the file, where it applies

  bool operator==(const Warning&) const = default;
};

}  // namespace vellmark
