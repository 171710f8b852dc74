#include <array>

#include "cli/commands.h"

namespace vellmark::cli {

namespace {

const std::array<Command, 5> kCommands = {{
    {"probe", kProbeUsage, ProbeCommand},
    {"analyse", kAnalyseUsage, AnalyseCommand},
    {"merge", kMergeUsage, MergeCommand},
    {"open", kOpenUsage, OpenCommand},
    {"export", kExportUsage, ExportCommand},
}};

void PrintUsage(std::ostream& out) {
  out << "usage:\n";
  for (const auto& c : kCommands) out << "  vellmark-cli " << c.usage << "\n";
}

}  // namespace

int RunCli(const Arguments& args, CliIo& io) {
  if (args.empty()) {
    PrintUsage(io.err);
    return kExitUsage;
  }
  if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    PrintUsage(io.out);
    return kExitOk;
  }
  for (const auto& c : kCommands)
    if (args[0] == c.name) return c.run(Arguments(args.begin() + 1, args.end()), io);
  io.err << "vellmark-cli: unknown command: " << args[0] << "\n";
  PrintUsage(io.err);
  return kExitUsage;
}

}  // namespace vellmark::cli
