#include "analysis/analysis_session.h"

#include <atomic>
#include <optional>
#include <thread>
#include <unordered_map>

#include "core/archive_names.h"
#include "core/switch_family.h"
#include "core/texts.h"
#include "readers/probe.h"

namespace vellmark {

AnalysisSession::AnalysisSession(FileSystem& files, ReaderTable readers, Clock clock)
    : archives_(files), readers_(std::move(readers)), clock_(std::move(clock)) {}

namespace {

Warning WeakMatchWarning() {
  return {WarningKind::WeakMatch, "the family was found only through bytes past the end of the file", std::nullopt};
}

}  // namespace

OfferOutcome AnalysisSession::addEntry(const std::string& path) {
  if (earlier_) {
    auto now = archives_.status(path);
    std::optional<AnalyserEntry> known = now && now->exists ? earlier_(path, *now) : std::nullopt;
    if (known) {
      known->path = path;
      append(std::move(*known));
      return OfferOutcome::Added;
    }
  }
  auto ahead = probed_.find(path);
  ProbeOutcome probe = ahead != probed_.end() ? ahead->second.probe : ProbeFile(archives_, path);
  std::optional<ReadFailure> failure;
  if (probe.family == kNotADataFile) {
    // Packed bytes that cannot be unpacked: listed, with the reason, not skipped.
    if (!probe.failure || probe.failure->step == IoStep::Open || !archives_.unpacks(path))
      return OfferOutcome::NotReadable;
    probe.family = kFamilyUnknown;
    failure = FromIoError(*probe.failure);
  }
  // After the probe: a small packed file it unpacked whole shows its unpacked size.
  auto status = ahead != probed_.end() ? ahead->second.status : archives_.status(path);
  AnalyserEntry entry;
  entry.path = path;
  entry.family = SwitchFamilyTable::text(probe.family);
  entry.icon = probe.family;
  entry.start = entry.end = std::string(kWaitingStatus);
  entry.sizeBytes = status ? status->size : 0;
  if (status) entry.packedBytes = status->packedSize;
  if (status && status->exists) entry.mtimeNs = status->modified;
  entry.failure = std::move(failure);
  entry.weakMatch = probe.weak;
  if (probe.weak) entry.warnings.push_back(WeakMatchWarning());
  append(std::move(entry));
  return OfferOutcome::Added;
}

void AnalysisSession::append(AnalyserEntry entry) {
  // The rows before are numbered already: only the new one needs its number.
  entry.number = std::to_string(list_.size() + 1);
  list_.append(std::move(entry));
}

AnalysisSession::Listed AnalysisSession::listedPaths() const {
  Listed listed;
  listed.reserve(list_.size());
  for (const auto& e : list_.entries()) listed.insert(e.path);
  return listed;
}

void AnalysisSession::offer(const std::string& path, bool refuseListed, std::vector<Offer>& offers, Listed& listed) {
  if (refuseListed && listed.contains(path)) {
    offers.push_back({path, OfferOutcome::Refused});
    return;
  }
  auto add = [&](const std::string& p) {
    OfferOutcome outcome = addEntry(p);
    if (outcome == OfferOutcome::Added) listed.insert(p);
    return outcome;
  };
  ArchiveFiles::Expansion expansion = archives_.expand(path);
  if (!expansion.archive) {
    offers.push_back({path, add(path)});
    return;
  }
  for (const std::string& member : expansion.paths)
    offers.push_back({member, listed.contains(member) ? OfferOutcome::Refused : add(member)});
  if (!expansion.failure) return;
  if (expansion.failure->step == IoStep::Open) {
    offers.push_back({path, OfferOutcome::NotReadable});
  } else if (listed.contains(path)) {
    offers.push_back({path, OfferOutcome::Refused});
  } else {
    // The archive itself carries why the rest of it could not be read.
    AnalyserEntry entry;
    entry.path = path;
    entry.family = SwitchFamilyTable::text(kFamilyUnknown);
    entry.icon = kFamilyUnknown;
    entry.start = entry.end = std::string(kWaitingStatus);
    auto status = archives_.inner().status(path);
    entry.sizeBytes = status ? status->size : 0;
    entry.packedBytes = entry.sizeBytes;
    if (status && status->exists) entry.mtimeNs = status->modified;
    entry.failure = FromIoError(*expansion.failure);
    append(std::move(entry));
    listed.insert(path);
    offers.push_back({path, OfferOutcome::Added});
  }
}

bool AnalysisSession::AddFile(const std::string& path) {
  std::vector<Offer> offers;
  Listed listed = listedPaths();
  offer(path, false, offers, listed);
  resultsShown_ = false;
  for (const Offer& o : offers)
    if (o.outcome == OfferOutcome::Added) return true;
  return false;
}

std::vector<Offer> AnalysisSession::OfferEntries(const std::vector<std::string>& paths, unsigned jobs) {
  std::vector<Offer> offers;
  if (analysing_) {
    for (const auto& path : paths) offers.push_back({path, OfferOutcome::Ignored});
    return offers;
  }
  if (jobs > 1 && !earlier_) probeAhead(paths, jobs);  // a resumed list mostly reuses its results
  Listed listed = listedPaths();
  for (const auto& path : paths) {
    offer(path, true, offers, listed);
    resultsShown_ = false;
  }
  probed_.clear();
  listChanged();
  return offers;
}

void AnalysisSession::probeAhead(const std::vector<std::string>& paths, unsigned jobs) {
  // Compressed files and archives are unpacked in order as they are added.
  std::vector<const std::string*> plain;
  for (const auto& path : paths)
    if (ContainerKindOf(path) == ContainerKind::Plain) plain.push_back(&path);
  std::vector<std::optional<Probed>> found(plain.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next++) < plain.size();)
      found[i].emplace(Probed{ProbeFile(archives_, *plain[i]), archives_.status(*plain[i])});
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < jobs && t < plain.size(); ++t) threads.emplace_back(work);
  work();
  for (auto& t : threads) t.join();
  for (std::size_t i = 0; i < plain.size(); ++i) probed_.emplace(*plain[i], std::move(*found[i]));
}

