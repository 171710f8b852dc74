#include "readers/modOCB.h"

#include <array>

namespace vellmark {

namespace {

constexpr std::uint8_t kOcbFill = 0xFF;
constexpr std::uint64_t kLayoutBBase = 928;
constexpr std::uint64_t kLayoutBPadding = 4;
// The bar reaches 100 at this many blocks; beyond it the bar refuses the values.
constexpr std::uint64_t kProgressBlocks = 32768;

ByteView View(BlockReader& file, std::uint64_t offset, std::size_t n) {
  auto v = file.view(offset, n);
  if (!v) ThrowIoFailure(v.error());
  return *v;
}

bool HasBlockMark(const ByteView& v) { return v[0] == 0xC6 && v[1] == 0xC4; }

std::uint64_t BlockStart(const ReaderMemory& layout, std::uint64_t block) {
  return layout.ocbBase + block * (kOcbBlockLength + layout.ocbPadding);
}

std::string TwoDigits(unsigned value) {
  value %= 100;
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

std::string RecordText(const OcbRecord& record) { return record.date + "   " + record.time; }

// The slot at `offset`, decoded; `fileSize` decides whether it lies wholly in the file.
OcbRecord ReadSlot(BlockReader& file, std::uint64_t offset, const OcbHeader& header) {
  ByteView slot = View(file, offset, kOcbSlotLength);
  bool inFile = offset + kOcbSlotLength <= file.fileSize();
  return DecodeOcbRecord(slot, header, inFile);
}

}  // namespace

void ProbeOcbLayout(BlockReader& file, ReaderMemory& memory) {
  if (HasBlockMark(View(file, 0, 2))) {
    memory.ocbBase = 0;
    memory.ocbPadding = 0;
  } else if (HasBlockMark(View(file, kLayoutBBase, 2))) {
    memory.ocbBase = kLayoutBBase;
    memory.ocbPadding = kLayoutBPadding;
  }
}

std::uint64_t CountOcbBlocks(BlockReader& file, const ReaderMemory& layout, OcbHeader& header,
                             ReaderContext& ctx) {
  ctx.setProgress(0);
  std::uint64_t n = 0;
  for (;;) {
    std::uint64_t start = BlockStart(layout, n);
    // A header cut before the end of its day field is no block: its half mark
    // followed by filler would read as a day.
    if (start + 8 > file.fileSize()) break;
    ByteView block = View(file, start, 8);
    unsigned day = static_cast<unsigned>(block.bcd(6, 2));
    if (n == 0) {
      header.year = static_cast<unsigned>(block.bcd(5, 1));
      header.day = day;
    }
    if (day == 0 || day == 4040) break;
    ++n;
    std::uint64_t percent = 100 * n / kProgressBlocks;
    if (percent <= 100) ctx.setProgress(static_cast<int>(percent));
  }
  ctx.setProgress(100);
  return n;
}

std::string OcbDayToDate(unsigned day, const OcbHeader& header) {
  // A record dated after the first block's day was written in the year before.
  int year = static_cast<int>(header.year);
  if (header.day < day) --year;  // year 00 turns back to 1999
  bool leap = year >= 0 ? year % 4 == 0 : false;
  static constexpr std::array<unsigned, 12> kMonthDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned month = 1;
  // Day numbers past the year's end stay in December.
  for (;;) {
    unsigned length = kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (month == 12 || day <= length) break;
    day -= length;
    ++month;
  }
  std::string yearText = year >= 0 ? "20" + TwoDigits(static_cast<unsigned>(year)) : "1999";
  return yearText + "-" + TwoDigits(month) + "-" + TwoDigits(day);
}

OcbRecord DecodeOcbRecord(const ByteView& slot, const OcbHeader& header, bool inFile) {
  OcbRecord record;
  record.date = OcbDayToDate(static_cast<unsigned>(slot.bcd(3, 2)), header);
  std::string hex = slot.hex(5, 3);
  record.time = hex.substr(0, 2) + ":" + hex.substr(2, 2) + ":" + hex.substr(4, 2);
  // Valid: the digit field holds some digits and some filler.
  int fillers = 0;
  for (std::size_t i = 18; i < 27; ++i) {
    std::uint8_t b = slot[i];
    fillers += ((b >> 4) == 0xF) + ((b & 0x0F) == 0xF);
  }
  record.valid = inFile && fillers > 0 && fillers < 18;
  return record;
}

ReaderResult ReadOcbFile(const std::string& path, ReaderContext& ctx) {
  auto opened = OpenedFile::open(ctx.files(), path, kOcbFill);
  if (!opened) ThrowIoFailure(opened.error());
  BlockReader& file = opened->reader();

  ReaderMemory& layout = ctx.memory();
  ProbeOcbLayout(file, layout);
  OcbHeader header;
  std::uint64_t blocks = CountOcbBlocks(file, layout, header, ctx);
  if (blocks == 0) {
    // The first block already ends the data: no records.
    ctx.setProgress(0);
    return ",,0";
  }

  std::string start = RecordText(ReadSlot(file, layout.ocbBase + kOcbSlotsOffset, header));

  // The last block is searched from its end for the last valid slot.
  std::uint64_t last = BlockStart(layout, blocks - 1) + kOcbSlotsOffset;
  int lastSlots = 0;
  OcbRecord end;
  for (int k = kOcbSlotsPerBlock - 1; k >= 0; --k) {
    OcbRecord record = ReadSlot(file, last + kOcbSlotLength * static_cast<std::uint64_t>(k), header);
    if (record.valid) {
      lastSlots = k + 1;
      end = record;
      break;
    }
  }

  std::uint64_t count = (blocks - 1) * kOcbSlotsPerBlock + static_cast<std::uint64_t>(lastSlots);
  ctx.setProgress(0);
  if (count == 0) return ",,0";
  if (lastSlots == 0) {
    // An empty last block: the block before it is full, its last slot is the end.
    std::uint64_t previous = BlockStart(layout, blocks - 2) + kOcbSlotsOffset;
    end = ReadSlot(file, previous + kOcbSlotLength * (kOcbSlotsPerBlock - 1), header);
  }
  return start + "," + RecordText(end) + "," + std::to_string(count);
}

}  // namespace vellmark
