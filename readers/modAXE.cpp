#include "readers/modAXE.h"

#include <algorithm>
#include <cstdint>

#include "core/block_reader.h"
#include "readers/file_pieces.h"
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

namespace {

// What a walk of blocks found.
struct AxeTally {
  WalkEnd end;
  std::uint64_t records = 0;
  std::optional<std::uint64_t> firstAt;  // the walk's first record, and its stamp
  std::string start;
  std::optional<std::uint64_t> lastAt;   // the last record of the file's last block, and its stamp
  std::string last;
  HourCounter hours;

  void join(AxeTally&& later) {
    records += later.records;
    if (!firstAt) {
      firstAt = later.firstAt;
      start = std::move(later.start);
    }
    if (later.lastAt) {
      lastAt = later.lastAt;
      last = std::move(later.last);
    }
    hours.merge(later.hours);
    end = later.end;
  }
};

// The record length in the three characters at p, of which `have` lie in the block.
inline unsigned LengthAt(const std::uint8_t* p, std::size_t have) {
  if (have >= kLengthWidth) {
    const unsigned d0 = p[0] - '0', d1 = p[1] - '0', d2 = p[2] - '0';
    if (d0 < 10 && d1 < 10 && d2 < 10) return d0 * 100 + d1 * 10 + d2;
  }
  return DigitsSkippingBlanks(ByteView(p, std::min(have, kLengthWidth)), 0, std::min(have, kLengthWidth));
}

// Walks the blocks that start in [from, until); `from` is a block start. `k` is the
// layout of the file's first record, or nothing when the walk is to take it from the
// first record it meets. The pace is reached after a block that reaches due(), with the
// offset after it.
AxeTally WalkAxeBlocks(Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& pace, std::optional<int> layout,
                       bool countHours) {
  AxeTally t;
  const std::uint64_t size = cursor.size();
  // Only a file of whole blocks has a last block that gives the end stamp.
  const std::uint64_t lastBlockAt = size % kBlockSize == 0 && size > 0 ? size - kBlockSize : UINT64_MAX;
  int k = layout.value_or(1);
  std::uint64_t offset = from;
  for (; offset < until; offset += kBlockSize) {
    ByteView view = cursor.at(offset, kBlockSize);
    if (cursor.failure()) {
      t.end.failure = cursor.failure();
      return t;
    }
    // A final partial block holds only the bytes the file has.
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size - offset));
    const std::uint8_t* p = view.data();
    const bool lastBlock = offset == lastBlockAt;
    // The block's last byte is its 0 mark, never the start of a record.
    const std::size_t limit = std::min(kBlockSize - 1, length);
    std::size_t at = 0;
    std::uint64_t records = t.records;  // in a register through the block
    while (at < limit) {
      const unsigned recordLength = LengthAt(p + at, length - at);
      if (recordLength < kLengthWidth) break;  // padding, or a length that would not move on
      if (records == 0 || lastBlock || countHours) [[unlikely]] {
        t.records = records;
        ByteView record(p + at, std::min<std::size_t>(recordLength, length - at));
        if (t.records == 0) {
          if (!layout) k = AxeLayoutShift(record);
          t.start = AxeStamp(record, k);
          t.firstAt = offset + at;
        }
        if (lastBlock) {
          if (HasFullNumber(record)) k = 0;
          t.lastAt = offset + at;
          t.last = AxeStamp(record, k);
        }
        if (countHours) t.hours.add(AxeHourKey(record, k));
      }
      ++records;
      at += recordLength;
    }
    t.records = records;
    if (offset + kBlockSize >= pace.due() && !pace.reached(offset + kBlockSize)) {
      t.end.stopped = true;
      return t;
    }
  }
  t.end.next = offset;
  return t;
}

}  // namespace

ReaderOutcome ReadAxeFile(const std::string& path, ReaderContext& ctx) {
  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  BlockReader& file = **opened;
  const std::uint64_t size = file.fileSize();

  // blocks = size / 2048, so i * 100 / blocks = i * 204800 / size for block i (from 1).
  Pace pace([&](std::uint64_t position, std::uint64_t& due) {
    due = position + kBlockSize;
    if (ctx.progress() < 100) {
      std::uint64_t value = position * 100 / size;
      if (value <= 100) ctx.setProgress(static_cast<int>(value));
    }
    return true;
  });
  PieceRules rules;
  rules.progressAt = [size](std::uint64_t position) { return position * 100 / size; };
  // The layout of the file's first record holds for the whole file: when block 0 has
  // that record, pieces may start at any block.
  std::optional<int> layout;
  Cursor cursor(file);
  ByteView head = cursor.at(0, kBlockSize);
  if (cursor.failure()) return FromIoError(*cursor.failure());
  const std::size_t headLength = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size));
  if (headLength > 0) {
    const unsigned firstLength = LengthAt(head.data(), headLength);
    if (firstLength >= kLengthWidth) {
      layout = AxeLayoutShift(ByteView(head.data(), std::min<std::size_t>(firstLength, headLength)));
      rules.startNear = [](Cursor&, std::uint64_t boundary, std::uint64_t limit) -> std::optional<std::uint64_t> {
        const std::uint64_t start = (boundary + kBlockSize - 1) / kBlockSize * kBlockSize;
        if (start < limit) return start;
        return std::nullopt;
      };
    }
  }
  const bool countHours = ctx.countsHours();
  AxeTally tally = WalkInPieces<AxeTally>(ctx, file, 0, rules, pace,
                                          [&](Cursor& c, std::uint64_t from, std::uint64_t until, Pace& paced) {
                                            return WalkAxeBlocks(c, from, until, paced, layout, countHours);
                                          });
  if (tally.end.failure) return FromIoError(*tally.end.failure);
  if (tally.end.stopped) {
    ctx.setProgress(0);
    return Stopped{};
  }

  CallRange range;
  range.records = tally.records;
  range.start = std::move(tally.start);
  range.startOffset = tally.firstAt;
  range.end = std::move(tally.last);
  range.endOffset = tally.lastAt;
  if (ctx.options().verify) range.verifiedRecords = tally.records;  // every record is walked already
  if (countHours) range.callsPerHour = tally.hours.finish(AxeHourStamp);
  if (size % kBlockSize != 0)
    range.warnings.push_back({WarningKind::TrailingBytes,
                              ByteCount(size % kBlockSize) + " after the last whole block, so the last call is not read",
                              size / kBlockSize * kBlockSize});
  ctx.setProgress(100);
  ctx.setProgress(0);
  return range;
}

}  // namespace vellmark
