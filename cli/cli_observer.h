#pragma once
// How a pass shows on the command line: a progress line on a terminal, reader
// messages on stderr, and Ctrl-C as the Stop command (its question is answered Yes).

#include <atomic>
#include <functional>
#include <ostream>
#include <string>

#include "analysis/analysis_session.h"

namespace vellmark::cli {

class ReadAhead;

// Ctrl-C presses that asked a pass to stop; the signal handler counts them.
extern std::atomic<int> g_interrupts;

// Ctrl-C while a StoppablePass lives: the first press asks the pass to stop, the list
// so far is still printed and written; a second ends the program. At any other time
// (a report read, a file written) a press ends the program at once, with status 130,
// and takes the temporary files being written with it: old files stay as they were.
void InstallInterruptHandler();
struct StoppablePass {
  StoppablePass();
  ~StoppablePass();
  StoppablePass(const StoppablePass&) = delete;
  StoppablePass& operator=(const StoppablePass&) = delete;
};

class CliObserver : public PassObserver {
 public:
  CliObserver(AnalysisSession& session, std::ostream& err, bool showProgress, ReadAhead* ahead = nullptr)
      : session_(session), err_(err), showProgress_(showProgress), ahead_(ahead) {}
  ~CliObserver() override { clearProgress(); }

  // Called with each row the pass has finished, in list order.
  void onEntryDone(std::function<void(std::size_t)> done) { done_ = std::move(done); }

  void entryStarted(std::size_t row) override;
  void entryDone(std::size_t row) override {
    if (done_) done_(row);
  }
  void progress(int percent) override;
  void readerMessage(const std::string& text, const std::string& caption) override;
  void yield() override;
  ReaderOutcome runRead(std::size_t row, const ReadCall& read, ReaderContext& context) override;

  bool interrupted() const { return interrupted_; }

 private:
  void drawProgress();
  void clearProgress();

  AnalysisSession& session_;
  std::ostream& err_;
  bool showProgress_;
  ReadAhead* ahead_;
  std::function<void(std::size_t)> done_;
  std::string current_;
  int progress_ = 0;
  bool lineDrawn_ = false;
  bool interrupted_ = false;
};

}  // namespace vellmark::cli
