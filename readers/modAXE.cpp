#include "readers/modAXE.h"

#include <algorithm>
#include <cstdint>

#include "core/block_reader.h"
#include "readers/hour_counter.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

constexpr std::size_t kBlockSize = 2048;
constexpr std::size_t kLengthWidth = 3;

// The 16-character number at 19..34 is all there and has no blank at either end.
bool HasFullNumber(const ByteView& record) {
  return record.size() >= 34 && record[18] != ' ' && record[33] != ' ';
}

// The characters a record has of the field at 1-based `pos`.
std::string Field(const ByteView& record, std::size_t pos, std::size_t width) {
  ByteView field = record.sub(pos - 1, width);
  return field.text(0, field.size());
}

}  // namespace

int AxeLayoutShift(const ByteView& firstRecord) {
  int k = HasFullNumber(firstRecord) ? 0 : 1;
  ByteView tail = firstRecord.sub(34, 3);
  bool blanks = true;
  for (std::size_t i = 0; i < tail.size(); ++i) blanks = blanks && tail[i] == ' ';
  return blanks ? 2 : k;
}

namespace {

// 1-based places of the hour and the year fields in layout k.
std::size_t HourField(int k) { return k == 2 ? 66 : 50 + static_cast<std::size_t>(k); }
std::size_t YearField(int k) { return k == 2 ? 87 : 71 + static_cast<std::size_t>(k); }

// A record's hour as its eight characters YYMMDDhh, for counting calls per hour.
std::uint64_t AxeHourKey(const ByteView& record, int k) {
  return record.bigEndian(YearField(k) - 1, 6) << 16 | record.bigEndian(HourField(k) - 1, 2);
}

std::string AxeHourStamp(std::uint64_t key) {
  std::string c(8, ' ');
  for (int i = 0; i < 8; ++i) c[static_cast<std::size_t>(7 - i)] = static_cast<char>(key >> (8 * i));
  return Stamp("20" + c.substr(0, 2) + "-" + c.substr(2, 2) + "-" + c.substr(4, 2), c.substr(6, 2) + ":00:00");
}

}  // namespace

std::string AxeStamp(const ByteView& record, int k) {
  std::size_t hour = HourField(k);
  std::size_t year = YearField(k);
  return Stamp("20" + Field(record, year, 2) + "-" + Field(record, year + 2, 2) + "-" + Field(record, year + 4, 2),
               Field(record, hour, 2) + ":" + Field(record, hour + 2, 2) + ":" + Field(record, hour + 4, 2));
}

ReaderOutcome ReadAxeFile(const std::string& path, ReaderContext& ctx) {
  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  const std::uint64_t size = (*opened)->fileSize();
  // Only a file of whole blocks has a last block that gives the end stamp.
  const std::uint64_t lastWholeBlock = size % kBlockSize == 0 ? size / kBlockSize : 0;

  CallRange range;
  std::uint64_t& count = range.records;
  const bool countHours = ctx.countsHours();
  HourCounter hours;
  int k = 1;
  std::uint64_t i = 0;
  for (std::uint64_t offset = 0; offset < size; offset += kBlockSize) {
    auto view = (*opened)->view(offset, kBlockSize);
    if (!view) return FromIoError(view.error());
    // A final partial block holds only the bytes the file has.
    ByteView block = view->sub(0, static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size - offset)));
    ++i;
    const bool lastBlock = i == lastWholeBlock;
    ByteView lastRecord;
    int lastK = k;
    bool any = false;

    // The block's last byte is its 0 mark, never the start of a record.
    const std::size_t limit = std::min(kBlockSize - 1, block.size());
    std::size_t p = 0;
    while (p < limit) {
      ByteView field = block.sub(p, kLengthWidth);
      unsigned length = DigitsSkippingBlanks(field, 0, field.size());
      if (length < kLengthWidth) break;  // padding, or a length that would not move on
      ByteView record = block.sub(p, length);
      if (count == 0) {
        k = AxeLayoutShift(record);
        range.start = AxeStamp(record, k);
        range.startOffset = offset + p;
      }
      if (lastBlock) {
        if (HasFullNumber(record)) k = 0;
        lastRecord = record;
        lastK = k;
        any = true;
        range.endOffset = offset + p;
      }
      if (countHours) hours.add(AxeHourKey(record, k));
      ++count;
      p += length;
    }
    if (any) range.end = AxeStamp(lastRecord, lastK);

    // blocks = size / 2048, so i * 100 / blocks = i * 204800 / size.
    if (ctx.progress() < 100) {
      std::uint64_t value = i * (100 * kBlockSize) / size;
      if (value <= 100) ctx.setProgress(static_cast<int>(value));
    }
  }
  if (ctx.options().verify) range.verifiedRecords = count;  // every record is walked already
  if (countHours) range.callsPerHour = hours.finish(AxeHourStamp);
  if (size % kBlockSize != 0)
    range.warnings.push_back({WarningKind::TrailingBytes,
                              ByteCount(size % kBlockSize) + " after the last whole block, so the last call is not read",
                              size / kBlockSize * kBlockSize});
  ctx.setProgress(100);
  ctx.setProgress(0);
  return range;
}

}  // namespace vellmark
