#include "readers/modOCB.h"

#include <array>

#include "readers/reader_toolkit.h"

#include <algorithm>
#include <cstring>

namespace vellmark {

namespace {

constexpr std::uint8_t kOcbFill = 0xFF;
constexpr std::uint64_t kLayoutBBase = 928;
constexpr std::uint64_t kLayoutBPadding = 4;
// The bar reaches 100 at this many blocks; beyond it the bar refuses the values.
constexpr std::uint64_t kProgressBlocks = 32768;
// The layout shows in two bytes at offset 0 or two at 928.
constexpr std::size_t kLayoutHeadSize = kLayoutBBase + 2;

bool HasBlockMark(const ByteView& v) { return v[0] == 0xC6 && v[1] == 0xC4; }

std::uint64_t BlockStart(OcbLayout layout, std::uint64_t block) {
  return layout.base + block * (kOcbBlockLength + layout.padding);
}

std::string RecordText(const OcbRecord& record) { return Stamp(record.date, record.time); }

// The slot at `offset`, decoded; a slot not wholly inside the file is never valid.
Result<OcbRecord> ReadSlot(BlockReader& file, std::uint64_t offset, const OcbHeader& header) {
  auto slot = file.view(offset, kOcbSlotLength);
  if (!slot) return slot.error();
  bool inFile = offset + kOcbSlotLength <= file.fileSize();
  return DecodeOcbRecord(*slot, header, inFile);
}

OcbLayout OcbLayoutFromHead(const ByteView& head, OcbLayout previous) {
  if (HasBlockMark(head)) return OcbLayout{0, 0, true};
  if (HasBlockMark(head.sub(kLayoutBBase, 2))) return OcbLayout{kLayoutBBase, kLayoutBPadding, true};
  return previous;
}

}  // namespace

Result<OcbLayout> ProbeOcbLayout(BlockReader& file, OcbLayout previous) {
  auto head = file.view(0, kLayoutHeadSize);
  if (!head) return head.error();
  return OcbLayoutFromHead(*head, previous);
}

OcbLayout OcbLayoutOf(FileSystem& files, const std::string& path, OcbLayout previous) {
  // Only the head is read: a packed member is not unpacked whole just to look at it.
  // A file that cannot be opened or read leaves the layout as it was, as its read would.
  auto opened = files.openRead(path);
  if (!opened) return previous;
  std::array<std::uint8_t, kLayoutHeadSize> head{};
  std::size_t have = 0;
  while (have < head.size()) {
    auto got = (*opened)->readAt(have, head.data() + have, head.size() - have);
    if (!got) return previous;
    if (*got == 0) break;
    have += *got;
  }
  return OcbLayoutFromHead(ByteView(head.data(), have, kOcbFill), previous);
}

Result<OcbHeader> ReadOcbHeader(BlockReader& file, OcbLayout layout) {
  OcbHeader header;
  // A header cut before the end of its day field is no block.
  if (layout.base + 8 > file.fileSize()) return header;
  auto block = file.view(layout.base, 8);
  if (!block) return block.error();
  header.year = static_cast<unsigned>(block->bcd(5, 1));
  header.day = static_cast<unsigned>(block->bcd(6, 2));
  return header;
}

void OcbScan::join(OcbScan&& later) {
  blocks += later.blocks;
  endMarkAt = later.endMarkAt;
  if (!notFullAt) notFullAt = later.notFullAt;
  if (!trailingAt) trailingAt = later.trailingAt;
  calls += later.calls;
  hours.merge(later.hours);
  end = later.end;
}

namespace {

// The F nibbles among the 18 of a slot's digit field, which lies in memory.
int FillerNibbles(const std::uint8_t* digits) {
  std::uint64_t w;
  std::memcpy(&w, digits, sizeof w);
  // A nibble is F when its four bits are all set.
  const std::uint64_t f = w & (w >> 1) & (w >> 2) & (w >> 3) & 0x1111111111111111;
  return __builtin_popcountll(f) + ((digits[8] >> 4) == 0xF) + ((digits[8] & 0x0F) == 0xF);
}

bool SlotHoldsCall(const std::uint8_t* slot) {
  const int fillers = FillerNibbles(slot + 18);
  return fillers > 0 && fillers < 18;
}

// Walks the blocks that start in [from, until); `from` is a block start. The pace is
// reached after a block counted that reaches due(), with the offset after it.
OcbScan WalkOcbBlocks(Cursor& cursor, OcbLayout layout, std::uint64_t from, std::uint64_t until, Pace& pace,
                      bool verify, bool countHours) {
  OcbScan scan;
  const std::uint64_t size = cursor.size();
  const std::uint64_t stride = kOcbBlockLength + layout.padding;
  std::uint64_t start = from;
  for (; start < until; start += stride) {
    // A header cut before the end of its day field is no block: its half mark
    // followed by filler would read as a day.
    if (start + 8 > size) {
      if (start < size) scan.trailingAt = start;
      scan.end.ended = true;
      break;
    }
    ByteView block = cursor.at(start, kOcbBlockLength);
    if (cursor.failure()) {
      scan.end.failure = cursor.failure();
      return scan;
    }
    const unsigned day = static_cast<unsigned>(block.bcd(6, 2));
    if (day == 0 || day == 4040) {
      scan.endMarkAt = start;
      scan.end.ended = true;
      break;
    }
    // Only slots wholly in the file hold calls; a full block ends with one.
    const std::uint64_t inFile = std::min<std::uint64_t>(block.size(), size - start);
    const std::uint8_t* slots = block.data() + kOcbSlotsOffset;
    auto isCall = [&](int k) {
      return kOcbSlotsOffset + kOcbSlotLength * static_cast<unsigned>(k + 1) <= inFile &&
             SlotHoldsCall(slots + kOcbSlotLength * static_cast<unsigned>(k));
    };
    if (!scan.notFullAt && !isCall(kOcbSlotsPerBlock - 1)) scan.notFullAt = start;
    if (inFile < kOcbBlockLength && !scan.trailingAt) scan.trailingAt = start;
    if (verify) {
      // A slot that holds a call lies wholly in the view: its day and hour bytes are read in place.
      for (int k = 0; k < kOcbSlotsPerBlock; ++k) {
        if (!isCall(k)) continue;
        ++scan.calls;
        const std::uint8_t* slot = slots + kOcbSlotLength * static_cast<unsigned>(k);
        if (countHours) scan.hours.add(std::uint64_t{slot[3]} << 16 | std::uint64_t{slot[4]} << 8 | slot[5]);
      }
    }
    ++scan.blocks;
    if (start + stride >= pace.due() && !pace.reached(start + stride)) {
      scan.end.stopped = true;
      return scan;
    }
  }
  scan.end.next = start;
  return scan;
}

}  // namespace

OcbScan CountOcbBlocks(BlockReader& file, OcbLayout layout, ReaderContext& ctx) {
  ctx.setProgress(0);
  const std::uint64_t stride = kOcbBlockLength + layout.padding;
  // The bar shows the blocks counted; it refuses the values past 100.
  auto percentAt = [&](std::uint64_t position) {
    return 100 * ((position - std::min(position, layout.base)) / stride) / kProgressBlocks;
  };
  Pace pace([&](std::uint64_t position, std::uint64_t& due) {
    due = position + stride;
    const std::uint64_t percent = percentAt(position);
    if (percent <= 100) ctx.setProgress(static_cast<int>(percent));
    return true;
  });
  PieceRules rules;
  rules.startNear = [&](Cursor&, std::uint64_t boundary, std::uint64_t limit) -> std::optional<std::uint64_t> {
    const std::uint64_t start = layout.base + (boundary - layout.base + stride - 1) / stride * stride;
    if (start < limit) return start;
    return std::nullopt;
  };
  rules.progressAt = percentAt;
  const bool verify = ctx.options().verify;
  const bool countHours = ctx.countsHours();
  OcbScan scan = WalkInPieces<OcbScan>(ctx, file, layout.base, rules, pace,
                                       [&](Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& paced) {
                                         return WalkOcbBlocks(cursor, layout, from, until, paced, verify, countHours);
                                       });
  ctx.setProgress(100);
  return scan;
}

std::string OcbHourStamp(std::uint64_t key, const OcbHeader& header) {
  const std::uint8_t slot[6] = {0, 0, 0, static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 8),
                                static_cast<std::uint8_t>(key)};
  ByteView bytes(slot, sizeof slot);
  return Stamp(OcbDayToDate(static_cast<unsigned>(bytes.bcd(3, 2)), header), bytes.hex(5, 1) + ":00:00");
}

