#include "core/analysis_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/switch_family.h"
#include "core/texts.h"
#include "testdata/bytes.h"
#include "testdata/recording_services.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::RecordingServices;
using testdata::TempDir;

const std::string kWaiting(kWaitingStatus);
const std::string kInvalid(kInvalidStatus);

AnalyserEntry Entry(const std::string& path, const std::string& family, const std::string& start = kWaiting,
                    const std::string& end = kWaiting, const std::string& records = "0") {
  AnalyserEntry e;
  e.path = path;
  e.family = family;
  e.start = start;
  e.end = end;
  e.records = records;
  e.size = "0 KB";
  return e;
}

// A reader that returns a fixed text and counts its calls.
struct FixedReader {
  std::string result;
  int* calls;
  ReaderResult operator()(const std::string&, ReaderContext&) const {
    ++*calls;
    return result;
  }
};

class SessionTest : public ::testing::Test {
 protected:
  RecordingServices services;
  int calls = 0;
  AnalysisSession session{services, RealFileSystem(),
                          ReaderTable{{"OCB", FixedReader{"2004-05-12   09:30:05,2004-05-12   10:00:00,42", &calls}}}};

  std::vector<std::string> column(int c) {
    std::vector<std::string> texts;
    for (const auto& e : session.list().entries()) texts.push_back(e.column(c));
    return texts;
  }
  const std::string& lastMessage() { return services.messages.back().text; }
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
  EXPECT_EQ(e.records, "0");
  EXPECT_EQ(e.size, "2 KB");
  EXPECT_FALSE(session.resultsShown());

