#include <cerrno>
#include <charconv>
#include <optional>

#include "analysis/pass_texts.h"
#include "cli/cli_observer.h"
#include "cli/commands.h"
#include "cli/list_output.h"
#include "cli/name_list.h"
#include "cli/read_ahead.h"
#include "cli/results_file.h"
#include "cli/text_escape.h"
#include "reports/spreadsheet_export.h"
#include "reports/text_report.h"

namespace vellmark::cli {

namespace {

struct AnalyseOptions {
  ListFormat format = ListFormat::Table;
  std::optional<int> year;
  std::string report;      // -o: the text report to save
  std::string workbook;    // --xlsx: the spreadsheet to write
  bool force = false;      // replace existing files
  ReadOptions read;        // --verify, --sha256
  int jobs = DefaultJobs();  // files read at once
  UnpackLimits limits;       // when an unpacked member is taken for a bomb
  bool continuity = false;   // --continuity: gaps, overlaps and missing files per exchange
  ContinuityOptions lanes;   // --gap-minutes, --exchange-rule
  std::vector<std::string> paths;
  std::string filesFrom;     // a list of more paths ("-": standard input)
  bool nulSeparated = false; // -0: its names end with NUL bytes
  std::string resume;        // the results file of earlier runs
};

// Writes a pass's result lines in list order as its entries become final: on `out`
// (--format jsonl) and, but for the lines reused from it, appended to the results file.
class ResultStream {
 public:
  ResultStream(const AnalysisSession& session, LineOptions options, std::ostream* out, ResultsFile* results)
      : session_(session), options_(options), out_(out), results_(results) {}

  // Every row up to `row` not written yet.
  void upTo(std::size_t row) {
    for (; next_ <= row && next_ < session_.list().size(); ++next_) {
      const AnalyserEntry& e = session_.list().at(next_);
      const std::string* reused = results_ ? results_->reused(e.path) : nullptr;
      const std::string line = reused ? *reused : ResultLine(e, options_);
      if (out_) *out_ << line << "\n" << std::flush;
      if (reused || !results_ || !error_.empty()) continue;
      if (Status appended = results_->append(line); !appended) error_ = appended.error().reason;
    }
  }
  void finish() {
    if (!session_.list().empty()) upTo(session_.list().size() - 1);
  }
  // Why the results file could not take a line; "" while it could.
  const std::string& error() const { return error_; }

 private:
  const AnalysisSession& session_;
  LineOptions options_;
  std::ostream* out_;
  ResultsFile* results_;
  std::size_t next_ = 0;
  std::string error_;
};

// "4096", "512K", "64G": bytes, with a binary K, M, G or T after the number.
std::optional<std::uint64_t> ParseByteCount(const std::string& text) {
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  const std::string unit(end, text.data() + text.size());
  int shift = unit.empty() ? 0 : unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30 : unit == "T" ? 40 : -1;
  if (shift < 0 || value > (UINT64_MAX >> shift)) return std::nullopt;
  return value << shift;
}

// Parses the options; returns an error text, empty on success.
std::string ParseOptions(const Arguments& args, AnalyseOptions& options) {
  bool onlyPaths = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPaths = true;
      continue;
    }
    std::string name = arg, value;
    bool hasValue = false;
    if (auto eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    if (name == "--format") {
      if (!takeValue()) return "--format needs a value";
      auto format = ParseListFormat(value);
      if (!format) return "unknown format: " + value;
      options.format = *format;
    } else if (name == "--year") {
      if (!takeValue()) return "--year needs a value";
      int year = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), year);
      if (ec != std::errc() || end != value.data() + value.size() || year < 1900 || year > 9999)
        return "--year takes a year from 1900 to 9999";
      options.year = year;
    } else if (name == "-o" || name == "--output") {
      if (!takeValue() || value.empty()) return name + " needs a file name";
      options.report = value;
    } else if (name == "--xlsx") {
      if (!takeValue() || value.empty()) return "--xlsx needs a file name";
      options.workbook = value;
    } else if (name == "--jobs" || name == "-j") {
      if (!takeValue()) return "--jobs needs a value";
      int jobs = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), jobs);
      if (ec != std::errc() || end != value.data() + value.size() || jobs < 1 || jobs > 256)
        return "--jobs takes a number from 1 to 256";
      options.jobs = jobs;
    } else if (name == "--unpack-limit") {
      if (!takeValue()) return "--unpack-limit needs a value";
      auto bytes = ParseByteCount(value);
      if (!bytes || *bytes == 0) return "--unpack-limit takes a size such as 64G";
      options.limits.most = *bytes;
    } else if (name == "--unpack-ratio") {
      if (!takeValue()) return "--unpack-ratio needs a value";
      auto ratio = ParseByteCount(value);
      if (!ratio || *ratio == 0) return "--unpack-ratio takes a whole number above 0";
      options.limits.ratio = *ratio;
    } else if (name == "--continuity" && !hasValue) {
      options.continuity = true;
    } else if (name == "--gap-minutes" || name == "--exchange-rule") {
      if (!takeValue()) return name + " needs a value";
      if (std::string error = ParseLaneOption(name, value, options.lanes); !error.empty()) return error;
    } else if (name == "--files-from") {
      if (!takeValue() || value.empty()) return "--files-from needs a file name, or - for standard input";
      options.filesFrom = value;
    } else if (name == "-0" && !hasValue) {
      options.nulSeparated = true;
    } else if (name == "--resume") {
      if (!takeValue() || value.empty()) return "--resume needs a file name";
      options.resume = value;
    } else if (name == "--force" && !hasValue) {
      options.force = true;
    } else if (name == "--verify" && !hasValue) {
      options.read.verify = true;
    } else if (name == "--sha256" && !hasValue) {
      options.read.sha256 = true;
    } else if (name == "--no-digests" && !hasValue) {
      options.read.digests = false;
    } else {
      return "unknown option: " + arg;
    }
  }
  if (options.paths.empty() && options.filesFrom.empty()) return "no PATH given";
  if (options.nulSeparated && options.filesFrom.empty()) return "-0 goes with --files-from";
  if (options.read.sha256 && !options.read.digests) return "--sha256 and --no-digests exclude each other";
  // A large file is walked on as many cores as files are read at once.
  options.read.cores = static_cast<unsigned>(options.jobs);
  return "";
}

}  // namespace

