#include "readers/reader_toolkit.h"

namespace vellmark {

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
