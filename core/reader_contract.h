#pragma once
// What every switch-family reader is given and what it returns.

#include <atomic>
#include <ctime>
#include <functional>
#include <stdexcept>
#include <string>

#include "core/analyser_entry.h"
#include "core/file_system.h"
#include "core/io_error.h"

namespace vellmark {

// Start time, end time and record count joined by ",".
using ReaderResult = std::string;

// The result of a reader stopped by the user: both times waiting, no records.
ReaderResult StopResult();

// A reader that cannot read its file throws this; the run marks the entry invalid.
class ReaderError : public std::runtime_error {
 public:
  ReaderError(ReadFailure kind, const std::string& reason) : std::runtime_error(reason), kind_(kind) {}
  ReadFailure kind() const { return kind_; }

 private:
  ReadFailure kind_;
};

// Throws the ReaderError for a failed file operation: Open for an open, Read otherwise.
[[noreturn]] void ThrowIoFailure(const IoError& error);

// What readers remember from one file to the next, for as long as the session lives.
struct ReaderMemory {
  // The OCB layout of the OCB file read last: base offset and block padding.
  std::uint64_t ocbBase = 0;
  std::uint64_t ocbPadding = 0;
};

// The clock readers and reports take the current date from. Tests and the CLI's
// --year pin it.
struct Clock {
  std::function<std::tm()> now = [] {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
  };
  int currentYear() const { return now().tm_year + 1900; }

  // A clock stopped at noon on 15 June of `year`, for runs that must not depend on
  // today's date (tests, fuzzing, seeds).
  static Clock MidYear(int year) {
    Clock clock;
    clock.now = [year] {
      std::tm t{};
      t.tm_year = year - 1900;
      t.tm_mon = 5;
      t.tm_mday = 15;
      t.tm_hour = 12;
      return t;
    };
    return clock;
  }
};

class ReaderContext {
 public:
  struct Hooks {
    std::function<void(int)> progress;                      // the bar changed
    std::function<bool()> pollStop;                         // true: stop now
    std::function<void(const std::string&, const std::string&)> message;  // text, caption
  };
  ReaderContext(FileSystem& files, ReaderMemory& memory, const Clock& clock, Hooks hooks)
      : files_(files), memory_(memory), clock_(clock), hooks_(std::move(hooks)) {}

  FileSystem& files() { return files_; }
  ReaderMemory& memory() { return memory_; }
  int currentYear() const { return clock_.currentYear(); }

  // The progress bar, 0 to 100. Like the bar itself, it refuses values out of range.
  int progress() const { return progress_; }
  void setProgress(int value) {
    if (value < 0 || value > 100 || value == progress_) return;
    progress_ = value;
    if (hooks_.progress) hooks_.progress(value);
  }

  // A polling reader's stop point: lets the window's events run, then, if Stop was
  // pressed, asks "Do you want to Stop the Analyser". True when the answer was Yes:
  // the reader then sets the bar to 0 and returns StopResult().
  bool pollStop() { return hooks_.pollStop ? hooks_.pollStop() : false; }

  // A message box with the error icon and the given caption.
  void message(const std::string& text, const std::string& caption) {
    if (hooks_.message) hooks_.message(text, caption);
  }

 private:
  FileSystem& files_;
  ReaderMemory& memory_;
  const Clock& clock_;
  Hooks hooks_;
  int progress_ = 0;
};

using ReaderFunction = std::function<ReaderResult(const std::string& path, ReaderContext& context)>;

}  // namespace vellmark
