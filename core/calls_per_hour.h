#pragma once
// Calls counted per clock hour of their time, for a timeline's density and a file's
// histogram.

#include <cstdint>
#include <string>
#include <vector>

namespace vellmark {

struct HourCount {
  std::string hour;  // "YYYY-MM-DDTHH"
  std::uint64_t calls = 0;

  bool operator==(const HourCount&) const = default;
};

// In hour order, only hours that hold calls.
using CallsPerHour = std::vector<HourCount>;

}  // namespace vellmark
