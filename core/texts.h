#pragma once
// The display texts the list and the totals are built from.

#include <cstdint>
#include <string>
#include <string_view>

namespace vellmark {

inline constexpr std::string_view kWaitingStatus = "To be  Analysed";
inline constexpr std::string_view kInvalidStatus = "Invalid  File";
inline constexpr std::string_view kApplicationTitle = "Vellmark";

// Half-to-even rounding of numerator / denominator (denominator > 0).
std::uint64_t DivideRoundHalfEven(std::uint64_t numerator, std::uint64_t denominator);

// A file's size as the list shows it: bytes / 1024, half to even, + " KB".
std::string KilobyteText(std::uint64_t bytes);

// A size total as the status bar shows it: bytes / 1048576 to two decimals, half to
// even, without trailing zeros (1.5, 0.03, 0), + " MB".
std::string MegabyteText(std::uint64_t bytes);

// The number a text begins with: its leading decimal digits, 0 when it has none.
// Saturates instead of overflowing.
std::uint64_t LeadingNumber(std::string_view text);

}  // namespace vellmark
