#include "readers/reader_toolkit.h"

namespace vellmark {

std::string Stamp(std::string_view date, std::string_view time) {
  std::string stamp;
  stamp.reserve(date.size() + 3 + time.size());
  stamp.append(date).append("   ").append(time);
  return stamp;
}

std::string TwoDigits(unsigned value) {
  value %= 100;
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

unsigned DigitsSkippingBlanks(const ByteView& bytes, std::size_t pos, std::size_t width) {
  unsigned value = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    std::uint8_t c = bytes[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

}  // namespace vellmark
