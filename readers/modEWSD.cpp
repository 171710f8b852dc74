#include "readers/modEWSD.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "core/block_reader.h"
#include "readers/ewsd_packages.h"
#include "readers/hour_counter.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

constexpr std::uint8_t kEwsdFill = 0;
constexpr std::uint64_t kBarMaximum = 100;

// The length of the items whose first byte alone gives it; 0 for skip items (0x81)
// and call records, whose second byte gives theirs.
constexpr std::array<std::uint8_t, 256> kFixedLength = [] {
  std::array<std::uint8_t, 256> t{};
  t[0x80] = 1;
  t[0x00] = 32;
  for (int k = 0x7A; k <= 0x7C; ++k) t[k] = 64;
  for (int k = 0x01; k <= 0x03; ++k) t[k] = 32;
  return t;
}();

// Where a call record lies in the file.
struct RecordPlace {
  std::uint64_t offset = 0;
  std::size_t length = 0;  // L
};

// Walks the items of the file through one large view at a time, reading only each
// item's first byte and, for skip items and records, its second. A failed read ends
// the walk; the cursor then tells why.
class ItemScanner {
 public:
  explicit ItemScanner(Cursor& cursor) : cursor_(cursor), size_(cursor.size()) {}

  // The next call record at or after `pos`; `pos` moves past it. Nothing when the file
  // ends first, or at an item that would not move the search on.
  std::optional<RecordPlace> FindNextEwsdRecord(std::uint64_t& pos) {
    while (pos < size_) {
      if (!load(pos)) return std::nullopt;
      // Items whose two bytes lie in the view are walked here, bounds checked once
      // per item against the view held.
      const std::uint8_t* bytes = view_.data();
      const std::size_t n = view_.size();
      std::size_t at = 0;
      while (at + 1 < n) {
        std::uint8_t kind = bytes[at];
        if (std::uint8_t fixed = kFixedLength[kind]) {
          at += fixed;
          continue;
        }
        std::uint8_t length = bytes[at + 1];
        if (length == 0) {
          pos += at;
          return std::nullopt;
        }
        if (kind == 0x81) {
          at += length;
          continue;
        }
        RecordPlace place{pos + at, length};
        pos += at + length;
        return place;
      }
      pos += at;
      if (pos >= size_) break;
      if (pos + 2 > viewEnd() && viewEnd() < size_) continue;  // a new view first

      // The file's last byte: its second byte reads as the fill.
      std::size_t last = static_cast<std::size_t>(pos - viewStart_);
      std::uint8_t kind = view_.at(last);
      if (std::uint8_t fixed = kFixedLength[kind]) {
        pos += fixed;
        continue;
      }
      std::uint8_t length = view_.at(last + 1);
      if (length == 0) return std::nullopt;
      if (kind == 0x81) {
        pos += length;
        continue;
      }
      RecordPlace place{pos, length};
      pos += length;
      return place;
    }
    return std::nullopt;
  }

  // Walks on from `pos` like FindNextEwsdRecord, counting the call records into
  // `count` and keeping the last one in `last`, without stopping at each. Returns
  // true after a record that ends at or past `progressAt` - 1 (the bar may move;
  // `pos` is just past that record), false when the records end.
  // With kHours, every record is also counted under its hour in `hours`.
  template <bool kHours>
  bool CountEwsdRecords(std::uint64_t& pos, std::uint64_t progressAt, std::uint64_t& count, RecordPlace& last,
                        HourCounter* hours) {
    while (pos < size_) {
      if (!load(pos)) return false;
      const std::uint8_t* bytes = view_.data();
      const std::size_t n = view_.size();
      std::size_t at = 0;
      std::uint64_t counted = 0;
      std::size_t lastAt = 0;
      std::uint8_t lastLength = 0;
      bool progressDue = false;
      bool ended = false;
      std::optional<RecordPlace> crossing;  // a record the view holds only the start of
      // Records ending at or past this offset in the view call for the bar.
      const std::uint64_t dueAt = progressAt - 1 > viewStart_ ? progressAt - 1 - viewStart_ : 0;
      // The kind only steers branches, which the processor predicts: the next
      // item's offset then waits on no load but a length byte's.
      while (at + 1 < n) {
        std::uint8_t kind = bytes[at];
        std::uint8_t fixed = kFixedLength[kind];
        if (fixed == 1) {
          at += 1;
        } else if (fixed == 32) {
          at += 32;
        } else if (fixed == 64) {
          at += 64;
        } else {
          std::uint8_t length = bytes[at + 1];
          if (length == 0) {
            ended = true;
            break;
          }
          if (kind != 0x81) {
            ++counted;
            lastAt = at;
            lastLength = length;
            if constexpr (kHours) {
              if (at + length + 1 <= n || viewEnd() >= size_)
                CountHour(ByteView(bytes + at, std::min<std::size_t>(length + 1u, n - at)), length, *hours);
              else
                crossing = RecordPlace{viewStart_ + at, length};
            }
            if (at + length >= dueAt) {
              at += length;
              progressDue = true;
              break;
            }
          }
          at += length;
        }
      }
      count += counted;
      if (counted > 0) last = RecordPlace{viewStart_ + lastAt, lastLength};
      pos = viewStart_ + at;
      if constexpr (kHours) {
        if (crossing && !CountHourAt(*crossing, *hours)) return false;
      }
      if (progressDue) return true;
      if (ended || pos >= size_) return false;
      if (pos + 2 > viewEnd() && viewEnd() < size_) continue;  // a new view first

      // The file's last byte: its second byte reads as the fill.
      auto place = FindNextEwsdRecord(pos);
      if (!place) return false;
      ++count;
      last = *place;
      if constexpr (kHours) {
        if (!CountHourAt(*place, *hours)) return false;
      }
      if (pos + 1 >= progressAt) return true;
    }
    return false;
  }

