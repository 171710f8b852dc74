#include "readers/modE10B.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "core/block_reader.h"
#include "core/texts.h"
#include "readers/file_pieces.h"
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

namespace {

// What a walk of whole blocks found. The chain is checked within the walk; the first
// ticket of a walk starts it as if nothing came before, and the join checks it
// against the ticket before.
struct E10bTally {
  WalkEnd end;
  bool verify = false;
  std::optional<std::uint64_t> firstAt;  // the walk's first ticket
  unsigned firstSeq = 0;
  std::uint64_t records = 0;             // tickets of the chain from the first on
  std::optional<std::uint64_t> brokenAt;  // the first ticket that breaks it
  unsigned lastSeq = 0;                  // the last ticket of the chain
  std::uint64_t lastAt = 0;
  std::array<std::uint8_t, kSlotSize> first{}, last{};  // the two tickets' bytes
  std::uint64_t verified = 0;            // every ticket, the chain broken or not (verify mode)
  HourCounter hours;

  void join(E10bTally&& later) {
    verified += later.verified;
    hours.merge(later.hours);
    if (!brokenAt && later.firstAt) {
      if (records > 0 && later.firstSeq != lastSeq + 1 && later.firstSeq != 1) {
        brokenAt = later.firstAt;
        if (!verify) {
          // An older run of tickets: the read ends here.
          end.next = *brokenAt;
          end.ended = true;
          return;
        }
      } else {
        if (records == 0) {
          firstAt = later.firstAt;
          firstSeq = later.firstSeq;
          first = later.first;
        }
        records += later.records;
        lastSeq = later.lastSeq;
        lastAt = later.lastAt;
        last = later.last;
        brokenAt = later.brokenAt;
      }
    }
    end = later.end;
  }
};

// Walks the whole blocks that start in [from, until); `from` is a block start. The
// pace is reached after a block that reaches due(), with the offset after it. Without kVerify the
// walk ends at a break of the chain.
template <bool kVerify>
E10bTally WalkE10bBlocks(Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& pace, bool countHours) {
  E10bTally t;
  t.verify = kVerify;
  const std::uint64_t wholeEnd = cursor.size() / kBlockSize * kBlockSize;
  unsigned previous = 0;
  std::uint64_t b = from;
  for (; b < until && b < wholeEnd; b += kBlockSize) {
    ByteView block = cursor.at(b, kBlockSize);
    if (cursor.failure()) {
      t.end.failure = cursor.failure();
      return t;
    }
    // A whole block of the file lies in the view.
    const std::uint8_t* p = block.data();
    const std::uint8_t* lastInBlock = nullptr;
    std::uint64_t records = t.records;  // kept in a register through the block
    for (std::size_t s = 0; s < kSlotsPerBlock; ++s) {
      if constexpr (!kVerify) {
        // Six tickets at a time while each is the one after the ticket before it.
        while (records > 0 && s + 6 <= kSlotsPerBlock) {
          unsigned off = 0;
          for (unsigned j = 0; j < 6; ++j)
            off |= (unsigned{p[(s + j) * kSlotSize]} << 8 | p[(s + j) * kSlotSize + 1]) ^ (previous + 1 + j);
          if (off != 0) break;
          previous += 6;
          records += 6;
          lastInBlock = p + (s + 5) * kSlotSize;
          s += 6;
        }
        if (s == kSlotsPerBlock) break;
      }
      const std::uint8_t* r = p + s * kSlotSize;
      // Unsigned: a high byte of 0x80 or more is just a large sequence number.
      const unsigned seq = unsigned{r[0]} << 8 | r[1];
      if (seq == 0) continue;  // empty slot: neither counts nor breaks the chain
      if constexpr (kVerify) {
        ++t.verified;
        // Hours are keyed by the day and hour bytes of the ticket.
        if (countHours) t.hours.add(std::uint64_t{r[8]} << 16 | std::uint64_t{r[9]} << 8 | r[10]);
        if (t.brokenAt) continue;  // verify mode reads on past the break
      }
      // The chain goes on: the common case first.
      if (seq == previous + 1 && records > 0) {
        previous = seq;
        ++records;
        lastInBlock = r;
        continue;
      }
      const std::uint64_t at = b + s * kSlotSize;
      if (records > 0 && seq != 1) {
        t.brokenAt = at;  // an older run of tickets: the records end here
        if constexpr (!kVerify) break;
        continue;
      }
      if (records++ == 0) {
        t.firstAt = at;
        t.firstSeq = seq;
        std::copy(r, r + kSlotSize, t.first.begin());
      }
      previous = seq;
      lastInBlock = r;
    }
    t.records = records;
    // The last ticket is kept as bytes; its stamp is built once, at the end.
    if (lastInBlock) {
      t.lastAt = b + static_cast<std::uint64_t>(lastInBlock - p);
      std::copy(lastInBlock, lastInBlock + kSlotSize, t.last.begin());
    }
    t.lastSeq = previous;
    if (!kVerify && t.brokenAt) {
      t.end.next = *t.brokenAt;
      t.end.ended = true;
      return t;
    }
    if (b + kBlockSize >= pace.due() && !pace.reached(b + kBlockSize)) {
      t.end.stopped = true;
      return t;
    }
  }
  t.end.next = std::max(b, until);
  return t;
}

}  // namespace

