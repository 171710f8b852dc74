#pragma once
// Small helpers for building file contents byte by byte, and a scratch folder.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vellmark::testdata {

using Bytes = std::vector<std::uint8_t>;

// Writes the bytes at `offset`, growing the buffer with `fill` as needed.
void Put(Bytes& bytes, std::size_t offset, std::initializer_list<std::uint8_t> values, std::uint8_t fill = 0);
void Put(Bytes& bytes, std::size_t offset, const Bytes& values, std::uint8_t fill = 0);
void PutText(Bytes& bytes, std::size_t offset, std::string_view text, std::uint8_t fill = 0);
void Append(Bytes& bytes, const Bytes& more);
Bytes Text(std::string_view text);

// Text records: writes `text` at 1-based position `pos`, inside the record's length only.
void PlaceText(std::string& record, std::size_t pos, std::string_view text);
// A number as decimal digits with leading zeros to `width`: (42, 4) -> "0042".
std::string ZeroPadded(unsigned long long value, int width);

// One byte of two BCD digits: 42 -> 0x42.
std::uint8_t Bcd(unsigned twoDigits);

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
  // Writes a file and returns its full path.
  std::string write(std::string_view name, const Bytes& bytes) const;
  std::string write(std::string_view name, std::string_view text) const;

 private:
  std::string path_;
};

Bytes ReadWholeFile(const std::string& path);

}  // namespace vellmark::testdata
