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

// The totals of a pass: the files counted, their bytes and their records.
struct ListTotals {
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
  std::uint64_t records = 0;
};

// The totals as the status bar shows them: "16", "0.1 MB", "1386"; the records text
// is empty when no file was counted.
struct TotalsTexts {
  std::string files;
  std::string size;
  std::string records;
};
TotalsTexts ShowTotals(const ListTotals& totals);

}  // namespace vellmark
