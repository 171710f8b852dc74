#pragma once
// The results file of `analyse --resume`: JSON Lines that earlier runs wrote, each run
// appending a line for every entry it finished. A file is not read again when the last
// line for its path holds a result for the same file (same size and modification time
// as it has now) taken with the same options; failed and stopped entries are read again.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "cli/result_line.h"
#include "core/file_system.h"

namespace vellmark::cli {

class ResultsFile {
 public:
  // Reads the file (a missing one is empty) and opens it to append after its last whole
  // line: a line cut short by a kill or a full disk is dropped. The reason when it cannot.
  std::string open(FileSystem& files, const std::string& path);

  // The entry kept for `path` when it stands for the file `status` describes, read with
  // `options`; its line counts as reused from then on.
  std::optional<AnalyserEntry> reuse(const std::string& path, const FileStatus& status, const LineOptions& options);
  // The line reuse gave for `path`, if it gave one.
  const std::string* reused(const std::string& path) const;

  // Appends one line and its line end with one write, so a kill leaves whole lines.
  Status append(const std::string& line);

 private:
  struct Kept {
    std::string line;
    bool taken = false;
  };
  std::unordered_map<std::string, Kept> lines_;  // the last line of each path
  std::unique_ptr<OutputFile> out_;
};

}  // namespace vellmark::cli
