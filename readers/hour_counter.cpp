#include "readers/hour_counter.h"

#include <map>

#include "readers/reader_toolkit.h"

namespace vellmark {

CallsPerHour HourCounter::finish(const std::function<std::string(std::uint64_t)>& stampOf) const {
  std::map<std::string, std::uint64_t> hours;
  for (const auto& [key, calls] : counts_) {
    // The hour's first second stands for the hour: minutes and seconds of the
    // reader's text may be anything.
    std::string stamp = stampOf(key);
    if (stamp.size() < 15) continue;
    stamp.replace(15, std::string::npos, ":00:00");
    if (!IsRealStamp(stamp)) continue;
    hours[stamp.substr(0, 10) + "T" + stamp.substr(13, 2)] += calls;
  }
  CallsPerHour result;
  result.reserve(hours.size());
  for (auto& [hour, calls] : hours) result.push_back({hour, calls});
  return result;
}

}  // namespace vellmark
