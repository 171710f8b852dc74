#include "analysis/analysis_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "analysis/pass_texts.h"
#include "core/switch_family.h"
#include "core/texts.h"
#include "testdata/bytes.h"
#include "testdata/recording_observer.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::RecordingObserver;
using testdata::TempDir;

const std::string kWaiting(kWaitingStatus);
const std::string kInvalid(kInvalidStatus);

AnalyserEntry Entry(const std::string& path, const std::string& family, const std::string& start = kWaiting,
                    const std::string& end = kWaiting, std::uint64_t records = 0) {
  AnalyserEntry e;
  e.path = path;
  e.family = family;
  e.start = start;
  e.end = end;
  e.records = records;
  e.sizeBytes = 0;
  return e;
}

// A reader that returns a fixed range and counts its calls.
struct FixedReader {
  CallRange result;
  int* calls;
  ReaderOutcome operator()(const std::string&, ReaderContext&) const {
    ++*calls;
    return result;
  }
};

ReaderTable Table(std::vector<std::pair<std::string, ReaderFunction>> rows) {
  ReaderTable table;
  for (auto& [family, read] : rows) table.add(family, read);
  return table;
}

class SessionTest : public ::testing::Test {
 protected:
  RecordingObserver observer;
  int calls = 0;
  AnalysisSession session{RealFileSystem(),
                          Table({{"OCB", FixedReader{{"2004-05-12   09:30:05", "2004-05-12   10:00:00", 42}, &calls}}})};

  std::vector<std::string> column(int c) {
    std::vector<std::string> texts;
    for (const auto& e : session.list().entries()) texts.push_back(e.column(c));
    return texts;
  }
};

TEST_F(SessionTest, AddFileProbesAndFillsTheEntry) {
  TempDir dir;
  Bytes ewsd(1536, 0);
  ewsd[0] = 0x84;
  std::string path = dir.write("a.ama", ewsd);
  session.setResultsShown(true);
  ASSERT_TRUE(session.AddFile(path));
  ASSERT_EQ(session.list().size(), 1u);
  const AnalyserEntry& e = session.list().at(0);
  EXPECT_EQ(e.path, path);
  EXPECT_EQ(e.number, "1");
  EXPECT_EQ(e.family, "EWSD");
  EXPECT_EQ(e.icon, kFamilyEwsd);
  EXPECT_EQ(e.start, kWaiting);
  EXPECT_EQ(e.end, kWaiting);
  EXPECT_EQ(e.recordsText(), "0");
  EXPECT_EQ(e.sizeText(), "2 KB");
  EXPECT_FALSE(session.resultsShown());

  session.setResultsShown(true);
  EXPECT_FALSE(session.AddFile(dir.path()));  // a folder is silently not added
  EXPECT_EQ(session.list().size(), 1u);
  EXPECT_FALSE(session.resultsShown());
}

