#include "analysis/pass_texts.h"

namespace vellmark {

std::string ClosingMessage(const PassSummary& summary) {
  std::string message(summary.stopped ? kAnalysisStopped : kAnalysisOver);
  if (summary.duplicatesFound) message = std::string(kDuplicatesIdentified) + message;
  return message;
}

std::string RefusedFilesMessage(const std::vector<std::string>& paths, const std::vector<OfferOutcome>& outcomes) {
  std::string refused;
  for (std::size_t i = 0; i < paths.size() && i < outcomes.size(); ++i)
    if (outcomes[i] == OfferOutcome::Refused) refused += "\n" + paths[i];
  if (refused.empty()) return refused;
  return std::string(kRefusedFiles) + "\n" + refused;
}

}  // namespace vellmark
