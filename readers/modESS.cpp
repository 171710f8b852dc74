#include "readers/modESS.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/block_reader.h"
#include "core/texts.h"
#include "readers/hour_counter.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

constexpr std::size_t kRecordLength = 122;
constexpr std::size_t kDateAt = 43;  // 0-based
constexpr std::size_t kTimeAt = 49;
constexpr std::size_t kFieldWidth = 6;
constexpr std::uint64_t kProgressEvery = 100;

// The six digits YYMMDD and hhmmss as "20YY-MM-DD   hh:mm:ss".
std::string EssStamp(unsigned date, unsigned time) {
  char text[48];
  std::snprintf(text, sizeof text, "20%02u-%02u-%02u   %02u:%02u:%02u", date / 10000, date / 100 % 100,
                date % 100, time / 10000, time / 100 % 100, time % 100);
  return text;
}

}  // namespace

ReaderOutcome ReadEssFile(const std::string& path, ReaderContext& ctx) {
  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  Cursor cursor(**opened);
  const std::uint64_t size = cursor.size();
  // One per cent of the file length, rounded half to even; never 0.
  const std::uint64_t perCent = std::max<std::uint64_t>(DivideRoundHalfEven(size, 100), 1);

  std::uint64_t pos = cursor.skip(0, ' ');
  // Nothing but blanks, or a first record cut short: no call at all.
  if (size - pos < kRecordLength) {
    ctx.setProgress(0);
    if (cursor.failure()) return FromIoError(*cursor.failure());
    CallRange none;
    if (pos < size)
      none.warnings.push_back({WarningKind::TrailingBytes, ByteCount(size - pos) + " after the last whole record", pos});
    return none;
  }
  ByteView record = cursor.at(pos, kRecordLength);
  unsigned earliestDate = DigitsSkippingBlanks(record, kDateAt, kFieldWidth), latestDate = earliestDate;
  unsigned earliestTime = DigitsSkippingBlanks(record, kTimeAt, kFieldWidth), latestTime = earliestTime;
  CallRange range;
  range.startOffset = range.endOffset = pos;
  std::uint64_t& count = range.records;
  count = 1;
  std::uint64_t dated = earliestDate != 0;
  // Hours are keyed by YYMMDDhh as numbers.
  const bool countHours = ctx.countsHours();
  HourCounter hours;
  if (countHours && earliestDate != 0) hours.add(std::uint64_t{earliestDate} * 100 + earliestTime / 10000);

  for (;;) {
    pos = cursor.skip(pos + kRecordLength, '\n');
    // A trailing piece shorter than a record is not a call.
    if (size - pos < kRecordLength) {
      if (pos < size)
        range.warnings.push_back(
            {WarningKind::TrailingBytes, ByteCount(size - pos) + " after the last whole record", pos});
      break;
    }
    record = cursor.at(pos, kRecordLength);
    unsigned d = DigitsSkippingBlanks(record, kDateAt, kFieldWidth);
    if (d == 0) continue;
    unsigned t = DigitsSkippingBlanks(record, kTimeAt, kFieldWidth);
    if (countHours) hours.add(std::uint64_t{d} * 100 + t / 10000);
    // Smallest and largest (date, time) in date-then-time order.
    if (d > latestDate) {
      latestDate = d;
      latestTime = t;
      range.endOffset = pos;
    }
    if (d < earliestDate) {
      earliestDate = d;
      earliestTime = t;
      range.startOffset = pos;
    }
    if (d == latestDate && t > latestTime) {
      latestTime = t;
      range.endOffset = pos;
    }
    if (d == earliestDate && t < earliestTime) {
      earliestTime = t;
      range.startOffset = pos;
    }
    ++count;
    ++dated;
    if (count % kProgressEvery == 0) {
      if (ctx.progress() < 100)
        ctx.setProgress(static_cast<int>(std::min<std::uint64_t>((pos + 1) / perCent, 100)));
      if (ctx.pollStop()) {
        ctx.setProgress(0);
        return Stopped{};
      }
    }
  }
  if (cursor.failure()) return FromIoError(*cursor.failure());
  ctx.setProgress(0);
  range.start = EssStamp(earliestDate, earliestTime);
  range.end = EssStamp(latestDate, latestTime);
  if (ctx.options().verify) range.verifiedRecords = dated;  // the first record counts even undated
  if (countHours)
    range.callsPerHour = hours.finish([](std::uint64_t key) {
      return EssStamp(static_cast<unsigned>(key / 100), static_cast<unsigned>(key % 100) * 10000);
    });
  return range;
}

}  // namespace vellmark
