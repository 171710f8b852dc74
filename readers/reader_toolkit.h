#pragma once
// Small pieces the readers share: the date-and-time stamp, two-digit and blank-skipping
// number texts, and the progress bar's per-cent steps.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/byte_view.h"
#include "core/warning.h"

namespace vellmark {

// A call time as the list shows it: the date, three blanks, the time.
std::string Stamp(std::string_view date, std::string_view time);

// True when the stamp is a real date and clock time: "YYYY-MM-DD   hh:mm:ss" with a
// month of the year, a day of the month and a time of the day.
bool IsRealStamp(std::string_view stamp);

// Warnings about the times a reader found: a start or end that is no real date and
// time (bad_time, at the record it came from), or an end before the start.
struct CallRange;
void CheckTimes(CallRange& range);

// "n bytes" in a warning's text.
std::string ByteCount(std::uint64_t n);

// The last two decimal digits of a number: 7 -> "07", 123 -> "23".
std::string TwoDigits(unsigned value);

// The number in `width` characters from `pos`: its digits up to the first character
// that is neither a digit nor a blank, blanks skipped; no digits reads 0.
inline unsigned DigitsSkippingBlanks(const ByteView& bytes, std::size_t pos, std::size_t width) {
  unsigned value = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    std::uint8_t c = bytes[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

// Eight or four bytes as one big-endian number, read in one load: the characters of a
// text field in an order that compares as the text does.
inline std::uint64_t BigEndian64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap64(v);
}
inline std::uint32_t BigEndian32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap32(v);
}

// True when every byte of w (eight, or the four of a 32-bit w) is a decimal digit.
inline bool AllDigits(std::uint64_t w) {
  return ((w & 0xF0F0F0F0F0F0F0F0) | (((w + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) == 0x3333333333333333;
}
inline bool AllDigits(std::uint32_t w) {
  return ((w & 0xF0F0F0F0) | (((w + 0x06060606) & 0xF0F0F0F0) >> 4)) == 0x33333333;
}

// The bar's per cent as position / divisor: tells when the position reaches the next
// whole step, so the division is done only then. A divisor of 0 never moves the bar.
class PercentSteps {
 public:
  explicit PercentSteps(std::uint64_t divisor) : divisor_(divisor), next_(divisor == 0 ? UINT64_MAX : 0) {}
  // The position at which value() next changes.
  std::uint64_t next() const { return next_; }
  bool due(std::uint64_t position) const { return position >= next_; }
  // position / divisor (it may pass 100; the caller caps it).
  std::uint64_t value(std::uint64_t position) {
    std::uint64_t v = position / divisor_;
    next_ = (v + 1) * divisor_;
    return v;
  }

 private:
  std::uint64_t divisor_;
  std::uint64_t next_;
};

}  // namespace vellmark
