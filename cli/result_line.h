#pragma once
// One entry as one self-contained JSON line (JSON Lines): what `analyse --format jsonl`
// prints, what `merge` and `--resume` read back. A line holds everything the list
// shows of its entry, as numbers where they are numbers, and the options that decided
// its results; nothing that depends on other lines (row numbers, duplicate marks,
// totals).
//
//   {"path":..., "size_bytes":N, "compressed_size_bytes":N|null, "mtime_ns":N|null,
//    "switch":..., "start":..., "end":..., "start_iso":...|null, "end_iso":...|null,
//    "records":N, "error":...|null, "error_kind":...|null, "error_offset":N|null,
//    "warnings":[{"kind","text","offset"}...], "digests":{"xxh3_128"[,"sha256"]}|null,
//    "verified_records":N|null, "calls_per_hour":[{"hour","calls"}...]|null,
//    "options":{"year":N,"verify":B,"sha256":B}}

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analyser_entry.h"

namespace vellmark::cli {

// The options of the run that decide a file's results.
struct LineOptions {
  int year = 0;  // the current year the readers took
  bool verify = false;
  bool sha256 = false;
  bool operator==(const LineOptions&) const = default;
};

// The line of `entry`, without its line end.
std::string ResultLine(const AnalyserEntry& entry, const LineOptions& options);

struct ParsedLine {
  AnalyserEntry entry;  // numberless, unmarked; the probe's weak match stands among the warnings
  LineOptions options;
};

// Reads a line back; nothing (and the reason in `error`) when it is not a result line.
std::optional<ParsedLine> ParseResultLine(std::string_view line, std::string& error);

// Whether a line holds a finished result: a reader's, or "Invalid  File" for a family
// without one. Failed and stopped entries are not.
bool HoldsResult(const AnalyserEntry& entry);

// The JSON forms the list's JSON output shares with the lines.
std::string JsonDigests(const std::optional<Digests>& digests);
std::string JsonWarnings(const std::vector<Warning>& warnings);
std::string CallsPerHourJson(const std::optional<CallsPerHour>& hours);

}  // namespace vellmark::cli
