// The analysis session: adding and removing files, the pass over them, what it
// counts, how failures and Stop end up, and the duplicate marks.
#include "analysis/analysis_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "analysis/pass_texts.h"
#include "core/switch_family.h"
#include "core/texts.h"
#include "testdata/bytes.h"
#include "testdata/recording_observer.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::RecordingObserver;
using testdata::TempDir;

const std::string kWaiting(kWaitingStatus);
const std::string kInvalid(kInvalidStatus);

AnalyserEntry Entry(const std::string& path, const std::string& family, const std::string& start = kWaiting,
                    std::uint64_t records = 0) {
  AnalyserEntry e;
  e.path = path;
  e.family = family;
  e.start = e.end = start;
  e.records = records;
  return e;
}

// Readers by family: "OK" returns a fixed range, "BAD" fails, "THROW" throws, "POLL"
// polls for Stop ten times, "STOP" presses Stop itself, "MEDDLE" gives every other
// command while it reads.
struct Readers {
  int calls = 0;
  AnalysisSession* session = nullptr;
  std::vector<OfferOutcome> offered;
  ReaderTable table() {
    ReaderTable t;
    t.add("OK", [this](const std::string&, ReaderContext&) -> ReaderOutcome {
      ++calls;
      return CallRange{"2004-05-12   09:30:05", "2004-05-12,10:00:00", 42};
    });
    t.add("BAD", [](const std::string&, ReaderContext& ctx) -> ReaderOutcome {
      ctx.setProgress(40);
      return ReadFailure{FailureKind::Read, "Input/output error", 4096};
    });
    t.add("THROW", [](const std::string& path, ReaderContext&) -> ReaderOutcome {
      if (path == "oom") throw std::bad_alloc();
      throw 42;
    });
    t.add("POLL", [](const std::string&, ReaderContext& ctx) -> ReaderOutcome {
      for (int step = 1; step <= 10; ++step) {
        ctx.setProgress(step * 10);
        if (ctx.pollStop()) return Stopped{};
      }
      return CallRange{"s", "e", 10};
    });
    t.add("STOP", [this](const std::string&, ReaderContext&) -> ReaderOutcome {
      session->RequestStop();
      return CallRange{"s", "e", 1};
    });
    t.add("MEDDLE", [this](const std::string&, ReaderContext&) -> ReaderOutcome {
      session->list().setSelected(0, true);
      session->RemoveSelectedEntries();
      session->ClearEntries();
      session->LoadEntries({});
      offered = session->OfferFiles({"/etc/hostname"});
      RecordingObserver inner;
      EXPECT_FALSE(session->RunAnalysis(true, inner).ran);
      return CallRange{"s", "e", 1};
    });
    return t;
  }
};

struct Session : ::testing::Test {
  Readers readers;
  AnalysisSession session{RealFileSystem(), readers.table()};
  RecordingObserver observer;
  void SetUp() override { readers.session = &session; }
  PassSummary analyse(bool all = false) { return session.RunAnalysis(all, observer); }
  std::vector<std::string> column(int c) {
    std::vector<std::string> texts;
    for (const auto& e : session.list().entries()) texts.push_back(e.column(c));
    return texts;
  }
};

TEST_F(Session, AddingProbesRefusesListedPathsAndRenumbers) {
  TempDir dir;
  Bytes ewsd(1536, 0);
  ewsd[0] = 0x84;
  const std::string a = dir.write("a.ama", ewsd), b = dir.write("b", std::string(64, 'z')), upper = dir.write("A.ama", ewsd);
  session.setResultsShown(true);
  std::vector<std::string> offered{a, b, dir.path(), a, upper, dir.file("missing")};
  auto outcomes = session.OfferFiles(offered);
  EXPECT_EQ(outcomes, (std::vector<OfferOutcome>{OfferOutcome::Added, OfferOutcome::Added, OfferOutcome::NotReadable,
                                                 OfferOutcome::Refused, OfferOutcome::Added, OfferOutcome::NotReadable}));
  EXPECT_EQ(RefusedFilesMessage(offered, outcomes), "The Following files Already Exists \n\n" + a);
  EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "3"}));
  const AnalyserEntry& e = session.list().at(0);
  EXPECT_EQ((std::vector<std::string>{e.family, e.start, e.end, e.recordsText(), e.sizeText()}),
            (std::vector<std::string>{"EWSD", kWaiting, kWaiting, "0", "2 KB"}));
  EXPECT_EQ(e.icon, kFamilyEwsd);
  EXPECT_EQ(session.list().at(1).family, "Unknown");
  EXPECT_FALSE(session.resultsShown());
  // Probed several at a time ahead of adding, the same paths make the same rows.
  AnalysisSession ahead{RealFileSystem(), readers.table()};
  std::vector<Offer> offers = ahead.OfferEntries(offered, 4);
  ASSERT_EQ(offers.size(), offered.size());
  for (std::size_t i = 0; i < offers.size(); ++i) EXPECT_EQ(offers[i].outcome, outcomes[i]) << i;
  for (std::size_t row = 0; row < 3; ++row)
    for (int c = 0; c < 7; ++c) EXPECT_EQ(ahead.list().at(row).column(c), session.list().at(row).column(c)) << row;

  for (std::size_t row : {0, 2}) session.list().setSelected(row, true);
  session.setResultsShown(true);
  session.RemoveSelectedEntries();
  EXPECT_EQ(column(0), std::vector<std::string>{b});
  EXPECT_EQ(column(1), std::vector<std::string>{"1"});
  EXPECT_TRUE(session.resultsShown());  // an entry remains
  session.ClearEntries();
  EXPECT_TRUE(session.list().empty());
  EXPECT_FALSE(session.resultsShown());
}

