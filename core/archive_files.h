#pragma once
// The file layer seen through compression and archives: a FileSystem over another one
// that reads a compressed file ("x.gz") as its unpacked bytes and an archive member
// ("day.zip#dir/A.DAT") as the member's unpacked bytes. Every other path, an archive's
// own name included, goes straight to the file system below, so plain files read
// exactly as they did.
//
// Unpacked bytes are read once, as far as they are asked for, into a Spool (memory up
// to a bound, then a temporary file without a name), so readers can look anywhere in
// them. A member is refused as "too large when unpacked" once it has unpacked more than
// UnpackLimits::ratioFrom bytes and more than UnpackLimits::ratio times the packed bytes it took,
// or more than UnpackLimits::most bytes.
//
// A member is found by the archive's listing, taken once per archive and kept while the
// archive file stays the same. Reads of members in archive order carry on from where the
// read of the member before stopped, so adding or reading every member of a tar.gz
// unpacks it about once, not once per member. Safe to use from several threads.

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/archive_names.h"
#include "core/archive_reader.h"
#include "core/file_system.h"
#include "core/spool.h"

namespace vellmark {

// When a member's unpacked bytes are taken for a decompression bomb.
struct UnpackLimits {
  std::uint64_t ratioFrom = std::uint64_t{1} << 30;  // 1 GiB
  std::uint64_t ratio = 1000;
  std::uint64_t most = std::uint64_t{64} << 30;      // 64 GiB
};

class ArchiveFiles : public FileSystem {
 public:

  // An archive's members in archive order, folders and links included; `failure` when
  // the listing stopped early (the members before it are there).
  struct Listing {
    std::vector<MemberHeader> members;
    std::optional<IoError> failure;
  };

  // What a path offered to the list stands for.
  struct Expansion {
    bool archive = false;             // the path names an archive file
    std::vector<std::string> paths;   // its regular members as ARCHIVE#MEMBER, or the path itself
    std::optional<IoError> failure;   // the archive could not be read (to its end)
  };

  explicit ArchiveFiles(FileSystem& inner, UnpackLimits limits = UnpackLimits(),
                        std::size_t spoolMemory = Spool::kDefaultMemoryBound);
  ~ArchiveFiles() override;

  FileSystem& inner() { return inner_; }
  UnpackLimits limits() const;
  void setLimits(const UnpackLimits& limits);

  // The members of an archive file; an error when it cannot be opened.
  Result<Listing> list(const std::string& archive);
  Expansion expand(const std::string& path);
  // True for a compressed file or an archive member: a path whose bytes are unpacked.
  bool unpacks(const std::string& path);

  // Uncompressed sizes where known: a member's from its header, a compressed file's
  // once a read has unpacked all of it (before that, its size on disk).
  Result<FileStatus> status(const std::string& path) override;
  Result<std::unique_ptr<InputFile>> openRead(const std::string& path) override;
  Result<std::unique_ptr<OutputFile>> createNew(const std::string& path, unsigned mode) override {
    return inner_.createNew(path, mode);
  }
  Result<std::unique_ptr<OutputFile>> openTruncate(const std::string& path) override {
    return inner_.openTruncate(path);
  }
  Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path, std::uint64_t keep) override {
    return inner_.openAppend(path, keep);
  }
  Status rename(const std::string& from, const std::string& to) override { return inner_.rename(from, to); }
  Status renameNoReplace(const std::string& from, const std::string& to) override {
    return inner_.renameNoReplace(from, to);
  }
  Status remove(const std::string& path) override { return inner_.remove(path); }
  std::string resolveLinks(const std::string& path) override { return inner_.resolveLinks(path); }

  // What an open unpacked file hands back: the size it found, its reader to carry on.
  struct Identity {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    bool operator==(const Identity&) const = default;
  };
  void learnSize(const std::string& path, const Identity& identity, std::uint64_t size);
  void park(const std::string& archive, const Identity& identity, std::unique_ptr<ArchiveReader> reader);

 private:
  struct Located {
    enum class Kind { Plain, Compressed, Member } kind = Kind::Plain;
    MemberPath member;
    FileStatus container;   // the compressed file or the archive
  };
  Located locate(const std::string& path);
  // The listing of an archive whose status is `archive`, from the cache when it is there.
  Result<std::shared_ptr<const Listing>> listingOf(const std::string& path, const FileStatus& archive);
  std::optional<std::uint64_t> knownSize(const std::string& path, const Identity& identity);
  std::unique_ptr<ArchiveReader> takeParked(const std::string& archive, const Identity& identity,
                                            std::size_t before);

  struct CachedListing {
    Identity identity;
    std::shared_ptr<const Listing> listing;
  };
  struct KnownSize {
    Identity identity;
    std::uint64_t size = 0;
  };
  struct Parked {
    std::string archive;
    Identity identity;
    std::unique_ptr<ArchiveReader> reader;
  };

  FileSystem& inner_;
  std::size_t spoolMemory_;
  mutable std::mutex mutex_;
  UnpackLimits limits_;
  std::map<std::string, CachedListing> listings_;
  std::list<std::string> listingOrder_;   // oldest first, for dropping
  std::map<std::string, KnownSize> sizes_;
  std::list<Parked> parked_;
};

}  // namespace vellmark
