#include "core/utf8.h"

#include <cstdint>
#include <vector>

namespace vellmark {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  std::uint8_t b = byte(i);
  std::size_t n;
  std::uint32_t cp;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) { n = 2; cp = b & 0x1F; }
  else if (b >= 0xE0 && b <= 0xEF) { n = 3; cp = b & 0x0F; }
  else if (b >= 0xF0 && b <= 0xF4) { n = 4; cp = b & 0x07; }
  else return 0;
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

namespace {
std::size_t CharacterLength(std::string_view text, std::size_t i) {
  std::size_t n = Utf8SequenceLength(text, i);
  return n == 0 ? 1 : n;
}
}  // namespace

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += CharacterLength(text, i)) ++count;
  return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t c = 0; c < count && i < text.size(); ++c) i += CharacterLength(text, i);
  return text.substr(0, i);
}

std::string_view LastCharacters(std::string_view text, std::size_t count) {
  std::size_t total = CharacterCount(text);
  if (total <= count) return text;
  std::size_t skip = FirstCharacters(text, total - count).size();
  return text.substr(skip);
}

}  // namespace vellmark
