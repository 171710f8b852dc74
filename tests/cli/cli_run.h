#pragma once
// Runs vellmark-cli in-process with captured streams and a fixed clock.

#include <sstream>
#include <string>

#include "cli/commands.h"
#include "testdata/report_entries.h"

namespace vellmark::cli {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline CliRun Cli(const Arguments& args, FileSystem& files = RealFileSystem()) {
  std::ostringstream out, err;
  CliIo io{out, err, false, files, Clock{[] { return testdata::FixedTime(); }}};
  int status = RunCli(args, io);
  return {status, out.str(), err.str()};
}

}  // namespace vellmark::cli
