#include "core/archive_files.h"

#include <algorithm>
#include <cerrno>

namespace vellmark {

namespace {

constexpr std::size_t kUnpackChunk = std::size_t{256} << 10;
constexpr std::size_t kListingsKept = 32;
constexpr std::size_t kReadersParked = 2;

ArchiveFiles::Identity IdentityOf(const FileStatus& s) { return {s.size, s.modified}; }

// A compressed file or an archive member, unpacked as far as it is read.
class UnpackedFile : public InputFile {
 public:
  // A compressed file.
  UnpackedFile(ArchiveFiles& owner, std::string path, ArchiveFiles::Identity identity,
               std::unique_ptr<ArchiveReader> reader, UnpackLimits limits, std::size_t spoolMemory)
      : owner_(owner), path_(std::move(path)), identity_(identity), outer_(std::move(reader)), limits_(limits),
        spool_(spoolMemory) {}
  // The member at `position` (from 1) of an archive, read by `reader` (fresh or parked
  // before that position).
  UnpackedFile(ArchiveFiles& owner, std::string path, ArchiveFiles::Identity identity, MemberPath member,
               std::size_t position, std::unique_ptr<ArchiveReader> reader, UnpackLimits limits,
               std::size_t spoolMemory)
      : owner_(owner), path_(std::move(path)), identity_(identity), member_(std::move(member)), position_(position),
        outer_(std::move(reader)), limits_(limits), spool_(spoolMemory) {}

  ~UnpackedFile() override {
    // A healthy archive reader carries on with the next member another open asks for.
    inner_.reset();
    if (member_ && outer_ && !outerFailed_) owner_.park(member_->archive, identity_, std::move(outer_));
  }

  Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
    const std::uint64_t end = offset + n < offset ? UINT64_MAX : offset + n;
    fill(end);
    if (failure_) return *failure_;
    return spool_.readAt(offset, buffer, n);
  }

  // Unpacks everything first: readers need the length before they start.
  std::uint64_t size() const override {
    const_cast<UnpackedFile*>(this)->fill(UINT64_MAX);
    return spool_.size();
  }
  std::optional<std::uint64_t> sizeIfKnown() const override {
    return done_ || failure_ ? std::optional<std::uint64_t>(spool_.size()) : std::nullopt;
  }

 private:
  // Reaches the member's data: skips the members before it, checks it is the one
  // listed, and puts a second unpacking step over a member that is compressed itself.
  bool begin() {
    begun_ = true;
    if (!member_) {
      auto header = outer_->next();
      if (!header) return fail(header.error(), true);
      if (!*header) return fail(IoError{IoStep::Unpack, 0, "the compressed file holds nothing"}, true);
      return true;
    }
    while (outer_->position() < position_) {
      auto header = outer_->next();
      if (!header) return fail(header.error(), true);
      if (!*header) return fail(IoError{IoStep::Read, 0, "the archive changed while it was read"}, true);
      if (outer_->position() == position_) {
        if ((*header)->name != member_->member)
          return fail(IoError{IoStep::Read, 0, "the archive changed while it was read"}, true);
        if ((*header)->encrypted)
          return fail(IoError{IoStep::Read, 0, "the member is encrypted; encrypted members cannot be read"}, false);
      }
    }
    rawAtStart_ = outer_->rawBytes();
    if (ContainerKindOf(member_->member) == ContainerKind::Compressed) {
      inner_ = std::make_unique<ArchiveReader>(*outer_);
      auto header = inner_->next();
      if (!header) return fail(header.error(), false);
      if (!*header) return fail(IoError{IoStep::Unpack, 0, "the compressed member holds nothing"}, false);
    }
    return true;
  }

  void fill(std::uint64_t upTo) {
    if (done_ || failure_) return;
    if (!begun_ && !begin()) return;
    ArchiveReader& source = inner_ ? *inner_ : *outer_;
    std::vector<std::uint8_t> chunk(kUnpackChunk);
    while (spool_.size() < upTo) {
      auto got = source.read(chunk.data(), chunk.size());
      if (!got) {
        // The member's own stream failed; the archive around it may still be fine.
        fail(got.error(), !inner_ || got.error().step != IoStep::Unpack);
        return;
      }
      if (*got == 0) {
        done_ = true;
        owner_.learnSize(path_, identity_, spool_.size());
        return;
      }
      const std::uint64_t unpacked = spool_.size() + *got;
      const std::uint64_t packed = std::max<std::uint64_t>(1, source.rawBytes() - rawAtStart_);
      // unpacked > ratio * packed, without the product.
      if (unpacked > limits_.most || (unpacked > limits_.ratioFrom && (unpacked - 1) / limits_.ratio >= packed)) {
        fail(IoError{IoStep::Unpack, 0, "too large when unpacked", spool_.size()}, false);
        return;
      }
      if (Status s = spool_.append(chunk.data(), *got); !s) {
        fail(s.error(), false);
        return;
      }
    }
  }

