#pragma once
// The texts the window and the CLI tell the user about a pass and about offered files.

#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_session.h"

namespace vellmark {

inline constexpr std::string_view kStopQuestion = "Do you want to Stop the Analyser";
inline constexpr std::string_view kRefusedFiles = "The Following files Already Exists ";
inline constexpr std::string_view kAnalysisOver = "Data File Analysis Over";
inline constexpr std::string_view kAnalysisStopped = "Data File Analysis Stopped";
inline constexpr std::string_view kDuplicatesIdentified = "Duplicates Identified. ";

// "Data File Analysis Over", or "Data File Analysis Stopped" for a pass the user
// stopped, after "Duplicates Identified. " when the pass found any.
std::string ClosingMessage(const PassSummary& summary);

// The refusal of paths already listed: the sentence, an empty line, then one refused
// path per line in the order offered; empty when none was refused.
std::string RefusedFilesMessage(const std::vector<std::string>& paths, const std::vector<OfferOutcome>& outcomes);

}  // namespace vellmark
