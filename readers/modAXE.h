#pragma once
// AXE reader. AXE exchanges write text records packed into 2048-byte blocks; the
// last byte of every block is 0. Inside a block each record opens with its own
// length, so records are found by hopping from length field to length field.
//
// Record (1-based character positions, k = the layout shift chosen from the file's
// first record, see AxeLayoutShift):
//
// | field   | k = 0 or 1 | k = 2 | width | content                                   |
// |---------|------------|-------|-------|-------------------------------------------|
// | length  | 1          | 1     | 3     | total length in decimal, field included   |
// | number  | 19         | -     | 16    | picks the layout (see AxeLayoutShift)     |
// | hour    | 50 + k     | 66    | 2     | decimal digits, copied as they stand      |
// | minute  | 52 + k     | 68    | 2     |                                           |
// | second  | 54 + k     | 70    | 2     |                                           |
// | year    | 71 + k     | 87    | 2     | two digits, written after "20"            |
// | month   | 73 + k     | 89    | 2     |                                           |
// | day     | 75 + k     | 91    | 2     |                                           |
//
// A length field reading below 3 (0 is padding) ends the block; a record never
// crosses into the next block.

#include <string>

#include "core/byte_view.h"
#include "readers/reader_contract.h"

namespace vellmark {

// The layout shift k of a file, chosen from its first record: 0 when the 16
// characters at 19..34 are all there with no blank at either end, 1 otherwise, and 2
// (whatever 19..34 hold) when the characters at 35..37 that the record has are blanks.
int AxeLayoutShift(const ByteView& firstRecord);

// "20YY-MM-DD   hh:mm:ss" from a record in layout k; fields past the record's end
// give the characters it has of them.
std::string AxeStamp(const ByteView& record, int k);

// First stamp, last stamp and record count. The last stamp comes only from the last
// block of a file whose length is a whole number of blocks (empty otherwise). AXE
// reads never poll for Stop.
[[nodiscard]] ReaderOutcome ReadAxeFile(const std::string& path, ReaderContext& ctx);

}  // namespace vellmark
