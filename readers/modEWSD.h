#pragma once
// EWSD reader: first and last call time and record count of an EWSD data file.
//
// An EWSD file is a run of items; the first byte tells the kind and the length:
//
//   first byte      item            length
//   80              filler          1
//   81              skip item       the item's second byte
//   00              empty block     32
//   7A to 7C        64-byte item    64
//   01 to 03        32-byte item    32
//   anything else   call record     L, the record's second byte
//
// Call record (offsets within the record):
//   offset  width   content
//   0       1       record type
//   1       1       record length L, the whole record
//   3       1       flags; bit 7 tells where the packages start
//   7 or 8  rest    header digit field and packages (see ewsd_packages.h)
//
// Every record is located and counted; only the first and the last are decoded. An
// item that would not move the search on (length 0) ends the file there. Bytes past
// the end of the file read as 0.

#include <string>

#include "readers/reader_contract.h"

namespace vellmark {

[[nodiscard]] ReaderOutcome ReadEwsdFile(const std::string& path, ReaderContext& ctx);

}  // namespace vellmark