bool IsOcbCall(const ByteView& slot) {
  if (slot.contains(18, 9)) return SlotHoldsCall(slot.data());
  // The digit field holds some digits and some filler.
  int fillers = 0;
  for (std::size_t i = 18; i < 27; ++i) {
    std::uint8_t b = slot[i];
    fillers += ((b >> 4) == 0xF) + ((b & 0x0F) == 0xF);
  }
  return fillers > 0 && fillers < 18;
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
  record.valid = inFile && IsOcbCall(slot);
  return record;
}

ReaderOutcome ReadOcbFile(const std::string& path, OcbLayout& carried, ReaderContext& ctx) {
  auto opened = ctx.open(path, kOcbFill);
  if (!opened) return FromIoError(opened.error());
  BlockReader& file = **opened;

  auto layout = ProbeOcbLayout(file, carried);
  if (!layout) return FromIoError(layout.error());
  carried = *layout;
  auto read = ReadOcbHeader(file, *layout);
  if (!read) return FromIoError(read.error());
  const OcbHeader header = *read;
  OcbScan scan = CountOcbBlocks(file, *layout, ctx);
  if (scan.end.failure) return FromIoError(*scan.end.failure);
  const std::uint64_t blocks = scan.blocks;
  CallRange range;
  if (ctx.options().verify) range.verifiedRecords = scan.calls;
  if (ctx.countsHours())
    range.callsPerHour = scan.hours.finish([&header](std::uint64_t key) { return OcbHourStamp(key, header); });
  if (!layout->seen)
    range.warnings.push_back({WarningKind::AssumedLayout,
                              "neither block mark, and no OCB file with one was read before: read in layout A",
                              std::nullopt});
  if (scan.endMarkAt && *scan.endMarkAt + kOcbBlockLength + layout->padding < file.fileSize()) {
    const std::uint64_t after = *scan.endMarkAt + kOcbBlockLength + layout->padding;
    range.warnings.push_back({WarningKind::StoppedEarly,
                              "the end mark leaves " + ByteCount(file.fileSize() - after) + " after it", after});
  }
  if (scan.trailingAt)
    range.warnings.push_back({WarningKind::TrailingBytes,
                              ByteCount(file.fileSize() - *scan.trailingAt) + " after the last whole block",
                              scan.trailingAt});
  if (blocks == 0) {
    // The first block already ends the data: no records.
    ctx.setProgress(0);
    return range;
  }
  if (scan.notFullAt && *scan.notFullAt < BlockStart(*layout, blocks - 1))
    range.warnings.push_back({WarningKind::EstimatedCount,
                              "a block before the last is not full, though the count takes each as 48 records",
                              scan.notFullAt});

  range.startOffset = layout->base + kOcbSlotsOffset;
  auto first = ReadSlot(file, *range.startOffset, header);
  if (!first) return FromIoError(first.error());

  // The last block is searched from its end for the last valid slot.
  std::uint64_t last = BlockStart(*layout, blocks - 1) + kOcbSlotsOffset;
  int lastSlots = 0;
  OcbRecord end;
  for (int k = kOcbSlotsPerBlock - 1; k >= 0; --k) {
    range.endOffset = last + kOcbSlotLength * static_cast<std::uint64_t>(k);
    auto record = ReadSlot(file, *range.endOffset, header);
    if (!record) return FromIoError(record.error());
    if (record->valid) {
      lastSlots = k + 1;
      end = *record;
      break;
    }
  }

  range.records = (blocks - 1) * kOcbSlotsPerBlock + static_cast<std::uint64_t>(lastSlots);
  ctx.setProgress(0);
  if (range.records == 0) return range;
  if (lastSlots == 0) {
    // An empty last block: the block before it is full, its last slot is the end.
    range.endOffset = BlockStart(*layout, blocks - 2) + kOcbSlotsOffset + kOcbSlotLength * (kOcbSlotsPerBlock - 1);
    auto record = ReadSlot(file, *range.endOffset, header);
    if (!record) return FromIoError(record.error());
    end = *record;
  }
  range.start = RecordText(*first);
  range.end = RecordText(end);
  return range;
}

}  // namespace vellmark
