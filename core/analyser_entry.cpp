#include "core/analyser_entry.h"

#include "core/texts.h"

namespace vellmark {

const char* FailureKindName(FailureKind kind) {
  switch (kind) {
    case FailureKind::Open: return "open";
    case FailureKind::Read: return "read";
    case FailureKind::Corrupt: return "corrupt";
    case FailureKind::UnknownPackage: return "unknown_package";
    case FailureKind::Internal: return "internal";
  }
  return "";
}

const char* WarningKindName(WarningKind kind) {
  switch (kind) {
    case WarningKind::BadTime: return "bad_time";
    case WarningKind::EndBeforeStart: return "end_before_start";
    case WarningKind::EstimatedCount: return "estimated_count";
    case WarningKind::StoppedEarly: return "stopped_early";
    case WarningKind::TrailingBytes: return "trailing_bytes";
    case WarningKind::WeakMatch: return "weak_match";
    case WarningKind::AssumedLayout: return "assumed_layout";
  }
  return "";
}

ReadFailure FromIoError(const IoError& error) {
  const FailureKind kind = error.step == IoStep::Open     ? FailureKind::Open
                           : error.step == IoStep::Unpack ? FailureKind::Corrupt
                                                          : FailureKind::Read;
  return {kind, error.reason, error.offset};
}

void AnalyserEntry::setRecordsText(const std::string& text) {
  records = LeadingNumber(text);
  if (text == std::to_string(records)) writtenRecords.reset();
  else writtenRecords = text;
}

bool AnalyserEntry::hasCallResults() const {
  return !failure && records > 0 && family != "Unknown" && start != kWaitingStatus && start != kInvalidStatus;
}

std::string AnalyserEntry::recordsText() const {
  return writtenRecords ? *writtenRecords : std::to_string(records);
}

std::string AnalyserEntry::sizeText() const { return sizeBytes ? KilobyteText(*sizeBytes) : writtenSize; }

std::string AnalyserEntry::column(int c) const {
  switch (c) {
    case 0: return path;
    case 1: return number;
    case 2: return family;
    case 3: return start;
    case 4: return end;
    case 5: return recordsText();
    default: return sizeText();
  }
}

}  // namespace vellmark
