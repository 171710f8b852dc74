#pragma once
// The subcommands of vellmark-cli. Each takes its arguments and streams, so tests run
// them in-process and compare what they print.

#include <ostream>
#include <string>
#include <vector>

#include <optional>

#include "core/analyser_list.h"
#include "core/clock.h"
#include "core/file_system.h"
#include "core/texts.h"

namespace vellmark::cli {

struct CliIo {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
  FileSystem& files = RealFileSystem();
  Clock clock = Clock();   // the time report titles show
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
int OpenCommand(const Arguments& args, CliIo& io);
int ExportCommand(const Arguments& args, CliIo& io);

// Usage lines, shared by the help text and the commands' own errors.
inline constexpr const char* kAnalyseUsage =
    "analyse [--format table|json|csv|vmr] [--year YYYY] [--jobs N] [--verify] [--sha256] [--no-digests] "
    "[--unpack-limit SIZE] [--unpack-ratio N] [--continuity] [--gap-minutes N] [--exchange-rule FAMILY=REGEX] "
    "[-o FILE.vmr] [--xlsx FILE.xlsx] [--force] PATH...";
inline constexpr const char* kOpenUsage = "open [--format table|json|csv|vmr] FILE.vmr";
inline constexpr const char* kExportUsage = "export FILE.vmr -o FILE.xlsx [--force]";

// True (after saying so on err) when `path` exists and --force was not given.
bool RefuseToReplace(FileSystem& files, const std::string& path, bool force, const char* command, std::ostream& err);

// Writes the list as a workbook, telling on err why it could not; false then.
bool ExportWorkbook(CliIo& io, const std::string& path, const AnalyserList& list,
                    const std::optional<ListTotals>& totals);

// Runs `vellmark-cli ARGS...` (args without the program name).
int RunCli(const Arguments& args, CliIo& io);

}  // namespace vellmark::cli
