#pragma once
// What every switch-family reader is given and what it returns.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/block_reader.h"
#include "core/calls_per_hour.h"
#include "core/clock.h"
#include "core/content_digest.h"
#include "core/file_system.h"
#include "core/read_failure.h"
#include "core/warning.h"

namespace vellmark {

// How the files of a pass are read.
struct ReadOptions {
  bool digests = true;  // the XXH3-128 of every file read to its end
  bool sha256 = false;  // and its SHA-256
  bool verify = false;  // walk every record for an exact count
  bool callsPerHour = true;  // in verify mode, also count the calls of each clock hour
  // A large file is walked in pieces on up to this many cores at once (0: all the
  // machine has), each piece at least pieceBytes long, when the cores are free.
  unsigned cores = 0;
  std::uint64_t pieceBytes = std::uint64_t{1} << 20;
};

// How many cores this process may run on (at least 1).
unsigned UsableCores();

// The cores of the machine the reads of this process may walk on. Each read holds
// one while it runs; a read walked in pieces borrows free ones for its helpers:
// BorrowCores gives at most `wanted` of them, maybe none.
unsigned BorrowCores(unsigned wanted);
void ReturnCores(unsigned n);

// What a reader found: the first and last call as the list shows them, and the count.
struct CallRange {
  std::string start;
  std::string end;
  std::uint64_t records = 0;
  // Where the records the start and end come from lie; none for a date from the name.
  std::optional<std::uint64_t> startOffset = std::nullopt, endOffset = std::nullopt;
  std::vector<Warning> warnings = {};
  std::optional<std::uint64_t> verifiedRecords = std::nullopt;  // in verify mode
  std::optional<CallsPerHour> callsPerHour = std::nullopt;      // in verify mode, from the records' times
  std::optional<Digests> digests = std::nullopt;                // of the whole file

  bool operator==(const CallRange&) const = default;
};

// The user stopped the read at one of its stop points.
struct Stopped {
  bool operator==(const Stopped&) const = default;
};

// A reader's answer for one file. No exception leaves a reader.
using ReaderOutcome = std::variant<CallRange, ReadFailure, Stopped>;

class ReaderContext {
 public:
  struct Hooks {
    std::function<void(int)> progress;                      // the bar changed
    std::function<bool()> pollStop;                         // true: stop now
    std::function<void(const std::string&, const std::string&)> message;  // text, caption
  };
  ReaderContext(FileSystem& files, const Clock& clock, Hooks hooks, ReadOptions options = {})
      : files_(files), clock_(clock), hooks_(std::move(hooks)), options_(options) {}
  ~ReaderContext();
  ReaderContext(const ReaderContext&) = delete;
  ReaderContext& operator=(const ReaderContext&) = delete;

  FileSystem& files() { return files_; }
  const ReadOptions& options() const { return options_; }
  // Whether this read counts the calls of each hour as it walks the records.
  bool countsHours() const { return options_.verify && options_.callsPerHour; }
  int currentYear() const { return clock_.currentYear(); }

  // Opens the file to read, `fill` reading past its end. The context keeps it open
  // until the read is done; the first file opened feeds the content digest.
  Result<BlockReader*> open(const std::string& path, std::uint8_t fill);
  // After a read: reads what the reader left unread and gives the file's digests;
  // none when they were not asked for or a read fails.
  std::optional<Digests> finishDigests();
  // For a file walked in pieces that hand their bytes to the digest themselves, in
  // file order: hashes the bytes before `offset` here and gives the digest; nothing
  // when no digest is wanted or it is complete.
  ContentDigest* digestUpTo(std::uint64_t offset);
  // The digest is worked out on the reading thread from now on, and the core it was
  // hashed on beside the reader is free again (for a walk in pieces).
  void hashHere();

  // The progress bar, 0 to 100. Like the bar itself, it refuses values out of range.
  int progress() const { return progress_; }
  void setProgress(int value) {
    if (value < 0 || value > 100 || value == progress_) return;
    progress_ = value;
    if (hooks_.progress) hooks_.progress(value);
  }

  // A polling reader's stop point: lets the window's events run, then, if Stop was
  // pressed, asks "Do you want to Stop the Analyser". True when the answer was Yes:
  // the reader then sets the bar to 0 and returns Stopped.
  bool pollStop() { return hooks_.pollStop ? hooks_.pollStop() : false; }

  // A message box with the error icon and the given caption.
  void message(const std::string& text, const std::string& caption) {
    if (hooks_.message) hooks_.message(text, caption);
  }

 private:
  FileSystem& files_;
  const Clock& clock_;
  Hooks hooks_;
  ReadOptions options_;
  int progress_ = 0;
  std::vector<std::unique_ptr<OpenedFile>> opened_;
  std::unique_ptr<ContentDigest> digest_;
  // The core this read runs on, held from its first open on.
  struct CoreHold {
    CoreHold();
    ~CoreHold();
  };
  std::optional<CoreHold> core_;
  unsigned hashCores_ = 0;  // borrowed to hash beside the reader
};

// A reader: reads the file at `path`.
using ReaderFunction = std::function<ReaderOutcome(const std::string& path, ReaderContext& context)>;

// One read, bound to its file and to whatever its reader carries over from the files
// read before it.
using ReadCall = std::function<ReaderOutcome(ReaderContext& context)>;

}  // namespace vellmark
