#pragma once
// Unpacked bytes kept for reading at any offset: in memory up to a bound, beyond it
// in a temporary file that has no name (unlinked, or never linked), so nothing is
// left behind and no name taken from an archive ever reaches the disk.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/io_error.h"

namespace vellmark {

class Spool {
 public:
  static constexpr std::size_t kDefaultMemoryBound = std::size_t{8} << 20;

  explicit Spool(std::size_t memoryBound = kDefaultMemoryBound) : memoryBound_(memoryBound) {}
  ~Spool();
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  Status append(const std::uint8_t* data, std::size_t n);
  // Up to n bytes at offset; fewer only at the end of what was appended.
  Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) const;
  std::uint64_t size() const { return size_; }
  bool inMemory() const { return fd_ < 0; }

 private:
  Status spill();

  std::size_t memoryBound_;
  std::vector<std::uint8_t> memory_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace vellmark
