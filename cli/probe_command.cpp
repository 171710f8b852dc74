#include "cli/commands.h"
#include "cli/text_escape.h"
#include "core/archive_files.h"
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
  // Compressed files and archive members are probed on their unpacked bytes; an
  // archive stands for its regular members, one line each.
  ArchiveFiles archives(io.files);
  auto line = [&](const std::string& family, const std::string& path) {
    io.out << family << "\t" << EscapeForLine(path) << "\n";
  };
  for (const auto& path : args) {
    ArchiveFiles::Expansion expansion = archives.expand(path);
    for (const auto& entry : expansion.paths) {
      ProbeOutcome probe = ProbeFile(archives, entry);
      // Bytes that cannot be unpacked: the entry is listed as "Unknown" with the reason.
      const bool listed = probe.family != kNotADataFile ||
                          (probe.failure && probe.failure->step != IoStep::Open && archives.unpacks(entry));
      if (!listed) status = kExitFailures;
      line(listed ? SwitchFamilyTable::text(probe.family == kNotADataFile ? kFamilyUnknown : probe.family) : "-", entry);
      if (probe.family == kNotADataFile && listed) {
        io.err << "failed: " << EscapeForLine(entry) << ": " << FailureKindName(FromIoError(*probe.failure).kind)
               << ": " << EscapeForLine(probe.failure->reason) << "\n";
        status = kExitFailures;
      }
    }
    if (expansion.failure) {
      status = kExitFailures;
      const bool unreadable = expansion.failure->step == IoStep::Open;
      line(unreadable ? "-" : SwitchFamilyTable::text(kFamilyUnknown), path);
      if (!unreadable)
        io.err << "failed: " << EscapeForLine(path) << ": " << FailureKindName(FromIoError(*expansion.failure).kind)
               << ": " << EscapeForLine(expansion.failure->reason) << "\n";
    }
  }
  return status;
}

}  // namespace vellmark::cli
