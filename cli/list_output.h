#pragma once
// Printing the analyser list with its totals: an aligned table, JSON, CSV or the text
// report itself. JSON Lines are written line by line as entries become final, by the
// commands themselves (cli/result_line.h).

#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "analysis/analysis_session.h"
#include "analysis/continuity.h"

namespace vellmark::cli {

enum class ListFormat { Table, Json, Csv, Vmr, Jsonl };

std::optional<ListFormat> ParseListFormat(std::string_view name);

// What a listing shows: the session's list with its totals (none after a report was
// opened), the closing message of the pass ("" when there was none) and the time a
// text report's title shows.
struct ListOutput {
  const AnalysisSession& session;
  std::optional<ListTotals> totals;
  std::string message;
  std::tm now;
  // With --continuity: the findings, and the gap threshold they were found with.
  const Continuity* continuity = nullptr;
  std::int64_t gapMinutes = 60;
};

// Prints nothing for Jsonl.
void PrintList(const ListOutput& list, ListFormat format, std::ostream& out);

}  // namespace vellmark::cli
