#pragma once
// Reads a file in large blocks and hands out bounds-safe views of it. Readers ask
// for the bytes they need at an offset; only when those are not in the buffer does
// it read again, so a whole file costs one system call per block.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_view.h"
#include "core/file_system.h"

namespace vellmark {

class BlockReader {
 public:
  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

  // `fill` is what bytes past the end of the file read as.
  BlockReader(InputFile& file, std::uint8_t fill, std::size_t blockSize = kDefaultBlockSize);

  // The file's length when it was opened; the reader never looks past it.
  std::uint64_t fileSize() const { return size_; }

  // A view that starts at `offset` and holds at least the n bytes [offset, offset + n)
  // that lie inside the file, often more (up to the end of the buffer). Positions past
  // the end of the file read as the fill byte. n must not exceed the block size.
  // A file that has become shorter than its length at open is an error.
  Result<ByteView> view(std::uint64_t offset, std::size_t n);

 private:
  InputFile& file_;
  std::uint8_t fill_;
  std::uint64_t size_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t start_ = 0;   // file offset of buffer_[0]
  std::size_t length_ = 0;    // valid bytes in buffer_
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

}  // namespace vellmark
