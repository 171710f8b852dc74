#include "cli/commands.h"
#include "cli/text_escape.h"
#include "core/switch_family.h"
#include "readers/probe.h"

namespace vellmark::cli {

// One line per path: the family text, or "-" when the file would not be added.
int ProbeCommand(const Arguments& args, CliIo& io) {
  if (args.empty()) {
    io.err << "usage: vellmark-cli probe PATH...\n";
    return kExitUsage;
  }
  int status = kExitOk;
  for (const auto& path : args) {
    int family = ProbeSwitchFamily(io.files, path);
    if (family == kNotADataFile) status = kExitFailures;
    io.out << (family == kNotADataFile ? std::string("-") : SwitchFamilyTable::text(family)) << "\t"
           << EscapeForLine(path) << "\n";
  }
  return status;
}

}  // namespace vellmark::cli
