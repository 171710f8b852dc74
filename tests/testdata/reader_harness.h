#pragma once
// Runs a reader the way the analysis pass does and records what it did to the window:
// every progress value, every stop poll, every question and message.

#include <string>
#include <vector>

#include "core/file_system.h"
#include "readers/modOCB.h"
#include "readers/reader_contract.h"
#include "testdata/outcome_text.h"

namespace vellmark::testdata {

class ReaderHarness {
 public:
  explicit ReaderHarness(FileSystem& files = RealFileSystem(), int year = 2026);

  // Presses Stop just before poll number `poll` (1-based) and answers the question.
  void pressStopAtPoll(int poll, bool answerYes) {
    stopPoll_ = poll;
    answerYes_ = answerYes;
  }

  ReaderOutcome outcome(const ReaderFunction& reader, const std::string& path);
  // The outcome as OutcomeText gives it.
  std::string read(const ReaderFunction& reader, const std::string& path) {
    return OutcomeText(outcome(reader, path));
  }
  // The OCB reader with the layout the OCB files read before left, as the session's.
  std::string readOcb(const std::string& path);

  std::vector<int> progress;            // values the bar was set to, in order
  int polls = 0;                        // stop points reached
  int questions = 0;                    // times the stop question was asked
  std::vector<std::string> messages;    // caption + ": " + text
  vellmark::OcbLayout ocbLayout;        // kept across readOcb() calls
  ReadOptions options;                  // how the reads read; a result gets its digests
  int finalProgress() const { return progress.empty() ? 0 : progress.back(); }

 private:
  FileSystem& files_;
  Clock clock_;
  int stopPoll_ = 0;
  bool answerYes_ = false;
};

}  // namespace vellmark::testdata
