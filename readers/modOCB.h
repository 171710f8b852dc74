#pragma once
// OCB reader: first and last call time and record count of an OCB data file.
//
// An OCB file is a run of fixed-length blocks in one of two layouts:
//
//   layout  first block at  block length               chosen when
//   A       0               2048                       bytes 0-1 are C6 C4
//   B       928             2052 (last 4 not read)     else bytes 928-929 are C6 C4
//   (neither mark: the layout of the OCB file read last, layout A before any)
//
// Block (offsets within the block):
//   offset  width    content
//   0       2        block mark C6 C4 (only the first block's is tested)
//   5       1        year within the century, BCD (first block only)
//   6       2        day number within the year, BCD; 0 or 4040 ends the data
//   32      48 x 42  record slots 0 to 47
//
// Record slot (offsets within the 42-byte slot):
//   offset  width    content
//   3       2        day number within the year, BCD (1 is 1 January)
//   5       3        time of day, BCD hh mm ss
//   18      9        digit field: 18 BCD nibbles, places without a digit hold F
//
// A slot is valid when its digit field holds some digits and some F filler. Only the
// block headers, slot 0 of the first block and the last block's slots are read: every
// block before the last counts as 48 records. Bytes past the end of the file read as
// FF, the format's own filler; a slot not wholly inside the file is not valid.

#include <cstdint>
#include <optional>
#include <string>

#include "core/block_reader.h"
#include "core/byte_view.h"
#include "readers/file_pieces.h"
#include "readers/hour_counter.h"
#include "readers/reader_contract.h"

namespace vellmark {

// Where the blocks of an OCB file lie: the first block's offset and the padding after
// each block (layout A: 0 and 0; layout B: 928 and 4).
struct OcbLayout {
  std::uint64_t base = 0;
  std::uint64_t padding = 0;
  bool seen = false;  // taken from a block mark, not assumed before any
};

// Reads an OCB file. A file with neither block mark is read in `layout`, the layout
// of the OCB file read before it (with a warning when none was: layout A is only a
// guess then); `layout` is left as the one this file was read in.
[[nodiscard]] ReaderOutcome ReadOcbFile(const std::string& path, OcbLayout& layout, ReaderContext& ctx);

inline constexpr std::uint64_t kOcbBlockLength = 2048;
inline constexpr std::uint64_t kOcbSlotsOffset = 32;
inline constexpr std::uint64_t kOcbSlotLength = 42;
inline constexpr int kOcbSlotsPerBlock = 48;

// Year and day of the first block's header, the reference for every record's year.
struct OcbHeader {
  unsigned year = 0;  // within the century
  unsigned day = 0;
};

// A decoded record slot.
struct OcbRecord {
  std::string date;  // yyyy-mm-dd
  std::string time;  // hh:mm:ss, hex letters passed through
  bool valid = false;
};

// The layout the block mark at offset 0 or 928 gives; `previous` when neither holds it.
Result<OcbLayout> ProbeOcbLayout(BlockReader& file, OcbLayout previous);
// The same for the file at `path`; `previous` when it cannot be read.
OcbLayout OcbLayoutOf(FileSystem& files, const std::string& path, OcbLayout previous);

// The first block's header; zeros when the file ends before its day field.
Result<OcbHeader> ReadOcbHeader(BlockReader& file, OcbLayout layout);

// What the walk over the block headers found.
struct OcbScan {
  WalkEnd end;
  std::uint64_t blocks = 0;                   // before the end mark or the end of the file
  std::optional<std::uint64_t> endMarkAt;     // the block whose day field ended the walk
  std::optional<std::uint64_t> notFullAt;     // the first block whose last slot holds no call
  std::optional<std::uint64_t> trailingAt;    // where a block the file cuts short begins
  std::uint64_t calls = 0;                    // slots holding calls, counted in verify mode
  HourCounter hours;                          // their hours, when counted

  void join(OcbScan&& later);
};

// Counts the blocks before the one whose day field is 0 or 4040 (or the end of the
// file) and drives the progress bar; a large file in pieces.
// In verify mode it counts the calls, and when the context asks for them their hours,
// keyed by the slot's day and hour bytes (OcbHourStamp turns a key into its time).
OcbScan CountOcbBlocks(BlockReader& file, OcbLayout layout, ReaderContext& ctx);
std::string OcbHourStamp(std::uint64_t key, const OcbHeader& header);

// A slot holds a call when its digit field holds some digits and some F filler.
bool IsOcbCall(const ByteView& slot);

// Decodes the 42-byte slot at the start of `slot`. `inFile` says whether the whole
// slot lies inside the file; a slot that does not is never valid.
OcbRecord DecodeOcbRecord(const ByteView& slot, const OcbHeader& header, bool inFile = true);

// Date text of a record's day number: a day after the header day belongs to the year
// before. Days past the end of the year stay in December.
std::string OcbDayToDate(unsigned day, const OcbHeader& header);

}  // namespace vellmark
