#pragma once
// The analysis session: the analyser list with everything that acts on it (adding,
// removing, the analysis pass, duplicate marking, the totals) and the state the
// window keeps around it. One session lives as long as the program.

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "core/analyser_list.h"
#include "core/file_system.h"
#include "core/reader_contract.h"
#include "core/reader_table.h"
#include "core/window_services.h"

namespace vellmark {

// What became of one path offered to the list.
enum class OfferOutcome { Added, Refused, NotReadable, Ignored };

class AnalysisSession {
 public:
  AnalysisSession(WindowServices& services, FileSystem& files = RealFileSystem(),
                  ReaderTable readers = DefaultReaderTable(), Clock clock = Clock());

  AnalyserList& list() { return list_; }
  const AnalyserList& list() const { return list_; }
  WindowServices& services() { return services_; }
  FileSystem& files() { return files_; }
  const Clock& clock() const { return clock_; }
  ReaderMemory& readerMemory() { return memory_; }
  ReaderTable& readers() { return readers_; }

  // Probes the file and appends it with its family, size and waiting status; false
  // (nothing added) when the probe cannot read it. Turns ResultsShown off either way.
  bool AddFile(const std::string& path);
  // Offers a batch of paths as the Add Files dialog and a drop do: paths already
  // listed are refused with one message, the rest go through AddFile in order, then
  // panels 2 to 5 are cleared. Ignored while a pass runs.
  std::vector<OfferOutcome> OfferFiles(const std::vector<std::string>& paths);
  void RemoveSelectedEntries();
  void ClearEntries();

  // The analysis pass: Analyse (false) or Re Analyse (true).
  void RunAnalysis(bool reanalyseAll);
  void MarkDuplicates();
  // The Stop command: only acts while a pass runs. Safe from any thread.
  void RequestStop();

  bool analysing() const { return analysing_; }
  bool stopRequested() const { return stopRequested_; }
  bool duplicatesFound() const { return duplicatesFound_; }
  bool resultsShown() const { return resultsShown_; }

  // Status panels 1 to 5 as last set.
  const std::string& panel(int index) const { return panels_.at(index); }
  void setPanel(int index, const std::string& text);
  // Clears panels 2 to 5.
  void ResetSB();
  void setResultsShown(bool on);

  // The report name chosen last (by a save or an open); the open dialog offers it.
  std::string& lastReportName() { return lastReportName_; }

 private:
  void analyseEntry(std::size_t row);
  void formTotals();

  WindowServices& services_;
  FileSystem& files_;
  ReaderTable readers_;
  Clock clock_;
  ReaderMemory memory_;
  AnalyserList list_;
  std::array<std::string, 6> panels_;
  bool analysing_ = false;
  std::atomic<bool> stopRequested_{false};
  bool duplicatesFound_ = false;
  bool resultsShown_ = false;
  std::string lastReportName_;
};

}  // namespace vellmark
