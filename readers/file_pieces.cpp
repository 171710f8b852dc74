#include "readers/file_pieces.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace vellmark {

namespace {

// A file is cut into at most this many pieces per core: enough for the cores to share
// the work evenly when the digest keeps one of them busy for a while.
constexpr std::uint64_t kPiecesPerCore = 4;
// A walk on the calling thread looks at the other pieces' progress after this share of
// the file, and after this many bytes at most.
constexpr std::uint64_t kShowsPerFile = 400;
constexpr std::uint64_t kShowEvery = std::uint64_t{256} << 10;
// Where a piece's start is looked for: a buffer of this size.
constexpr std::size_t kStartBuffer = std::size_t{64} << 10;

}  // namespace

struct PieceWalker::Shared {
  explicit Shared(std::size_t pieces) : walked(std::make_unique<std::atomic<std::uint64_t>[]>(pieces)) {}
  std::atomic<std::size_t> next{0};  // the next piece to walk
  std::atomic<bool> stop{false};
  std::unique_ptr<std::atomic<std::uint64_t>[]> walked;  // bytes of each piece walked so far
  std::mutex mutex;
  std::condition_variable changed;
  unsigned running = 0;  // helpers still at work
  std::exception_ptr failure;
};

PieceWalker::PieceWalker(ReaderContext& ctx, BlockReader& file, std::uint64_t from, const PieceRules& rules)
    : ctx_(ctx), file_(file), rules_(rules), from_(from), size_(file.fileSize()), starts_{from} {
  const ReadOptions& options = ctx.options();
  const std::uint64_t length = size_ > from ? size_ - from : 0;
  const unsigned cores = options.cores > 0 ? options.cores : std::max(1u, std::thread::hardware_concurrency());
  if (cores < 2 || options.pieceBytes == 0 || length / 2 < options.pieceBytes || !rules.startNear ||
      !file.file().concurrentReads() || (rules.lightWalk && ctx.digestPending()))
    return;
  helpers_ = BorrowCores(cores - 1);
  if (helpers_ == 0) return;

  const std::uint64_t pieces = std::min<std::uint64_t>(length / options.pieceBytes, kPiecesPerCore * (helpers_ + 1));
  BlockReader near(file.file(), file.fill(), kStartBuffer);
  Cursor cursor(near);
  for (std::uint64_t i = 1; i < pieces; ++i) {
    const std::uint64_t boundary = from + length / pieces * i;
    if (boundary <= starts_.back()) continue;
    auto start = rules.startNear(cursor, boundary, from + length / pieces * (i + 1));
    if (cursor.failure()) break;  // the walks meet the failure in their own time
    if (start && *start > starts_.back() && *start < size_) starts_.push_back(*start);
  }
  if (starts_.size() < 2) {
    ReturnCores(helpers_);
    helpers_ = 0;
    return;
  }
  shared_ = std::make_unique<Shared>(starts_.size());
  showEvery_ = std::clamp<std::uint64_t>(length / kShowsPerFile, 1, kShowEvery);
  // After the pieces, walks on this thread move the bar by their own position.
  pace_ = std::make_unique<Pace>([this](std::uint64_t position, std::uint64_t& due) {
    due = position + showEvery_;
    if (!shared_->stop) {
      const std::uint64_t bar = std::min<std::uint64_t>(rules_.progressAt(position), 100);
      if (bar > static_cast<std::uint64_t>(ctx_.progress())) {
        ctx_.setProgress(static_cast<int>(bar));
        if (rules_.polls && ctx_.pollStop()) shared_->stop = true;
      }
    }
    return !shared_->stop;
  });
}

PieceWalker::~PieceWalker() {
  if (helpers_ > 0) ReturnCores(helpers_);
}

bool PieceWalker::run(const std::function<void(std::size_t, Cursor&, Pace&)>& piece) {
  Shared& shared = *shared_;
  // Moves the bar by the bytes every piece has walked; on this thread only.
  auto show = [&] {
    std::uint64_t walked = 0;
    for (std::size_t i = 0; i < starts_.size(); ++i) walked += shared.walked[i];
    pace_->reached(from_ + walked);
  };
  // Takes pieces until there are none left; `onCaller` shows progress as it goes.
  auto walkPieces = [&](bool onCaller) {
    BlockReader own(file_.file(), file_.fill());
    for (std::size_t i; (i = shared.next++) < starts_.size() && !shared.stop;) {
      std::uint64_t shownAt = 0;
      Pace pace(
          [&, i](std::uint64_t position, std::uint64_t& due) {
            const std::uint64_t walked = position > starts_[i] ? position - starts_[i] : 0;
            shared.walked[i] = walked;
            due = position + showEvery_;
            if (onCaller && walked >= shownAt + showEvery_) {
              shownAt = walked;
              show();
            }
            return !shared.stop;
          },
          starts_[i] + showEvery_);
      Cursor cursor(own);
      piece(i, cursor, pace);
      shared.walked[i] = until(i) - starts_[i];
    }
  };

  const bool hash = ctx_.digestPending();
  shared.running = helpers_;
  std::vector<std::thread> threads;
  for (unsigned h = 0; h < helpers_; ++h) {
    threads.emplace_back([&, h] {
      try {
        if (h == 0 && hash) ctx_.hashRest(shared.stop);
        walkPieces(false);
      } catch (...) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (!shared.failure) shared.failure = std::current_exception();
        shared.stop = true;
      }
      std::lock_guard<std::mutex> lock(shared.mutex);
      --shared.running;
      shared.changed.notify_all();
    });
  }
  std::exception_ptr failure;
  try {
    walkPieces(true);
  } catch (...) {
    failure = std::current_exception();
    shared.stop = true;
  }
  // The helpers' last pieces: the bar keeps moving and Stop is still asked about.
  {
    std::unique_lock<std::mutex> lock(shared.mutex);
    while (shared.running > 0) {
      shared.changed.wait_for(lock, std::chrono::milliseconds(10));
      lock.unlock();
      if (!failure) show();
      lock.lock();
    }
  }
  for (auto& t : threads) t.join();
  if (!failure) failure = shared.failure;
  if (failure) std::rethrow_exception(failure);
  return !shared.stop;
}

}  // namespace vellmark
