#pragma once
// What the core asks of the window: status panels, the results flag, the event-loop
// yield, message boxes and questions, the progress bar, file dialogs. The Qt window,
// the CLI and the tests each implement it.

#include <functional>
#include <string>

namespace vellmark {

enum class MessageIcon { None, Information, Question, Error };
enum class Answer { Yes, No };

class WindowServices {
 public:
  virtual ~WindowServices() = default;

  // Status panels 2 to 5 (panel 1 lies under the progress bar).
  virtual void setPanelText(int /*panel*/, const std::string& /*text*/) {}
  virtual void setResultsShown(bool /*on*/) {}
  // Lets pending window events run (a Stop click among them).
  virtual void yieldToEvents() {}
  // A message box titled "Vellmark" unless a caption is given.
  virtual void showMessage(const std::string& text, MessageIcon icon, const std::string& caption) = 0;
  // A question with the question icon and Yes and No buttons.
  virtual Answer ask(const std::string& text) = 0;
  // The progress bar, 0 to 100.
  virtual void setProgress(int /*value*/) {}
  virtual void redrawList() {}
  // File dialogs; an empty name means the user cancelled.
  virtual std::string openFileName(const std::string& /*filter*/, const std::string& /*offered*/) { return {}; }
  virtual std::string saveFileName(const std::string& /*filter*/) { return {}; }
  virtual void setBusy(bool /*busy*/) {}

  // Runs one reader call. The window may run it on another thread and keep its
  // events going meanwhile; the reader then calls setProgress, ask and showMessage
  // from that thread, and the implementation must carry them to the window's.
  virtual void runReader(const std::function<void()>& call) { call(); }
};

}  // namespace vellmark
