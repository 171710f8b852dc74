#include "readers/modE10B.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "core/block_reader.h"
#include "core/texts.h"
#include "readers/hour_counter.h"
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
  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  const std::uint64_t size = (*opened)->fileSize();
  const std::uint64_t blocks = size / kBlockSize;
  std::uint64_t step = DivideRoundHalfEven(blocks, 100);
  if (step == 0) step = 1;
  const int year = ctx.currentYear();
  const bool verify = ctx.options().verify;
  const bool countHours = ctx.countsHours();
  // Hours are keyed by the day and hour bytes of the ticket.
  HourCounter hours;

  CallRange range;
  unsigned previous = 0;
  std::uint64_t verified = 0;
  std::optional<std::uint64_t> brokenAt;
  // The last accepted slot is kept as bytes; its stamp is built once, at the end.
  std::array<std::uint8_t, kSlotSize> lastRecord{};

  for (std::uint64_t b = 0; b < blocks; ++b) {
    auto block = (*opened)->view(b * kBlockSize, kBlockSize);
    if (!block) return FromIoError(block.error());
    ByteView lastInBlock;
    for (std::size_t s = 0; s < kSlotsPerBlock; ++s) {
      ByteView record = block->sub(s * kSlotSize, kSlotSize);
      unsigned seq = E10bSequenceNumber(record);
      if (seq == 0) continue;  // empty slot: neither counts nor breaks the chain
      ++verified;
      if (countHours) {
        const std::uint8_t* r = record.data();  // a whole slot of the block
        hours.add(std::uint64_t{r[8]} << 16 | std::uint64_t{r[9]} << 8 | r[10]);
      }
      if (brokenAt) continue;  // verify mode reads on past the break
      if (range.records > 0 && seq != previous + 1 && seq != 1) {
        brokenAt = b * kBlockSize + s * kSlotSize;  // an older run of tickets: the records end here
        if (!verify) break;
        continue;
      }
      if (++range.records == 1) {
        range.start = E10bStamp(record, year);
        range.startOffset = b * kBlockSize + s * kSlotSize;
      }
      previous = seq;
      lastInBlock = record;
      range.endOffset = b * kBlockSize + s * kSlotSize;
    }
    if (lastInBlock.size() == kSlotSize)
      for (std::size_t i = 0; i < kSlotSize; ++i) lastRecord[i] = lastInBlock[i];
    if (brokenAt && !verify) break;

    if (ctx.progress() < 100) ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(b / step, 100)));
    if (ctx.pollStop()) {
      ctx.setProgress(0);
      return Stopped{};
    }
  }

  if (range.records > 0) range.end = E10bStamp(ByteView(lastRecord.data(), lastRecord.size()), year);
  if (verify) range.verifiedRecords = verified;
  if (countHours)
    range.callsPerHour = hours.finish([year](std::uint64_t key) {
      const std::uint8_t bytes[11] = {0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(key >> 16),
                                      static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
      return E10bStamp(ByteView(bytes, sizeof bytes), year);
    });
  if (brokenAt)
    range.warnings.push_back({WarningKind::StoppedEarly,
                              "the sequence numbers break here; the " + ByteCount(size - *brokenAt) +
                                  " from here on are not counted",
                              brokenAt});
  if (size % kBlockSize != 0)
    range.warnings.push_back(
        {WarningKind::TrailingBytes, ByteCount(size % kBlockSize) + " after the last whole block", blocks * kBlockSize});
  ctx.setProgress(100);
  ctx.setProgress(0);
  return range;
}

}  // namespace vellmark
