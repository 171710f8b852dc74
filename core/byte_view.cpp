#include "core/byte_view.h"

namespace vellmark {

std::string ByteView::hex(std::size_t pos, std::size_t n) const {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t b = at(pos + i);
    s += digits[b >> 4];
    s += digits[b & 0x0F];
  }
  return s;
}

}  // namespace vellmark
