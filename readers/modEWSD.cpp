#include "readers/modEWSD.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

#include "core/block_reader.h"
#include "readers/ewsd_packages.h"
#include "readers/file_pieces.h"
#include "readers/hour_counter.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

constexpr std::uint8_t kEwsdFill = 0;
constexpr std::uint64_t kBarMaximum = 100;
// How far before a piece a chain is walked to meet the file's own.
constexpr std::uint64_t kWarmUp = std::uint64_t{8} << 10;

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

  // Counts a record under its hour: `bytes` holds its L + 1 bytes, or those the file has.
  static void CountHour(const ByteView& bytes, std::size_t length, HourCounter& hours) {
    if (auto key = EwsdLeadingHourKey(bytes, length)) hours.add(*key);
    else if (std::uint32_t walked = EwsdCallHourKey(EwsdRecordBuffer{bytes, length, false, 0})) hours.add(walked);
  }

 private:

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

// What a walk of the items found: the call records it counted and the last of them.
struct EwsdTally {
  WalkEnd end;
  std::uint64_t count = 0;
  RecordPlace last;
  HourCounter hours;

  void join(EwsdTally&& later) {
    count += later.count;
    if (later.count > 0) last = later.last;
    hours.merge(later.hours);
    end = later.end;
  }
};

// The first byte from `at` on that is not a filler (0x80), looking eight at a time;
// `n` at most.
std::size_t PastFillers(const std::uint8_t* p, std::size_t at, std::size_t n) {
  for (; at + 8 <= n; at += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + at, sizeof w);
    if (std::uint64_t other = w ^ 0x8080808080808080) return at + static_cast<std::size_t>(__builtin_ctzll(other)) / 8;
  }
  while (at < n && p[at] == 0x80) ++at;
  return at;
}

// Walks the items that start in [from, until), counting the call records; `from` is
// an item start. An item that would not move on ends the walk there. The pace is
// reached after a record whose end + 1 reaches due(), with that position. With kHours,
// every record is also counted under its hour.
template <bool kHours>
EwsdTally WalkEwsdItems(Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& pace) {
  EwsdTally t;
  std::uint64_t count = 0;  // in registers through the loop
  std::uint64_t lastAt = 0;
  std::uint8_t lastLength = 0;
  const std::uint64_t size = cursor.size();
  std::uint64_t pos = from;
  while (pos < until) {
    ByteView view = cursor.at(pos, 2);
    if (cursor.failure()) {
      t.end.failure = cursor.failure();
      return t;
    }
    const std::uint8_t* p = view.data();
    const std::size_t n = view.size();
    // Items whose first two bytes lie in the view and that start before `until`.
    const std::size_t stopAt = static_cast<std::size_t>(std::min<std::uint64_t>(n, until - pos));
    const std::size_t limit = std::min(stopAt, n - 1);
    std::optional<RecordPlace> crossing;  // a record the view holds only the start of
    std::size_t at = 0;
    bool ended = false, due = false;
    // The kind only steers branches, which the processor predicts: the next item's
    // offset then waits on no load but a length byte's.
    while (at < limit) {
      const std::uint8_t kind = p[at];
      const std::uint8_t fixed = kFixedLength[kind];
      if (fixed == 1) {
        at = PastFillers(p, at + 1, stopAt);
      } else if (fixed != 0) {
        at += fixed;
      } else {
        const std::uint8_t length = p[at + 1];
        if (length == 0) {
          ended = true;
          break;
        }
        if (kind != 0x81) {
          ++count;
          lastAt = pos + at;
          lastLength = length;
          if constexpr (kHours) {
            if (at + length + 1u <= n || pos + n >= size)
              ItemScanner::CountHour(ByteView(p + at, std::min<std::size_t>(length + 1u, n - at)), length, t.hours);
            else
              crossing = RecordPlace{lastAt, length};
          }
          if (pos + at + length + 1 >= pace.due()) {
            at += length;
            due = true;
            break;
          }
        }
        at += length;
      }
    }
    pos += at;
    if constexpr (kHours) {
      if (crossing) {
        ByteView record = cursor.at(crossing->offset, crossing->length + 1u);
        if (cursor.failure()) {
          t.end.failure = cursor.failure();
          return t;
        }
        ItemScanner::CountHour(record.sub(0, crossing->length + 1u), crossing->length, t.hours);
      }
    }
    if (ended) {
      t.end.ended = true;
      break;
    }
    if (due && !pace.reached(pos + 1)) {
      t.end.stopped = true;
      break;
    }
    // The file's last byte: its second byte reads as the fill, a length of 0.
    if (pos + 1 == size && pos < until) {
      const std::uint8_t kind = cursor.at(pos, 1)[0];
      if (cursor.failure()) {
        t.end.failure = cursor.failure();
        return t;
      }
      if (kFixedLength[kind] == 0) {
        t.end.ended = true;
        break;
      }
      pos += kFixedLength[kind];
    }
  }
  t.count = count;
  t.last = RecordPlace{lastAt, lastLength};
  t.end.next = pos;
  return t;
}

