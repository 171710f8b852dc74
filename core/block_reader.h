#pragma once
// Reads a file in large blocks and hands out bounds-safe views of it. Readers ask
// for the bytes they need at an offset; only when those are not in the buffer does
// it read again, so a whole file costs one system call per block.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "core/byte_view.h"
#include "core/content_digest.h"
#include "core/file_system.h"

namespace vellmark {

class BlockReader {
 public:
  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

  // `fill` is what bytes past the end of the file read as.
  BlockReader(InputFile& file, std::uint8_t fill, std::size_t blockSize = kDefaultBlockSize);

  // The file's length when it was opened; the reader never looks past it.
  std::uint64_t fileSize() const { return size_; }
  std::size_t blockSize() const { return capacity_; }
  InputFile& file() { return file_; }
  std::uint8_t fill() const { return fill_; }

  // A view that starts at `offset` and holds at least the n bytes [offset, offset + n)
  // that lie inside the file, often more (up to the end of the buffer). Positions past
  // the end of the file read as the fill byte. n must not exceed the block size.
  // A file that has become shorter than its length at open is an error. Every view
  // handed out before is invalid after a call.
  Result<ByteView> view(std::uint64_t offset, std::size_t n);

  // Hands every byte read on to `digest` in file order, hashed beside the reader's own
  // work when `beside` is set. A small gap before a read is read too, so the digest
  // need not wait for the end of the file to fill it.
  void digestInto(ContentDigest* digest, bool beside) {
    digest_ = digest;
    beside_ = beside;
  }
  // Hashes on the reading thread from now on (its other core is put to other work).
  void hashHere() { beside_ = false; }

 private:
  InputFile& file_;
  std::uint8_t fill_;
  std::uint64_t size_;
  std::size_t capacity_;
  // Page-aligned like the page cache it is copied from (a copy between addresses a few
  // bytes apart within their pages runs at half speed), and left uninitialised: only
  // bytes read are looked at.
  struct FreeAligned {
    void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
  };
  static constexpr std::size_t kPage = 4096;
  std::unique_ptr<std::uint8_t[], FreeAligned> buffer_;
  std::uint64_t start_ = 0;   // file offset of buffer_[0]
  std::size_t length_ = 0;    // valid bytes in buffer_
  ContentDigest* digest_ = nullptr;
  bool beside_ = false;
};

// Walks a file through a BlockReader, keeping the view it holds for as long as the
// bytes wanted lie in it: the common case costs a comparison, not a call. A read that
// fails ends the walk: the cursor hands out empty views from then on (positions in
// them read as the fill byte) and failure() says why; a reader checks it once, after
// its loop.
class Cursor {
 public:
  explicit Cursor(BlockReader& reader) : reader_(reader), size_(reader.fileSize()) {}

  std::uint64_t size() const { return size_; }
  const std::optional<IoError>& failure() const { return failure_; }

  // The bytes from `pos` to the end of the view held: at least the n of them that lie
  // in the file. Views handed out before are invalid after a call.
  ByteView at(std::uint64_t pos, std::size_t n) {
    const std::uint64_t want = pos + n < size_ ? pos + n : size_;
    if (pos < start_ || want > start_ + view_.size()) refill(pos, n);
    return view_.sub(static_cast<std::size_t>(pos - start_), view_.size());
  }

  // The first position from `pos` on whose byte is not `skipped`; the file's end at
  // most (also after a failed read).
  std::uint64_t skip(std::uint64_t pos, std::uint8_t skipped) {
    while (pos < size_) {
      ByteView bytes = at(pos, 1);
      const std::size_t n = bytes.size();
      if (n == 0) return size_;
      std::size_t i = 0;
      while (i < n && bytes[i] == skipped) ++i;
      pos += i;
      if (i < n) break;
    }
    return pos < size_ ? pos : size_;
  }

 private:
  void refill(std::uint64_t pos, std::size_t n);

  BlockReader& reader_;
  std::uint64_t size_;
  ByteView view_;
  std::uint64_t start_ = 0;
  std::optional<IoError> failure_;
};

// Opens a file and reads it through a BlockReader; owns both.
class OpenedFile {
 public:
  static Result<OpenedFile> open(FileSystem& fs, const std::string& path, std::uint8_t fill,
                                 std::size_t blockSize = BlockReader::kDefaultBlockSize);
  BlockReader& reader() { return *reader_; }
  std::uint64_t size() const { return reader_->fileSize(); }

 private:
  std::unique_ptr<InputFile> file_;
  std::unique_ptr<BlockReader> reader_;
};

// Hands every byte of a file to `take`, block by block, in file order; `take` returns
// false to stop early. Used where a whole file is wanted (reports, workbooks).
Status ReadFileBlocks(FileSystem& fs, const std::string& path, std::size_t blockSize,
                      const std::function<bool(std::string_view)>& take);

}  // namespace vellmark
