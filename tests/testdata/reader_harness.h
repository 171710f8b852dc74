#pragma once
// Runs a reader the way the analysis pass does and records what it did to the window:
// every progress value, every stop poll, every question and message.

#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/reader_contract.h"

namespace vellmark::testdata {

class ReaderHarness {
 public:
  explicit ReaderHarness(FileSystem& files = RealFileSystem(), int year = 2026);

  // Presses Stop just before poll number `poll` (1-based) and answers the question.
  void pressStopAtPoll(int poll, bool answerYes) {
    stopPoll_ = poll;
    answerYes_ = answerYes;
  }

  ReaderResult read(const ReaderFunction& reader, const std::string& path);

  std::vector<int> progress;            // values the bar was set to, in order
  int polls = 0;                        // stop points reached
  int questions = 0;                    // times the stop question was asked
  std::vector<std::string> messages;    // caption + ": " + text
  ReaderMemory memory;                  // kept across read() calls, like the session's
  int finalProgress() const { return progress.empty() ? 0 : progress.back(); }

 private:
  FileSystem& files_;
  Clock clock_;
  int stopPoll_ = 0;
  bool answerYes_ = false;
};

}  // namespace vellmark::testdata