TEST_F(SessionTest, OfferRefusesListedPathsInOneMessage) {
  TempDir dir;
  std::vector<std::string> paths;
  for (const char* name : {"a", "b", "c"}) paths.push_back(dir.write(name, Bytes(100, 'x')));
  session.OfferFiles(paths);
  ASSERT_EQ(session.list().size(), 3u);

  std::string upper = dir.write("A", Bytes(100, 'x'));
  std::vector<std::string> again{paths[2], upper, paths[0], paths[1]};
  auto outcomes = session.OfferFiles(again);
  EXPECT_EQ(outcomes, (std::vector<OfferOutcome>{OfferOutcome::Refused, OfferOutcome::Added, OfferOutcome::Refused,
                                                 OfferOutcome::Refused}));
  EXPECT_EQ(RefusedFilesMessage(again, outcomes),
            "The Following files Already Exists \n\n" + paths[2] + "\n" + paths[0] + "\n" + paths[1]);
  EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST_F(SessionTest, RemoveRenumbersAndClearEmpties) {
  for (const char* p : {"p1", "p2", "p3", "p4", "p5"}) session.list().append(Entry(p, "OCB"));
  session.list().renumber();
  session.setResultsShown(true);
  session.list().setSelected(1, true);
  session.list().setSelected(3, true);
  session.RemoveSelectedEntries();
  EXPECT_EQ(column(0), (std::vector<std::string>{"p1", "p3", "p5"}));
  EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_TRUE(session.resultsShown());  // some entries remain

  session.RemoveSelectedEntries();  // nothing selected: nothing happens
  EXPECT_EQ(session.list().size(), 3u);

  for (std::size_t i = 0; i < 3; ++i) session.list().setSelected(i, true);
  session.RemoveSelectedEntries();
  EXPECT_TRUE(session.list().empty());
  EXPECT_FALSE(session.resultsShown());

  session.list().append(Entry("q", "OCB"));
  session.setResultsShown(true);
  session.ClearEntries();
  EXPECT_TRUE(session.list().empty());
  EXPECT_FALSE(session.resultsShown());
}

TEST_F(SessionTest, AnalyseOnAnEmptyListDoesNothing) {
  PassSummary summary = session.RunAnalysis(false, observer);
  EXPECT_FALSE(summary.ran);
  EXPECT_FALSE(session.analysing());
}

TEST_F(SessionTest, AnalyseReadsWaitingEntriesAndReAnalyseReadsAll) {
  session.list().append(Entry("/no/such/a", "OCB"));
  session.list().append(Entry("/no/such/b", "OCB", "2001-01-01   00:00:00", "2001-01-01   00:00:01", 7));
  session.list().append(Entry("/no/such/c", "Unknown", kWaiting, kWaiting, 3));
  session.list().append(Entry("/no/such/d", "CDOT42"));
  PassSummary summary = session.RunAnalysis(false, observer);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(observer.started, (std::vector<std::size_t>{0, 2, 3}));
  EXPECT_EQ(column(3), (std::vector<std::string>{"2004-05-12   09:30:05", "2001-01-01   00:00:00", kInvalid, kInvalid}));
  EXPECT_EQ(column(4), (std::vector<std::string>{"2004-05-12   10:00:00", "2001-01-01   00:00:01", kInvalid, kInvalid}));
  EXPECT_EQ(column(5), (std::vector<std::string>{"42", "7", "3", "0"}));  // records kept
  // "Unknown" is left out of the totals, "CDOT42" counted; missing files add no bytes.
  TotalsTexts shown = ShowTotals(summary.totals);
  EXPECT_EQ(shown.files, "3");
  EXPECT_EQ(shown.size, "0 MB");
  EXPECT_EQ(shown.records, "49");
  EXPECT_TRUE(session.resultsShown());
  EXPECT_EQ(ClosingMessage(summary), "Data File Analysis Over");

  summary = session.RunAnalysis(false, observer);  // nothing waits: no reader call, same totals
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(summary.totals.records, 49u);

  summary = session.RunAnalysis(true, observer);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(column(5), (std::vector<std::string>{"42", "42", "3", "0"}));
  EXPECT_TRUE(session.list().at(1).duplicate);
  EXPECT_EQ(ClosingMessage(summary), "Duplicates Identified. Data File Analysis Over");
}

TEST_F(SessionTest, TotalsOfUnknownOnlyListAndLargeFiles) {
  session.list().append(Entry("/no/such", "Unknown"));
  TotalsTexts shown = ShowTotals(session.RunAnalysis(false, observer).totals);
  EXPECT_EQ(shown.files, "0");
  EXPECT_EQ(shown.size, "0 MB");
  EXPECT_EQ(shown.records, "");
  EXPECT_FALSE(session.resultsShown());

  // Sizes past 2 GiB and records past 2^32 add up in 64 bits.
  TempDir dir;
  std::string big = dir.write("big", Bytes{});
  ASSERT_EQ(truncate(big.c_str(), 3LL << 30), 0);
  std::string small = dir.write("small", Bytes(1572864, 0));
  session.ClearEntries();
  session.list().append(Entry(big, "CDOT42", "x", "x", 4294967296));
  session.list().append(Entry(big, "CDOT42", "y", "y", 4294967296));
  session.list().append(Entry(small, "CDOT42", "z", "z", 0));
  shown = ShowTotals(session.RunAnalysis(false, observer).totals);
  EXPECT_EQ(shown.size, "6145.5 MB");
  EXPECT_EQ(shown.records, "8589934592");
}

TEST_F(SessionTest, ACommaInAResultStaysInItsField) {
  int n = 0;
  AnalysisSession s(RealFileSystem(), Table({{"A", FixedReader{{"2026-2,14", "x,y", 64}, &n}}}));
  s.list().append(Entry("1", "A"));
  s.RunAnalysis(false, observer);
  EXPECT_EQ(s.list().at(0).start, "2026-2,14");
  EXPECT_EQ(s.list().at(0).end, "x,y");
  EXPECT_EQ(s.list().at(0).records, 64u);
}

TEST_F(SessionTest, AFailingReaderMarksItsEntryAndThePassGoesOn) {
  int n = 0;
  AnalysisSession s(RealFileSystem(),
                    Table({{"BAD",
                            [](const std::string&, ReaderContext& ctx) -> ReaderOutcome {
                              ctx.setProgress(40);
                              return ReadFailure{FailureKind::Read, "Input/output error", 4096};
                            }},
                           {"OK", FixedReader{{"s", "e", 3}, &n}}}));
  s.list().append(Entry("bad", "BAD", "x", "y", 12));
  s.list().append(Entry("good", "OK", "x", "y", 12));
  s.RunAnalysis(true, observer);
  const AnalyserEntry& bad = s.list().at(0);
  EXPECT_EQ(bad.start, kInvalid);
  EXPECT_EQ(bad.end, kInvalid);
  EXPECT_EQ(bad.records, 0u);
  ASSERT_TRUE(bad.failure);
  EXPECT_EQ(bad.failure->kind, FailureKind::Read);
  EXPECT_EQ(bad.failure->reason, "Input/output error");
  EXPECT_EQ(bad.failure->offset, 4096u);
  EXPECT_EQ(observer.progressValues.back(), 0);  // the bar does not stay where the reader failed
  EXPECT_EQ(s.list().at(1).records, 3u);
  EXPECT_EQ(n, 1);

  s.RunAnalysis(true, observer);  // failing again keeps the failure
  EXPECT_EQ(s.list().at(0).failure->kind, FailureKind::Read);

  // A reader that throws fails only its own entry, as an internal failure.
  AnalysisSession odd(RealFileSystem(),
                      Table({{"ODD", [](const std::string&, ReaderContext&) -> ReaderOutcome { throw 42; }},
                             {"OOM", [](const std::string&, ReaderContext&) -> ReaderOutcome {
                                throw std::bad_alloc();
                              }}}));
  odd.list().append(Entry("odd", "ODD"));
  odd.list().append(Entry("oom", "OOM"));
  odd.RunAnalysis(false, observer);
  EXPECT_EQ(odd.list().at(0).start, kInvalid);
  EXPECT_EQ(odd.list().at(0).failure->kind, FailureKind::Internal);
  EXPECT_EQ(odd.list().at(1).failure->reason, "out of memory");
  EXPECT_FALSE(odd.analysing());
}

// Readers that press Stop themselves, as a window event would during the read.
TEST_F(SessionTest, StopDuringANonPollingReaderEndsThePassAfterTheFile) {
  AnalysisSession* self = nullptr;
  AnalysisSession s(RealFileSystem(), Table({{"OCB", [&](const std::string&, ReaderContext&) -> ReaderOutcome {
                                                self->RequestStop();
                                                return CallRange{"s", "e", 1};
                                              }}}));
  self = &s;
  s.list().append(Entry("1", "OCB"));
  s.list().append(Entry("2", "OCB"));
  PassSummary summary = s.RunAnalysis(false, observer);
  EXPECT_EQ(observer.questions, 0);
  EXPECT_EQ(s.list().at(0).records, 1u);
  EXPECT_EQ(s.list().at(1).start, kWaiting);
  EXPECT_FALSE(s.stopRequested());
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.totals.files, 2u);
}

