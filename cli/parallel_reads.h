#pragma once
// Reads the waiting files of a list on several threads ahead of the analysis pass,
// while the pass itself still takes the entries one by one in list order: each
// entry's reader call hands over the result read ahead for its file (waiting for it
// when it is not there yet), with the messages, failure and layout memory the reader
// left, so the pass prints exactly what a pass with one reader at a time prints.
//
// The OCB layout memory depends on the OCB files before: it is worked out in list
// order before any read starts (only each file's block marks are read), and every
// OCB read starts from the memory its place in the list gives.
//
// Ctrl-C (g_interrupts) stops the polling readers on every thread and no new read
// starts; the pass stops after its current entry as it would with one job.

#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/analysis_session.h"
#include "core/reader_table.h"

namespace vellmark::cli {

class ParallelReads {
 public:
  // Plans a read for every entry the next Analyse pass reads, and starts `jobs`
  // threads on them. The session's reader table is swapped for one that hands the
  // results over; the destructor puts the old one back.
  ParallelReads(AnalysisSession& session, int jobs);
  ~ParallelReads();
  ParallelReads(const ParallelReads&) = delete;
  ParallelReads& operator=(const ParallelReads&) = delete;

  struct Job;

 private:
  ReaderResult handOver(const std::string& path, ReaderContext& ctx);
  void work();

  AnalysisSession& session_;
  ReaderTable original_;
  std::vector<std::unique_ptr<Job>> jobs_;
  std::unordered_map<std::string, std::size_t> byPath_;
  std::vector<std::thread> threads_;
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

// The number of jobs when none is given: one per core.
int DefaultJobs();

}  // namespace vellmark::cli
