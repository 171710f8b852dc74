#include "readers/modESS.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/block_reader.h"
#include "core/texts.h"
#include "readers/file_pieces.h"
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

// A record's date and time as their twelve characters YYMMDDhhmmss, big-endian: with
// digits only, the key orders as (date, time) do as numbers. Fields with blanks or
// other characters are read the lenient way and written back as digits.
struct EssKey {
  std::uint64_t high = 0;  // YYMMDDhh
  std::uint32_t low = 0;   // mmss
  auto operator<=>(const EssKey&) const = default;
  unsigned date() const { return Digits(high >> 16, 6); }
  unsigned time() const { return Digits(high & 0xFFFF, 2) * 10000 + Digits(low, 4); }
  bool undated() const { return high >> 16 == 0x303030303030; }  // "000000"

  static EssKey Of(const std::uint8_t* record) {
    EssKey key{BigEndian64(record + kDateAt), BigEndian32(record + kDateAt + 8)};
    if (AllDigits(key.high) && AllDigits(key.low)) return key;
    const ByteView r(record, kRecordLength);
    char text[16];
    std::snprintf(text, sizeof text, "%06u%06u", DigitsSkippingBlanks(r, kDateAt, kFieldWidth),
                  DigitsSkippingBlanks(r, kTimeAt, kFieldWidth));
    return {BigEndian64(reinterpret_cast<const std::uint8_t*>(text)),
            BigEndian32(reinterpret_cast<const std::uint8_t*>(text) + 8)};
  }

 private:
  // The number in the n digit characters at the low end of `chars`.
  static unsigned Digits(std::uint64_t chars, int n) {
    unsigned value = 0;
    for (int i = n - 1; i >= 0; --i) value = value * 10 + static_cast<unsigned>((chars >> (8 * i)) & 0x0F);
    return value;
  }
};

// The smallest and largest (date, time) of the dated records, each from its first
// record.
struct EssRange {
  bool any = false;
  EssKey earliest, latest;
  std::uint64_t earliestAt = 0, latestAt = 0;

  void take(const EssKey& key, std::uint64_t at) {
    if (!any || key > latest) {
      latest = key;
      latestAt = at;
    }
    if (!any || key < earliest) {
      earliest = key;
      earliestAt = at;
    }
    any = true;
  }
  // A tie keeps the earlier record, as one walk does.
  void join(const EssRange& later) {
    if (!later.any) return;
    if (!any || later.latest > latest) {
      latest = later.latest;
      latestAt = later.latestAt;
    }
    if (!any || later.earliest < earliest) {
      earliest = later.earliest;
      earliestAt = later.earliestAt;
    }
    any = true;
  }
};

// What a walk of records found.
struct EssTally {
  WalkEnd end;
  EssRange range;
  std::uint64_t dated = 0;
  HourCounter hours;  // keyed by the characters YYMMDDhh

  void join(EssTally&& later) {
    range.join(later.range);
    dated += later.dated;
    hours.merge(later.hours);
    end = later.end;
  }
};

// Walks the records from `from` (a record start) that start before `until`: each is
// followed by any number of line feeds. The pace is reached, with the record's 1-based
// position, each time the file's count (its first record included) reaches a multiple
// of 100. The records end where fewer than a record's bytes are left. With kHours,
// every dated record is counted under its hour.
template <bool kHours>
EssTally WalkEssRecords(Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& pace) {
  EssTally t;
  EssRange range;  // in locals through the loop
  std::uint64_t dated = 0;
  std::uint64_t toPace = kProgressEvery - 1;  // dated records until the next pace
  const std::uint64_t size = cursor.size();
  std::uint64_t pos = from;
  while (pos < until) {
    if (size - pos < kRecordLength) {
      t.end.ended = true;
      break;
    }
    ByteView view = cursor.at(pos, kRecordLength);
    if (cursor.failure()) {
      t.end.failure = cursor.failure();
      return t;
    }
    const std::uint8_t* p = view.data();
    const std::size_t n = view.size();
    std::size_t at = 0;
    // Records wholly in the view; `pos + at` is always a record start.
    while (pos + at < until && at + kRecordLength <= n) {
      const EssKey key = EssKey::Of(p + at);
      if (!key.undated()) {
        range.take(key, pos + at);
        if constexpr (kHours) t.hours.add(key.high);
        ++dated;
        if (--toPace == 0) {
          toPace = kProgressEvery;
          if (!pace.reached(pos + at + 1)) {
            t.end.stopped = true;
            return t;
          }
        }
      }
      std::size_t next = at + kRecordLength;
      while (next < n && p[next] == '\n') ++next;
      at = next;
      if (next == n) break;  // the line feeds may go on past the view
    }
    pos = cursor.skip(pos + at, '\n');
  }
  t.range = range;
  t.dated = dated;
  t.end.next = pos;
  return t;
}

}  // namespace