TEST_F(Session, APassReadsWaitingEntriesAndCountsTheTotals) {
  EXPECT_FALSE(analyse().ran);  // an empty list: nothing to say
  TempDir dir;
  const std::string big = dir.write("big", Bytes{});
  ASSERT_EQ(truncate(big.c_str(), 3LL << 30), 0);
  session.list().append(Entry(big, "OK"));
  session.list().append(Entry(dir.write("one", Bytes(1572864, 0)), "OK", "2001-01-01   00:00:00", 7));
  session.list().append(Entry("/no/such/c", "Unknown", kWaiting, 3));
  session.list().append(Entry("/no/such/d", "CDOT42"));
  PassSummary summary = analyse();
  EXPECT_EQ(readers.calls, 1);
  EXPECT_EQ(observer.started, (std::vector<std::size_t>{0, 2, 3}));
  EXPECT_EQ(column(3), (std::vector<std::string>{"2004-05-12   09:30:05", "2001-01-01   00:00:00", kInvalid, kInvalid}));
  EXPECT_EQ(column(4)[0], "2004-05-12,10:00:00");  // a comma stays in its field
  EXPECT_EQ(column(5), (std::vector<std::string>{"42", "7", "3", "0"}));  // no reader: records kept
  // "Unknown" is left out of the totals, "CDOT42" counted; missing files add no bytes.
  TotalsTexts shown = ShowTotals(summary.totals);
  EXPECT_EQ((std::vector<std::string>{shown.files, shown.size, shown.records}),
            (std::vector<std::string>{"3", "3073.5 MB", "49"}));
  EXPECT_TRUE(session.resultsShown());
  EXPECT_EQ(ClosingMessage(summary), "Data File Analysis Over");

  EXPECT_EQ(analyse().totals.records, 49u);  // nothing waits: no read, same totals
  EXPECT_EQ(readers.calls, 1);
  summary = analyse(true);
  EXPECT_EQ(readers.calls, 3);
  EXPECT_EQ(ClosingMessage(summary), "Duplicates Identified. Data File Analysis Over");
  summary.stopped = true;  // a stopped pass never reads as complete
  EXPECT_EQ(ClosingMessage(summary), "Duplicates Identified. Data File Analysis Stopped");

  session.ClearEntries();
  session.list().append(Entry("/no/such", "Unknown"));
  shown = ShowTotals(analyse().totals);
  EXPECT_EQ((std::vector<std::string>{shown.files, shown.size, shown.records}),
            (std::vector<std::string>{"0", "0 MB", ""}));
  EXPECT_FALSE(session.resultsShown());
}

TEST_F(Session, AFailedReadMarksItsEntryAndThePassGoesOn) {
  session.list().append(Entry("bad", "BAD", "x", 12));
  session.list().append(Entry("odd", "THROW"));
  session.list().append(Entry("oom", "THROW"));
  session.list().append(Entry("good", "OK"));
  analyse(true);
  const AnalyserEntry& bad = session.list().at(0);
  EXPECT_EQ((std::vector<std::string>{bad.start, bad.end, bad.recordsText()}),
            (std::vector<std::string>{kInvalid, kInvalid, "0"}));
  EXPECT_EQ(bad.failure->kind, FailureKind::Read);
  EXPECT_EQ(bad.failure->reason, "Input/output error");
  EXPECT_EQ(bad.failure->offset, 4096u);
  EXPECT_EQ(observer.progressValues, (std::vector<int>{40, 0}));  // the bar does not stay where it failed
  // Whatever a reader throws fails only its own entry, as an internal failure.
  EXPECT_EQ(session.list().at(1).failure->kind, FailureKind::Internal);
  EXPECT_EQ(session.list().at(2).failure->reason, "out of memory");
  EXPECT_EQ(session.list().at(3).recordsText(), "42");
  EXPECT_FALSE(session.analysing());

  // Read again with success, the failure is gone.
  session.list().update(0, [](AnalyserEntry& e) { e.family = "OK"; });
  analyse(true);
  EXPECT_FALSE(session.list().at(0).failure);
}

