#include "cli/commands.h"
#include "cli/name_list.h"
#include "cli/text_escape.h"
#include "core/archive_files.h"
#include "core/switch_family.h"
#include "readers/probe.h"

namespace vellmark::cli {

// One line per path: the family text, or "-" when the file would not be added.
// Every argument but these options is a path.
int ProbeCommand(const Arguments& args, CliIo& io) {
  std::vector<std::string> paths;
  std::string filesFrom;
  bool nulSeparated = false, onlyPaths = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!onlyPaths && args[i] == "--") onlyPaths = true;
    else if (!onlyPaths && args[i] == "-0") nulSeparated = true;
    else if (!onlyPaths && args[i] == "--files-from" && i + 1 < args.size()) filesFrom = args[++i];
    else if (!onlyPaths && args[i].rfind("--files-from=", 0) == 0) filesFrom = args[i].substr(13);
    else paths.push_back(args[i]);
  }
  if ((paths.empty() && filesFrom.empty()) || (nulSeparated && filesFrom.empty())) {
    io.err << "usage: vellmark-cli " << kProbeUsage << "\n";
    return kExitUsage;
  }
  if (!filesFrom.empty()) {
    if (std::string error = ReadNameList(filesFrom, nulSeparated, io, paths); !error.empty()) {
      io.err << "vellmark-cli probe: " << EscapeForLine(error) << "\n";
      return kExitFailures;
    }
  }
  int status = kExitOk;
  // Compressed files and archive members are probed on their unpacked bytes; an
  // archive stands for its regular members, one line each.
  ArchiveFiles archives(io.files);
  auto line = [&](const std::string& family, const std::string& path) {
    io.out << family << "\t" << EscapeForLine(path) << "\n";
  };
  for (const auto& path : paths) {
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
