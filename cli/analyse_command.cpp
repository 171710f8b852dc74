#include <charconv>
#include <optional>

#include "analysis/pass_texts.h"
#include "cli/cli_observer.h"
#include "cli/commands.h"
#include "cli/list_output.h"
#include "cli/read_ahead.h"
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
    } else if (name == "--gap-minutes") {
      if (!takeValue()) return "--gap-minutes needs a value";
      int minutes = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), minutes);
      if (ec != std::errc() || end != value.data() + value.size() || minutes < 0)
        return "--gap-minutes takes a whole number of minutes";
      options.lanes.gapMinutes = minutes;
    } else if (name == "--exchange-rule") {
      if (!takeValue()) return "--exchange-rule needs FAMILY=REGEX";
      const std::size_t eq = value.find('=');
      auto family = ExchangeRules::FamilyNamed(value.substr(0, eq));
      if (eq == std::string::npos || !family)
        return "--exchange-rule takes FAMILY=REGEX, FAMILY one of OCB, EWSD, 5ESS, E10B, CDOT, AXE";
      if (auto refused = options.lanes.rules.set(*family, value.substr(eq + 1)))
        return "--exchange-rule " + *family + ": " + *refused;
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
  if (options.paths.empty()) return "no PATH given";
  if (options.read.sha256 && !options.read.digests) return "--sha256 and --no-digests exclude each other";
  // A large file is walked on as many cores as files are read at once.
  options.read.cores = static_cast<unsigned>(options.jobs);
  return "";
}

}  // namespace

int AnalyseCommand(const Arguments& args, CliIo& io) {
  AnalyseOptions options;
  if (std::string error = ParseOptions(args, options); !error.empty()) {
    io.err << "vellmark-cli analyse: " << error << "\n"
           << "usage: vellmark-cli " << kAnalyseUsage << "\n";
    return kExitUsage;
  }
  // Refused before the pass, so a long run is not wasted on a file that cannot be written.
  for (const std::string* out : {&options.report, &options.workbook})
    if (!out->empty() && RefuseToReplace(io.files, *out, options.force, "analyse", io.err)) return kExitFailures;

  AnalysisSession session(io.files, DefaultReaderTable(), options.year ? io.clock.withYear(*options.year) : io.clock);
  session.options() = options.read;
  session.archives().setLimits(options.limits);

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
  {
    // More than one job: the files are read ahead on threads, the pass takes the
    // results in list order.
    std::unique_ptr<ReadAhead> ahead;
    if (options.jobs > 1) ahead = std::make_unique<ReadAhead>(session, options.jobs);
    CliObserver observer(session, io.err, io.errIsTerminal, ahead.get());
    summary = session.RunAnalysis(false, observer);
    interrupted = observer.interrupted();
  }

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
  const std::tm now = io.clock.now();
  const std::optional<ListTotals> totals = summary.ran ? std::optional(summary.totals) : std::nullopt;
  if (!options.report.empty()) {
    Status saved = WriteReportFile(io.files, options.report, session.list(), now);
    if (!saved) {
      io.err << "vellmark-cli analyse: cannot save " << EscapeForLine(options.report) << ": " << saved.error().reason
             << "\n";
      status = kExitFailures;
    }
  }
  if (!options.workbook.empty() && !ExportWorkbook(io, options.workbook, session.list(), totals)) status = kExitFailures;
  // Only the table and JSON carry the findings: the other formats are fixed layouts.
  std::optional<Continuity> continuity;
  if (options.continuity && (options.format == ListFormat::Table || options.format == ListFormat::Json))
    continuity = FindContinuity(session.list().entries(), options.lanes);
  PrintList({session, totals, summary.ran ? ClosingMessage(summary) : "", now, continuity ? &*continuity : nullptr,
             options.lanes.gapMinutes},
            options.format, io.out);
  return status;
}

}  // namespace vellmark::cli
