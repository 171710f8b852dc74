#pragma once
// 5ESS reader. 5ESS files are text: optional leading blanks, then fixed 122-character
// records, back to back or separated by line feeds (0x0A; nothing else separates).
//
// Record (1-based character positions; no other byte is used):
//
// | field | positions | width | content                     |
// |-------|-----------|-------|-----------------------------|
// | date  | 44-49     | 6     | call date, digits YYMMDD    |
// | time  | 50-55     | 6     | call time, digits HHMMSS    |
//
// Both fields are read leniently: blanks inside are skipped, reading stops at the
// first other non-digit, and no digits reads 0. A record dated 0 is not a call,
// except the first record, which always seeds the range and counts.

#include <string>

#include "readers/reader_contract.h"

namespace vellmark {

// Earliest and latest call as "20YY-MM-DD   hh:mm:ss", and the count. Polls for
// Stop every 100 counted records.
[[nodiscard]] ReaderOutcome ReadEssFile(const std::string& path, ReaderContext& ctx);

}  // namespace vellmark
