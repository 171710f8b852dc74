#include "testdata/bytes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vellmark::testdata {

void Put(Bytes& bytes, std::size_t offset, std::initializer_list<std::uint8_t> values, std::uint8_t fill) {
  Put(bytes, offset, Bytes(values), fill);
}

void Put(Bytes& bytes, std::size_t offset, const Bytes& values, std::uint8_t fill) {
  if (bytes.size() < offset + values.size()) bytes.resize(offset + values.size(), fill);
  std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutText(Bytes& bytes, std::size_t offset, std::string_view text, std::uint8_t fill) {
  Put(bytes, offset, Text(text), fill);
}

void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

void PlaceText(std::string& record, std::size_t pos, std::string_view text) {
  for (std::size_t i = 0; i < text.size() && pos - 1 + i < record.size(); ++i) record[pos - 1 + i] = text[i];
}

std::string ZeroPadded(unsigned long long value, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llu", width, value);
  return text;
}

std::uint8_t Bcd(unsigned twoDigits) {
  return static_cast<std::uint8_t>(((twoDigits / 10) % 10) << 4 | (twoDigits % 10));
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vellmark-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; open them up so they can go.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
    if (entry.is_directory(ignored))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(std::string_view name, const Bytes& bytes) const {
  std::string full = file(name);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full);
  return full;
}

std::string TempDir::write(std::string_view name, std::string_view text) const { return write(name, Text(text)); }

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vellmark::testdata
