#include "core/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vellmark {

namespace {

constexpr std::size_t kSourceBlock = std::size_t{64} << 10;

// Only filters built into the library: none of the ones that start another program.
void SupportFilters(struct archive* a) {
  archive_read_support_filter_gzip(a);
  archive_read_support_filter_bzip2(a);
  archive_read_support_filter_xz(a);
  archive_read_support_filter_lzma(a);
  archive_read_support_filter_lzip(a);
  archive_read_support_filter_zstd(a);
  archive_read_support_filter_lz4(a);
  archive_read_support_filter_compress(a);
}

}  // namespace

// libarchive's C callbacks, reading the file through the file layer or the outer
// archive's member.
struct ArchiveCallbacks {
  static la_ssize_t read(struct archive* a, void* data, const void** block) {
    auto& self = *static_cast<ArchiveReader*>(data);
    Result<std::size_t> got = std::size_t{0};
    if (self.outer_) {
      got = self.outer_->read(self.buffer_.data(), self.buffer_.size());
    } else {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(self.buffer_.size(), self.fileSize_ - std::min(self.offset_, self.fileSize_)));
      got = want == 0 ? Result<std::size_t>(std::size_t{0}) : self.file_->readAt(self.offset_, self.buffer_.data(), want);
    }
    if (!got) {
      self.sourceError_ = got.error();
      archive_set_error(a, got.error().code > 0 ? got.error().code : EIO, "%s", got.error().reason.c_str());
      return ARCHIVE_FATAL;
    }
    self.offset_ += *got;
    self.raw_ += *got;
    *block = self.buffer_.data();
    return static_cast<la_ssize_t>(*got);
  }

  static la_int64_t skip(struct archive*, void* data, la_int64_t request) {
    auto& self = *static_cast<ArchiveReader*>(data);
    if (request <= 0) return 0;
    const std::uint64_t left = self.fileSize_ - std::min(self.offset_, self.fileSize_);
    const std::uint64_t skipped = std::min<std::uint64_t>(left, static_cast<std::uint64_t>(request));
    self.offset_ += skipped;
    return static_cast<la_int64_t>(skipped);
  }

  static la_int64_t seek(struct archive*, void* data, la_int64_t offset, int whence) {
    auto& self = *static_cast<ArchiveReader*>(data);
    la_int64_t base = whence == SEEK_SET ? 0
                      : whence == SEEK_CUR ? static_cast<la_int64_t>(self.offset_)
                                           : static_cast<la_int64_t>(self.fileSize_);
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return ARCHIVE_FATAL;
    self.offset_ = static_cast<std::uint64_t>(base + offset);
    return base + offset;
  }
};

ArchiveReader::ArchiveReader(std::unique_ptr<InputFile> file, Kind kind)
    : kind_(kind), file_(std::move(file)), fileSize_(file_->size()), buffer_(kSourceBlock) {}

ArchiveReader::ArchiveReader(ArchiveReader& outer)
    : kind_(Kind::Compressed), outer_(&outer), buffer_(kSourceBlock) {}

ArchiveReader::~ArchiveReader() {
  if (archive_) archive_read_free(archive_);
}

IoError ArchiveReader::failure() {
  IoError error;
  if (sourceError_) {
    error = *sourceError_;
  } else {
    const char* text = archive_ ? archive_error_string(archive_) : nullptr;
    const int code = archive_ ? archive_errno(archive_) : 0;
    error = IoError{IoStep::Unpack, code > 0 ? code : 0, text && *text ? text : "the data cannot be unpacked"};
  }
  broken_ = error;
  return error;
}

Status ArchiveReader::start() {
  started_ = true;
  archive_ = archive_read_new();
  if (!archive_) return IoError{IoStep::Read, 0, "out of memory"};
  SupportFilters(archive_);
  if (kind_ == Kind::Archive) {
    archive_read_support_format_zip(archive_);
    archive_read_support_format_tar(archive_);
    archive_read_support_format_empty(archive_);
  } else {
    archive_read_support_format_raw(archive_);
  }
  archive_read_set_callback_data(archive_, this);
  archive_read_set_read_callback(archive_, ArchiveCallbacks::read);
  if (!outer_) {
    // A file can skip and seek: the zip reader then reads the central directory.
    archive_read_set_skip_callback(archive_, ArchiveCallbacks::skip);
    archive_read_set_seek_callback(archive_, ArchiveCallbacks::seek);
  }
  if (archive_read_open1(archive_) != ARCHIVE_OK) return failure();
  return Ok();
}

Result<std::optional<MemberHeader>> ArchiveReader::next() {
  if (broken_) return *broken_;
  if (!started_) {
    if (Status s = start(); !s) return s.error();
  }
  struct archive_entry* entry = nullptr;
  const int r = archive_read_next_header(archive_, &entry);
  if (r == ARCHIVE_EOF) return std::optional<MemberHeader>();
  // A warning is a name the locale cannot show: the stored bytes are still there.
  if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return failure();
  if (kind_ == Kind::Compressed && archive_filter_code(archive_, 0) == ARCHIVE_FILTER_NONE) {
    broken_ = IoError{IoStep::Unpack, 0, "the file is not compressed as its name says"};
    return *broken_;
  }
  ++position_;
  block_ = nullptr;
  blockLeft_ = 0;
  gap_ = 0;
  dataOffset_ = 0;
  ended_ = false;
  MemberHeader header;
  const char* name = archive_entry_pathname(entry);
  if (!name) name = archive_entry_pathname_utf8(entry);
  header.name = name ? name : "";
  header.regular = archive_entry_filetype(entry) == AE_IFREG && archive_entry_hardlink(entry) == nullptr;
  if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
    header.size = static_cast<std::uint64_t>(archive_entry_size(entry));
  header.encrypted = archive_entry_is_data_encrypted(entry) != 0;
  return std::optional<MemberHeader>(std::move(header));
}

Result<std::size_t> ArchiveReader::read(std::uint8_t* buffer, std::size_t n) {
  if (broken_) return *broken_;
  if (!started_ || position_ == 0) return std::size_t{0};
  // Block by block, so the bytes unpacked before a damaged or cut place are kept.
  while (blockLeft_ == 0 && gap_ == 0 && !ended_) {
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    const int r = archive_read_data_block(archive_, &block, &size, &offset);
    if (r == ARCHIVE_EOF) ended_ = true;
    else if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return failure();
    // The holes of a sparse member read as zeros.
    if (offset > 0 && static_cast<std::uint64_t>(offset) > dataOffset_) gap_ = static_cast<std::uint64_t>(offset) - dataOffset_;
    block_ = static_cast<const std::uint8_t*>(block);
    blockLeft_ = ended_ ? 0 : size;
  }
  std::size_t m = 0;
  if (gap_ > 0) {
    m = static_cast<std::size_t>(std::min<std::uint64_t>(n, gap_));
    std::memset(buffer, 0, m);
    gap_ -= m;
  } else {
    m = std::min(n, blockLeft_);
    if (m > 0) std::memcpy(buffer, block_, m);
    block_ += m;
    blockLeft_ -= m;
  }
  dataOffset_ += m;
  return m;
}

}  // namespace vellmark
