#pragma once
// Window services for tests: records everything the core shows and answers questions
// and file dialogs from scripts.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/window_services.h"

namespace vellmark::testdata {

struct ShownMessage {
  std::string text;
  MessageIcon icon;
  std::string caption;
};

class RecordingServices : public WindowServices {
 public:
  void setPanelText(int panel, const std::string& text) override { panelChanges.push_back({panel, text}); }
  void setResultsShown(bool on) override { resultsShownChanges.push_back(on); }
  void yieldToEvents() override {
    ++yields;
    if (onYield) onYield();
  }
  void showMessage(const std::string& text, MessageIcon icon, const std::string& caption) override {
    messages.push_back({text, icon, caption});
  }
  Answer ask(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) return Answer::No;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  void setProgress(int value) override { progress.push_back(value); }
  void redrawList() override { ++redraws; }
  std::string openFileName(const std::string& filter, const std::string& offered) override {
    dialogs.push_back("open " + filter + " [" + offered + "]");
    return nextName();
  }
  std::string saveFileName(const std::string& filter) override {
    dialogs.push_back("save " + filter);
    return nextName();
  }

  std::vector<std::pair<int, std::string>> panelChanges;
  std::vector<bool> resultsShownChanges;
  std::vector<ShownMessage> messages;
  std::vector<std::string> questions;
  std::deque<Answer> answers;          // scripted answers, No when none left
  std::deque<std::string> fileNames;   // scripted dialog results, "" (cancel) when none left
  std::vector<std::string> dialogs;
  std::vector<int> progress;
  std::function<void()> onYield;       // runs as a window event at each yield
  int yields = 0;
  int redraws = 0;

 private:
  std::string nextName() {
    if (fileNames.empty()) return "";
    std::string name = fileNames.front();
    fileNames.pop_front();
    return name;
  }
};

}  // namespace vellmark::testdata
