#pragma once
// OCB files from readable descriptions: blocks of 48 record slots behind a header,
// in layout A (2048-byte blocks from offset 0) or layout B (a 928-byte preamble,
// then 2052-byte blocks).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>
#include <string>

#include "testdata/bytes.h"

namespace vellmark::testdata {

inline constexpr std::size_t kOcbBlockSize = 2048;
inline constexpr std::size_t kOcbPreambleSize = 928;   // layout B
inline constexpr std::size_t kOcbTrailerSize = 4;      // layout B, after every block
inline constexpr std::size_t kOcbSlotSize = 42;
inline constexpr std::size_t kOcbSlotsOffset = 32;
inline constexpr std::size_t kOcbSlots = 48;

// One call record.
struct OcbCall {
  unsigned day = 1;  // day number within the year, 1 is 1 January
  unsigned hour = 0, minute = 0, second = 0;
  // Dialled digits. A slot holds a call only with 1 to 17 of them: none (all filler)
  // or 18 (no filler) make a slot that is not a call.
  std::string dialled = "01123456789";
};

struct OcbBlock {
  unsigned year = 26;  // header year within the century
  unsigned day = 1;    // header day number; 0 or 4040 mark the end of the data
  std::vector<OcbCall> calls;          // slots 0 on; the rest hold filler FF
  std::map<std::size_t, Bytes> slots;  // exact bytes of single slots, for damaged ones
};

enum class OcbLayout { A, B };
// What follows the last data block: nothing, or a block whose day field is 40 40,
// 00 00 or FF FF.
enum class OcbEnd { None, Mark4040, Mark0000, MarkFFFF };

struct OcbFile {
  OcbLayout layout = OcbLayout::A;
  std::vector<OcbBlock> blocks;
  OcbEnd end = OcbEnd::Mark4040;
  bool blockMark = true;  // false: the first block lacks its C6 C4 mark
};

Bytes OcbSlotBytes(const OcbCall& call);
Bytes OcbBlockBytes(const OcbBlock& block);
Bytes BuildOcbFile(const OcbFile& file);

// `calls` calls a minute apart from 08:00 on 14 February 2026, 48 a block; `edit`
// may change the description before it is built.
Bytes OcbMinutes(std::size_t calls, OcbLayout layout = OcbLayout::A, OcbEnd end = OcbEnd::Mark4040,
                 const std::function<void(OcbFile&)>& edit = nullptr);

// n calls from the given day and second of the day on, `step` seconds apart; after
// day `yearDays` the day numbers start again at 1.
std::vector<OcbCall> OcbCalls(std::size_t n, unsigned day, unsigned firstSecond, unsigned step,
                              unsigned yearDays = 365);

// The calls spread over blocks of 48 slots, every header with the same year and day.
std::vector<OcbBlock> OcbBlocksOf(const std::vector<OcbCall>& calls, unsigned year, unsigned day);

}  // namespace vellmark::testdata
