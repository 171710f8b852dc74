// Continuity per exchange: lanes, gaps, overlaps, missing numbers and the rows left
// out, on files read by the real readers and on entries set up by hand; and the
// naming rules the lanes come from.
#include "analysis/continuity.h"

#include <gtest/gtest.h>

#include "analysis/analysis_session.h"
#include "support/memory_file_system.h"
#include "testdata/exchanges.h"
#include "testdata/recording_observer.h"

namespace vellmark {
namespace {

std::string Text(const Continuity& c) {
  std::string t;
  for (const Lane& l : c.lanes) {
    t += l.family + " " + l.exchange + ":";
    for (std::size_t r : l.rows) t += " " + std::to_string(r);
    t += "\n";
  }
  auto lane = [&c](std::size_t i) { return c.lanes[i].exchange; };
  for (const LaneSpan& g : c.gaps)
    t += "gap " + lane(g.lane) + " " + std::to_string(g.after) + "-" + std::to_string(g.before) + " " +
         std::to_string(g.minutes) + "\n";
  for (const LaneSpan& o : c.overlaps)
    t += "overlap " + lane(o.lane) + " " + std::to_string(o.after) + "-" + std::to_string(o.before) + " " +
         std::to_string(o.minutes) + "\n";
  for (const MissingNumbers& m : c.missing)
    t += "missing " + lane(m.lane) + " " + std::to_string(m.from) + "-" + std::to_string(m.to) + "\n";
  t += "left out:";
  for (std::size_t r : c.leftOut) t += " " + std::to_string(r);
  return t;
}

TEST(Continuity, FilesOfSeveralExchangesGiveExactlyTheirGapOverlapAndMissingNumbers) {
  MemoryFileSystem files;
  AnalysisSession session(files, DefaultReaderTable(), Clock().withYear(2026));
  for (const auto& file : testdata::ExchangeFiles()) {
    files.put("/cdr/" + file.name, file.bytes);
    ASSERT_TRUE(session.AddFile("/cdr/" + file.name));
  }
  const std::string notes = "Exchange maintenance notes: nothing here is a call record.\n";
  files.put("/cdr/notes.txt", std::vector<std::uint8_t>(notes.begin(), notes.end()));
  ASSERT_TRUE(session.AddFile("/cdr/notes.txt"));
  testdata::RecordingObserver observer;
  session.RunAnalysis(false, observer);

  EXPECT_EQ(Text(FindContinuity(session.list().entries())),
            "AXE BOMFILE: 6 7\nE10B DEL1: 1 2 3\nE10B DEL2: 4\n"
            "gap DEL1 1-2 121\noverlap BOMFILE 6-7 29\nmissing DEL1 3-4\nleft out: 5");
}

AnalyserEntry Placed(const std::string& path, const std::string& start, const std::string& end,
                     const std::string& family = "E10B") {
  AnalyserEntry e;
  e.path = path;
  e.family = family;
  e.start = start;
  e.end = end;
  e.records = 10;
  return e;
}

TEST(Continuity, GapsRunFromTheLatestEndSoFarAndMustBeLongerThanTheThreshold) {
  const std::vector<AnalyserEntry> entries = {
      Placed("E10B-X-1.TKT", "2026-02-14   08:00:00", "2026-02-14   12:00:00"),
      Placed("E10B-X-2.TKT", "2026-02-14   09:00:00", "2026-02-14   10:00:59"),  // inside row 1
      Placed("E10B-X-3.TKT", "2026-02-14   12:20:59", "2026-02-14   13:00:00"),  // 20 minutes after row 1
      Placed("E10B-X-4.TKT", "2026-02-14   13:21:00", "2026-02-14   14:00:00"),  // 21 minutes after row 3
      Placed("E10B-X-9.TKT", "2026-02-14   14:00:00", "2026-02-14   15:00:00"),  // touches row 4
      Placed("E10B-X-7.TKT", "2026-02-14   99:00:00", "2026-02-14   15:00:00"),  // no real time
      Placed("E10B-X-8.TKT", "To be  Analysed", "To be  Analysed"),
  };
  ContinuityOptions options;
  options.gapMinutes = 20;
  EXPECT_EQ(Text(FindContinuity(entries, options)),
            "E10B X: 1 2 3 4 5\ngap X 3-4 21\noverlap X 1-2 60\nmissing X 5-6\nleft out: 6 7");
}

TEST(ExchangeRules, DefaultsUserRulesAndTheFolderFallBack) {
  struct Case {
    std::string family, path, exchange;
    std::optional<std::uint64_t> seq;
    bool fromName;
  };
  const Case cases[] = {
      {"OCB", "/cdr/OCB26045A.DAT", "OCB", std::nullopt, true},
      {"EWSD", "/cdr/AMA17042026.ama", "AMA", std::nullopt, true},
      {"5ESS", "/cdr/AMA20250318.001", "AMA", 1, true},
      {"E10B", "/cdr/E10B-KOL1-0045.TKT", "KOL1", 45, true},
      {"CDOT", "/cdr/KOL1140226.DAT", "KOL1", std::nullopt, true},
      {"CDOT", "/cdr/CD1502.DAT.gz", "CD", std::nullopt, true},
      {"AXE", "/cdr/TTFILE03.AXE", "TTFILE", 3, true},
      {"AXE", "/cdr/day.zip#MUM/TTFILE03.AXE", "TTFILE", 3, true},
      {"E10B", "/cdr/odd name.TKT", "/cdr", std::nullopt, false},
      {"E10B", "/cdr/day.zip#KOL9/x.TKT", "/cdr/day.zip#KOL9", std::nullopt, false},
      {"CDOT", "1502.DAT", ".", std::nullopt, false},  // an empty exchange is no match
      {"Unknown", "/cdr/E10B-KOL1-0045.TKT", "/cdr", std::nullopt, false},
  };
  ExchangeRules rules;
  for (const Case& c : cases) {
    AnalyserEntry e;
    e.path = c.path;
    e.family = c.family;
    ExchangeKey key = rules.keyOf(e);
    EXPECT_EQ(key.exchange, c.exchange) << c.path;
    EXPECT_EQ(key.seq, c.seq) << c.path;
    EXPECT_EQ(key.fromName, c.fromName) << c.path;
  }

  // A user's rule, with a group of its own before the named ones and brackets holding "(".
  ASSERT_EQ(rules.set("E10B", R"(^(E10B|E11)_(?<seq>[0-9]+)_(?<exchange>[^(_]+)\.)"), std::nullopt);
  AnalyserEntry e;
  e.family = "E10B";
  e.path = "/x/E11_0007_PUNE.TKT";
  EXPECT_EQ(rules.keyOf(e).exchange, "PUNE");
  EXPECT_EQ(rules.keyOf(e).seq, 7u);
  EXPECT_TRUE(rules.set("E10B", "(?<seq>\\d+)").has_value());        // no exchange group
  EXPECT_TRUE(rules.set("E10B", "(?<exchange>[a-").has_value());     // no regular expression
  EXPECT_EQ(rules.keyOf(e).exchange, "PUNE");                        // a refused rule changes nothing
  EXPECT_EQ(ExchangeRules::FamilyNamed("c-dot"), "CDOT");
  EXPECT_EQ(ExchangeRules::FamilyNamed("CDOT42"), std::nullopt);
}

}  // namespace
}  // namespace vellmark
