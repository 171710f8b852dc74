#pragma once
// Printing the analyser list with its totals: an aligned table, JSON or CSV.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "core/analysis_session.h"

namespace vellmark::cli {

enum class ListFormat { Table, Json, Csv };

std::optional<ListFormat> ParseListFormat(std::string_view name);

// `message` is the closing message of the pass ("" when there was none).
void PrintList(const AnalysisSession& session, ListFormat format, const std::string& message, std::ostream& out);

}  // namespace vellmark::cli