ReaderOutcome PollingReader(const std::string&, ReaderContext& ctx) {
  for (int step = 1; step <= 10; ++step) {
    ctx.setProgress(step * 10);
    if (ctx.pollStop()) {
      ctx.setProgress(0);
      return Stopped{};
    }
  }
  ctx.setProgress(0);
  return CallRange{"s", "e", 10};
}

TEST_F(SessionTest, StopDuringAPollingReaderAsksAndHonoursTheAnswer) {
  AnalysisSession s(RealFileSystem(), Table({{"EWSD", PollingReader}}));
  int yieldsBeforeStop = 3;
  observer.onYield = [&] {
    if (--yieldsBeforeStop == 0) s.RequestStop();
  };
  s.list().append(Entry("1", "EWSD"));
  s.list().append(Entry("2", "EWSD"));
  s.list().append(Entry("3", "EWSD"));

  observer.answers = {false};
  s.RunAnalysis(false, observer);
  EXPECT_EQ(observer.questions, 1);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(s.list().at(i).records, 10u);

  yieldsBeforeStop = 3;
  observer.answers = {true};
  EXPECT_TRUE(s.RunAnalysis(true, observer).stopped);
  EXPECT_EQ(s.list().at(0).start, kWaiting);
  EXPECT_EQ(s.list().at(0).end, kWaiting);
  EXPECT_EQ(s.list().at(0).records, 0u);
  EXPECT_EQ(s.list().at(1).records, 10u);  // not read: keeps its texts
  EXPECT_FALSE(s.stopRequested());
  EXPECT_FALSE(s.analysing());

  // The next Analyse starts again with the stopped entry.
  observer.onYield = nullptr;
  s.RunAnalysis(false, observer);
  EXPECT_EQ(s.list().at(0).records, 10u);
}

