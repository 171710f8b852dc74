#pragma once
// What an analysis pass tells its caller while it runs, and what it returns at the end.
// The window turns this into its panels, progress bar and message boxes; the CLI into
// its progress line, output and exit status.

#include <cstddef>
#include <string>
#include <vector>

#include "core/texts.h"
#include "readers/reader_contract.h"

namespace vellmark {

class PassObserver {
 public:
  virtual ~PassObserver() = default;
  // The pass is about to read the entry at `row` (0-based).
  virtual void entryStarted(std::size_t /*row*/) {}
  // The entry at `row` holds what the pass leaves in it (before duplicates are marked).
  virtual void entryDone(std::size_t /*row*/) {}
  // The progress bar, 0 to 100; called from the thread the read runs on.
  virtual void progress(int /*percent*/) {}
  // A reader's own message (an error box with its caption); from the read's thread.
  virtual void readerMessage(const std::string& /*text*/, const std::string& /*caption*/) {}
  // Stop was pressed and a polling reader asks whether to stop now.
  virtual bool confirmStop() { return true; }
  // Lets pending events run: after each entry, and at every polling reader's stop
  // point (on the read's thread when the read runs on another).
  virtual void yield() {}
  // Runs one read. The window runs it on a worker thread and keeps its events going;
  // read-ahead hands over a result read earlier.
  virtual ReaderOutcome runRead(std::size_t /*row*/, const ReadCall& read, ReaderContext& context) {
    return read(context);
  }
};

// What a pass did.
struct PassSummary {
  bool ran = false;             // false when the list was empty: nothing to tell
  bool stopped = false;         // the user stopped it before the end
  bool duplicatesFound = false;
  ListTotals totals;
  std::vector<std::size_t> rowsRead;  // the entries the pass took, in order
};

}  // namespace vellmark
