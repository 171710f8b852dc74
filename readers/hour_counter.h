#pragma once
// Calls per clock hour, counted while a reader walks its records. A record costs a
// comparison and an addition: it is counted under a key the reader makes from the
// raw bytes of its time (year, day and hour as they stand), and each key is turned
// into its hour's text once, at the end.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "core/calls_per_hour.h"

namespace vellmark {

class HourCounter {
 public:
  void add(std::uint64_t key) {
    if (last_ && key == lastKey_) {
      ++*last_;
      return;
    }
    last_ = &counts_[key];
    lastKey_ = key;
    ++*last_;
  }

  // Adds the counts of another walk of the same file (a later piece of it).
  void merge(const HourCounter& other) {
    for (const auto& [key, calls] : other.counts_) counts_[key] += calls;
  }

  // `stampOf` gives, for a key, the time text the reader would show for a call of
  // that hour ("YYYY-MM-DD   hh:..."). Keys whose text is no real date and hour are
  // left out; keys of the same hour are added up. In hour order.
  CallsPerHour finish(const std::function<std::string(std::uint64_t)>& stampOf) const;

 private:
  std::unordered_map<std::uint64_t, std::uint64_t> counts_;  // nodes stay put: last_ stays valid
  std::uint64_t* last_ = nullptr;
  std::uint64_t lastKey_ = 0;
};

}  // namespace vellmark
