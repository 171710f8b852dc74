#include "readers/file_pieces.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace vellmark {

namespace {

// A walk on the calling thread looks at the other pieces' progress after this share of
// the file, and after this many bytes at most.
constexpr std::uint64_t kShowsPerFile = 400;
constexpr std::uint64_t kShowEvery = std::uint64_t{256} << 10;
// A piece's buffer also holds this much after the piece, for the record or block that
// crosses its end.
constexpr std::size_t kCrossing = std::size_t{64} << 10;
// Buffers per thread while a digest is worked out: a piece walked before the ones
// ahead of it are hashed waits in its buffer while its thread walks on.
constexpr std::size_t kBuffersPerThread = 3;

}  // namespace

struct PieceWalker::Shared {
  explicit Shared(std::size_t pieces) : walked(std::make_unique<std::atomic<std::uint64_t>[]>(pieces)) {}
  void requestStop() {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
    changed.notify_all();
  }

  std::atomic<std::size_t> next{0};  // the next piece to walk
  std::atomic<bool> stop{false};
  std::unique_ptr<std::atomic<std::uint64_t>[]> walked;  // bytes of each piece walked so far
  std::mutex mutex;
  std::condition_variable changed;
  unsigned running = 0;   // helpers still at work
  std::exception_ptr failure;
  // Piece buffers: free ones, and walked pieces whose bytes the digest has yet to take.
  std::vector<std::unique_ptr<BlockReader>> free;
  std::map<std::size_t, std::unique_ptr<BlockReader>> walkedPieces;
  std::size_t turn = 0;  // the piece the digest takes next
  bool hashing = false;  // a thread is handing pieces to the digest
};

PieceWalker::PieceWalker(ReaderContext& ctx, BlockReader& file, std::uint64_t from, const PieceRules& rules)
    : ctx_(ctx), file_(file), rules_(rules), size_(file.fileSize()), marks_{from}, starts_{from} {
  const ReadOptions& options = ctx.options();
  const std::uint64_t length = size_ > from ? size_ - from : 0;
  const unsigned cores = options.cores > 0 ? options.cores : UsableCores();
  if (cores < 2 || options.pieceBytes == 0 || length / 2 < options.pieceBytes || !rules.startNear ||
      !file.file().concurrentReads())
    return;
  // A family that finds no start near the first cut (5ESS records without line feeds)
  // is walked whole.
  BlockReader near(file.file(), file.fill(), rules.lookBehind + kCrossing);
  Cursor cursor(near);
  const std::uint64_t firstCut = from + options.pieceBytes;
  if (!rules.startNear(cursor, firstCut, std::min(size_, firstCut + options.pieceBytes)) || cursor.failure()) return;
  // The pieces hash their own bytes: the core the digest had beside is theirs too.
  ctx.hashHere();
  helpers_ = BorrowCores(cores - 1);
  if (helpers_ == 0) return;

  for (std::uint64_t mark = firstCut; mark < size_; mark += options.pieceBytes) marks_.push_back(mark);
  starts_.resize(marks_.size());
  shared_ = std::make_unique<Shared>(marks_.size());
  showEvery_ = std::clamp<std::uint64_t>(length / kShowsPerFile, 1, kShowEvery);
  // After the pieces, walks on this thread move the bar by their own position.
  pace_ = std::make_unique<Pace>([this](std::uint64_t position, std::uint64_t& due) {
    due = position + showEvery_;
    if (!shared_->stop) {
      const std::uint64_t bar = std::min<std::uint64_t>(rules_.progressAt(position), 100);
      if (bar > static_cast<std::uint64_t>(ctx_.progress())) {
        ctx_.setProgress(static_cast<int>(bar));
        if (rules_.polls && ctx_.pollStop()) shared_->requestStop();
      }
    }
    return !shared_->stop;
  });
}

PieceWalker::~PieceWalker() {
  if (helpers_ > 0) ReturnCores(helpers_);
}

