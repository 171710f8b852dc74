#pragma once
// Printing the analyser list with its totals: an aligned table, JSON, CSV or the text
// report itself.

#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "core/analysis_session.h"

namespace vellmark::cli {

enum class ListFormat { Table, Json, Csv, Vmr };

std::optional<ListFormat> ParseListFormat(std::string_view name);

// `message` is the closing message of the pass ("" when there was none); `now` is the
// time a text report's title shows.
void PrintList(const AnalysisSession& session, ListFormat format, const std::string& message, const std::tm& now,
               std::ostream& out);

}  // namespace vellmark::cli
