// open and export: a saved text report loaded the way Open Report loads it, then
// printed or written as a workbook.

#include <cerrno>

#include "cli/commands.h"
#include "cli/list_output.h"
#include "cli/text_escape.h"
#include "core/archive_names.h"
#include "core/texts.h"
#include "reports/spreadsheet_export.h"
#include "reports/text_report.h"

namespace vellmark::cli {

namespace {

struct ReportOptions {
  ListFormat format = ListFormat::Table;
  std::string report;
  std::string workbook;
  bool force = false;
};

// Parses the options of open (`withOutput` false) or export; an error text, "" on success.
std::string ParseReportOptions(const Arguments& args, bool withOutput, ReportOptions& options) {
  bool onlyPaths = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
      if (!options.report.empty()) return "one report file only";
      options.report = arg;
    } else if (arg == "--") {
      onlyPaths = true;
    } else if (!withOutput && (arg == "--format" || arg.rfind("--format=", 0) == 0)) {
      std::string value = arg == "--format" ? (i + 1 < args.size() ? args[++i] : "") : arg.substr(9);
      auto format = ParseListFormat(value);
      if (!format || *format == ListFormat::Jsonl) return "unknown format: " + value;
      options.format = *format;
    } else if (withOutput && (arg == "-o" || arg == "--output")) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " needs a file name";
      options.workbook = args[++i];
    } else if (withOutput && arg == "--force") {
      options.force = true;
    } else {
      return "unknown option: " + arg;
    }
  }
  if (options.report.empty()) return "no report file given";
  if (withOutput && options.workbook.empty()) return "no -o FILE.xlsx given";
  return "";
}

// A failure told the way the window's message box tells it.
void ShowError(std::ostream& err, const std::string& text) {
  err << kApplicationTitle << ": " << EscapeForLine(text) << "\n";
}

// Opens the report into the session as the window's Open Report does; false when it
// could not (the reason is already on stderr).
bool Load(AnalysisSession& session, const std::string& report, std::ostream& err) {
  auto loaded = LoadReportFile(session.files(), report);
  if (!loaded) {
    ShowError(err, "Could not open " + report + ": " + loaded.error().reason);
    return false;
  }
  if (!loaded->has_value()) {
    ShowError(err, report + std::string(kNotAReport));
    return false;
  }
  session.LoadEntries(std::move(**loaded));
  return true;
}

}  // namespace

bool RefuseToReplace(FileSystem& files, const std::string& path, bool force, const char* command, std::ostream& err) {
  if (force) return false;
  auto status = files.status(path);
  if (!status || !status->taken()) return false;
  TellExists(err, command, path);
  return true;
}

void TellExists(std::ostream& err, const char* command, const std::string& path) {
  err << "vellmark-cli " << command << ": " << EscapeForLine(path) << " exists; --force replaces it\n";
}

std::string OutputClash(FileSystem& files, const std::vector<NamedOutput>& outputs,
                        const std::vector<std::string>& inputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedOutput& out = outputs[i];
    if (out.path.empty()) continue;
    for (std::size_t j = 0; j < i; ++j)
      if (!outputs[j].path.empty() && SameFile(files, outputs[j].path, out.path))
        return std::string(outputs[j].option) + " and " + out.option + " name the same file: " + EscapeForLine(out.path);
    for (const std::string& input : inputs) {
      // A member is read from its archive.
      const auto member = SplitMemberPath(input);
      const auto archive = files.status(member ? member->archive : input);
      const bool packed = member && archive && archive->exists;
      if (SameFile(files, out.path, packed ? member->archive : input))
        return std::string(out.option) + " names an input file: " + EscapeForLine(out.path);
    }
  }
  return "";
}

bool ExportWorkbook(CliIo& io, const char* command, const std::string& path, bool force, const AnalyserList& list,
                    const std::optional<ListTotals>& totals) {
  if (list.empty()) {
    ShowError(io.err, std::string(kNothingToSave));
    return false;
  }
  Status written = WriteSpreadsheet(io.files, path, list, totals, force ? SaveMode::Replace : SaveMode::NewOnly);
  if (written) return true;
  // Without --force a file that appeared since the check is left alone.
  if (written.error().code == EEXIST) TellExists(io.err, command, path);
  else ShowError(io.err, path + ": " + written.error().reason);
  return false;
}

int OpenCommand(const Arguments& args, CliIo& io) {
  ReportOptions options;
  if (std::string error = ParseReportOptions(args, false, options); !error.empty()) {
    io.err << "vellmark-cli open: " << error << "\nusage: vellmark-cli " << kOpenUsage << "\n";
    return kExitUsage;
  }
  AnalysisSession session(io.files, DefaultReaderTable(), io.clock);
  if (!Load(session, options.report, io.err)) return kExitFailures;
  PrintList({session, std::nullopt, "", io.clock.now()}, options.format, io.out);
  return kExitOk;
}

int ExportCommand(const Arguments& args, CliIo& io) {
  ReportOptions options;
  if (std::string error = ParseReportOptions(args, true, options); !error.empty()) {
    io.err << "vellmark-cli export: " << error << "\nusage: vellmark-cli " << kExportUsage << "\n";
    return kExitUsage;
  }
  if (std::string clash = OutputClash(io.files, {{"-o", options.workbook}}, {options.report}); !clash.empty()) {
    io.err << "vellmark-cli export: " << clash << "\n";
    return kExitUsage;
  }
  if (RefuseToReplace(io.files, options.workbook, options.force, "export", io.err)) return kExitFailures;
  AnalysisSession session(io.files, DefaultReaderTable(), io.clock);
  if (!Load(session, options.report, io.err)) return kExitFailures;
  // The totals are empty after an open, so the totals cells are too.
  return ExportWorkbook(io, "export", options.workbook, options.force, session.list(), std::nullopt) ? kExitOk
                                                                                                   : kExitFailures;
}

}  // namespace vellmark::cli