bool PieceWalker::run(const std::function<void(std::size_t, Cursor&, std::uint64_t, Pace&)>& piece) {
  Shared& shared = *shared_;
  const std::uint64_t pieceBytes = ctx_.options().pieceBytes;
  // The bytes before the first piece are hashed here; the pieces hash the rest.
  ContentDigest* digest = ctx_.digestUpTo(marks_[0]);
  // Moves the bar by the bytes every piece has walked; on this thread only.
  auto show = [&] {
    std::uint64_t walked = 0;
    for (std::size_t i = 0; i < marks_.size(); ++i) walked += shared.walked[i];
    pace_->reached(marks_[0] + walked);
  };
  // Hands the walked pieces to the digest in file order, as long as the next one is
  // there; one thread at a time, the others walk on. Called with the lock held.
  auto hashWalked = [&](std::unique_lock<std::mutex>& lock) {
    if (shared.hashing) return;
    shared.hashing = true;
    for (auto next = shared.walkedPieces.find(shared.turn); next != shared.walkedPieces.end() && !shared.stop;
         next = shared.walkedPieces.find(shared.turn)) {
      std::unique_ptr<BlockReader> reader = std::move(next->second);
      shared.walkedPieces.erase(next);
      const std::size_t i = shared.turn;
      lock.unlock();
      auto bytes = reader->view(marks_[i], static_cast<std::size_t>(until(i) - marks_[i]));
      // A piece that cannot be read leaves a gap: the digest is then left to the end.
      if (bytes) digest->take(marks_[i], bytes->data(), std::min<std::size_t>(bytes->size(), until(i) - marks_[i]), false);
      lock.lock();
      shared.free.push_back(std::move(reader));
      ++shared.turn;
      shared.changed.notify_all();
    }
    shared.hashing = false;
  };
  // A buffer for the next piece: when none is free, the pieces before wait for the digest.
  auto takeBuffer = [&]() -> std::unique_ptr<BlockReader> {
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
      if (shared.stop) return nullptr;
      if (!shared.free.empty()) {
        std::unique_ptr<BlockReader> reader = std::move(shared.free.back());
        shared.free.pop_back();
        return reader;
      }
      hashWalked(lock);
      if (shared.free.empty()) shared.changed.wait(lock);
    }
  };
  // Takes pieces until there are none left; `onCaller` shows progress as it goes.
  auto walkPieces = [&](bool onCaller) {
    // The buffer first, then the piece: a thread waiting for a buffer holds back no
    // piece the digest needs next.
    for (std::unique_ptr<BlockReader> own; (own = takeBuffer());) {
      const std::size_t i = shared.next++;
      if (i >= marks_.size()) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.free.push_back(std::move(own));
        shared.changed.notify_all();
        break;
      }
      const std::uint64_t mark = marks_[i];
      // The piece and what its start is looked for in, in one read.
      // (A read that fails here fails again where the walk reads.)
      (void)own->view(mark - std::min(mark, i == 0 ? 0 : rules_.lookBehind), 1);
      Cursor cursor(*own);
      starts_[i] = i == 0 ? std::optional(mark) : rules_.startNear(cursor, mark, until(i));
      std::uint64_t shownAt = 0;
      Pace pace(
          [&, i](std::uint64_t position, std::uint64_t& due) {
            const std::uint64_t walked = position > mark ? position - mark : 0;
            shared.walked[i] = walked;
            due = position + showEvery_;
            if (onCaller && walked >= shownAt + showEvery_) {
              shownAt = walked;
              show();
            }
            return !shared.stop;
          },
          mark + showEvery_);
      if (starts_[i]) piece(i, cursor, *starts_[i], pace);
      shared.walked[i] = until(i) - mark;
      std::unique_lock<std::mutex> lock(shared.mutex);
      if (!digest) {
        shared.free.push_back(std::move(own));
        continue;
      }
      // The digest takes the pieces' bytes in file order, from the buffer they were read into.
      shared.walkedPieces.emplace(i, std::move(own));
      hashWalked(lock);
    }
  };

  // A stop point before the pieces start: a polling reader is asked at least once.
  if (rules_.polls && ctx_.pollStop()) return false;
  const std::size_t buffers = (helpers_ + 1) * (digest ? kBuffersPerThread : 1);
  for (std::size_t b = 0; b < buffers; ++b)
    shared.free.push_back(
        std::make_unique<BlockReader>(file_.file(), file_.fill(), pieceBytes + rules_.lookBehind + kCrossing));
  shared.running = helpers_;
  std::vector<std::thread> threads;
  for (unsigned h = 0; h < helpers_; ++h) {
    threads.emplace_back([&] {
      try {
        walkPieces(false);
      } catch (...) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (!shared.failure) shared.failure = std::current_exception();
        shared.stop = true;
        shared.changed.notify_all();
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
    shared.requestStop();
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
  if (digest && !failure) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    hashWalked(lock);
  }
  if (!failure) failure = shared.failure;
  if (failure) std::rethrow_exception(failure);
  return !shared.stop;
}

}  // namespace vellmark
