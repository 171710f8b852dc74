#include "readers/modCdot.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "core/archive_names.h"
#include "core/block_reader.h"
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

ReaderOutcome ReadCdotFile(const std::string& path, ReaderContext& ctx) {
  std::string date = CdotDateText(path, ctx.currentYear());

  auto opened = ctx.open(path, 0);
  if (!opened) return FromIoError(opened.error());
  const std::uint64_t size = (*opened)->fileSize();
  // The bar follows the 1-based position of the next read divided by a hundredth of
  // the file.
  PercentSteps steps(std::max<std::uint64_t>(size / 100, 1));
  auto showProgress = [&](std::uint64_t position) {
    if (steps.due(position)) ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(steps.value(position), 100)));
  };

  const bool verify = ctx.options().verify;
  CallRange range{Stamp(date, "00:00:00"), Stamp(date, "23:59:59")};
  std::uint64_t verified = 0;
  std::optional<std::uint64_t> endMarkAt;
  std::uint64_t offset = 0;  // of the next read
  bool done = false;
  while (!done) {
    auto view = (*opened)->view(offset, kReadSize);
    if (!view) return FromIoError(view.error());
    std::size_t at = 0;
    // The view holds every file byte of the read at `offset`; bytes past the end of
    // the file read as 0. Walk on inside it while whole reads fit; in verify mode, on
    // past the end mark to the end of the file.
    do {
      const bool shortRead = size - (offset + at) < kReadSize;
      const bool call = view->at(at + kKindOffset) <= 2;
      verified += call && size - (offset + at) >= kRecordSize;
      if (!endMarkAt) {
        ++range.records;
        if (!call) endMarkAt = offset + at;
      }
      if (endMarkAt && !verify) {
        done = true;
        break;
      }
      at += kRecordSize;
      showProgress(offset + at + 1);
      if (shortRead) {
        done = true;
        break;
      }
    } while (view->contains(at, kReadSize));
    offset += at;
  }

  if (verify) range.verifiedRecords = verified;
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