std::string ParseLaneOption(const std::string& name, const std::string& value, ContinuityOptions& lanes) {
  if (name == "--gap-minutes") {
    int minutes = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), minutes);
    if (ec != std::errc() || end != value.data() + value.size() || minutes < 0)
      return "--gap-minutes takes a whole number of minutes";
    lanes.gapMinutes = minutes;
    return "";
  }
  const std::size_t eq = value.find('=');
  auto family = ExchangeRules::FamilyNamed(value.substr(0, eq));
  if (eq == std::string::npos || !family)
    return "--exchange-rule takes FAMILY=REGEX, FAMILY one of OCB, EWSD, 5ESS, E10B, CDOT, AXE";
  if (auto refused = lanes.rules.set(*family, value.substr(eq + 1))) return "--exchange-rule " + *family + ": " + *refused;
  return "";
}

int AnalyseCommand(const Arguments& args, CliIo& io) {
  AnalyseOptions options;
  if (std::string error = ParseOptions(args, options); !error.empty()) {
    io.err << "vellmark-cli analyse: " << error << "\n"
           << "usage: vellmark-cli " << kAnalyseUsage << "\n";
    return kExitUsage;
  }
  // Refused before the pass, so a long run is not wasted on a file that cannot be written.
  if (std::string clash = OutputClash(io.files, {{"-o", options.report}, {"--xlsx", options.workbook}}, options.paths);
      !clash.empty()) {
    io.err << "vellmark-cli analyse: " << clash << "\n";
    return kExitUsage;
  }
  for (const std::string* out : {&options.report, &options.workbook})
    if (!out->empty() && RefuseToReplace(io.files, *out, options.force, "analyse", io.err)) return kExitFailures;
  if (!options.filesFrom.empty()) {
    if (std::string error = ReadNameList(options.filesFrom, options.nulSeparated, io, options.paths); !error.empty()) {
      io.err << "vellmark-cli analyse: " << EscapeForLine(error) << "\n";
      return kExitFailures;
    }
  }

  AnalysisSession session(io.files, DefaultReaderTable(), options.year ? io.clock.withYear(*options.year) : io.clock);
  std::optional<StoppablePass> stoppable(std::in_place);  // from adding the paths to the pass's end
  session.options() = options.read;
  session.archives().setLimits(options.limits);
  const LineOptions lineOptions{session.clock().currentYear(), options.read.verify, options.read.sha256};
  std::unique_ptr<ResultsFile> results;
  if (!options.resume.empty()) {
    results = std::make_unique<ResultsFile>();
    if (std::string error = results->open(io.files, options.resume); !error.empty()) {
      io.err << "vellmark-cli analyse: cannot resume from " << EscapeForLine(options.resume) << ": "
             << EscapeForLine(error) << "\n";
      return kExitFailures;
    }
    session.setEarlierResults([&results, &lineOptions](const std::string& path, const FileStatus& status) {
      return results->reuse(path, status, lineOptions);
    });
  }

  int status = kExitOk;
  // An archive stands for its members: the outcomes are per entry path.
  std::vector<std::string> paths;
  std::vector<OfferOutcome> outcomes;
  for (Offer& offer : session.OfferEntries(options.paths, static_cast<unsigned>(options.jobs))) {
    paths.push_back(std::move(offer.path));
    outcomes.push_back(offer.outcome);
  }
  // The refusal: its sentence, an empty line, then one refused path per line.
  if (std::string message = RefusedFilesMessage(paths, outcomes); !message.empty()) {
    std::size_t from = 0;
    for (std::size_t nl; (nl = message.find('\n', from)) != std::string::npos; from = nl + 1)
      io.err << EscapeForLine(message.substr(from, nl - from)) << "\n";
    io.err << EscapeForLine(message.substr(from)) << "\n";
  }
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i] == OfferOutcome::NotReadable) {
      io.err << "skipped: cannot be read: " << EscapeForLine(paths[i]) << "\n";
      status = kExitFailures;
    }
  }

  PassSummary summary;
  bool interrupted = false;
  ResultStream lines(session, lineOptions, options.format == ListFormat::Jsonl ? &io.out : nullptr, results.get());
  {
    // More than one job: the files are read ahead on threads, the pass takes the
    // results in list order.
    std::unique_ptr<ReadAhead> ahead;
    if (options.jobs > 1) ahead = std::make_unique<ReadAhead>(session, options.jobs);
    CliObserver observer(session, io.err, io.errIsTerminal, ahead.get());
    observer.onEntryDone([&](std::size_t row) {
      lines.upTo(row);
      // Results that cannot be kept are not worth reading on for.
      if (!lines.error().empty()) session.RequestStop();
    });
    summary = session.RunAnalysis(false, observer);
    interrupted = observer.interrupted();
  }
  stoppable.reset();
  lines.finish();

  for (const auto& e : session.list().entries()) {
    if (!e.failure) continue;
    io.err << "failed: " << EscapeForLine(e.path) << ": " << FailureKindName(e.failure->kind) << ": "
           << EscapeForLine(e.failure->reason) << "\n";
    status = kExitFailures;
  }
  if (interrupted) {
    io.err << "stopped: the analysis was interrupted\n";
    status = kExitFailures;
  }
  if (!lines.error().empty()) {
    io.err << "vellmark-cli analyse: cannot add to " << EscapeForLine(options.resume) << ": "
           << EscapeForLine(lines.error()) << "\n";
    status = kExitFailures;
  }
  if (WriteOutputs("analyse", session, summary,
                   {options.format, options.report, options.workbook, options.force,
                    options.continuity ? std::optional(options.lanes) : std::nullopt},
                   io) != kExitOk)
    status = kExitFailures;
  return status;
}

