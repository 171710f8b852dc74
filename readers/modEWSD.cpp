#include "readers/modEWSD.h"

#include <array>
#include <optional>

#include "core/block_reader.h"
#include "readers/ewsd_packages.h"

namespace vellmark {

namespace {

constexpr std::uint8_t kEwsdFill = 0;
constexpr std::uint64_t kBarMaximum = 100;

// Where a call record lies in the file.
struct RecordPlace {
  std::uint64_t offset = 0;
  std::size_t length = 0;  // L
};

// Walks the items of the file through one large view at a time, reading only each
// item's first byte and, for skip items and records, its second.
class ItemScanner {
 public:
  explicit ItemScanner(BlockReader& file) : file_(file), size_(file.fileSize()) {}

  // The next call record at or after `pos`; `pos` moves past it. Nothing when the file
  // ends first, or at an item that would not move the search on.
  std::optional<RecordPlace> FindNextEwsdRecord(std::uint64_t& pos) {
    while (pos < size_) {
      // Both bytes of the item must be in the view, unless the view reaches the end.
      if (pos < viewStart_ || (pos + 2 > viewEnd_ && viewEnd_ < size_)) refresh(pos);
      std::size_t at = static_cast<std::size_t>(pos - viewStart_);
      std::uint8_t kind = view_.at(at);
      if (kind == 0x80) {
        pos += 1;
      } else if (kind == 0x81) {
        std::uint8_t length = view_.at(at + 1);
        if (length == 0) return std::nullopt;
        pos += length;
      } else if (kind == 0x00) {
        pos += 32;
      } else if (kind >= 0x7A && kind <= 0x7C) {
        pos += 64;
      } else if (kind >= 0x01 && kind <= 0x03) {
        pos += 32;
      } else {
        std::uint8_t length = view_.at(at + 1);
        if (length == 0) return std::nullopt;
        RecordPlace place{pos, length};
        pos += length;
        return place;
      }
    }
    return std::nullopt;
  }

  // Another view of the file was asked for: ours may no longer be valid.
  void invalidate() {
    view_ = ByteView();
    viewStart_ = viewEnd_ = 0;
  }

 private:
  void refresh(std::uint64_t pos) {
    auto v = file_.view(pos, 2);
    if (!v) ThrowIoFailure(v.error());
    view_ = *v;
    viewStart_ = pos;
    viewEnd_ = pos + view_.size();
  }

  BlockReader& file_;
  std::uint64_t size_;
  ByteView view_;
  std::uint64_t viewStart_ = 0;
  std::uint64_t viewEnd_ = 0;
};

// Decodes the packages of one record; an unknown package gives up the file.
EwsdPackageWalk WalkRecord(BlockReader& file, const RecordPlace& place, ReaderContext& ctx) {
  auto v = file.view(place.offset, place.length + 1);
  if (!v) ThrowIoFailure(v.error());
  // The record and the byte after it; a record ending with the file is followed by 0.
  std::array<std::uint8_t, 256> bytes{};
  bool cutShort = place.offset + place.length > file.fileSize();
  std::size_t present = cutShort ? static_cast<std::size_t>(file.fileSize() - place.offset) : place.length + 1;
  for (std::size_t i = 0; i < present; ++i) bytes[i] = v->at(i);

  EwsdRecordBuffer record{ByteView(bytes.data(), present, kEwsdFill), place.length, cutShort, place.offset};
  EwsdPackageWalk walk = WalkEwsdPackages(record);
  if (walk.unknownPackage) {
    ctx.message(EwsdUnknownPackageMessage(*walk.unknownPackage), kEwsdUnknownPackageCaption);
    throw ReaderError(ReadFailure::UnknownPackage, "record at offset " + std::to_string(place.offset) +
                                                       ": package " + std::to_string(*walk.unknownPackage) +
                                                       " unknown");
  }
  return walk;
}

}  // namespace

ReaderResult ReadEwsdFile(const std::string& path, ReaderContext& ctx) {
  auto opened = OpenedFile::open(ctx.files(), path, kEwsdFill);
  if (!opened) ThrowIoFailure(opened.error());
  BlockReader& file = opened->reader();
  const std::uint64_t size = file.fileSize();
  // Files under 100 bytes have no steps: the bar stays put.
  const std::uint64_t step = size / kBarMaximum;

  ItemScanner scanner(file);
  std::uint64_t position = 0;
  std::uint64_t count = 0;
  std::uint64_t previousPercent = 0;
  std::string start;
  RecordPlace last;
  while (auto place = scanner.FindNextEwsdRecord(position)) {
    if (count == 0) {
      start = WalkRecord(file, *place, ctx).text();
      scanner.invalidate();
    }
    ++count;
    last = *place;
    if (step > 0) {
      std::uint64_t percent = (position + 1) / step;
      if (percent > previousPercent && percent <= kBarMaximum) {
        ctx.setProgress(static_cast<int>(percent));
        if (ctx.pollStop()) {
          ctx.setProgress(0);
          return StopResult();
        }
      }
      previousPercent = percent;
    }
    if (position >= size) break;
  }

  ctx.setProgress(0);
  if (count == 0) return ",,0";
  std::string end = WalkRecord(file, last, ctx).text();
  return start + "," + end + "," + std::to_string(count);
}

}  // namespace vellmark
