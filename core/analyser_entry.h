#pragma once
// One row of the analyser list: seven display texts plus the row's icon, duplicate
// mark, selection and, when its reader failed, why.

#include <string>

namespace vellmark {

// Why a reader could not read a file; the CLI prints it as error_kind.
enum class ReadFailure { None, Open, Read, Corrupt, UnknownPackage };

const char* ReadFailureName(ReadFailure kind);  // "open", "read", "corrupt", "unknown_package"

struct AnalyserEntry {
  // Columns 0 to 6, in order.
  std::string path;      // "Binary File"
  std::string number;    // "No"
  std::string family;    // "Switch"
  std::string start;     // "Start Time"
  std::string end;       // "End Time"
  std::string records;   // "Records"
  std::string size;      // "Size"

  int icon = 0;          // index in the switch family table; 0 for no icon
  bool duplicate = false;
  bool selected = false;

  ReadFailure failure = ReadFailure::None;
  std::string failureReason;

  static constexpr int kColumns = 7;
  const std::string& column(int c) const;
  std::string& column(int c);
};

}  // namespace vellmark
