#pragma once
// The analysis session: the analyser list with everything that acts on it (adding,
// removing, the analysis pass, duplicate marking, the totals). One session lives as
// long as the program; it owns the readers and what they carry from file to file.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/pass_observer.h"
#include "core/analyser_list.h"
#include "core/archive_files.h"
#include "core/clock.h"
#include "core/file_system.h"
#include "readers/probe.h"
#include "readers/reader_table.h"

namespace vellmark {

// What became of one path offered to the list.
enum class OfferOutcome { Added, Refused, NotReadable, Ignored };

// Results kept from an earlier run: the entry for `path` when its file, as `status`
// shows it now, is the one those results came from; nothing when it has to be read.
using EarlierResults = std::function<std::optional<AnalyserEntry>(const std::string& path, const FileStatus& status)>;

// The totals over a list: every entry whose family is not "Unknown" counts, with its
// records and the bytes `bytesOf` gives for it.
ListTotals FormTotals(const AnalyserList& list, const std::function<std::uint64_t(const AnalyserEntry&)>& bytesOf);

// One entry path an offer stood for (an archive stands for its members) and what
// became of it.
struct Offer {
  std::string path;
  OfferOutcome outcome = OfferOutcome::Ignored;
};

class AnalysisSession {
 public:
  // Everything is read through `files` as seen through compression and archives.
  explicit AnalysisSession(FileSystem& files = RealFileSystem(), ReaderTable readers = DefaultReaderTable(),
                           Clock clock = Clock());

  AnalyserList& list() { return list_; }
  const AnalyserList& list() const { return list_; }
  FileSystem& files() { return archives_; }
  ArchiveFiles& archives() { return archives_; }
  const Clock& clock() const { return clock_; }
  const ReaderTable& readers() const { return readers_; }
  // How the next passes read their files: digests, SHA-256, verify.
  ReadOptions& options() { return options_; }
  const ReadOptions& options() const { return options_; }

  // Probes the file and appends it with its family, size and waiting status; false
  // (nothing added) when the probe cannot read it. An archive adds each of its regular
  // members not listed yet, in archive order. A compressed file or member whose bytes
  // cannot be unpacked, and an archive that cannot be read to its end, are added as
  // "Unknown" with the reason. Turns ResultsShown off either way.
  bool AddFile(const std::string& path);
  // From now on a file that `earlier` knows is added with the results it gives, not
  // probed; a pass does not read it again.
  void setEarlierResults(EarlierResults earlier) { earlier_ = std::move(earlier); }
  // Offers a batch of paths as the Add Files dialog and a drop do: paths already
  // listed are refused, the rest go through AddFile in order. Ignored during a pass.
  // One outcome per path; an archive's is Added when any member was.
  std::vector<OfferOutcome> OfferFiles(const std::vector<std::string>& paths);
  // The same with one outcome per entry path: each archive's members in its place.
  // With `jobs` above 1, plain files are probed that many at once ahead of adding them
  // in order, which adds the same entries.
  std::vector<Offer> OfferEntries(const std::vector<std::string>& paths, unsigned jobs = 1);
  void RemoveSelectedEntries();
  void ClearEntries();
  // Replaces the list with entries read back from a report; ResultsShown goes on when
  // there are any.
  void LoadEntries(std::vector<AnalyserEntry> entries);

  // The analysis pass: Analyse (false) or Re Analyse (true). Ignored during a pass.
  PassSummary RunAnalysis(bool reanalyseAll, PassObserver& observer);
  // Takes entries analysed elsewhere (by other runs, on other machines) as the outcome
  // of one pass over them: the list holds them in order, numbered; the totals come
  // from the sizes they carry; duplicates are marked. What a pass here would leave.
  PassSummary AdoptResults(std::vector<AnalyserEntry> entries);
  // The rows a pass would read, in order.
  std::vector<std::size_t> RowsToRead(bool reanalyseAll) const;
  // Marks every entry that repeats the call results of an earlier one, and every entry
  // with the same bytes as an earlier one; true when any repeats results. Runs after
  // every pass and, once a pass has run, after every change of the list.
  bool MarkDuplicates();
  // The totals over every entry of the list as it is now, as a pass ends with them.
  ListTotals Totals();
  // The Stop command: only acts while a pass runs. Safe from any thread.
  void RequestStop();

  bool analysing() const { return analysing_; }
  bool stopRequested() const { return stopRequested_; }
  // The list's display flag: on after a pass that counted records, or a report load.
  bool resultsShown() const { return resultsShown_; }
  void setResultsShown(bool on) { resultsShown_ = on; }

 private:
  void analyseEntry(std::size_t row, PassObserver& observer);
  void listChanged();
  // The list's paths, looked up as a batch of offers goes on.
  using Listed = std::unordered_set<std::string>;
  Listed listedPaths() const;
  void offer(const std::string& path, bool refuseListed, std::vector<Offer>& offers, Listed& listed);
  OfferOutcome addEntry(const std::string& path);
  // Appends a row numbered after the last.
  void append(AnalyserEntry entry);
  // What adding a plain file found out about it, worked out ahead on several threads.
  struct Probed {
    ProbeOutcome probe;
    Result<FileStatus> status;
  };
  void probeAhead(const std::vector<std::string>& paths, unsigned jobs);

  ArchiveFiles archives_;
  ReaderTable readers_;
  Clock clock_;
  AnalyserList list_;
  ReadOptions options_;
  EarlierResults earlier_;
  std::unordered_map<std::string, Probed> probed_;  // for the batch being added
  bool analysing_ = false;
  std::atomic<bool> stopRequested_{false};
  bool resultsShown_ = false;
  bool marksCurrent_ = false;  // rows read back from a report carry no marks until a pass
};

}  // namespace vellmark
