#include "core/texts.h"

#include <limits>

namespace vellmark {

std::uint64_t DivideRoundHalfEven(std::uint64_t numerator, std::uint64_t denominator) {
  std::uint64_t q = numerator / denominator;
  std::uint64_t r = numerator % denominator;
  std::uint64_t rest = denominator - r;  // r > denominator / 2 without overflow
  if (r > rest || (r == rest && (q & 1))) ++q;
  return q;
}

std::string KilobyteText(std::uint64_t bytes) {
  return std::to_string(DivideRoundHalfEven(bytes, 1024)) + " KB";
}

std::string MegabyteText(std::uint64_t bytes) {
  // Hundredths of a MB; whole MBs apart so nothing overflows (their hundredths are
  // even, so rounding the rest to even rounds the whole the same way).
  std::uint64_t hundredths = bytes / 1048576 * 100 + DivideRoundHalfEven(bytes % 1048576 * 100, 1048576);
  std::string text = std::to_string(hundredths / 100);
  std::uint64_t cents = hundredths % 100;
  if (cents != 0) {
    text += '.';
    text += static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) text += static_cast<char>('0' + cents % 10);
  }
  return text + " MB";
}

std::uint64_t LeadingNumber(std::string_view text) {
  std::uint64_t value = 0;
  const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
  for (char c : text) {
    if (c < '0' || c > '9') break;
    unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (limit - digit) / 10) return limit;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace vellmark

namespace vellmark {

TotalsTexts ShowTotals(const ListTotals& totals) {
  return {std::to_string(totals.files), MegabyteText(totals.bytes),
          totals.files > 0 ? std::to_string(totals.records) : std::string()};
}

}  // namespace vellmark
