#pragma once
// The subcommands of vellmark-cli. Each takes its arguments and streams, so tests run
// them in-process and compare what they print.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/list_output.h"
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
  std::istream& in = std::cin;  // where --files-from - reads its names
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
int MergeCommand(const Arguments& args, CliIo& io);
int OpenCommand(const Arguments& args, CliIo& io);
int ExportCommand(const Arguments& args, CliIo& io);

// Usage lines, shared by the help text and the commands' own errors.
inline constexpr const char* kProbeUsage = "probe [--files-from FILE [-0]] PATH...";
inline constexpr const char* kAnalyseUsage =
    "analyse [--format table|json|csv|vmr|jsonl] [--year YYYY] [--jobs N] [--verify] [--sha256] [--no-digests] "
    "[--unpack-limit SIZE] [--unpack-ratio N] [--continuity] [--gap-minutes N] [--exchange-rule FAMILY=REGEX] "
    "[-o FILE.vmr] [--xlsx FILE.xlsx] [--force] [--resume RESULTS.jsonl] [--files-from FILE [-0]] PATH...";
inline constexpr const char* kMergeUsage =
    "merge [--format table|json|csv|vmr|jsonl] [--continuity] [--gap-minutes N] [--exchange-rule FAMILY=REGEX] "
    "[-o FILE.vmr] [--xlsx FILE.xlsx] [--force] SHARD.jsonl...";
inline constexpr const char* kOpenUsage = "open [--format table|json|csv|vmr] FILE.vmr";
inline constexpr const char* kExportUsage = "export FILE.vmr -o FILE.xlsx [--force]";

// True (after saying so on err) when something is at `path` (a file, or a link even
// if it leads nowhere) and --force was not given.
bool RefuseToReplace(FileSystem& files, const std::string& path, bool force, const char* command, std::ostream& err);
// Says that `path` exists and --force replaces it.
void TellExists(std::ostream& err, const char* command, const std::string& path);

// An output named by `option` that is another output or an input: its message, or "".
struct NamedOutput {
  const char* option;
  std::string path;
};
std::string OutputClash(FileSystem& files, const std::vector<NamedOutput>& outputs,
                        const std::vector<std::string>& inputs);

// Writes the list as a workbook (replacing a file only with `force`), telling on err
// why it could not; false then.
bool ExportWorkbook(CliIo& io, const char* command, const std::string& path, bool force, const AnalyserList& list,
                    const std::optional<ListTotals>& totals);

// What a command writes once its list is complete: the listing on out in `format`
// (nothing for jsonl), the text report (-o) and the workbook (--xlsx).
struct OutputFiles {
  ListFormat format = ListFormat::Table;
  std::string report;
  std::string workbook;
  bool force = false;                           // the outputs may replace files
  std::optional<ContinuityOptions> continuity;  // the findings in table and json
};

// --gap-minutes N and --exchange-rule FAMILY=REGEX, shared by analyse and merge: what is
// wrong with `value`, or "".
std::string ParseLaneOption(const std::string& name, const std::string& value, ContinuityOptions& lanes);

// The one place where analyse and merge hand their finished list to the outputs, so
// both write the same for the same list. kExitFailures when a file could not be written.
int WriteOutputs(const char* command, const AnalysisSession& session, const PassSummary& summary,
                 const OutputFiles& outputs, CliIo& io);

// Runs `vellmark-cli ARGS...` (args without the program name).
int RunCli(const Arguments& args, CliIo& io);

}  // namespace vellmark::cli
