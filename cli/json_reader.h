#pragma once
// Reading JSON texts back: the result lines vellmark-cli writes come back to merge and
// to a resumed run. Strings come back as the bytes they were written from: \udc80 to
// \udcff stand for single bytes that were not UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellmark::cli {

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  std::string text;  // a string's bytes, or a number as written
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;  // in the order written

  bool isNull() const { return type == Type::Null; }
  // The member named `key` of an object; nothing when there is none (or this is no object).
  const JsonValue* find(std::string_view key) const;
  // A whole number that fits; nothing for any other value.
  std::optional<std::uint64_t> unsignedNumber() const;
  std::optional<std::int64_t> signedNumber() const;
};

struct JsonParse {
  std::optional<JsonValue> value;
  std::string error;  // why the text is not one JSON value, when it is not
};

// Parses exactly one JSON value (blanks around it allowed).
JsonParse ParseJson(std::string_view text);

}  // namespace vellmark::cli
