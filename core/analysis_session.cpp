#include "core/analysis_session.h"

#include <string_view>
#include <tuple>
#include <unordered_set>

#include "core/switch_family.h"
#include "core/texts.h"
#include "readers/probe.h"

namespace vellmark {

namespace {

constexpr std::string_view kStopQuestion = "Do you want to Stop the Analyser";
constexpr std::string_view kRefusedMessage = "The Following files Already Exists ";
constexpr std::string_view kAnalysisOver = "Data File Analysis Over";
constexpr std::string_view kDuplicatesFound = "Duplicates Identified. ";

// The reader's result text cut at every ",".
std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (;;) {
    std::size_t comma = text.find(',', from);
    fields.push_back(text.substr(from, comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return fields;
}

}  // namespace

ReaderResult StopResult() {
  std::string waiting(kWaitingStatus);
  return waiting + "," + waiting + ",0";
}

void ThrowIoFailure(const IoError& error) {
  throw ReaderError(error.step == IoStep::Open ? ReadFailure::Open : ReadFailure::Read, error.reason);
}

AnalysisSession::AnalysisSession(WindowServices& services, FileSystem& files, ReaderTable readers, Clock clock)
    : services_(services), files_(files), readers_(std::move(readers)), clock_(std::move(clock)) {}

void AnalysisSession::setPanel(int index, const std::string& text) {
  panels_.at(index) = text;
  services_.setPanelText(index, text);
}

void AnalysisSession::ResetSB() {
  for (int i = 2; i <= 5; ++i) setPanel(i, "");
}

void AnalysisSession::setResultsShown(bool on) {
  resultsShown_ = on;
  services_.setResultsShown(on);
}

bool AnalysisSession::AddFile(const std::string& path) {
  int family = ProbeSwitchFamily(files_, path);
  bool added = false;
  if (family != kNotADataFile) {
    auto status = files_.status(path);
    AnalyserEntry entry;
    entry.path = path;
    entry.family = SwitchFamilyTable::text(family);
    entry.icon = family;
    entry.start = entry.end = std::string(kWaitingStatus);
    entry.records = "0";
    entry.size = KilobyteText(status ? status->size : 0);
    list_.append(std::move(entry));
    list_.renumber();
    added = true;
  }
  setResultsShown(false);
  return added;
}

std::vector<OfferOutcome> AnalysisSession::OfferFiles(const std::vector<std::string>& paths) {
  if (analysing_) return std::vector<OfferOutcome>(paths.size(), OfferOutcome::Ignored);
  std::vector<OfferOutcome> outcomes;
  std::string refused;
  services_.setBusy(true);
  for (const auto& path : paths) {
    if (list_.contains(path)) {
      refused += "\n" + path;
      outcomes.push_back(OfferOutcome::Refused);
    } else {
      outcomes.push_back(AddFile(path) ? OfferOutcome::Added : OfferOutcome::NotReadable);
    }
  }
  services_.setBusy(false);
  if (!refused.empty())
    services_.showMessage(std::string(kRefusedMessage) + "\n" + refused, MessageIcon::Information,
                          std::string(kApplicationTitle));
  ResetSB();
  return outcomes;
}

void AnalysisSession::RemoveSelectedEntries() {
  if (analysing_) return;
  std::size_t removed = 0;
  for (std::size_t row = list_.size(); row-- > 0;) {
    if (list_.at(row).selected) {
      list_.removeAt(row);
      ++removed;
    }
  }
  if (removed > 0) list_.renumber();
  if (list_.empty()) setResultsShown(false);
}

void AnalysisSession::ClearEntries() {
  if (analysing_) return;
  list_.clear();
  setResultsShown(false);
}

void AnalysisSession::RequestStop() {
  if (analysing_) stopRequested_ = true;
}

void AnalysisSession::RunAnalysis(bool reanalyseAll) {
  if (analysing_) return;
  ResetSB();
  if (list_.empty()) return;
  duplicatesFound_ = false;
  analysing_ = true;
  stopRequested_ = false;
  // Whatever happens, the window must not stay locked in the running state.
  struct PassEnd {
    AnalysisSession& s;
    ~PassEnd() {
      s.analysing_ = false;
      s.stopRequested_ = false;
    }
  } passEnd{*this};

  const std::size_t count = list_.size();
  for (std::size_t row = 0; row < count && row < list_.size(); ++row) {
    if (!reanalyseAll && list_.at(row).start != kWaitingStatus) continue;
    setPanel(5, "Analysing " + list_.at(row).path);
    analyseEntry(row);
    services_.yieldToEvents();
    if (stopRequested_) {
      stopRequested_ = false;
      break;
    }
  }

  formTotals();
  analysing_ = false;
  MarkDuplicates();
  std::string message(kAnalysisOver);
  if (duplicatesFound_) message = std::string(kDuplicatesFound) + message;
  services_.showMessage(message, MessageIcon::Information, std::string(kApplicationTitle));
}

void AnalysisSession::analyseEntry(std::size_t row) {
  const std::string path = list_.at(row).path;
  const ReaderFunction* read = FindReader(readers_, list_.at(row).family);
  if (!read) {
    list_.update(row, [](AnalyserEntry& e) {
      e.start = e.end = std::string(kInvalidStatus);
    });
    return;
  }

  ReaderContext::Hooks hooks;
  hooks.progress = [this](int value) { services_.setProgress(value); };
  hooks.pollStop = [this] {
    services_.yieldToEvents();
    if (!stopRequested_) return false;
    if (services_.ask(std::string(kStopQuestion)) == Answer::Yes) return true;
    stopRequested_ = false;
    return false;
  };
  hooks.message = [this](const std::string& text, const std::string& caption) {
    services_.showMessage(text, MessageIcon::Error, caption);
  };
  ReaderContext context(files_, memory_, clock_, std::move(hooks));

  ReaderResult result;
  ReadFailure failure = ReadFailure::None;
  std::string reason;
  services_.runReader([&] {
    try {
      result = (*read)(path, context);
    } catch (const ReaderError& e) {
      failure = e.kind();
      reason = e.what();
    } catch (const std::exception& e) {
      failure = ReadFailure::Corrupt;
      reason = e.what();
    } catch (...) {
      failure = ReadFailure::Corrupt;
      reason = "unexpected failure while reading";
    }
    if (failure != ReadFailure::None) context.setProgress(0);
  });

  if (failure != ReadFailure::None) {
    list_.update(row, [&](AnalyserEntry& e) {
      e.start = e.end = std::string(kInvalidStatus);
      e.records = "0";
      e.failure = failure;
      e.failureReason = reason;
    });
    return;
  }
  std::vector<std::string> fields = SplitFields(result);
  list_.update(row, [&](AnalyserEntry& e) {
    if (fields.size() > 1) e.end = fields[1];
    e.start = fields[0];
    if (fields.size() > 2) e.records = fields[2];
    e.failure = ReadFailure::None;
    e.failureReason.clear();
  });
}

void AnalysisSession::formTotals() {
  std::uint64_t files = 0, records = 0, bytes = 0;
  for (const auto& e : list_.entries()) {
    if (e.family == "Unknown") continue;
    ++files;
    std::uint64_t n = LeadingNumber(e.records);
    records = records + n < records ? UINT64_MAX : records + n;
    auto status = files_.status(e.path);
    if (status && status->exists && status->regular) bytes += status->size;
  }
  setPanel(5, "");
  setPanel(2, std::to_string(files));
  setPanel(3, MegabyteText(bytes));
  setPanel(4, files > 0 ? std::to_string(records) : "");
  setResultsShown(records > 0);
}

void AnalysisSession::MarkDuplicates() {
  if (list_.size() <= 1) return;
  // An entry is a duplicate when an earlier one has the same records, end and start.
  struct KeyHash {
    std::size_t operator()(const std::tuple<std::string, std::string, std::string>& k) const {
      std::hash<std::string> h;
      return h(std::get<0>(k)) ^ (h(std::get<1>(k)) * 31) ^ (h(std::get<2>(k)) * 131);
    }
  };
  std::unordered_set<std::tuple<std::string, std::string, std::string>, KeyHash> seen;
  bool marked = false;
  for (std::size_t row = 0; row < list_.size(); ++row) {
    const AnalyserEntry& e = list_.at(row);
    if (!seen.emplace(e.records, e.end, e.start).second) {
      duplicatesFound_ = true;
      marked = true;
      if (!e.duplicate) list_.update(row, [](AnalyserEntry& entry) { entry.duplicate = true; });
    }
  }
  if (marked) services_.redrawList();
}

}  // namespace vellmark
