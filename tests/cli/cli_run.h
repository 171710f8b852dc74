#pragma once
// Runs vellmark-cli in-process with captured streams and a fixed clock.

#include <sstream>
#include <string>

#include "cli/commands.h"
#include "testdata/bytes.h"
#include "testdata/report_entries.h"

namespace vellmark::cli {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// `input` is what --files-from - reads.
inline CliRun Cli(const Arguments& args, FileSystem& files = RealFileSystem(), const std::string& input = "") {
  std::ostringstream out, err;
  std::istringstream in(input);
  CliIo io{out, err, false, files, Clock{[] { return testdata::FixedTime(); }}, in};
  int status = RunCli(args, io);
  return {status, out.str(), err.str()};
}

// The words of `command` (split at blanks), then `paths`.
inline Arguments Cmd(const std::string& command, const std::vector<std::string>& paths = {}) {
  Arguments args;
  std::istringstream words(command);
  for (std::string word; words >> word;) args.push_back(word);
  args.insert(args.end(), paths.begin(), paths.end());
  return args;
}

inline std::string ReadText(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace vellmark::cli
