#include "cli/parallel_reads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/cli_services.h"
#include "core/block_reader.h"
#include "core/texts.h"
#include "readers/modOCB.h"

namespace vellmark::cli {

namespace {

enum class JobState { Pending, Running, Done };

// A layout probe reads two bytes at offset 0 and two at 928.
constexpr std::size_t kLayoutProbeBlock = 4096;
constexpr std::uint8_t kOcbFill = 0xFF;

}  // namespace

struct ParallelReads::Job {
  std::string path;
  const ReaderFunction* read = nullptr;
  ReaderMemory memory;  // as the reads before it in the list leave it

  std::atomic<JobState> state{JobState::Pending};
  std::atomic<int> progress{-1};
  // Set by the thread that ran the read, before the state turns Done.
  ReaderResult result;
  std::exception_ptr failure;
  bool stopped = false;
  std::vector<std::pair<std::string, std::string>> messages;  // text, caption
};

struct ParallelReads::Shared {
  std::mutex mutex;
  std::condition_variable done;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> cancelled{false};
};

int DefaultJobs() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

ParallelReads::ParallelReads(AnalysisSession& session, int jobs)
    : session_(session), original_(session.readers()), shared_(std::make_unique<Shared>()) {
  // The layout memory in list order, as the reads one after another would leave it.
  ReaderMemory memory = session_.readerMemory();
  for (const auto& entry : session_.list().entries()) {
    if (entry.start != kWaitingStatus) continue;
    const ReaderFunction* read = FindReader(original_, entry.family);
    if (!read) continue;
    auto job = std::make_unique<Job>();
    job->path = entry.path;
    job->read = read;
    job->memory = memory;
    if (entry.family == "OCB") {
      // A file that cannot be opened or read leaves the memory as it was, as its
      // reader would.
      try {
        if (auto opened = OpenedFile::open(session_.files(), entry.path, kOcbFill, kLayoutProbeBlock))
          ProbeOcbLayout(opened->reader(), memory);
      } catch (const std::exception&) {
      }
    }
    byPath_.emplace(job->path, jobs_.size());
    jobs_.push_back(std::move(job));
  }

  ReaderTable table = original_;
  for (auto& row : table)
    row.read = [this](const std::string& path, ReaderContext& ctx) { return handOver(path, ctx); };
  session_.readers() = std::move(table);

  std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), jobs_.size());
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

ParallelReads::~ParallelReads() {
  shared_->cancelled = true;
  for (auto& t : threads_) t.join();
  session_.readers() = original_;
}

void ParallelReads::work() {
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
    ReaderContext ctx(session_.files(), job.memory, session_.clock(), std::move(hooks));
    try {
      job.result = (*job.read)(job.path, ctx);
    } catch (...) {
      job.failure = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(shared_->mutex);
      job.state = JobState::Done;
    }
    shared_->done.notify_all();
  }
}

ReaderResult ParallelReads::handOver(const std::string& path, ReaderContext& ctx) {
  auto found = byPath_.find(path);
  if (found == byPath_.end()) {
    const ReaderFunction* read = nullptr;
    for (const auto& entry : session_.list().entries())
      if (entry.path == path) read = FindReader(original_, entry.family);
    if (!read) throw ReaderError(ReadFailure::Corrupt, "no reader for the file");
    return (*read)(path, ctx);
  }
  Job& job = *jobs_[found->second];

  // Not begun by any thread: read it here, as one job would.
  JobState pending = JobState::Pending;
  if (job.state.compare_exchange_strong(pending, JobState::Running)) {
    ctx.memory() = job.memory;
    try {
      ReaderResult result = (*job.read)(path, ctx);
      job.state = JobState::Done;
      return result;
    } catch (...) {
      job.state = JobState::Done;
      throw;
    }
  }

  {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    while (job.state != JobState::Done) {
      shared_->done.wait_for(lock, std::chrono::milliseconds(50));
      int p = job.progress.load();
      if (p >= 0) {
        lock.unlock();
        ctx.setProgress(p);
        lock.lock();
      }
    }
  }
  for (const auto& [text, caption] : job.messages) ctx.message(text, caption);
  ctx.memory() = job.memory;
  if (job.failure) std::rethrow_exception(job.failure);
  if (job.stopped) {
    // The read stopped at a poll for Ctrl-C: the pass asks and stops here, as it
    // would have with this reader on its own thread.
    if (ctx.pollStop()) {
      ctx.setProgress(0);
      return StopResult();
    }
  }
  return job.result;
}

}  // namespace vellmark::cli
