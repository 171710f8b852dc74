#pragma once
// The clock readers and reports take the current date from. Tests, fuzzing and the
// CLI's --year pin it.

#include <ctime>
#include <functional>

namespace vellmark {

struct Clock {
  std::function<std::tm()> now = [] {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
  };
  int currentYear() const { return now().tm_year + 1900; }

  // A clock stopped at noon on 15 June of `year`.
  static Clock MidYear(int year) {
    return Clock{[year] {
      std::tm t{};
      t.tm_year = year - 1900;
      t.tm_mon = 5;
      t.tm_mday = 15;
      t.tm_hour = 12;
      return t;
    }};
  }

  // This clock with its year replaced.
  Clock withYear(int year) const {
    return Clock{[system = now, year] {
      std::tm t = system();
      t.tm_year = year - 1900;
      return t;
    }};
  }
};

}  // namespace vellmark
