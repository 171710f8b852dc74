#pragma once
// The window services of the command line: messages go to stderr or are kept for the
// output, the stop question is answered Yes (only Ctrl-C asks it), and a progress
// line is drawn when stderr is a terminal.

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "core/window_services.h"

namespace vellmark {
class AnalysisSession;
}

namespace vellmark::cli {

// Ctrl-C presses since the program started; the signal handler counts them.
extern std::atomic<int> g_interrupts;

class CliServices : public WindowServices {
 public:
  CliServices(std::ostream& err, bool showProgress) : err_(err), showProgress_(showProgress) {}
  void attach(AnalysisSession* session) { session_ = session; }

  void setPanelText(int panel, const std::string& text) override;
  void yieldToEvents() override;
  void showMessage(const std::string& text, MessageIcon icon, const std::string& caption) override;
  Answer ask(const std::string& text) override;
  void setProgress(int value) override;
  // The file dialogs answer with the name given on the command line.
  std::string openFileName(const std::string& filter, const std::string& offered) override;
  std::string saveFileName(const std::string& filter) override;
  void setFileName(std::string name) { fileName_ = std::move(name); }

  // Information messages shown since the last call (the refusal, the closing message).
  std::vector<std::string> takeMessages();
  bool interrupted() const { return interrupted_; }
  // Error messages shown so far.
  int errors() const { return errors_; }

 private:
  void drawProgress();
  void clearProgress();

  std::ostream& err_;
  bool showProgress_;
  AnalysisSession* session_ = nullptr;
  std::vector<std::string> messages_;
  std::string current_;
  int progress_ = 0;
  bool lineDrawn_ = false;
  bool interrupted_ = false;
  std::string fileName_;
  int errors_ = 0;
};

}  // namespace vellmark::cli
