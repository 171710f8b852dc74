#include "cli/json_reader.h"

#include <charconv>

namespace vellmark::cli {

namespace {

// Deeper nesting than any line we write: refused rather than recursed into.
constexpr int kMostDepth = 32;

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  JsonParse parse() {
    JsonParse result;
    JsonValue value;
    if (parseValue(value, 0)) {
      skipBlanks();
      if (at_ == text_.size()) result.value = std::move(value);
      else fail("text after the value");
    }
    if (!result.value) result.error = error_ + " at byte " + std::to_string(at_);
    return result;
  }

 private:
  bool fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  void skipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return fail("not a JSON value");
    at_ += word.size();
    return true;
  }

  bool parseValue(JsonValue& value, int depth) {
    if (depth > kMostDepth) return fail("nested too deeply");
    skipBlanks();
    if (at_ >= text_.size()) return fail("the text ends before a value");
    switch (text_[at_]) {
      case '{': return parseObject(value, depth);
      case '[': return parseArray(value, depth);
      case '"': value.type = JsonValue::Type::String; return parseString(value.text);
      case 't': value.type = JsonValue::Type::Bool; value.boolean = true; return literal("true");
      case 'f': value.type = JsonValue::Type::Bool; return literal("false");
      case 'n': return literal("null");
      default: return parseNumber(value);
    }
  }

  bool parseObject(JsonValue& value, int depth) {
    value.type = JsonValue::Type::Object;
    ++at_;
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
    for (;;) {
      skipBlanks();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"') return fail("a member name was expected");
      if (!parseString(key)) return false;
      skipBlanks();
      if (at_ >= text_.size() || text_[at_] != ':') return fail("':' was expected");
      ++at_;
      JsonValue member;
      if (!parseValue(member, depth + 1)) return false;
      value.members.emplace_back(std::move(key), std::move(member));
      skipBlanks();
      if (at_ < text_.size() && text_[at_] == ',') { ++at_; continue; }
      if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
      return fail("',' or '}' was expected");
    }
  }

  bool parseArray(JsonValue& value, int depth) {
    value.type = JsonValue::Type::Array;
    ++at_;
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
    for (;;) {
      JsonValue item;
      if (!parseValue(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
      skipBlanks();
      if (at_ < text_.size() && text_[at_] == ',') { ++at_; continue; }
      if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
      return fail("',' or ']' was expected");
    }
  }

  bool parseNumber(JsonValue& value) {
    const std::size_t from = at_;
    auto digits = [&] {
      std::size_t start = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > start;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (!digits()) return fail("not a JSON value");
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !digits())) return fail("a digit was expected");
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return fail("a digit was expected");
    }
    value.type = JsonValue::Type::Number;
    value.text = std::string(text_.substr(from, at_ - from));
    return true;
  }

  bool hex4(std::uint32_t& code) {
    if (at_ + 4 > text_.size()) return fail("a \\u escape is cut");
    auto [end, ec] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
    if (ec != std::errc() || end != text_.data() + at_ + 4) return fail("a \\u escape needs four hex digits");
    at_ += 4;
    return true;
  }

  bool parseString(std::string& out) {
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("a control byte in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) break;
      const char e = text_[at_++];
      const std::string_view simple = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
      if (auto k = simple.find(e); k != std::string_view::npos) {
        out += meant[k];
        continue;
      }
      if (e != 'u') return fail("an unknown escape");
      std::uint32_t code = 0;
      if (!hex4(code)) return false;
      if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
        std::uint32_t low = 0;
        at_ += 2;
        if (!hex4(low)) return false;
        if (low >= 0xDC00 && low < 0xE000) {
          AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
          continue;
        }
        at_ -= 6;  // not a pair: each half stands alone
      }
      // A lone low half from DC80 to DCFF is a byte that was not UTF-8.
      if (code >= 0xDC80 && code <= 0xDCFF) out += static_cast<char>(code - 0xDC00);
      else AppendUtf8(out, code);
    }
    return fail("a string is not closed");
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string error_;
};

template <typename T>
std::optional<T> WholeNumber(const JsonValue& value) {
  if (value.type != JsonValue::Type::Number) return std::nullopt;
  T n{};
  auto [end, ec] = std::from_chars(value.text.data(), value.text.data() + value.text.size(), n);
  if (ec != std::errc() || end != value.text.data() + value.text.size()) return std::nullopt;
  return n;
}

}  // namespace

const JsonValue* JsonValue::find(std::string_view key) const {
  for (const auto& [name, value] : members)
    if (name == key) return &value;
  return nullptr;
}

std::optional<std::uint64_t> JsonValue::unsignedNumber() const { return WholeNumber<std::uint64_t>(*this); }
std::optional<std::int64_t> JsonValue::signedNumber() const { return WholeNumber<std::int64_t>(*this); }

JsonParse ParseJson(std::string_view text) { return Parser(text).parse(); }

}  // namespace vellmark::cli
