#pragma once
// The C-DOT reader: the call date comes from the file's name, the records are only
// counted. Start and end are that date at 00:00:00 and 23:59:59.
//
// File name: <anything>DDMMYY.<ext> when the part before the first "." has exactly
// 10 characters, otherwise <anything>DDMM.<ext> with the current year.
//
// Record (48 bytes, one after another from the first byte, no header):
//   offset  width  field     encoding
//   27      1      kind      0, 1 or 2 in a call record; above 2 ends the records
// Each step reads 49 bytes (the record and the next one's first byte); every step
// counts, the one that finds the end mark and a short one at the end of the file too.

#include <string>

#include "readers/reader_contract.h"

namespace vellmark {

[[nodiscard]] ReaderOutcome ReadCdotFile(const std::string& path, ReaderContext& ctx);

// Whether the part of the name that gives the date holds a digit at all.
bool CdotNameHasDate(const std::string& path);

// The date text the file's name gives ("2023-11-05" for ABCD051123.dat). Both "/" and
// "\" separate folders; a name without "." is its own base. Odd names give odd
// texts, never an error.
std::string CdotDateText(const std::string& path, int currentYear);

}  // namespace vellmark
