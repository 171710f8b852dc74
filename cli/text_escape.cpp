#include "cli/text_escape.h"

#include <cstdint>
#include <cstdio>

#include "core/utf8.h"

namespace vellmark::cli {

namespace {

void AppendHex(std::string& out, const char* form, unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, form, value);
  out += buffer;
}

}  // namespace

std::string EscapeForLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else if (b < 0x20 || b == 0x7F) AppendHex(out, "\\x%02X", b);
    else out += c;
  }
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = Utf8SequenceLength(text, i);
    if (n == 0) {
      AppendHex(out, "\\u%04x", 0xDC00u + b);
      ++i;
      continue;
    }
    if (n == 1) {
      switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (b < 0x20 || b == 0x7F) AppendHex(out, "\\u%04x", b);
          else out += static_cast<char>(b);
      }
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out + "\"";
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::size_t DisplayWidth(std::string_view text) { return CharacterCount(text); }

}  // namespace vellmark::cli
