#pragma once
// One pass through an archive or a compressed stream with libarchive, reading its
// bytes through the file layer. Every failure comes back as an IoError: a failed read
// of the file as it was (step Read), bytes that cannot be unpacked with libarchive's
// own reason (step Unpack).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_system.h"

struct archive;

namespace vellmark {

// What an archive says about one member before its data.
struct MemberHeader {
  std::string name;                     // its path inside the archive, as stored
  bool regular = false;                 // a plain file (not a folder, link or device)
  std::optional<std::uint64_t> size;    // unpacked, where the archive records it
  bool encrypted = false;
};

class ArchiveReader {
 public:
  enum class Kind { Archive, Compressed };

  // Reads `file` as an archive (zip or tar, compressed or not) or as one compressed
  // stream (gzip, bzip2, xz, zstd and the like).
  ArchiveReader(std::unique_ptr<InputFile> file, Kind kind);
  // Reads the data of `outer`'s current member as one compressed stream.
  explicit ArchiveReader(ArchiveReader& outer);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // The next member (for a compressed stream: its one member); nothing at the end.
  Result<std::optional<MemberHeader>> next();
  // Up to n bytes of the current member; 0 at its end.
  Result<std::size_t> read(std::uint8_t* buffer, std::size_t n);

  // Bytes taken from the file so far: how much packed data the unpacked bytes cost.
  std::uint64_t rawBytes() const { return outer_ ? outer_->rawBytes() : raw_; }
  // Headers read so far: the current member's place in the archive, from 1.
  std::size_t position() const { return position_; }

 private:
  friend struct ArchiveCallbacks;
  Status start();
  IoError failure();

  Kind kind_;
  struct archive* archive_ = nullptr;
  std::unique_ptr<InputFile> file_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t offset_ = 0;        // of the next read of the file
  ArchiveReader* outer_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::optional<IoError> sourceError_;
  std::optional<IoError> broken_;   // once failed, a reader stays failed
  bool started_ = false;
  std::uint64_t raw_ = 0;
  std::size_t position_ = 0;
  // The current member's data: the block being handed out, a hole before it.
  const std::uint8_t* block_ = nullptr;
  std::size_t blockLeft_ = 0;
  std::uint64_t gap_ = 0;
  std::uint64_t dataOffset_ = 0;
  bool ended_ = false;
};

}  // namespace vellmark
