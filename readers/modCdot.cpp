#include "readers/modCdot.h"

#include <algorithm>
#include <cstdint>

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

  auto opened = OpenedFile::open(ctx.files(), path, 0);
  if (!opened) return FromIoError(opened.error());
  const std::uint64_t size = opened->size();
  // The bar follows the 1-based position of the next read divided by a hundredth of
  // the file.
  PercentSteps steps(std::max<std::uint64_t>(size / 100, 1));
  auto showProgress = [&](std::uint64_t position) {
    if (steps.due(position)) ctx.setProgress(static_cast<int>(std::min<std::uint64_t>(steps.value(position), 100)));
  };

  std::uint64_t count = 0;
  std::uint64_t offset = 0;  // of the next read
  bool done = false;
  while (!done) {
    auto view = opened->reader().view(offset, kReadSize);
    if (!view) return FromIoError(view.error());
    std::size_t at = 0;
    // The view holds every file byte of the read at `offset`; bytes past the end of
    // the file read as 0. Walk on inside it while whole reads fit.
    do {
      ++count;
      bool shortRead = size - (offset + at) < kReadSize;
      if (view->at(at + kKindOffset) > 2) {
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

  ctx.setProgress(100);
  CallRange range{Stamp(date, "00:00:00"), Stamp(date, "23:59:59"), count};
  ctx.setProgress(0);
  return range;
}

}  // namespace vellmark
