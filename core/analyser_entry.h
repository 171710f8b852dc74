#pragma once
// One row of the analyser list: the file, its family, its call range and count, the
// row's icon, duplicate mark and selection and, when its reader failed, why.

#include <cstdint>
#include <optional>
#include <string>

#include "core/read_failure.h"

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

  // A report holds texts, not numbers: rows read back from one keep their Records
  // text when it is not a plain number, and always their Size text.
  std::optional<std::string> writtenRecords;
  std::string writtenSize;

  int icon = 0;          // index in the switch family table; 0 for no icon
  bool duplicate = false;
  bool selected = false;
  std::optional<ReadFailure> failure;

  // Takes a Records text as a report gives it: the count is the number it begins with.
  void setRecordsText(const std::string& text);

  // The texts the list shows.
  std::string recordsText() const;
  std::string sizeText() const;
  static constexpr int kColumns = 7;
  std::string column(int c) const;  // columns 0 to 6 in list order
};

}  // namespace vellmark
