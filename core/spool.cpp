#include "core/spool.h"

#include "core/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vellmark {

namespace {

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

// A file in the temporary folder that no other process can find by name.
int OpenAnonymousFile() {
  const std::string folder = TempFolder();
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  // File systems without O_TMPFILE: a fresh name, removed at once.
  std::string name = folder + "/vellmark-spool-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace

Spool::~Spool() {
  if (fd_ >= 0) ::close(fd_);
}

Status Spool::spill() {
  fd_ = OpenAnonymousFile();
  if (fd_ < 0) return MakeIoError(IoStep::Write, errno);
  std::vector<std::uint8_t> held;
  held.swap(memory_);
  const std::uint64_t keep = size_;
  size_ = 0;
  return append(held.data(), static_cast<std::size_t>(keep));
}

Status Spool::append(const std::uint8_t* data, std::size_t n) {
  if (fd_ < 0 && size_ + n <= memoryBound_) {
    if (memory_.capacity() < size_ + n)
      memory_.reserve(std::min<std::size_t>(memoryBound_, std::max<std::size_t>(memory_.capacity() * 2, size_ + n)));
    memory_.insert(memory_.end(), data, data + n);
    size_ += n;
    return Ok();
  }
  if (fd_ < 0) {
    if (Status s = spill(); !s) return s;
  }
  while (n > 0) {
    ssize_t w = ::pwrite(fd_, data, n, static_cast<off_t>(size_));
    if (w < 0) {
      if (errno == EINTR) continue;
      return MakeIoError(IoStep::Write, errno);
    }
    data += w;
    n -= static_cast<std::size_t>(w);
    size_ += static_cast<std::uint64_t>(w);
  }
  return Ok();
}

Result<std::size_t> Spool::readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const {
  if (offset >= size_) return std::size_t{0};
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
  if (fd_ < 0) {
    std::memcpy(buffer, memory_.data() + offset, n);
    return n;
  }
  return ReadFullyAt(fd_, offset, buffer, n);
}

}  // namespace vellmark
