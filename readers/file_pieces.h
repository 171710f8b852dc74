#pragma once
// One walk of a file's records, cut into pieces that are walked on several cores at
// once and joined in file order. A family gives:
//   - where a walk may start at or after a mark of the file: the next block or record
//     boundary where records have a fixed size, else a point it resynchronises at;
//   - the walk itself, from a start to an end point, into a tally of its own that can
//     take the tally of the piece after it (`join`).
// The join checks that the walk of each piece stops exactly where the next piece
// started. Where it does not (a resynchronisation point that was no record start), it
// walks on itself from where the walk stood, so the result is always that of one walk
// from the start: pieces change how fast a file is read, never what it gives.
//
// Each piece is read in one go into a buffer of its own and walked; with a content
// digest it then waits in that buffer until the pieces before it are hashed, and
// whichever thread comes by next hands the waiting pieces to the digest in file order.
// The bytes are read once and hashed on the cores in turn, and no thread waits for
// another while buffers are left. Only the calling thread shows progress and asks
// about Stop. A file is walked whole, as one piece, when it is small, when its bytes cannot
// be read from several threads (unpacked members), when no other core is free, and
// when the family finds no point to start at near the first cut.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/block_reader.h"
#include "readers/reader_contract.h"

namespace vellmark {

// Where a walk stands when it leaves a piece. Every tally holds one as `end`.
struct WalkEnd {
  std::uint64_t next = 0;  // the first record start at or past the piece's end, or where the records end
  bool ended = false;      // the records end at `next`: nothing after it counts
  bool stopped = false;    // the user stopped the read
  std::optional<IoError> failure;  // a read failed
};

// A walk's progress points: the walk calls reached(position) at points it names
// (whenever its position passes due(), or once per block or per so many records) and
// stops when it gives false.
class Pace {
 public:
  using Step = std::function<bool(std::uint64_t position, std::uint64_t& due)>;
  explicit Pace(Step step, std::uint64_t due = 0) : step_(std::move(step)), due_(due) {}
  std::uint64_t due() const { return due_; }
  bool reached(std::uint64_t position) { return step_(position, due_); }

 private:
  Step step_;
  std::uint64_t due_;
};

struct PieceRules {
  // The first point from `mark` on, before `limit`, where a walk of the records may
  // start; nothing when there is none. It may read `lookBehind` bytes before the mark.
  std::function<std::optional<std::uint64_t>(Cursor& cursor, std::uint64_t mark, std::uint64_t limit)> startNear;
  std::uint64_t lookBehind = 0;
  // The bar's value at a walk position, shown while pieces are walked.
  std::function<std::uint64_t(std::uint64_t position)> progressAt;
  bool polls = false;  // the reader lets the user stop it
};

// How a file is cut and walked. Not for use on its own: see WalkInPieces.
class PieceWalker {
 public:
  PieceWalker(ReaderContext& ctx, BlockReader& file, std::uint64_t from, const PieceRules& rules);
  ~PieceWalker();
  PieceWalker(const PieceWalker&) = delete;
  PieceWalker& operator=(const PieceWalker&) = delete;

  std::size_t pieces() const { return marks_.size(); }
  // Where the walk of piece i started; nothing when it found no start.
  std::optional<std::uint64_t> start(std::size_t i) const { return starts_[i]; }
  std::uint64_t until(std::size_t i) const { return i + 1 < marks_.size() ? marks_[i + 1] : size_; }

  // Walks every piece that finds a start through piece(i, cursor, start, pace), on
  // this thread and the helpers. False when the user stopped the read.
  bool run(const std::function<void(std::size_t, Cursor&, std::uint64_t, Pace&)>& piece);
  // For walks on this thread after run(): moves the bar on and asks about Stop.
  Pace& pace() { return *pace_; }

  struct Shared;

 private:
  ReaderContext& ctx_;
  BlockReader& file_;
  const PieceRules& rules_;
  std::uint64_t size_;
  unsigned helpers_ = 0;
  std::uint64_t showEvery_ = 0;  // bytes a walk on this thread goes between looks at the bar
  std::vector<std::uint64_t> marks_;  // where the pieces are cut
  std::vector<std::optional<std::uint64_t>> starts_;
  std::unique_ptr<Shared> shared_;
  std::unique_ptr<Pace> pace_;
};

// Walks the records of `file` from `from` to its end: walk(cursor, start, until, pace)
// returns the tally of the records that start in [start, until). Whole, with `pace`,
// or in pieces joined in file order. A tally that stopped is returned as it is.
template <typename Tally, typename Walk>
Tally WalkInPieces(ReaderContext& ctx, BlockReader& file, std::uint64_t from, const PieceRules& rules, Pace& pace,
                   Walk walk) {
  PieceWalker walker(ctx, file, from, rules);
  Cursor cursor(file);
  if (walker.pieces() == 1) return walk(cursor, from, file.fileSize(), pace);
  std::vector<Tally> tallies(walker.pieces());
  if (!walker.run([&](std::size_t i, Cursor& own, std::uint64_t start, Pace& paced) {
        tallies[i] = walk(own, start, walker.until(i), paced);
      })) {
    Tally stopped;
    stopped.end.stopped = true;
    return stopped;
  }
  Tally joined = std::move(tallies[0]);
  for (std::size_t k = 1; k < tallies.size(); ++k) {
    const WalkEnd& end = joined.end;
    if (end.ended || end.stopped || end.failure) break;
    // Not where the piece started: its walk is not this file's. Walked on from here.
    if (walker.start(k) != end.next) joined.join(walk(cursor, end.next, walker.until(k), walker.pace()));
    else joined.join(std::move(tallies[k]));
  }
  return joined;
}

}  // namespace vellmark
