#include "readers/modESS.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/block_reader.h"

namespace vellmark {

namespace {

constexpr std::size_t kRecordLength = 122;
constexpr std::size_t kDateAt = 43;  // 0-based
constexpr std::size_t kTimeAt = 49;
constexpr std::size_t kFieldWidth = 6;
constexpr std::uint64_t kProgressEvery = 100;

unsigned LenientNumber(const ByteView& record, std::size_t pos) {
  unsigned value = 0;
  for (std::size_t i = pos; i < pos + kFieldWidth; ++i) {
    std::uint8_t c = record[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

// The six digits YYMMDD and hhmmss as "20YY-MM-DD   hh:mm:ss".
std::string EssStamp(unsigned date, unsigned time) {
  char text[48];
  std::snprintf(text, sizeof text, "20%02u-%02u-%02u   %02u:%02u:%02u", date / 10000, date / 100 % 100,
                date % 100, time / 10000, time / 100 % 100, time % 100);
  return text;
}

// Walks the file through the block reader, asking for a new view only when the
// bytes wanted run past the one held.
class Cursor {
 public:
  explicit Cursor(BlockReader& reader) : reader_(reader), size_(reader.fileSize()) {}

  std::uint64_t size() const { return size_; }

  // The bytes from `pos` to the end of the view held, at least n of them where the
  // file has them.
  ByteView at(std::uint64_t pos, std::size_t n) {
    std::uint64_t want = std::min<std::uint64_t>(pos + n, size_);
    if (pos < start_ || want > start_ + view_.size()) {
      auto view = reader_.view(pos, n);
      if (!view) ThrowIoFailure(view.error());
      view_ = *view;
      start_ = pos;
    }
    return view_.sub(static_cast<std::size_t>(pos - start_), view_.size());
  }

  // The first position from `pos` on whose byte is not `skipped` (the file's end at most).
  std::uint64_t skip(std::uint64_t pos, std::uint8_t skipped) {
    while (pos < size_) {
      ByteView bytes = at(pos, 1);
      if (bytes.size() == 0) break;
      std::size_t i = 0;
      while (i < bytes.size() && bytes[i] == skipped) ++i;
      pos += i;
      if (i < bytes.size()) break;
    }
    return std::min(pos, size_);
  }

 private:
  BlockReader& reader_;
  std::uint64_t size_;
  ByteView view_;
  std::uint64_t start_ = 0;
};

// One per cent of the file length rounded half to even; never 0.
std::uint64_t OnePerCent(std::uint64_t size) {
  std::uint64_t q = size / 100, r = size % 100;
  if (r > 50 || (r == 50 && q % 2 == 1)) ++q;
  return std::max<std::uint64_t>(q, 1);
}

}  // namespace

ReaderResult ReadEssFile(const std::string& path, ReaderContext& ctx) {
  auto opened = OpenedFile::open(ctx.files(), path, 0);
  if (!opened) ThrowIoFailure(opened.error());
  Cursor cursor(opened->reader());
  const std::uint64_t size = cursor.size();
  const std::uint64_t perCent = OnePerCent(size);

  std::uint64_t pos = cursor.skip(0, ' ');
  // Nothing but blanks, or a first record cut short: no call at all.
  if (size - pos < kRecordLength) {
    ctx.setProgress(0);
    return ",,0";
  }
  ByteView record = cursor.at(pos, kRecordLength);
  unsigned earliestDate = LenientNumber(record, kDateAt), latestDate = earliestDate;
  unsigned earliestTime = LenientNumber(record, kTimeAt), latestTime = earliestTime;
  std::uint64_t count = 1;

  for (;;) {
    pos = cursor.skip(pos + kRecordLength, '\n');
    // A trailing piece shorter than a record is not a call.
    if (size - pos < kRecordLength) break;
    record = cursor.at(pos, kRecordLength);
    unsigned d = LenientNumber(record, kDateAt);
    if (d == 0) continue;
    unsigned t = LenientNumber(record, kTimeAt);
    // Smallest and largest (date, time) in date-then-time order.
    if (d > latestDate) {
      latestDate = d;
      latestTime = t;
    }
    if (d < earliestDate) {
      earliestDate = d;
      earliestTime = t;
    }
    if (d == latestDate && t > latestTime) latestTime = t;
    if (d == earliestDate && t < earliestTime) earliestTime = t;
    ++count;
    if (count % kProgressEvery == 0) {
      if (ctx.progress() < 100)
        ctx.setProgress(static_cast<int>(std::min<std::uint64_t>((pos + 1) / perCent, 100)));
      if (ctx.pollStop()) {
        ctx.setProgress(0);
        return StopResult();
      }
    }
  }
  ctx.setProgress(0);
  return EssStamp(earliestDate, earliestTime) + "," + EssStamp(latestDate, latestTime) + "," +
         std::to_string(count);
}

}  // namespace vellmark