TEST_F(Session, StopEndsThePassAfterTheFileOrAtAPollingReadersQuestion) {
  for (const char* family : {"STOP", "OK", "POLL", "POLL"}) session.list().append(Entry(family, family));
  PassSummary summary = analyse();
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(observer.questions, 0);  // a reader that does not poll is not asked
  EXPECT_EQ(column(3), (std::vector<std::string>{"s", kWaiting, kWaiting, kWaiting}));
  EXPECT_FALSE(session.stopRequested());

  // Stop pressed at the third yield, inside the first polling read: No reads on, Yes
  // stops that entry, which the next Analyse starts with.
  session.list().update(0, [](AnalyserEntry& e) { e.family = "OK"; });
  int yields = 0;
  observer.onYield = [&] {
    if (++yields == 3) session.RequestStop();
  };
  observer.answers = {false};
  EXPECT_FALSE(analyse(true).stopped);
  EXPECT_EQ(observer.questions, 1);
  EXPECT_EQ(column(5), (std::vector<std::string>{"42", "42", "10", "10"}));
  yields = 0;
  observer.answers = {true};
  EXPECT_TRUE(analyse(true).stopped);
  EXPECT_EQ(column(3)[2], kWaiting);
  EXPECT_EQ(column(5)[2], "0");
  observer.onYield = nullptr;
  analyse();
  EXPECT_EQ(column(5)[2], "10");

  session.RequestStop();  // outside a pass: nothing
  EXPECT_FALSE(session.stopRequested());
}

TEST_F(Session, CommandsDuringAPassAreIgnored) {
  session.list().append(Entry("1", "MEDDLE"));
  analyse();
  EXPECT_EQ(column(3), std::vector<std::string>{"s"});
  EXPECT_EQ(readers.offered, std::vector<OfferOutcome>{OfferOutcome::Ignored});
}

// Only rows with call results take part; each duplicate names the first row it repeats;
// the marks follow the list as it is now. Equal bytes are found whatever the results.
TEST_F(Session, DuplicatesAreRowsWithTheSameCallsAndContentIdentityTheSameBytes) {
  TempDir dir;
  const Bytes cdot = testdata::CdotSamples().front().bytes;
  AnalysisSession real;  // the real readers
  std::filesystem::create_directory(dir.file("copy"));
  const std::vector<std::string> paths = {
      dir.write("KOL1140226.DAT", cdot), dir.write("copy/KOL1140226.DAT", cdot),  // same results, same bytes
      dir.write("KOL1150226.DAT", cdot),                                           // renamed: another date
      dir.write("a", std::string(64, 'z')), dir.write("b", std::string(64, 'y'))};  // Unknown, Unknown
  real.OfferFiles(paths);
  PassSummary summary = real.RunAnalysis(false, observer);
  EXPECT_TRUE(summary.duplicatesFound);
  auto marks = [&] {
    std::vector<std::string> m;
    for (const auto& e : real.list().entries())
      m.push_back((e.duplicateOf ? std::to_string(*e.duplicateOf) : "-") + "/" +
                  (e.sameContentAs ? std::to_string(*e.sameContentAs) : "-"));
    return m;
  };
  EXPECT_EQ(marks(), (std::vector<std::string>{"-/-", "1/1", "-/1", "-/-", "-/-"}));
  EXPECT_EQ(real.list().at(0).digests->xxh3_128.size(), 32u);
  EXPECT_FALSE(real.list().at(3).digests);  // "Unknown": never read

  // Removing the first row moves the marks to the rows as they are numbered now.
  real.list().setSelected(0, true);
  real.RemoveSelectedEntries();
  EXPECT_EQ(marks(), (std::vector<std::string>{"-/-", "-/1", "-/-", "-/-"}));

  // Rows whose read failed, or that a Stop left waiting, repeat nothing.
  session.list().append(Entry("bad1", "BAD"));
  session.list().append(Entry("bad2", "BAD"));
  session.list().append(Entry("w1", "STOP"));
  session.list().append(Entry("w2", "POLL"));
  session.list().append(Entry("w3", "POLL"));
  summary = analyse();
  EXPECT_FALSE(summary.duplicatesFound);
  for (const auto& e : session.list().entries()) EXPECT_FALSE(e.duplicate()) << e.path;
  // A row whose results change loses its mark at the next pass.
  session.ClearEntries();
  session.list().append(Entry("o1", "OK"));
  session.list().append(Entry("o2", "OK"));
  EXPECT_TRUE(analyse().duplicatesFound);
  EXPECT_EQ(session.list().at(1).duplicateOf, 1u);
  session.list().update(1, [](AnalyserEntry& e) { e.family = "POLL"; });
  EXPECT_FALSE(analyse(true).duplicatesFound);
  EXPECT_FALSE(session.list().at(1).duplicate());
  // Rows read back from a report carry no marks until the next pass.
  session.LoadEntries({Entry("r1", "OK", "s", 3), Entry("r2", "OK", "s", 3)});
  session.RemoveSelectedEntries();
  EXPECT_FALSE(session.list().at(1).duplicate());
}

}  // namespace
}  // namespace vellmark