TEST_F(SessionTest, StopOutsideAPassDoesNothing) {
  session.RequestStop();
  EXPECT_FALSE(session.stopRequested());
}

TEST_F(SessionTest, DuplicatesMarkOnlyTheLaterEntryAndStay) {
  session.list().append(Entry("1", "X", "a", "b", 5));
  session.list().append(Entry("2", "X", "a", "b", 6));
  session.list().append(Entry("3", "X", "a", "b", 5));
  session.list().append(Entry("4", "X", "a", "c", 5));
  session.list().append(Entry("5", "X", "a", "b", 5));
  PassSummary summary = session.RunAnalysis(false, observer);  // all invalid now
  std::vector<bool> marks;
  for (const auto& e : session.list().entries()) marks.push_back(e.duplicate);
  // Invalid entries with the same record text count as duplicates too.
  EXPECT_EQ(marks, (std::vector<bool>{false, false, true, false, true}));
  EXPECT_TRUE(summary.duplicatesFound);

  // Two entries still waiting are duplicates of each other.
  AnalysisSession s(RealFileSystem(), ReaderTable{});
  s.list().append(Entry("1", "OCB"));
  s.list().append(Entry("2", "OCB"));
  EXPECT_TRUE(s.MarkDuplicates());
  EXPECT_FALSE(s.list().at(0).duplicate);
  EXPECT_TRUE(s.list().at(1).duplicate);
  s.list().update(1, [](AnalyserEntry& e) { e.records = 1; });
  s.MarkDuplicates();
  EXPECT_TRUE(s.list().at(1).duplicate);  // marks set earlier stay
}

TEST_F(SessionTest, CommandsDuringAPassAreIgnored) {
  AnalysisSession* self = nullptr;
  std::vector<OfferOutcome> offered;
  AnalysisSession s(RealFileSystem(), Table({{"OCB", [&](const std::string&, ReaderContext&) -> ReaderOutcome {
                                                self->list().setSelected(0, true);
                                                self->RemoveSelectedEntries();
                                                self->ClearEntries();
                                                offered = self->OfferFiles({"/etc/hostname"});
                                                RecordingObserver inner;
                                                EXPECT_FALSE(self->RunAnalysis(true, inner).ran);
                                                EXPECT_TRUE(self->analysing());
                                                return CallRange{"s", "e", 1};
                                              }}}));
  self = &s;
  s.list().append(Entry("1", "OCB"));
  s.RunAnalysis(false, observer);
  EXPECT_EQ(s.list().size(), 1u);
  EXPECT_EQ(offered, std::vector<OfferOutcome>{OfferOutcome::Ignored});
}

}  // namespace
}  // namespace vellmark
