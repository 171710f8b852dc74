#include "core/analyser_entry.h"

namespace vellmark {

const char* ReadFailureName(ReadFailure kind) {
  switch (kind) {
    case ReadFailure::Open: return "open";
    case ReadFailure::Read: return "read";
    case ReadFailure::Corrupt: return "corrupt";
    case ReadFailure::UnknownPackage: return "unknown_package";
    case ReadFailure::None: break;
  }
  return "";
}

std::string& AnalyserEntry::column(int c) {
  switch (c) {
    case 0: return path;
    case 1: return number;
    case 2: return family;
    case 3: return start;
    case 4: return end;
    case 5: return records;
    default: return size;
  }
}

const std::string& AnalyserEntry::column(int c) const {
  return const_cast<AnalyserEntry*>(this)->column(c);
}

}  // namespace vellmark
