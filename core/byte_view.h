#pragma once
// Bounds-safe reads from a span of bytes: a position outside the span reads as the
// view's fill byte, so decoding damaged or cut files never touches foreign memory.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellmark {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const std::uint8_t* data, std::size_t size, std::uint8_t fill = 0)
      : data_(data), size_(size), fill_(fill) {}

  std::size_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }
  std::uint8_t fill() const { return fill_; }
  bool contains(std::size_t pos, std::size_t n = 1) const {
    return pos <= size_ && n <= size_ - pos;
  }

  std::uint8_t at(std::size_t pos) const { return pos < size_ ? data_[pos] : fill_; }
  std::uint8_t operator[](std::size_t pos) const { return at(pos); }

  // The bytes [pos, pos + n) that lie inside the view (maybe fewer than n).
  ByteView sub(std::size_t pos, std::size_t n) const {
    if (pos >= size_) return ByteView(nullptr, 0, fill_);
    std::size_t len = size_ - pos < n ? size_ - pos : n;
    return ByteView(data_ + pos, len, fill_);
  }

  // Big-endian unsigned value of n bytes (n <= 8).
  std::uint64_t bigEndian(std::size_t pos, std::size_t n) const {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | at(pos + i);
    return v;
  }

  // Bytes as single-byte characters, past-the-end ones as the fill byte.
  std::string text(std::size_t pos, std::size_t n) const {
    std::string s(n, static_cast<char>(fill_));
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(at(pos + i));
    return s;
  }

  // Two upper-case hex digits per byte, in file order (0xC6 0xC4 -> "C6C4").
  std::string hex(std::size_t pos, std::size_t n) const;

  // BCD value: the hex text of n bytes read as a decimal number by its leading
  // digits; it stops at the first nibble above 9 (0x01 0x23 -> 123, 0xFF -> 0,
  // 0x40 0x40 -> 4040, 0x12 0xF4 -> 12).
  std::uint64_t bcd(std::size_t pos, std::size_t n) const {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint8_t b = at(pos + i);
      if ((b >> 4) > 9) return v;
      v = v * 10 + (b >> 4);
      if ((b & 0x0F) > 9) return v;
      v = v * 10 + (b & 0x0F);
    }
    return v;
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::uint8_t fill_ = 0;
};

}  // namespace vellmark
