#pragma once
// Paths are UTF-8 on this platform, but a file name may hold any bytes: a byte that
// is not part of a valid UTF-8 sequence counts as one character of its own.

#include <cstddef>
#include <string>
#include <string_view>

namespace vellmark {

// Length of the valid UTF-8 sequence that starts at text[i], or 0 when none does.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

// Number of characters in the text.
std::size_t CharacterCount(std::string_view text);

// The first `count` characters of the text (never splitting a sequence).
std::string_view FirstCharacters(std::string_view text, std::size_t count);

// The last `count` characters of the text.
std::string_view LastCharacters(std::string_view text, std::size_t count);

}  // namespace vellmark
