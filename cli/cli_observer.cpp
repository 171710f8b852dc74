#include "cli/cli_observer.h"

#include <signal.h>
#include <unistd.h>

#include "cli/read_ahead.h"
#include "cli/text_escape.h"
#include "reports/safe_save.h"

namespace vellmark::cli {

std::atomic<int> g_interrupts{0};

namespace {

std::atomic<bool> g_passStoppable{false};

void OnInterrupt(int) {
  if (g_passStoppable.load() && g_interrupts.fetch_add(1) == 0) return;
  RemoveTemporaryFiles();
  _exit(130);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

StoppablePass::StoppablePass() { g_passStoppable = true; }
StoppablePass::~StoppablePass() { g_passStoppable = false; }

void CliObserver::entryStarted(std::size_t row) {
  current_ = session_.list().at(row).path;
  progress_ = 0;
  drawProgress();
}

void CliObserver::progress(int percent) {
  progress_ = percent;
  drawProgress();
}

void CliObserver::readerMessage(const std::string& text, const std::string& caption) {
  clearProgress();
  err_ << caption << ": " << EscapeForLine(text) << "\n";
}

void CliObserver::yield() {
  if (g_interrupts.load() > 0 && !interrupted_) {
    interrupted_ = true;
    session_.RequestStop();
  }
}

ReaderOutcome CliObserver::runRead(std::size_t row, const ReadCall& read, ReaderContext& context) {
  return ahead_ ? ahead_->handOver(row, read, context) : read(context);
}

void CliObserver::drawProgress() {
  if (!showProgress_ || current_.empty()) return;
  err_ << "\r\033[K" << progress_ << "% " << EscapeForLine(current_) << std::flush;
  lineDrawn_ = true;
}

void CliObserver::clearProgress() {
  if (!lineDrawn_) return;
  err_ << "\r\033[K" << std::flush;
  lineDrawn_ = false;
}

}  // namespace vellmark::cli
