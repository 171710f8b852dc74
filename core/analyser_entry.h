#pragma once
// One row of the analyser list: the file, its family, its call range and count, the
// row's icon and selection, which earlier row it repeats, what its bytes hash to, what
// to be wary of and, when its reader failed, why.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/calls_per_hour.h"
#include "core/content_digest.h"
#include "core/read_failure.h"
#include "core/warning.h"

namespace vellmark {

struct AnalyserEntry {
  std::string path;      // "Binary File"
  std::string number;    // "No"
  std::string family;    // "Switch"
  std::string start;     // "Start Time": a status text or the first call's time
  std::string end;       // "End Time": a status text or the last call's time
  std::uint64_t records = 0;              // "Records"
  std::optional<std::uint64_t> sizeBytes; // the file's length when added (unpacked, once known)
  // A compressed file or archive member: the bytes on disk it is unpacked from.
  std::optional<std::uint64_t> packedBytes;
  // When the file (or the archive holding it) was last changed as it was added, in
  // nanoseconds since the epoch: with the size it tells a later run the file is the same.
  std::optional<std::int64_t> mtimeNs;

  // A report holds texts, not numbers: rows read back from one keep their Records
  // text when it is not a plain number, and always their Size text.
  std::optional<std::string> writtenRecords;
  std::string writtenSize;

  int icon = 0;          // index in the switch family table; 0 for no icon
  bool selected = false;
  std::optional<ReadFailure> failure;

  // Row numbers (1-based) of the first earlier row with the same results, and with the
  // same bytes; the list is red where the first is set.
  std::optional<std::size_t> duplicateOf;
  std::optional<std::size_t> sameContentAs;
  std::optional<Digests> digests;               // of a file read to its end
  std::vector<Warning> warnings;                // from the probe and the last read
  bool weakMatch = false;                       // the probe passed only through bytes past the end
  std::optional<std::uint64_t> verifiedRecords; // from a read in verify mode
  std::optional<CallsPerHour> callsPerHour;     // from a read in verify mode, where records carry a time

  bool duplicate() const { return duplicateOf.has_value(); }
  // Whether the row holds calls a reader found: what duplicates compare.
  bool hasCallResults() const;

  // Takes a Records text as a report gives it: the count is the number it begins with.
  void setRecordsText(const std::string& text);

  // The texts the list shows.
  std::string recordsText() const;
  std::string sizeText() const;
  static constexpr int kColumns = 7;
  std::string column(int c) const;  // columns 0 to 6 in list order
};

}  // namespace vellmark
