#include "support/memory_file_system.h"

#include <cerrno>
#include <cstring>

namespace vellmark {

namespace {

class MemoryInputFile : public InputFile {
 public:
  explicit MemoryInputFile(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
    if (offset >= bytes_.size()) return std::size_t{0};
    std::size_t len = std::min<std::uint64_t>(n, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, len);
    return len;
  }
  std::uint64_t size() const override { return bytes_.size(); }
  bool concurrentReads() const override { return true; }

 private:
  const std::vector<std::uint8_t>& bytes_;
};

}  // namespace

Result<FileStatus> MemoryFileSystem::status(const std::string& path) {
  FileStatus s;
  auto it = files_.find(path);
  if (it == files_.end()) return s;
  s.exists = s.regular = true;
  s.size = it->second.size();
  s.mode = 0644;
  return s;
}

Result<std::unique_ptr<InputFile>> MemoryFileSystem::openRead(const std::string& path) {
  auto it = files_.find(path);
  if (it == files_.end()) return MakeIoError(IoStep::Open, ENOENT);
  return std::unique_ptr<InputFile>(new MemoryInputFile(it->second));
}

Result<std::unique_ptr<OutputFile>> MemoryFileSystem::createNew(const std::string&, unsigned) {
  return MakeIoError(IoStep::Open, EROFS);
}

Result<std::unique_ptr<OutputFile>> MemoryFileSystem::openTruncate(const std::string&) {
  return MakeIoError(IoStep::Open, EROFS);
}

Status MemoryFileSystem::rename(const std::string&, const std::string&) {
  return MakeIoError(IoStep::Rename, EROFS);
}

Status MemoryFileSystem::remove(const std::string&) { return MakeIoError(IoStep::Remove, EROFS); }

}  // namespace vellmark