int WriteOutputs(const char* command, const AnalysisSession& session, const PassSummary& summary,
                 const OutputFiles& outputs, CliIo& io) {
  int status = kExitOk;
  const std::tm now = io.clock.now();
  const std::optional<ListTotals> totals = summary.ran ? std::optional(summary.totals) : std::nullopt;
  if (!outputs.report.empty()) {
    const SaveMode mode = outputs.force ? SaveMode::Replace : SaveMode::NewOnly;
    Status saved = WriteReportFile(io.files, outputs.report, session.list(), now, mode);
    if (!saved && saved.error().code == EEXIST) {
      TellExists(io.err, command, outputs.report);  // it appeared during the pass
    } else if (!saved) {
      io.err << "vellmark-cli " << command << ": cannot save " << EscapeForLine(outputs.report) << ": "
             << saved.error().reason << "\n";
    }
    if (!saved) status = kExitFailures;
  }
  if (!outputs.workbook.empty() &&
      !ExportWorkbook(io, command, outputs.workbook, outputs.force, session.list(), totals))
    status = kExitFailures;
  // Only the table and JSON carry the findings: the other formats are fixed layouts.
  std::optional<Continuity> continuity;
  if (outputs.continuity && (outputs.format == ListFormat::Table || outputs.format == ListFormat::Json))
    continuity = FindContinuity(session.list().entries(), *outputs.continuity);
  PrintList({session, totals, summary.ran ? ClosingMessage(summary) : "", now, continuity ? &*continuity : nullptr,
             outputs.continuity ? outputs.continuity->gapMinutes : 0},
            outputs.format, io.out);
  return status;
}

}  // namespace vellmark::cli
