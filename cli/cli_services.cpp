#include "cli/cli_services.h"

#include "cli/text_escape.h"
#include "core/analysis_session.h"

namespace vellmark::cli {

std::atomic<int> g_interrupts{0};

void CliServices::setPanelText(int panel, const std::string& text) {
  if (panel != 5) return;
  const std::string prefix = "Analysing ";
  current_ = text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : std::string();
  progress_ = 0;
  if (current_.empty()) clearProgress();
  else drawProgress();
}

void CliServices::yieldToEvents() {
  if (g_interrupts.load() > 0 && !interrupted_) {
    interrupted_ = true;
    if (session_) session_->RequestStop();
  }
}

void CliServices::showMessage(const std::string& text, MessageIcon icon, const std::string& caption) {
  if (icon == MessageIcon::Information) {
    messages_.push_back(text);
    return;
  }
  if (icon == MessageIcon::Error) ++errors_;
  clearProgress();
  err_ << caption << ": " << EscapeForLine(text) << "\n";
}

Answer CliServices::ask(const std::string&) { return Answer::Yes; }

std::string CliServices::openFileName(const std::string&, const std::string&) { return fileName_; }

std::string CliServices::saveFileName(const std::string&) { return fileName_; }

void CliServices::setProgress(int value) {
  progress_ = value;
  drawProgress();
}

std::vector<std::string> CliServices::takeMessages() {
  std::vector<std::string> taken;
  taken.swap(messages_);
  return taken;
}

void CliServices::drawProgress() {
  if (!showProgress_ || current_.empty()) return;
  err_ << "\r\033[K" << progress_ << "% " << EscapeForLine(current_) << std::flush;
  lineDrawn_ = true;
}

void CliServices::clearProgress() {
  if (!lineDrawn_) return;
  err_ << "\r\033[K" << std::flush;
  lineDrawn_ = false;
}

}  // namespace vellmark::cli
