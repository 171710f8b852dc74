#include "readers/modE10B.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "core/block_reader.h"
#include "core/texts.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

constexpr std::uint64_t kBlockSize = 2048;
constexpr std::size_t kSlotSize = 26;
constexpr std::size_t kSlotsPerBlock = 78;

std::string E10bStamp(const ByteView& record, int year) {
  return Stamp(E10bDateText(record, year), E10bTimeText(record));
}

}  // namespace

unsigned E10bSequenceNumber(const ByteView& record) {
  // Unsigned: a high byte of 0x80 or more is just a large sequence number.
  return static_cast<unsigned>(record.bigEndian(0, 2));
}

std::string E10bDateText(const ByteView& record, int year) {
  // February has 29 days in every year divisible by 4 (no century rule).
  std::array<unsigned, 12> monthLengths{31, year % 4 == 0 ? 29u : 28u, 31, 30, 31, 30,
                                        31, 31, 30, 31, 30, 31};
  auto n = record.bcd(8, 2);
  unsigned m = 1;
  // The walk stops at December: a day past the year's end stays in December.
  while (m < 12 && n > monthLengths[m - 1]) {
    n -= monthLengths[m - 1];
    ++m;
  }
  char yearText[16];
  std::snprintf(yearText, sizeof yearText, "%04d", year);
  return std::string(yearText) + "-" + TwoDigits(m) + "-" + TwoDigits(static_cast<unsigned>(n % 100));
}

std::string E10bTimeText(const ByteView& record) {
  std::string t = RecordHexText(record, 10, 11);
  return t.substr(0, 2) + ":" + t.substr(2, 2) + ":00";
}

std::string RecordHexText(const ByteView& record, std::size_t firstOffset, std::size_t lastOffset) {
  if (lastOffset < firstOffset) return {};
  return record.hex(firstOffset, lastOffset - firstOffset + 1);
}

ReaderOutcome ReadE10bFile(const std::string& path, ReaderContext& ctx) {
  auto opened = OpenedFile::open(ctx.files(), path, 0);
  if (!opened) return FromIoError(opened.error());
  const std::uint64_t blocks = opened->size() / kBlockSize;
  std::uint64_t step = DivideRoundHalfEven(blocks, 100);
  if (step == 0) step = 1;
  const int year = ctx.currentYear();

  std::uint64_t count = 0;
  unsigned previous = 0;
  std::string firstStamp;
  // The last accepted slot is kept as bytes; its stamp is built once, at the end.
  std::array<std::uint8_t, kSlotSize> lastRecord{};

  for (std::uint64_t b = 0; b < blocks; ++b) {
    auto block = opened->reader().view(b * kBlockSize, kBlockSize);
    if (!block) return FromIoError(block.error());
    ByteView lastInBlock;
    bool chainBroken = false;
    for (std::size_t s = 0; s < kSlotsPerBlock; ++s) {
      ByteView record = block->sub(s * kSlotSize, kSlotSize);
      unsigned seq = E10bSequenceNumber(record);
      if (seq == 0) continue;  // empty slot: neither counts nor breaks the chain
      if (count > 0 && seq != previous + 1 && seq != 1) {
        chainBroken = true;  // an older run of tickets: the file's records end here
        break;
      }
      if (++count == 1) firstStamp = E10bStamp(record, year);
      previous = seq;
      lastInBlock = record;
    }
    if (lastInBlock.size() == kSlotSize)
      for (std::size_t i = 0; i < kSlotSize; ++i) lastRecord[i] = lastInBlock[i];
    if (chainBroken) break;

    if (ctx.progress() < 100) ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(b / step, 100)));
    if (ctx.pollStop()) {
      ctx.setProgress(0);
      return Stopped{};
    }
  }

  std::string lastStamp;
  if (count > 0) lastStamp = E10bStamp(ByteView(lastRecord.data(), lastRecord.size()), year);
  ctx.setProgress(100);
  ctx.setProgress(0);
  return CallRange{firstStamp, lastStamp, count};
}

}  // namespace vellmark