  session.setResultsShown(true);
  EXPECT_FALSE(session.AddFile(dir.path()));  // a folder is silently not added
  EXPECT_EQ(session.list().size(), 1u);
  EXPECT_FALSE(session.resultsShown());
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(SessionTest, OfferRefusesListedPathsInOneMessage) {
  TempDir dir;
  std::vector<std::string> paths;
  for (const char* name : {"a", "b", "c"}) paths.push_back(dir.write(name, Bytes(100, 'x')));
  session.OfferFiles(paths);
  ASSERT_EQ(session.list().size(), 3u);
  session.setPanel(2, "7");

  std::string upper = dir.write("A", Bytes(100, 'x'));
  auto outcomes = session.OfferFiles({paths[2], upper, paths[0], paths[1]});
  EXPECT_EQ(outcomes, (std::vector<OfferOutcome>{OfferOutcome::Refused, OfferOutcome::Added, OfferOutcome::Refused,
                                                 OfferOutcome::Refused}));
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(lastMessage(), "The Following files Already Exists \n\n" + paths[2] + "\n" + paths[0] + "\n" + paths[1]);
  EXPECT_EQ(services.messages.back().icon, MessageIcon::Information);
  EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(session.panel(2), "");  // panels 2 to 5 cleared after the batch
}

TEST_F(SessionTest, RemoveRenumbersAndClearKeepsTotals) {
  for (const char* p : {"p1", "p2", "p3", "p4", "p5"}) session.list().append(Entry(p, "OCB"));
  session.list().renumber();
  session.setResultsShown(true);
  session.setPanel(2, "5");
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
  EXPECT_EQ(session.panel(2), "5");

  session.list().append(Entry("q", "OCB"));
  session.setResultsShown(true);
  session.ClearEntries();
  EXPECT_TRUE(session.list().empty());
  EXPECT_FALSE(session.resultsShown());
  EXPECT_EQ(session.panel(2), "5");
}

TEST_F(SessionTest, AnalyseOnAnEmptyListOnlyClearsThePanels) {
  session.setPanel(3, "1 MB");
  session.RunAnalysis(false);
  EXPECT_EQ(session.panel(3), "");
  EXPECT_TRUE(services.messages.empty());
  EXPECT_FALSE(session.analysing());
}

TEST_F(SessionTest, AnalyseReadsWaitingEntriesAndReAnalyseReadsAll) {
  session.list().append(Entry("/no/such/a", "OCB"));
  session.list().append(Entry("/no/such/b", "OCB", "2001-01-01   00:00:00", "2001-01-01   00:00:01", "7"));
  session.list().append(Entry("/no/such/c", "Unknown", kWaiting, kWaiting, "3"));
  session.list().append(Entry("/no/such/d", "CDOT42"));
  session.RunAnalysis(false);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(column(3), (std::vector<std::string>{"2004-05-12   09:30:05", "2001-01-01   00:00:00", kInvalid, kInvalid}));
  EXPECT_EQ(column(4), (std::vector<std::string>{"2004-05-12   10:00:00", "2001-01-01   00:00:01", kInvalid, kInvalid}));
  EXPECT_EQ(column(5), (std::vector<std::string>{"42", "7", "3", "0"}));  // records kept
  // "Unknown" is left out of the totals, "CDOT42" counted; missing files add no bytes.
  EXPECT_EQ(session.panel(2), "3");
  EXPECT_EQ(session.panel(3), "0 MB");
  EXPECT_EQ(session.panel(4), "49");
  EXPECT_EQ(session.panel(5), "");
  EXPECT_TRUE(session.resultsShown());
  EXPECT_EQ(lastMessage(), "Data File Analysis Over");
  EXPECT_EQ(services.messages.back().icon, MessageIcon::Information);

  session.RunAnalysis(false);  // nothing waits: no reader call, same totals, same message
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(session.panel(4), "49");
  EXPECT_EQ(services.messages.size(), 2u);

  session.RunAnalysis(true);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(column(5), (std::vector<std::string>{"42", "42", "3", "0"}));
  EXPECT_TRUE(session.list().at(1).duplicate);
  EXPECT_EQ(lastMessage(), "Duplicates Identified. Data File Analysis Over");
}

TEST_F(SessionTest, PanelFiveNamesTheFileBeingRead) {
  session.list().append(Entry("/x/y.dat", "OCB"));
  session.RunAnalysis(false);
  auto it = std::find(services.panelChanges.begin(), services.panelChanges.end(),
                      std::pair<int, std::string>{5, "Analysing /x/y.dat"});
  EXPECT_NE(it, services.panelChanges.end());
}

TEST_F(SessionTest, TotalsOfUnknownOnlyListAndLargeFiles) {
  session.list().append(Entry("/no/such", "Unknown"));
  session.RunAnalysis(false);
  EXPECT_EQ(session.panel(2), "0");
  EXPECT_EQ(session.panel(3), "0 MB");
  EXPECT_EQ(session.panel(4), "");
  EXPECT_FALSE(session.resultsShown());

  // Sizes past 2 GiB and records past 2^32 add up in 64 bits.
  TempDir dir;
  std::string big = dir.write("big", Bytes{});
  ASSERT_EQ(truncate(big.c_str(), 3LL << 30), 0);
  std::string small = dir.write("small", Bytes(1572864, 0));
  session.ClearEntries();
  session.list().append(Entry(big, "CDOT42", "x", "x", "4294967296"));
  session.list().append(Entry(big, "CDOT42", "y", "y", "4294967296 records"));
  session.list().append(Entry(small, "CDOT42", "z", "z", "abc"));
  session.RunAnalysis(false);
  EXPECT_EQ(session.panel(3), "6145.5 MB");
  EXPECT_EQ(session.panel(4), "8589934592");
}

TEST_F(SessionTest, ReaderResultFieldsAreCutAtEveryComma) {
  int n = 0;
  AnalysisSession s(services, RealFileSystem(),
                    ReaderTable{{"A", FixedReader{"only-start", &n}}, {"B", FixedReader{"s,e,5,extra", &n}},
                                {"C", FixedReader{"a,b,c,d", &n}}});
  s.list().append(Entry("1", "A", "old", "old", "9"));
  s.list().append(Entry("2", "B"));
  s.list().append(Entry("3", "C"));
  s.RunAnalysis(true);
  EXPECT_EQ(s.list().at(0).start, "only-start");
  EXPECT_EQ(s.list().at(0).end, "old");
  EXPECT_EQ(s.list().at(0).records, "9");
  EXPECT_EQ(s.list().at(1).records, "5");
  EXPECT_EQ(s.list().at(2).records, "c");
}

TEST_F(SessionTest, AFailingReaderMarksItsEntryAndThePassGoesOn) {
  int n = 0;
  AnalysisSession s(services, RealFileSystem(),
                    ReaderTable{{"BAD",
                                 [](const std::string&, ReaderContext& ctx) -> ReaderResult {
                                   ctx.setProgress(40);
                                   throw ReaderError(ReadFailure::Read, "Input/output error");
                                 }},
                                {"OK", FixedReader{"s,e,3", &n}}});
  s.list().append(Entry("bad", "BAD", "x", "y", "12"));
  s.list().append(Entry("good", "OK", "x", "y", "12"));
  s.RunAnalysis(true);
  const AnalyserEntry& bad = s.list().at(0);
  EXPECT_EQ(bad.start, kInvalid);
  EXPECT_EQ(bad.end, kInvalid);
  EXPECT_EQ(bad.records, "0");
  EXPECT_EQ(bad.failure, ReadFailure::Read);
  EXPECT_EQ(bad.failureReason, "Input/output error");
  EXPECT_EQ(services.progress.back(), 0);  // the bar does not stay where the reader failed
  EXPECT_EQ(s.list().at(1).records, "3");
  EXPECT_EQ(n, 1);

  s.RunAnalysis(true);  // failing again keeps the failure
  EXPECT_EQ(s.list().at(0).failure, ReadFailure::Read);

  // Even a reader that throws something unexpected fails only its own entry.
  AnalysisSession odd(services, RealFileSystem(),
                      ReaderTable{{"ODD", [](const std::string&, ReaderContext&) -> ReaderResult { throw 42; }}});
  odd.list().append(Entry("odd", "ODD"));
  odd.RunAnalysis(false);
  EXPECT_EQ(odd.list().at(0).start, kInvalid);
  EXPECT_EQ(odd.list().at(0).failure, ReadFailure::Corrupt);
  EXPECT_FALSE(odd.analysing());
}

// Readers that press Stop themselves, as a window event would during the read.
TEST_F(SessionTest, StopDuringANonPollingReaderEndsThePassAfterTheFile) {
  AnalysisSession* self = nullptr;
  AnalysisSession s(services, RealFileSystem(),
                    ReaderTable{{"OCB", [&](const std::string&, ReaderContext&) -> ReaderResult {
                                   self->RequestStop();
                                   return "s,e,1";
                                 }}});
  self = &s;
  s.list().append(Entry("1", "OCB"));
  s.list().append(Entry("2", "OCB"));
  s.RunAnalysis(false);
  EXPECT_TRUE(services.questions.empty());
  EXPECT_EQ(s.list().at(0).records, "1");
  EXPECT_EQ(s.list().at(1).start, kWaiting);
  EXPECT_FALSE(s.stopRequested());
  EXPECT_EQ(s.panel(2), "2");
  EXPECT_EQ(services.messages.back().text, "Data File Analysis Over");
}

ReaderResult PollingReader(const std::string&, ReaderContext& ctx) {
  for (int step = 1; step <= 10; ++step) {
    ctx.setProgress(step * 10);
    if (ctx.pollStop()) {
      ctx.setProgress(0);
      return StopResult();
    }
  }
  ctx.setProgress(0);
  return "s,e,10";
}

TEST_F(SessionTest, StopDuringAPollingReaderAsksAndHonoursTheAnswer) {
  AnalysisSession s(services, RealFileSystem(), ReaderTable{{"EWSD", PollingReader}});
  int yieldsBeforeStop = 3;
  services.onYield = [&] {
    if (--yieldsBeforeStop == 0) s.RequestStop();
  };
  s.list().append(Entry("1", "EWSD"));
  s.list().append(Entry("2", "EWSD"));
  s.list().append(Entry("3", "EWSD"));

  services.answers = {Answer::No};
  s.RunAnalysis(false);
  EXPECT_EQ(services.questions, std::vector<std::string>{"Do you want to Stop the Analyser"});
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(s.list().at(i).records, "10");

  yieldsBeforeStop = 3;
  services.answers = {Answer::Yes};
  s.RunAnalysis(true);
  EXPECT_EQ(s.list().at(0).start, kWaiting);
  EXPECT_EQ(s.list().at(0).end, kWaiting);
  EXPECT_EQ(s.list().at(0).records, "0");
  EXPECT_EQ(s.list().at(1).records, "10");  // not read: keeps its texts
  EXPECT_FALSE(s.stopRequested());
  EXPECT_FALSE(s.analysing());

  // The next Analyse starts again with the stopped entry.
  services.onYield = nullptr;
  s.RunAnalysis(false);
  EXPECT_EQ(s.list().at(0).records, "10");
}

TEST_F(SessionTest, StopOutsideAPassDoesNothing) {
  session.RequestStop();
  EXPECT_FALSE(session.stopRequested());
}

TEST_F(SessionTest, DuplicatesMarkOnlyTheLaterEntryAndStay) {
  session.list().append(Entry("1", "X", "a", "b", "5"));
  session.list().append(Entry("2", "X", "a", "b", "6"));
  session.list().append(Entry("3", "X", "a", "b", "5"));
  session.list().append(Entry("4", "X", "a", "c", "5"));
  session.list().append(Entry("5", "X", "a", "b", "5"));
  session.RunAnalysis(false);  // all invalid now ("Invalid  File", "Invalid  File")
  std::vector<bool> marks;
  for (const auto& e : session.list().entries()) marks.push_back(e.duplicate);
  // Invalid entries with the same record text count as duplicates too.
  EXPECT_EQ(marks, (std::vector<bool>{false, false, true, false, true}));
  EXPECT_TRUE(session.duplicatesFound());
  EXPECT_EQ(lastMessage(), "Duplicates Identified. Data File Analysis Over");

  // Two entries still waiting are duplicates of each other.
  AnalysisSession s(services, RealFileSystem(), ReaderTable{});
  s.list().append(Entry("1", "OCB"));
  s.list().append(Entry("2", "OCB"));
  s.MarkDuplicates();
  EXPECT_FALSE(s.list().at(0).duplicate);
  EXPECT_TRUE(s.list().at(1).duplicate);
  s.list().update(1, [](AnalyserEntry& e) { e.records = "1"; });
  s.MarkDuplicates();
  EXPECT_TRUE(s.list().at(1).duplicate);  // marks set earlier stay
}

TEST_F(SessionTest, CommandsDuringAPassAreIgnored) {
  AnalysisSession* self = nullptr;
  std::vector<OfferOutcome> offered;
  AnalysisSession s(services, RealFileSystem(),
                    ReaderTable{{"OCB", [&](const std::string&, ReaderContext&) -> ReaderResult {
                                   self->list().setSelected(0, true);
                                   self->RemoveSelectedEntries();
                                   self->ClearEntries();
                                   offered = self->OfferFiles({"/etc/hostname"});
                                   self->RunAnalysis(true);
                                   EXPECT_TRUE(self->analysing());
                                   return "s,e,1";
                                 }}});
  self = &s;
  s.list().append(Entry("1", "OCB"));
  s.RunAnalysis(false);
  EXPECT_EQ(s.list().size(), 1u);
  EXPECT_EQ(offered, std::vector<OfferOutcome>{OfferOutcome::Ignored});
  EXPECT_EQ(services.messages.size(), 1u);
}

}  // namespace
}  // namespace vellmark
