#pragma once
// A pass observer for tests: records what the pass tells and answers the stop question
// from a script.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "analysis/pass_observer.h"

namespace vellmark::testdata {

class RecordingObserver : public PassObserver {
 public:
  void entryStarted(std::size_t row) override { started.push_back(row); }
  void progress(int percent) override { progressValues.push_back(percent); }
  void readerMessage(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + ": " + text);
  }
  bool confirmStop() override {
    ++questions;
    if (answers.empty()) return false;
    bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void yield() override {
    ++yields;
    if (onYield) onYield();
  }

  std::vector<std::size_t> started;
  std::vector<int> progressValues;
  std::vector<std::string> messages;    // caption + ": " + text
  int questions = 0;
  std::deque<bool> answers;             // scripted answers (Yes = true), No when none left
  std::function<void()> onYield;        // runs as a window event at each yield
  int yields = 0;
};

}  // namespace vellmark::testdata
