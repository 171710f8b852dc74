#pragma once
// The file layer: every byte Vellmark reads or writes goes through a FileSystem, so
// tests can swap in files held in memory or make any operation fail.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/io_error.h"

namespace vellmark {

struct FileStatus {
  bool exists = false;
  bool regular = false;     // after following links
  bool directory = false;
  std::uint64_t size = 0;
  unsigned mode = 0;        // permission bits
  std::int64_t modified = 0;  // nanoseconds since the epoch; 0 where unknown
  // For a compressed file or an archive member: the bytes on disk it is unpacked from
  // (the compressed file, or the archive that holds the member). Nothing for a plain file.
  std::optional<std::uint64_t> packedSize;
  bool link = false;        // the name itself is a symbolic link, even one leading nowhere
  std::uint64_t device = 0, inode = 0;  // 0 where unknown

  // Something is at this name that a save would replace: a file or any link.
  bool taken() const { return exists || link; }
};

class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to n bytes at offset; fewer only at the end of the file (0 there).
  virtual Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) = 0;
  // The file's length when it was opened. For unpacked bytes it unpacks them all.
  virtual std::uint64_t size() const = 0;
  // The length when it is known without reading the whole file (for unpacked bytes,
  // once they are all unpacked), so a look at the head stays a look at the head.
  virtual std::optional<std::uint64_t> sizeIfKnown() const { return size(); }
  // True when readAt may be called from several threads at once (a plain file's
  // pread), so a large file can be walked in pieces side by side.
  virtual bool concurrentReads() const { return false; }
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual Status write(const void* data, std::size_t n) = 0;
  virtual Status flush() = 0;   // to the disk, not just to the system
  virtual Status close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Never fails for a missing path: exists is false then.
  virtual Result<FileStatus> status(const std::string& path) = 0;
  // Opens a regular file for reading; refuses folders, FIFOs, devices and sockets
  // without ever blocking on them.
  virtual Result<std::unique_ptr<InputFile>> openRead(const std::string& path) = 0;
  // Creates a file that must not exist yet, with the given permission bits.
  virtual Result<std::unique_ptr<OutputFile>> createNew(const std::string& path, unsigned mode) = 0;
  // Opens a file for writing, emptying it (created when missing).
  virtual Result<std::unique_ptr<OutputFile>> openTruncate(const std::string& path) = 0;
  // Opens a file to write at its end, after cutting it to its first `keep` bytes
  // (created when missing): a results file whose last line was cut carries on whole.
  virtual Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path, std::uint64_t keep);
  virtual Status rename(const std::string& from, const std::string& to) = 0;
  // Renames only while nothing is at `to` (EEXIST otherwise), in one step: a file that
  // appears there meanwhile is never replaced.
  virtual Status renameNoReplace(const std::string& from, const std::string& to) = 0;
  virtual Status remove(const std::string& path) = 0;
  // The path with every link resolved. A name that does not exist, or a link leading
  // nowhere, gives the name it ends at in its resolved folder; a link loop gives the
  // path itself.
  virtual std::string resolveLinks(const std::string& path) = 0;
};

// Whether two names lead to one file: existing files by device and inode, names not
// there yet by their resolved folder and name.
bool SameFile(FileSystem& files, const std::string& a, const std::string& b);

// The machine's own files.
FileSystem& RealFileSystem();

// pread until n bytes are read or the file ends, going on after interrupts: the count read.
Result<std::size_t> ReadFullyAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t n);

}  // namespace vellmark