void AnalysisSession::listChanged() {
  if (marksCurrent_) MarkDuplicates();
}

std::vector<OfferOutcome> AnalysisSession::OfferFiles(const std::vector<std::string>& paths) {
  if (analysing_) return std::vector<OfferOutcome>(paths.size(), OfferOutcome::Ignored);
  std::vector<OfferOutcome> outcomes;
  outcomes.reserve(paths.size());
  Listed listed = listedPaths();
  for (const auto& path : paths) {
    std::vector<Offer> offers;
    offer(path, true, offers, listed);
    resultsShown_ = false;
    OfferOutcome outcome = offers.empty() ? OfferOutcome::Ignored : OfferOutcome::NotReadable;
    for (const Offer& o : offers) {
      if (o.outcome == OfferOutcome::Added) outcome = OfferOutcome::Added;
      else if (o.outcome == OfferOutcome::Refused && outcome != OfferOutcome::Added) outcome = OfferOutcome::Refused;
    }
    outcomes.push_back(outcome);
  }
  listChanged();
  return outcomes;
}

void AnalysisSession::RemoveSelectedEntries() {
  if (analysing_) return;
  const std::size_t removed = list_.removeSelected();
  if (removed > 0) list_.renumber();
  if (list_.empty()) resultsShown_ = false;
  if (removed > 0) listChanged();
}

void AnalysisSession::ClearEntries() {
  if (analysing_) return;
  list_.clear();
  resultsShown_ = false;
}

void AnalysisSession::LoadEntries(std::vector<AnalyserEntry> entries) {
  if (analysing_) return;
  list_.assign(std::move(entries));
  if (!list_.empty()) resultsShown_ = true;
  marksCurrent_ = false;
}

void AnalysisSession::RequestStop() {
  if (analysing_) stopRequested_ = true;
}

std::vector<std::size_t> AnalysisSession::RowsToRead(bool reanalyseAll) const {
  std::vector<std::size_t> rows;
  for (std::size_t row = 0; row < list_.size(); ++row)
    if (reanalyseAll || list_.at(row).start == kWaitingStatus) rows.push_back(row);
  return rows;
}

PassSummary AnalysisSession::RunAnalysis(bool reanalyseAll, PassObserver& observer) {
  PassSummary summary;
  if (analysing_ || list_.empty()) return summary;
  summary.ran = true;
  analysing_ = true;
  stopRequested_ = false;
  // Whatever happens, the session must not stay locked in the running state.
  struct PassEnd {
    AnalysisSession& s;
    ~PassEnd() {
      s.analysing_ = false;
      s.stopRequested_ = false;
    }
  } passEnd{*this};

  for (std::size_t row : RowsToRead(reanalyseAll)) {
    summary.rowsRead.push_back(row);
    observer.entryStarted(row);
    analyseEntry(row, observer);
    observer.entryDone(row);
    observer.yield();
    if (stopRequested_) {
      stopRequested_ = false;
      summary.stopped = true;
      break;
    }
  }

  summary.totals = Totals();
  resultsShown_ = summary.totals.records > 0;
  analysing_ = false;
  marksCurrent_ = true;
  summary.duplicatesFound = MarkDuplicates();
  return summary;
}