ReaderOutcome ReadEssFile(const std::string& path, ReaderContext& ctx) {
  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  BlockReader& file = **opened;
  Cursor cursor(file);
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
  // The first record seeds the range and counts, dated or not.
  const std::uint64_t first = pos;
  EssTally tally;
  const EssKey firstKey = EssKey::Of(cursor.at(first, kRecordLength).data());
  if (cursor.failure()) return FromIoError(*cursor.failure());
  tally.range.take(firstKey, first);
  const bool countHours = ctx.countsHours();
  if (!firstKey.undated()) {
    tally.dated = 1;
    if (countHours) tally.hours.add(firstKey.high);
  }

  Pace pace([&](std::uint64_t position, std::uint64_t&) {
    if (ctx.progress() < 100) ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(position / perCent, 100)));
    return !ctx.pollStop();
  });
  PieceRules rules;
  // A record starts where a run of line feeds ends.
  rules.startNear = [](Cursor& near, std::uint64_t mark, std::uint64_t limit) -> std::optional<std::uint64_t> {
    std::uint64_t at = mark - std::min<std::uint64_t>(mark, 1);
    while (at < limit) {
      ByteView v = near.at(at, 1);
      if (v.size() == 0) break;
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(v.size(), limit - at));
      if (const void* lf = std::memchr(v.data(), '\n', n)) {
        const std::uint64_t start = near.skip(at + (static_cast<const std::uint8_t*>(lf) - v.data()), '\n');
        if (start >= mark && start < limit) return start;
        if (start >= limit) break;
        at = start;
        continue;
      }
      at += n;
    }
    return std::nullopt;
  };
  rules.lookBehind = 1;
  rules.progressAt = [perCent](std::uint64_t position) { return position / perCent; };
  rules.polls = true;
  const std::uint64_t second = cursor.skip(first + kRecordLength, '\n');
  tally.join(countHours ? WalkInPieces<EssTally>(ctx, file, second, rules, pace, WalkEssRecords<true>)
                        : WalkInPieces<EssTally>(ctx, file, second, rules, pace, WalkEssRecords<false>));
  if (tally.end.stopped) {
    ctx.setProgress(0);
    return Stopped{};
  }
  if (tally.end.failure) return FromIoError(*tally.end.failure);
  if (cursor.failure()) return FromIoError(*cursor.failure());
  ctx.setProgress(0);

  CallRange range;
  range.records = tally.dated + (firstKey.undated() ? 1 : 0);
  range.start = EssStamp(tally.range.earliest.date(), tally.range.earliest.time());
  range.end = EssStamp(tally.range.latest.date(), tally.range.latest.time());
  range.startOffset = tally.range.earliestAt;
  range.endOffset = tally.range.latestAt;
  // A trailing piece shorter than a record is not a call.
  if (tally.end.next < size)
    range.warnings.push_back(
        {WarningKind::TrailingBytes, ByteCount(size - tally.end.next) + " after the last whole record", tally.end.next});
  if (ctx.options().verify) range.verifiedRecords = tally.dated;  // the first record counts even undated
  if (countHours)
    range.callsPerHour = tally.hours.finish([](std::uint64_t key) {
      const EssKey hour{key, 0x30303030};
      return EssStamp(hour.date(), hour.time());
    });
  return range;
}

}  // namespace vellmark