  // Counts the record at `place` under its hour, reading it anew; the view held
  // before is gone then. False when the read fails.
  bool CountHourAt(const RecordPlace& place, HourCounter& hours) {
    ByteView v = cursor_.at(place.offset, place.length + 1u);
    if (cursor_.failure()) return false;
    CountHour(v.sub(0, place.length + 1u), place.length, hours);
    view_ = ByteView();
    viewStart_ = place.offset;
    return true;
  }

 private:
  static void CountHour(const ByteView& bytes, std::size_t length, HourCounter& hours) {
    if (auto key = EwsdLeadingHourKey(bytes, length)) hours.add(*key);
    else if (std::uint32_t walked = EwsdCallHourKey(EwsdRecordBuffer{bytes, length, false, 0})) hours.add(walked);
  }

  // The bytes from `pos` on, at least two where the file has them.
  bool load(std::uint64_t pos) {
    view_ = cursor_.at(pos, 2);
    viewStart_ = pos;
    return !cursor_.failure();
  }
  std::uint64_t viewEnd() const { return viewStart_ + view_.size(); }

  Cursor& cursor_;
  std::uint64_t size_;
  ByteView view_;
  std::uint64_t viewStart_ = 0;
};

// Decodes the packages of one record; an unknown package gives up the file.
Result<EwsdPackageWalk, ReadFailure> WalkRecord(Cursor& cursor, const RecordPlace& place, ReaderContext& ctx) {
  ByteView v = cursor.at(place.offset, place.length + 1);
  if (cursor.failure()) return FromIoError(*cursor.failure());
  // The record and the byte after it; a record ending with the file is followed by 0.
  std::array<std::uint8_t, 256> bytes{};
  bool cutShort = place.offset + place.length > cursor.size();
  std::size_t present = cutShort ? static_cast<std::size_t>(cursor.size() - place.offset) : place.length + 1;
  for (std::size_t i = 0; i < present; ++i) bytes[i] = v.at(i);

  EwsdRecordBuffer record{ByteView(bytes.data(), present, kEwsdFill), place.length, cutShort, place.offset};
  auto walk = WalkEwsdPackages(record);
  if (walk && walk->unknownPackage) {
    ctx.message(EwsdUnknownPackageMessage(*walk->unknownPackage), kEwsdUnknownPackageCaption);
    return ReadFailure{FailureKind::UnknownPackage,
                       "record at offset " + std::to_string(place.offset) + ": package " +
                           std::to_string(*walk->unknownPackage) + " unknown",
                       place.offset};
  }
  return walk;
}

}  // namespace

ReaderOutcome ReadEwsdFile(const std::string& path, ReaderContext& ctx) {
  auto opened = ctx.open(path, kEwsdFill);
  if (!opened) return FromIoError(opened.error());
  Cursor cursor(**opened);
  const std::uint64_t size = cursor.size();
  // Files under 100 bytes have no steps: the bar stays put.
  PercentSteps steps(size / kBarMaximum);

  ItemScanner scanner(cursor);
  std::uint64_t position = 0;
  std::uint64_t count = 0;
  std::uint64_t previousPercent = 0;
  // After a record that reaches the next step: true when the user stopped the pass.
  auto moveBar = [&] {
    std::uint64_t percent = steps.value(position + 1);
    if (percent > previousPercent && percent <= kBarMaximum) {
      ctx.setProgress(static_cast<int>(percent));
      if (ctx.pollStop()) return true;
    }
    previousPercent = percent;
    return false;
  };

  CallRange range;
  RecordPlace last;
  const bool countHours = ctx.countsHours();
  HourCounter hours;
  // The first record is decoded; the others are only counted, the last one kept.
  if (auto first = scanner.FindNextEwsdRecord(position)) {
    auto walk = WalkRecord(cursor, *first, ctx);
    if (!walk) return walk.error();
    range.start = walk->text();
    range.startOffset = first->offset;
    count = 1;
    last = *first;
    if (countHours && !scanner.CountHourAt(*first, hours)) return FromIoError(*cursor.failure());
    bool due = steps.due(position + 1);
    for (;;) {
      if (due && moveBar()) {
        ctx.setProgress(0);
        return Stopped{};
      }
      if (position >= size) break;
      due = countHours ? scanner.CountEwsdRecords<true>(position, steps.next(), count, last, &hours)
                       : scanner.CountEwsdRecords<false>(position, steps.next(), count, last, nullptr);
      if (!due) break;
    }
  }
  if (cursor.failure()) return FromIoError(*cursor.failure());

  ctx.setProgress(0);
  range.records = count;
  if (ctx.options().verify) range.verifiedRecords = count;  // every record is walked already
  if (countHours)
    range.callsPerHour = hours.finish([](std::uint64_t key) { return EwsdHourStamp(static_cast<std::uint32_t>(key)); });
  if (position + 1 < size)
    range.warnings.push_back({WarningKind::StoppedEarly,
                              "an item that does not move on leaves " + ByteCount(size - position) + " unread",
                              position});
  else if (position + 1 == size)
    range.warnings.push_back({WarningKind::TrailingBytes, "1 byte after the last whole item", position});
  if (count > 0 && last.offset + last.length > size)
    range.warnings.push_back({WarningKind::TrailingBytes, "the last record is cut short by the end of the file",
                              last.offset});
  if (count == 0) return range;
  auto end = WalkRecord(cursor, last, ctx);
  if (!end) return end.error();
  range.end = end->text();
  range.endOffset = last.offset;
  return range;
}

}  // namespace vellmark