  bool fail(IoError error, bool outerFailed) {
    if (!error.offset) error.offset = spool_.size();
    failure_ = std::move(error);
    outerFailed_ = outerFailed;
    return false;
  }

  ArchiveFiles& owner_;
  std::string path_;
  ArchiveFiles::Identity identity_;
  std::optional<MemberPath> member_;
  std::size_t position_ = 0;
  std::unique_ptr<ArchiveReader> outer_;
  std::unique_ptr<ArchiveReader> inner_;
  UnpackLimits limits_;
  Spool spool_;
  std::uint64_t rawAtStart_ = 0;
  bool begun_ = false;
  bool done_ = false;
  bool outerFailed_ = false;
  std::optional<IoError> failure_;
};

}  // namespace

ArchiveFiles::ArchiveFiles(FileSystem& inner, UnpackLimits limits, std::size_t spoolMemory)
    : inner_(inner), spoolMemory_(spoolMemory), limits_(limits) {}

ArchiveFiles::~ArchiveFiles() = default;

UnpackLimits ArchiveFiles::limits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return limits_;
}

void ArchiveFiles::setLimits(const UnpackLimits& limits) {
  std::lock_guard<std::mutex> lock(mutex_);
  limits_ = limits;
  if (limits_.ratio == 0) limits_.ratio = 1;
}

ArchiveFiles::Located ArchiveFiles::locate(const std::string& path) {
  Located located;
  // ARCHIVE#MEMBER only when the part before a "#" is an archive file that exists,
  // and the whole path is not a file of its own.
  bool wholeChecked = false;
  for (std::size_t mark = path.find(kMemberMark); mark != std::string::npos;
       mark = path.find(kMemberMark, mark + 1)) {
    const std::string archive = path.substr(0, mark);
    if (ContainerKindOf(archive) != ContainerKind::Archive) continue;
    if (!wholeChecked) {
      wholeChecked = true;
      auto whole = inner_.status(path);
      if (whole && whole->exists) break;
    }
    auto s = inner_.status(archive);
    if (s && s->exists && s->regular) {
      located.kind = Located::Kind::Member;
      located.member = {archive, path.substr(mark + 1)};
      located.container = *s;
      return located;
    }
  }
  if (ContainerKindOf(path) == ContainerKind::Compressed) located.kind = Located::Kind::Compressed;
  return located;
}

bool ArchiveFiles::unpacks(const std::string& path) { return locate(path).kind != Located::Kind::Plain; }

Result<std::shared_ptr<const ArchiveFiles::Listing>> ArchiveFiles::listingOf(const std::string& path,
                                                                            const FileStatus& archive) {
  const Identity identity = IdentityOf(archive);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = listings_.find(path);
    if (found != listings_.end() && found->second.identity == identity) return found->second.listing;
  }
  auto file = inner_.openRead(path);
  if (!file) return file.error();
  auto listing = std::make_shared<Listing>();
  ArchiveReader reader(std::move(*file), ArchiveReader::Kind::Archive);
  for (;;) {
    auto header = reader.next();
    if (!header) {
      listing->failure = header.error();
      break;
    }
    if (!*header) break;
    listing->members.push_back(std::move(**header));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (listings_.find(path) == listings_.end()) {
    listingOrder_.push_back(path);
    if (listingOrder_.size() > kListingsKept) {
      listings_.erase(listingOrder_.front());
      listingOrder_.pop_front();
    }
  }
  listings_[path] = {identity, listing};
  return std::shared_ptr<const Listing>(listing);
}

Result<ArchiveFiles::Listing> ArchiveFiles::list(const std::string& archive) {
  auto s = inner_.status(archive);
  if (!s) return s.error();
  if (!s->exists) return MakeIoError(IoStep::Open, ENOENT);
  if (!s->regular) return MakeIoError(IoStep::Open, s->directory ? EISDIR : EINVAL);
  auto listing = listingOf(archive, *s);
  if (!listing) return listing.error();
  return **listing;
}

