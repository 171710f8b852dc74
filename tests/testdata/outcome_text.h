#pragma once
// A reader's outcome as one line, for comparing with what a test expects:
// "start,end,count", "stopped", or "failed: kind: reason".

#include <string>

#include "readers/reader_contract.h"

namespace vellmark::testdata {

inline std::string OutcomeText(const ReaderOutcome& outcome) {
  if (const auto* range = std::get_if<CallRange>(&outcome))
    return range->start + "," + range->end + "," + std::to_string(range->records);
  if (const auto* failure = std::get_if<ReadFailure>(&outcome))
    return std::string("failed: ") + FailureKindName(failure->kind) + ": " + failure->reason;
  return "stopped";
}

}  // namespace vellmark::testdata
