#pragma once
// The subcommands of vellmark-cli. Each takes its arguments and streams, so tests run
// them in-process and compare what they print.

#include <ostream>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace vellmark::cli {

struct CliIo {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
  FileSystem& files = RealFileSystem();
};

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailures = 1;  // a path skipped, a reader failed, a pass stopped
constexpr int kExitUsage = 2;

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Arguments& args, CliIo& io);
};

int ProbeCommand(const Arguments& args, CliIo& io);
int AnalyseCommand(const Arguments& args, CliIo& io);

// Runs `vellmark-cli ARGS...` (args without the program name).
int RunCli(const Arguments& args, CliIo& io);

}  // namespace vellmark::cli
