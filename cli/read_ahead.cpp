#include "cli/read_ahead.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/cli_observer.h"

namespace vellmark::cli {

namespace {

enum class JobState { Pending, Running, Done };

}  // namespace

struct ReadAhead::Job {
  ReadCall read;
  std::atomic<JobState> state{JobState::Pending};
  std::atomic<int> progress{-1};
  // Set by the thread that ran the read, before the state turns Done.
  ReaderOutcome outcome = Stopped{};
  bool stopped = false;
  std::vector<std::pair<std::string, std::string>> messages;  // text, caption
};

struct ReadAhead::Shared {
  std::mutex mutex;
  std::condition_variable done;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> cancelled{false};
};

int DefaultJobs() { return static_cast<int>(UsableCores()); }

ReadAhead::ReadAhead(AnalysisSession& session, int jobs) : session_(session), shared_(std::make_unique<Shared>()) {
  ReaderTable readers = session_.readers();
  for (std::size_t row : session_.RowsToRead(false)) {
    const AnalyserEntry& entry = session_.list().at(row);
    std::optional<ReadCall> read = readers.prepare(entry.family, entry.path, session_.files(), Preparation::Ahead);
    if (!read) continue;
    auto job = std::make_unique<Job>();
    job->read = std::move(*read);
    byRow_.emplace(row, jobs_.size());
    jobs_.push_back(std::move(job));
  }
  std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), jobs_.size());
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

ReadAhead::~ReadAhead() {
  shared_->cancelled = true;
  for (auto& t : threads_) t.join();
}

void ReadAhead::work() {
  for (;;) {
    if (shared_->cancelled || g_interrupts.load() > 0) return;
    std::size_t i = shared_->next.fetch_add(1);
    if (i >= jobs_.size()) return;
    Job& job = *jobs_[i];
    JobState pending = JobState::Pending;
    // The pass may have got there first and read it itself.
    if (!job.state.compare_exchange_strong(pending, JobState::Running)) continue;

    ReaderContext::Hooks hooks;
    hooks.progress = [&job](int value) { job.progress = value; };
    hooks.pollStop = [this, &job] {
      if (!shared_->cancelled && g_interrupts.load() == 0) return false;
      job.stopped = true;
      return true;
    };
    hooks.message = [&job](const std::string& text, const std::string& caption) {
      job.messages.emplace_back(text, caption);
    };
    ReaderContext context(session_.files(), session_.clock(), std::move(hooks), session_.options());
    job.outcome = job.read(context);
    {
      std::lock_guard<std::mutex> lock(shared_->mutex);
      job.state = JobState::Done;
    }
    shared_->done.notify_all();
  }
}

ReaderOutcome ReadAhead::handOver(std::size_t row, const ReadCall& read, ReaderContext& context) {
  auto found = byRow_.find(row);
  if (found == byRow_.end()) return read(context);
  Job& job = *jobs_[found->second];

  // Not begun by any thread: read it here. Its own prepared read, not the pass's: what
  // a reader carries from file to file (the OCB layout) came down the chain of reads
  // prepared ahead, some of which other threads ran.
  JobState pending = JobState::Pending;
  if (job.state.compare_exchange_strong(pending, JobState::Running)) {
    ReaderOutcome outcome = job.read(context);
    job.state = JobState::Done;
    return outcome;
  }

  {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    while (job.state != JobState::Done) {
      shared_->done.wait_for(lock, std::chrono::milliseconds(50));
      int p = job.progress.load();
      if (p >= 0) {
        lock.unlock();
        context.setProgress(p);
        lock.lock();
      }
    }
  }
  for (const auto& [text, caption] : job.messages) context.message(text, caption);
  // The read stopped at a poll for Ctrl-C: the pass asks and stops here, as it would
  // have with this reader on its own thread.
  if (job.stopped && context.pollStop()) {
    context.setProgress(0);
    return Stopped{};
  }
  return std::move(job.outcome);  // handed over once: the pass keeps it, not both
}

}  // namespace vellmark::cli
