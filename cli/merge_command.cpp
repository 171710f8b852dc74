// merge: the reduce step after analyse runs over parts of one list (shards), on one
// machine or many. The result lines of the shards, in shard order, make one list; it
// is numbered, its duplicates marked and its totals formed as a pass forms them, and
// written by the same outputs as analyse: merging shards analysed separately prints
// what analyse prints for the whole list.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "analysis/pass_texts.h"
#include "cli/commands.h"
#include "cli/result_line.h"
#include "cli/text_escape.h"

namespace vellmark::cli {

namespace {

struct MergeOptions {
  OutputFiles outputs;
  bool continuity = false;
  ContinuityOptions lanes;
  std::vector<std::string> shards;  // "-": standard input
};

std::string ParseMergeOptions(const Arguments& args, MergeOptions& options) {
  bool onlyShards = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyShards || arg.empty() || arg[0] != '-' || arg == "-") {
      options.shards.push_back(arg);
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    auto value = [&]() -> std::optional<std::string> {
      if (eq != std::string::npos) return arg.substr(eq + 1);
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };
    if (arg == "--") {
      onlyShards = true;
    } else if (name == "--format") {
      auto text = value();
      auto format = text ? ParseListFormat(*text) : std::nullopt;
      if (!format) return "unknown format: " + text.value_or("");
      options.outputs.format = *format;
    } else if (name == "-o" || name == "--output" || name == "--xlsx") {
      auto file = value();
      if (!file || file->empty()) return name + " needs a file name";
      (name == "--xlsx" ? options.outputs.workbook : options.outputs.report) = *file;
    } else if (arg == "--force") {
      options.outputs.force = true;
    } else if (arg == "--continuity") {
      options.continuity = true;
    } else if (name == "--gap-minutes" || name == "--exchange-rule") {
      auto text = value();
      if (!text) return name + " needs a value";
      if (std::string error = ParseLaneOption(name, *text, options.lanes); !error.empty()) return error;
    } else {
      return "unknown option: " + arg;
    }
  }
  if (options.shards.empty()) return "no SHARD given";
  if (options.continuity) options.outputs.continuity = options.lanes;
  return "";
}

// The list the shards make: a path seen again keeps its last line, in the place of its first.
struct MergedLines {
  std::vector<AnalyserEntry> entries;
  std::vector<std::string> lines;  // as written, kept only for jsonl
  bool keepLines = false;
  std::unordered_map<std::string, std::size_t> rowOf;
  LineOptions options;             // verify and sha256 when any line had them

  void take(ParsedLine parsed, std::string_view text) {
    options.verify = options.verify || parsed.options.verify;
    options.sha256 = options.sha256 || parsed.options.sha256;
    auto [at, fresh] = rowOf.emplace(parsed.entry.path, entries.size());
    if (fresh) {
      entries.push_back(std::move(parsed.entry));
      if (keepLines) lines.emplace_back(text);
    } else {
      entries[at->second] = std::move(parsed.entry);
      if (keepLines) lines[at->second] = std::string(text);
    }
  }
};

// Reads one shard's lines into `merged`, a line at a time. A last line cut short (a run
// that was killed) is left out with a note; a shard that cannot be read, or any other
// line that is not a result line, refuses the merge (kExitUsage).
int ReadShard(const std::string& shard, MergedLines& merged, CliIo& io) {
  std::ifstream file;
  if (shard != "-") file.open(shard, std::ios::binary);
  std::istream& in = shard == "-" ? io.in : file;
  if (!in) {
    io.err << "vellmark-cli merge: " << EscapeForLine(shard) << ": " << std::strerror(errno) << "\n";
    return kExitUsage;
  }
  int status = kExitOk;
  std::string text;
  for (std::size_t number = 1; std::getline(in, text); ++number) {
    if (text.empty()) continue;
    std::string error;
    std::optional<ParsedLine> parsed = ParseResultLine(text, error);
    if (parsed) {
      merged.take(std::move(*parsed), text);
    } else if (in.eof()) {
      io.err << "vellmark-cli merge: " << EscapeForLine(shard) << ": its last line is cut short and left out\n";
      status = kExitFailures;
    } else {
      io.err << "vellmark-cli merge: " << EscapeForLine(shard) << ": line " << number
             << " is not a result line: " << EscapeForLine(error) << "\n";
      return kExitUsage;
    }
  }
  if (in.bad()) {
    io.err << "vellmark-cli merge: " << EscapeForLine(shard) << ": cannot be read\n";
    return kExitUsage;
  }
  return status;
}

}  // namespace

int MergeCommand(const Arguments& args, CliIo& io) {
  MergeOptions options;
  if (std::string error = ParseMergeOptions(args, options); !error.empty()) {
    io.err << "vellmark-cli merge: " << error << "\nusage: vellmark-cli " << kMergeUsage << "\n";
    return kExitUsage;
  }
  if (std::string clash = OutputClash(io.files, {{"-o", options.outputs.report}, {"--xlsx", options.outputs.workbook}},
                                     options.shards);
      !clash.empty()) {
    io.err << "vellmark-cli merge: " << clash << "\n";
    return kExitUsage;
  }
  for (const std::string* out : {&options.outputs.report, &options.outputs.workbook})
    if (!out->empty() && RefuseToReplace(io.files, *out, options.outputs.force, "merge", io.err)) return kExitFailures;

  int status = kExitOk;
  MergedLines merged;
  merged.keepLines = options.outputs.format == ListFormat::Jsonl;
  for (const std::string& shard : options.shards) {
    const int read = ReadShard(shard, merged, io);
    if (read == kExitUsage) return kExitFailures;
    if (read != kExitOk) status = kExitFailures;
  }

  AnalysisSession session(io.files, DefaultReaderTable(), io.clock);
  session.options().verify = merged.options.verify;
  session.options().sha256 = merged.options.sha256;
  const PassSummary summary = session.AdoptResults(std::move(merged.entries));

  for (const auto& e : session.list().entries()) {
    if (e.failure) {
      io.err << "failed: " << EscapeForLine(e.path) << ": " << FailureKindName(e.failure->kind) << ": "
             << EscapeForLine(e.failure->reason) << "\n";
      status = kExitFailures;
    } else if (e.start == kWaitingStatus) {
      io.err << "not analysed: " << EscapeForLine(e.path) << "\n";
      status = kExitFailures;
    }
  }
  if (options.outputs.format == ListFormat::Jsonl)
    for (const std::string& line : merged.lines) io.out << line << "\n";
  if (WriteOutputs("merge", session, summary, options.outputs, io) != kExitOk) status = kExitFailures;
  return status;
}

}  // namespace vellmark::cli
