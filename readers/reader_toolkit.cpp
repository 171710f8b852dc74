#include "readers/reader_toolkit.h"

#include "readers/reader_contract.h"

namespace vellmark {

namespace {

// The number in `n` decimal digits at `pos`, or -1 when they are not all digits.
int Digits(std::string_view text, std::size_t pos, std::size_t n) {
  int value = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

bool IsRealStamp(std::string_view s) {
  if (s.size() != 21 || s[4] != '-' || s[7] != '-' || s.substr(10, 3) != "   " || s[15] != ':' || s[18] != ':')
    return false;
  const int year = Digits(s, 0, 4), month = Digits(s, 5, 2), day = Digits(s, 8, 2);
  const int hour = Digits(s, 13, 2), minute = Digits(s, 16, 2), second = Digits(s, 19, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59)
    return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

void CheckTimes(CallRange& range) {
  if (range.records == 0) return;
  const bool start = IsRealStamp(range.start), end = IsRealStamp(range.end);
  if (!start)
    range.warnings.push_back({WarningKind::BadTime, "the first call's time \"" + range.start + "\" is no real date and time",
                              range.startOffset});
  if (!end)
    range.warnings.push_back({WarningKind::BadTime, "the last call's time \"" + range.end + "\" is no real date and time",
                              range.endOffset});
  if (start && end && range.end < range.start)
    range.warnings.push_back({WarningKind::EndBeforeStart, "the last call lies before the first", range.endOffset});
}

std::string ByteCount(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

std::string Stamp(std::string_view date, std::string_view time) {
  std::string stamp;
  stamp.reserve(date.size() + 3 + time.size());
  stamp.append(date).append("   ").append(time);
  return stamp;
}

std::string TwoDigits(unsigned value) {
  value %= 100;
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

}  // namespace vellmark
