#pragma once
// Reads the files of the next Analyse pass on several threads ahead of it, while the
// pass itself still takes the entries one by one in list order: each entry's read
// hands over the outcome read ahead for it (waiting for it when it is not there yet),
// with the progress and messages the reader gave, so the pass prints exactly what a
// pass with one read at a time prints.
//
// The reads are prepared in list order on a copy of the session's reader table before
// any starts, so a reader that carries something from file to file (the OCB layout)
// sees the files before it in list order.
//
// Ctrl-C (g_interrupts) stops the polling readers on every thread and no new read
// starts; the pass stops after its current entry as it would with one job.

#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

#include "analysis/analysis_session.h"

namespace vellmark::cli {

class ReadAhead {
 public:
  ReadAhead(AnalysisSession& session, int jobs);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The outcome of the entry at `row`: read ahead, or read here with `read` when no
  // thread has begun it.
  ReaderOutcome handOver(std::size_t row, const ReadCall& read, ReaderContext& context);

  struct Job;

 private:
  void work();

  AnalysisSession& session_;
  std::vector<std::unique_ptr<Job>> jobs_;
  std::unordered_map<std::size_t, std::size_t> byRow_;
  std::vector<std::thread> threads_;
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

// The number of jobs when none is given: one per core.
int DefaultJobs();

}  // namespace vellmark::cli
