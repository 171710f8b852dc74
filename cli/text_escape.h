#pragma once
// Making file paths and file texts safe to print.

#include <string>
#include <string_view>

namespace vellmark::cli {

// For lines meant for people and line-based tools: tab, newline and backslash as
// \t, \n, \\, other control bytes as \xNN; everything else unchanged.
std::string EscapeForLine(std::string_view text);

// A JSON string literal, quotes included. Valid UTF-8 is kept; every byte that is not
// part of valid UTF-8 becomes \udc80 to \udcff, so the exact bytes can be recovered.
std::string JsonString(std::string_view text);

// A CSV field, quoted when it holds a comma, a quote, CR or LF (RFC 4180).
std::string CsvField(std::string_view text);

// Characters on screen: bytes that begin a UTF-8 sequence, stray bytes each count one.
std::size_t DisplayWidth(std::string_view text);

}  // namespace vellmark::cli