void AnalysisSession::analyseEntry(std::size_t row, PassObserver& observer) {
  const std::string path = list_.at(row).path;
  std::optional<ReadCall> read = readers_.prepare(list_.at(row).family, path, archives_);
  if (!read) {
    list_.update(row, [](AnalyserEntry& e) { e.start = e.end = std::string(kInvalidStatus); });
    return;
  }

  ReaderContext::Hooks hooks;
  hooks.progress = [&observer](int value) { observer.progress(value); };
  hooks.pollStop = [this, &observer] {
    observer.yield();
    if (!stopRequested_) return false;
    if (observer.confirmStop()) return true;
    stopRequested_ = false;
    return false;
  };
  hooks.message = [&observer](const std::string& text, const std::string& caption) {
    observer.readerMessage(text, caption);
  };
  ReaderContext context(archives_, clock_, std::move(hooks), options_);
  ReaderOutcome outcome = observer.runRead(row, *read, context);
  // A compressed file shows its size on disk until a read has unpacked all of it.
  std::optional<std::uint64_t> unpacked;
  if (list_.at(row).packedBytes) {
    auto status = archives_.status(path);
    if (status && status->exists) unpacked = status->size;
  }

  list_.update(row, [&](AnalyserEntry& e) {
    e.failure.reset();
    e.writtenRecords.reset();
    e.digests.reset();
    e.verifiedRecords.reset();
    e.callsPerHour.reset();
    e.warnings.clear();
    if (e.weakMatch) e.warnings.push_back(WeakMatchWarning());
    if (unpacked) e.sizeBytes = unpacked;
    if (auto* range = std::get_if<CallRange>(&outcome)) {
      e.start = range->start;
      e.end = range->end;
      e.records = range->records;
      e.digests = range->digests;
      e.verifiedRecords = range->verifiedRecords;
      e.callsPerHour = range->callsPerHour;
      e.warnings.insert(e.warnings.end(), range->warnings.begin(), range->warnings.end());
    } else {
      e.start = e.end = std::string(std::holds_alternative<Stopped>(outcome) ? kWaitingStatus : kInvalidStatus);
      e.records = 0;
      if (auto* failure = std::get_if<ReadFailure>(&outcome)) e.failure = *failure;
    }
  });
}

ListTotals FormTotals(const AnalyserList& list, const std::function<std::uint64_t(const AnalyserEntry&)>& bytesOf) {
  ListTotals totals;
  for (const auto& e : list.entries()) {
    if (e.family == SwitchFamilyTable::text(kFamilyUnknown)) continue;
    ++totals.files;
    totals.records = totals.records + e.records < totals.records ? UINT64_MAX : totals.records + e.records;
    totals.bytes += bytesOf(e);
  }
  return totals;
}

ListTotals AnalysisSession::Totals() {
  // The files as they are now: one gone since it was added adds nothing.
  return FormTotals(list_, [this](const AnalyserEntry& e) -> std::uint64_t {
    auto status = archives_.status(e.path);
    return status && status->exists && status->regular ? status->size : 0;
  });
}

PassSummary AnalysisSession::AdoptResults(std::vector<AnalyserEntry> entries) {
  PassSummary summary;
  if (analysing_) return summary;
  list_.assign(std::move(entries));
  list_.renumber();
  resultsShown_ = false;
  if (list_.empty()) return summary;
  summary.ran = true;
  summary.totals = FormTotals(list_, [](const AnalyserEntry& e) { return e.sizeBytes.value_or(0); });
  resultsShown_ = summary.totals.records > 0;
  marksCurrent_ = true;
  summary.duplicatesFound = MarkDuplicates();
  return summary;
}

bool AnalysisSession::MarkDuplicates() {
  // The first row with each set of results, and with each content digest.
  std::unordered_map<std::string, std::size_t> firstWithResults, firstWithContent;
  bool found = false;
  for (std::size_t row = 0; row < list_.size(); ++row) {
    const AnalyserEntry& e = list_.at(row);
    std::optional<std::size_t> duplicateOf, sameContentAs;
    if (e.hasCallResults()) {
      std::string results = e.recordsText();
      results.append(1, '\0').append(e.end).append(1, '\0').append(e.start);
      auto [at, fresh] = firstWithResults.emplace(std::move(results), row + 1);
      if (!fresh) duplicateOf = at->second;
    }
    if (e.digests) {
      auto [at, fresh] = firstWithContent.emplace(e.digests->xxh3_128, row + 1);
      if (!fresh) sameContentAs = at->second;
    }
    found = found || duplicateOf;
    if (e.duplicateOf != duplicateOf || e.sameContentAs != sameContentAs)
      list_.update(row, [&](AnalyserEntry& entry) {
        entry.duplicateOf = duplicateOf;
        entry.sameContentAs = sameContentAs;
      });
  }
  return found;
}

}  // namespace vellmark