ArchiveFiles::Expansion ArchiveFiles::expand(const std::string& path) {
  Expansion expansion;
  auto s = ContainerKindOf(path) == ContainerKind::Archive ? inner_.status(path) : Result<FileStatus>(FileStatus{});
  if (!s || !s->exists || !s->regular) {
    expansion.paths.push_back(path);
    return expansion;
  }
  expansion.archive = true;
  auto listing = listingOf(path, *s);
  if (!listing) {
    expansion.failure = listing.error();
    return expansion;
  }
  for (const MemberHeader& member : (*listing)->members)
    if (member.regular) expansion.paths.push_back(MemberPathOf(path, member.name));
  expansion.failure = (*listing)->failure;
  return expansion;
}

std::optional<std::uint64_t> ArchiveFiles::knownSize(const std::string& path, const Identity& identity) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = sizes_.find(path);
  if (found == sizes_.end() || !(found->second.identity == identity)) return std::nullopt;
  return found->second.size;
}

void ArchiveFiles::learnSize(const std::string& path, const Identity& identity, std::uint64_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  sizes_[path] = {identity, size};
}

Result<FileStatus> ArchiveFiles::status(const std::string& path) {
  Located located = locate(path);
  if (located.kind == Located::Kind::Plain) return inner_.status(path);
  if (located.kind == Located::Kind::Compressed) {
    auto s = inner_.status(path);
    if (!s || !s->exists || !s->regular) return s;
    s->packedSize = s->size;
    if (auto size = knownSize(path, IdentityOf(*s))) s->size = *size;
    return s;
  }
  auto listing = listingOf(located.member.archive, located.container);
  if (!listing) return FileStatus{};
  for (const MemberHeader& member : (*listing)->members) {
    if (member.name != located.member.member) continue;
    FileStatus s;
    s.exists = true;
    s.regular = member.regular;
    s.mode = located.container.mode;
    s.modified = located.container.modified;
    s.packedSize = located.container.size;
    if (auto size = knownSize(path, IdentityOf(located.container))) s.size = *size;
    else s.size = member.size.value_or(0);
    return s;
  }
  return FileStatus{};
}

Result<std::unique_ptr<InputFile>> ArchiveFiles::openRead(const std::string& path) {
  Located located = locate(path);
  if (located.kind == Located::Kind::Plain) return inner_.openRead(path);
  const UnpackLimits limits = this->limits();
  if (located.kind == Located::Kind::Compressed) {
    auto s = inner_.status(path);
    auto file = inner_.openRead(path);
    if (!file) return file.error();
    const Identity identity = s && s->exists ? IdentityOf(*s) : Identity{(*file)->size(), 0};
    auto reader = std::make_unique<ArchiveReader>(std::move(*file), ArchiveReader::Kind::Compressed);
    return std::unique_ptr<InputFile>(
        new UnpackedFile(*this, path, identity, std::move(reader), limits, spoolMemory_));
  }

  auto listing = listingOf(located.member.archive, located.container);
  if (!listing) return listing.error();
  std::size_t position = 0;
  const MemberHeader* header = nullptr;
  for (std::size_t i = 0; i < (*listing)->members.size(); ++i) {
    if ((*listing)->members[i].name == located.member.member) {
      position = i + 1;
      header = &(*listing)->members[i];
      break;
    }
  }
  if (!header) return MakeIoError(IoStep::Open, ENOENT);
  if (!header->regular) return MakeIoError(IoStep::Open, EINVAL);
  const Identity identity = IdentityOf(located.container);
  std::unique_ptr<ArchiveReader> reader = takeParked(located.member.archive, identity, position);
  if (!reader) {
    auto file = inner_.openRead(located.member.archive);
    if (!file) return file.error();
    reader = std::make_unique<ArchiveReader>(std::move(*file), ArchiveReader::Kind::Archive);
  }
  return std::unique_ptr<InputFile>(new UnpackedFile(*this, path, identity, located.member, position,
                                                     std::move(reader), limits, spoolMemory_));
}

void ArchiveFiles::park(const std::string& archive, const Identity& identity, std::unique_ptr<ArchiveReader> reader) {
  std::lock_guard<std::mutex> lock(mutex_);
  parked_.push_back({archive, identity, std::move(reader)});
  if (parked_.size() > kReadersParked) parked_.pop_front();
}

std::unique_ptr<ArchiveReader> ArchiveFiles::takeParked(const std::string& archive, const Identity& identity,
                                                        std::size_t before) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto best = parked_.end();
  for (auto it = parked_.begin(); it != parked_.end(); ++it) {
    if (it->archive != archive || !(it->identity == identity) || it->reader->position() >= before) continue;
    if (best == parked_.end() || it->reader->position() > best->reader->position()) best = it;
  }
  if (best == parked_.end()) return nullptr;
  std::unique_ptr<ArchiveReader> reader = std::move(best->reader);
  parked_.erase(best);
  return reader;
}

}  // namespace vellmark
