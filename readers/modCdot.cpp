#include "readers/modCdot.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "core/archive_names.h"
#include "core/block_reader.h"
#include "readers/file_pieces.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

constexpr std::uint64_t kRecordSize = 48;
constexpr std::size_t kReadSize = 49;
constexpr std::size_t kKindOffset = 27;

// At most n characters from the left or the right end of s.
std::string Left(const std::string& s, std::size_t n) { return s.substr(0, n); }
std::string Right(const std::string& s, std::size_t n) { return n >= s.size() ? s : s.substr(s.size() - n); }

}  // namespace

bool CdotNameHasDate(const std::string& path) {
  std::string name = EntryFileName(path);
  std::string base = name.substr(0, name.find('.'));
  std::string part = Right(base, base.size() == 10 ? 6 : 4);
  return part.find_first_of("0123456789") != std::string::npos;
}

std::string CdotDateText(const std::string& path, int currentYear) {
  // A member's own name, without a compression ending: day.zip#dir/CD1502.DAT.gz -> CD1502.DAT.
  std::string name = EntryFileName(path);
  std::string base = name.substr(0, name.find('.'));
  if (base.size() == 10) {
    std::string ddmmyy = Right(base, 6);
    return "20" + ddmmyy.substr(4, 2) + "-" + ddmmyy.substr(2, 2) + "-" + ddmmyy.substr(0, 2);
  }
  // Short bases are cut as they stand: a base AB gives day AB and month AB.
  std::string ddmm = Right(base, 4);
  int yy = ((currentYear % 100) + 100) % 100;
  std::string year{static_cast<char>('0' + yy / 10), static_cast<char>('0' + yy % 10)};
  return "20" + year + "-" + Right(ddmm, 2) + "-" + Left(ddmm, 2);
}

namespace {

// What a walk of the records found.
struct CdotTally {
  WalkEnd end;
  std::uint64_t records = 0;               // reads up to the end mark, the mark's own included
  std::optional<std::uint64_t> endMarkAt;  // the first record whose kind is above 2
  std::uint64_t verified = 0;              // whole call records, after the end mark too (verify mode)

  void join(CdotTally&& later) {
    if (!endMarkAt) {
      records += later.records;
      endMarkAt = later.endMarkAt;
    }
    verified += later.verified;
    end = later.end;
  }
};

// Walks the records that start in [from, until); `from` is a record start. Without
// kVerify the walk ends at the end mark. The pace is reached at the bar's steps, with
// the 1-based position of the next read.
template <bool kVerify>
CdotTally WalkCdotRecords(Cursor& cursor, std::uint64_t from, std::uint64_t until, Pace& pace) {
  CdotTally t;
  const std::uint64_t size = cursor.size();
  std::uint64_t o = from;
  while (o < until) {
    ByteView view = cursor.at(o, kReadSize);
    if (cursor.failure()) {
      t.end.failure = cursor.failure();
      break;
    }
    const std::uint8_t* p = view.data();
    const std::size_t n = view.size();
    // The records that start before `until` and whose kind byte the view holds; a last
    // record cut before its kind byte reads it as 0, a call.
    const std::uint64_t inRange = (until - o + kRecordSize - 1) / kRecordSize;
    const std::uint64_t inView = n > kKindOffset ? (n - kKindOffset - 1) / kRecordSize + 1 : 0;
    const std::size_t records = static_cast<std::size_t>(std::min(inRange, std::max<std::uint64_t>(inView, 1)));
    std::size_t at = 0;
    for (std::size_t r = 0; r < records; ++r, at += kRecordSize) {
      if constexpr (!kVerify) {
        // Four records at a time while no end mark and no step of the bar is near.
        while (r + 4 <= records && o + at + 4 * kRecordSize + 1 < pace.due() &&
               ((p[at + kKindOffset] > 2) | (p[at + kKindOffset + kRecordSize] > 2) |
                (p[at + kKindOffset + 2 * kRecordSize] > 2) | (p[at + kKindOffset + 3 * kRecordSize] > 2)) == 0) {
          at += 4 * kRecordSize;
          r += 4;
          t.records += 4;
        }
        if (r == records) break;
      }
      const std::uint64_t q = o + at;
      const bool call = view.at(at + kKindOffset) <= 2;
      if constexpr (kVerify) t.verified += call && size - q >= kRecordSize;
      if (!t.endMarkAt) {
        ++t.records;
        if (!call) t.endMarkAt = q;
      }
      if (!kVerify && t.endMarkAt) {
        t.end.next = q;
        t.end.ended = true;
        return t;
      }
      if (q + kRecordSize + 1 >= pace.due() && !pace.reached(q + kRecordSize + 1)) {
        t.end.stopped = true;
        return t;
      }
    }
    o += at;
  }
  t.end.next = o;
  return t;
}

}  // namespace

ReaderOutcome ReadCdotFile(const std::string& path, ReaderContext& ctx) {
  std::string date = CdotDateText(path, ctx.currentYear());

  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  BlockReader& file = **opened;
  const std::uint64_t size = file.fileSize();
  // The bar follows the 1-based position of the next read divided by a hundredth of
  // the file.
  const std::uint64_t divisor = std::max<std::uint64_t>(size / 100, 1);
  PercentSteps steps(divisor);
  Pace pace([&](std::uint64_t position, std::uint64_t& due) {
    ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(steps.value(position), 100)));
    due = steps.next();
    return true;
  });
  PieceRules rules;
  rules.startNear = [](Cursor&, std::uint64_t boundary, std::uint64_t limit) -> std::optional<std::uint64_t> {
    const std::uint64_t start = (boundary + kRecordSize - 1) / kRecordSize * kRecordSize;
    if (start < limit) return start;
    return std::nullopt;
  };
  rules.progressAt = [divisor](std::uint64_t position) { return position / divisor; };

  const bool verify = ctx.options().verify;
  CdotTally tally = verify ? WalkInPieces<CdotTally>(ctx, file, 0, rules, pace, WalkCdotRecords<true>)
                           : WalkInPieces<CdotTally>(ctx, file, 0, rules, pace, WalkCdotRecords<false>);
  if (tally.end.failure) return FromIoError(*tally.end.failure);
  if (tally.end.stopped) {
    ctx.setProgress(0);
    return Stopped{};
  }
  // The first read always counts, even in an empty file.
  if (size == 0) {
    tally.records = 1;
    pace.reached(kRecordSize + 1);
  }

  CallRange range{Stamp(date, "00:00:00"), Stamp(date, "23:59:59")};
  range.records = tally.records;
  if (verify) range.verifiedRecords = tally.verified;
  const std::optional<std::uint64_t>& endMarkAt = tally.endMarkAt;
  if (endMarkAt && *endMarkAt + kRecordSize < size)
    range.warnings.push_back({WarningKind::StoppedEarly,
                              "an end mark leaves " + ByteCount(size - *endMarkAt - kRecordSize) + " after it",
                              *endMarkAt + kRecordSize});
  if (!endMarkAt && size % kRecordSize != 0)
    range.warnings.push_back({WarningKind::TrailingBytes, ByteCount(size % kRecordSize) + " after the last whole record",
                              size / kRecordSize * kRecordSize});
  if (!CdotNameHasDate(path))
    range.warnings.push_back({WarningKind::WeakMatch, "the file name holds no date", std::nullopt});
  ctx.setProgress(100);
  ctx.setProgress(0);
  return range;
}

}  // namespace vellmark