// Where a walk of the items most likely stands at `mark`: the first item start from
// the mark on of a chain started `warmUp` bytes before it, since most chains soon meet
// the file's own (a length of 0 is no item: the chain starts again at the next byte).
// The join checks it.
std::optional<std::uint64_t> StartNearEwsdItem(Cursor& cursor, std::uint64_t mark, std::uint64_t limit,
                                               std::uint64_t warmUp) {
  std::uint64_t pos = mark - std::min(mark, warmUp);
  while (pos < mark) {
    ByteView v = cursor.at(pos, 2);
    if (cursor.failure() || v.size() < 2) return std::nullopt;
    const std::uint8_t fixed = kFixedLength[v[0]];
    pos += fixed != 0 ? fixed : v[1] != 0 ? v[1] : 1;
  }
  if (pos < limit) return pos;
  return std::nullopt;
}

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
  BlockReader& file = **opened;
  Cursor cursor(file);
  const std::uint64_t size = cursor.size();
  // Files under 100 bytes have no steps: the bar stays put.
  PercentSteps steps(size / kBarMaximum);
  std::uint64_t previousPercent = 0;
  // After a record that reaches the next step: false when the user stopped the pass.
  Pace pace(
      [&](std::uint64_t position, std::uint64_t& due) {
        std::uint64_t percent = steps.value(position);
        due = steps.next();
        if (percent > previousPercent && percent <= kBarMaximum) {
          ctx.setProgress(static_cast<int>(percent));
          if (ctx.pollStop()) return false;
        }
        previousPercent = percent;
        return true;
      },
      steps.next());
  PieceRules rules;
  // Never more than a piece: small pieces are for tests.
  rules.lookBehind = std::min(kWarmUp, ctx.options().pieceBytes);
  rules.startNear = [warmUp = rules.lookBehind](Cursor& near, std::uint64_t mark, std::uint64_t limit) {
    return StartNearEwsdItem(near, mark, limit, warmUp);
  };
  const std::uint64_t divisor = size / kBarMaximum;
  rules.progressAt = [divisor](std::uint64_t position) { return divisor > 0 ? position / divisor : 0; };
  rules.polls = true;

  ItemScanner scanner(cursor);
  std::uint64_t position = 0;
  CallRange range;
  EwsdTally tally;
  const bool countHours = ctx.countsHours();
  // The first record is decoded; the others are only counted, the last one kept.
  if (auto first = scanner.FindNextEwsdRecord(position)) {
    auto walk = WalkRecord(cursor, *first, ctx);
    if (!walk) return walk.error();
    range.start = walk->text();
    range.startOffset = first->offset;
    tally.count = 1;
    tally.last = *first;
    tally.end.next = position;
    if (countHours && !scanner.CountHourAt(*first, tally.hours)) return FromIoError(*cursor.failure());
    if (position + 1 >= pace.due() && !pace.reached(position + 1)) {
      ctx.setProgress(0);
      return Stopped{};
    }
    tally.join(countHours ? WalkInPieces<EwsdTally>(ctx, file, position, rules, pace, WalkEwsdItems<true>)
                          : WalkInPieces<EwsdTally>(ctx, file, position, rules, pace, WalkEwsdItems<false>));
    if (tally.end.stopped) {
      ctx.setProgress(0);
      return Stopped{};
    }
    if (tally.end.failure) return FromIoError(*tally.end.failure);
    position = tally.end.next;
  }
  if (cursor.failure()) return FromIoError(*cursor.failure());

  ctx.setProgress(0);
  const std::uint64_t count = tally.count;
  const RecordPlace& last = tally.last;
  range.records = count;
  if (ctx.options().verify) range.verifiedRecords = count;  // every record is walked already
  if (countHours)
    range.callsPerHour =
        tally.hours.finish([](std::uint64_t key) { return EwsdHourStamp(static_cast<std::uint32_t>(key)); });
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
