#include "core/block_reader.h"

#include <algorithm>
#include <cstring>

namespace vellmark {

BlockReader::BlockReader(InputFile& file, std::uint8_t fill, std::size_t blockSize)
    : file_(file),
      fill_(fill),
      size_(file.size()),
      // A small file needs no more buffer than its length: a reader opening many short
      // files should not clear a whole block for each.
      capacity_(std::max<std::size_t>(static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, size_)), 64)),
      buffer_(new (std::align_val_t{kPage}) std::uint8_t[capacity_]) {}

Result<ByteView> BlockReader::view(std::uint64_t offset, std::size_t n) {
  n = std::min(n, capacity_);
  std::uint64_t wantEnd = std::min<std::uint64_t>(size_, offset + n);
  if (offset >= start_ && wantEnd <= start_ + length_ && offset <= start_ + length_) {
    std::size_t at = static_cast<std::size_t>(offset - start_);
    return ByteView(buffer_.get() + at, length_ - at, fill_);
  }
  if (offset >= size_) return ByteView(nullptr, 0, fill_);
  const std::uint64_t wanted = offset;
  if (digest_) {
    digest_->wait();  // the buffer is about to change
    // Read from where the digest stands when that is only a little before.
    const std::uint64_t frontier = digest_->frontier();
    if (frontier < offset && offset - frontier + n <= capacity_) offset = frontier;
  }
  // From the page below: the copy out of the page cache then runs between addresses
  // the same distance into their pages.
  if (const std::uint64_t page = offset - offset % kPage; wanted - page + n <= capacity_) offset = page;

  // Keep the part of the buffer that is still wanted, read the rest after it.
  std::size_t kept = 0;
  if (offset >= start_ && offset < start_ + length_) {
    kept = static_cast<std::size_t>(start_ + length_ - offset);
    std::memmove(buffer_.get(), buffer_.get() + (offset - start_), kept);
  }
  start_ = offset;
  std::size_t want = static_cast<std::size_t>(
      std::min<std::uint64_t>(capacity_, size_ - offset));
  auto got = file_.readAt(offset + kept, buffer_.get() + kept, want - kept);
  if (!got) {
    length_ = 0;
    IoError error = got.error();
    error.offset = offset + kept;
    return error;
  }
  length_ = kept + *got;
  if (length_ < want) {
    length_ = 0;
    return IoError{IoStep::Read, 0, "the file became shorter while it was read", offset + length_};
  }
  if (digest_) digest_->take(start_, buffer_.get(), length_, beside_);
  const std::size_t at = static_cast<std::size_t>(wanted - start_);
  return ByteView(buffer_.get() + at, length_ - at, fill_);
}

void Cursor::refill(std::uint64_t pos, std::size_t n) {
  if (!failure_) {
    auto fresh = reader_.view(pos, n);
    if (fresh) {
      view_ = *fresh;
      start_ = pos;
      return;
    }
    failure_ = fresh.error();
  }
  // Failed: nothing more is read; every position reads as the fill byte.
  view_ = ByteView(nullptr, 0, view_.fill());
  start_ = pos;
}

Result<OpenedFile> OpenedFile::open(FileSystem& fs, const std::string& path, std::uint8_t fill,
                                    std::size_t blockSize) {
  auto file = fs.openRead(path);
  if (!file) return file.error();
  OpenedFile opened;
  opened.file_ = std::move(*file);
  opened.reader_ = std::make_unique<BlockReader>(*opened.file_, fill, blockSize);
  return opened;
}

Status ReadFileBlocks(FileSystem& fs, const std::string& path, std::size_t blockSize,
                      const std::function<bool(std::string_view)>& take) {
  auto opened = OpenedFile::open(fs, path, 0, blockSize);
  if (!opened) return opened.error();
  BlockReader& reader = opened->reader();
  for (std::uint64_t offset = 0; offset < reader.fileSize();) {
    auto view = reader.view(offset, blockSize);
    if (!view) return view.error();
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(view->size(), reader.fileSize() - offset));
    if (n == 0) break;
    if (!take(std::string_view(reinterpret_cast<const char*>(view->data()), n))) break;
    offset += n;
  }
  return Ok();
}

}  // namespace vellmark