ReaderOutcome ReadE10bFile(const std::string& path, ReaderContext& ctx) {
  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  BlockReader& file = **opened;
  const std::uint64_t size = file.fileSize();
  const std::uint64_t blocks = size / kBlockSize;
  std::uint64_t step = DivideRoundHalfEven(blocks, 100);
  if (step == 0) step = 1;
  const int year = ctx.currentYear();
  const bool verify = ctx.options().verify;
  const bool countHours = ctx.countsHours();

  // After every block: the bar, then a stop point.
  Pace pace([&](std::uint64_t position, std::uint64_t& due) {
    due = position + kBlockSize;
    const std::uint64_t b = position / kBlockSize - 1;
    if (ctx.progress() < 100) ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(b / step, 100)));
    return !ctx.pollStop();
  });
  PieceRules rules;
  rules.startNear = [](Cursor&, std::uint64_t boundary, std::uint64_t limit) -> std::optional<std::uint64_t> {
    const std::uint64_t start = (boundary + kBlockSize - 1) / kBlockSize * kBlockSize;
    if (start < limit) return start;
    return std::nullopt;
  };
  rules.progressAt = [step](std::uint64_t position) { return position / kBlockSize / step; };
  rules.polls = true;
  auto walk = [countHours, verify](Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& paced) {
    return verify ? WalkE10bBlocks<true>(cursor, from, until, paced, countHours)
                  : WalkE10bBlocks<false>(cursor, from, until, paced, countHours);
  };
  E10bTally tally = WalkInPieces<E10bTally>(ctx, file, 0, rules, pace, walk);
  if (tally.end.failure) return FromIoError(*tally.end.failure);
  if (tally.end.stopped) {
    ctx.setProgress(0);
    return Stopped{};
  }

  CallRange range;
  range.records = tally.records;
  if (tally.records > 0) {
    range.start = E10bStamp(ByteView(tally.first.data(), kSlotSize), year);
    range.end = E10bStamp(ByteView(tally.last.data(), kSlotSize), year);
    range.startOffset = tally.firstAt;
    range.endOffset = tally.lastAt;
  }
  if (verify) range.verifiedRecords = tally.verified;
  if (countHours)
    range.callsPerHour = tally.hours.finish([year](std::uint64_t key) {
      const std::uint8_t bytes[11] = {0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(key >> 16),
                                      static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
      return E10bStamp(ByteView(bytes, sizeof bytes), year);
    });
  if (tally.brokenAt)
    range.warnings.push_back({WarningKind::StoppedEarly,
                              "the sequence numbers break here; the " + ByteCount(size - *tally.brokenAt) +
                                  " from here on are not counted",
                              tally.brokenAt});
  if (size % kBlockSize != 0)
    range.warnings.push_back(
        {WarningKind::TrailingBytes, ByteCount(size % kBlockSize) + " after the last whole block", blocks * kBlockSize});
  ctx.setProgress(100);
  ctx.setProgress(0);
  return range;
}

}  // namespace vellmark
