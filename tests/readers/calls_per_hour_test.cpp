// Calls per hour in verify mode: every reader whose records carry a time puts each
// verified call in its hour, across the views a large file is read in; C-DOT, whose
// date comes from the name, has none.
#include <gtest/gtest.h>

#include <numeric>

#include "analysis/analysis_session.h"
#include "support/memory_file_system.h"
#include "testdata/ewsd.h"
#include "testdata/recording_observer.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

TEST(CallsPerHour, EveryVerifiedCallIsCountedInItsHour) {
  MemoryFileSystem files;
  AnalysisSession session(files, DefaultReaderTable(), Clock().withYear(2026));
  session.options().verify = true;
  for (const auto& sample : testdata::AllSamples()) {
    files.put("/s/" + sample.name, sample.bytes);
    ASSERT_TRUE(session.AddFile("/s/" + sample.name));
  }
  // An EWSD file of three views and more: records cross from one view to the next.
  std::vector<testdata::Bytes> items;
  auto stamps = testdata::EwsdStamps(80000, {26, 5, 2, 0, 0, 0}, 1);
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    items.push_back(testdata::EwsdRecordBytes(testdata::EwsdCall(stamps[i])));
    if (i % 3 == 1) items.push_back(testdata::EwsdFillers(i % 7));
  }
  files.put("/s/AMA02052026.ama", testdata::EwsdFile(items));
  ASSERT_TRUE(session.AddFile("/s/AMA02052026.ama"));
  testdata::RecordingObserver observer;
  session.RunAnalysis(false, observer);

  for (const auto& e : session.list().entries()) {
    SCOPED_TRACE(e.path);
    if (e.family == "CDOT" || e.family == "Unknown") {
      EXPECT_FALSE(e.callsPerHour);
      continue;
    }
    ASSERT_TRUE(e.callsPerHour && e.verifiedRecords);
    const CallsPerHour& hours = *e.callsPerHour;
    EXPECT_EQ(std::accumulate(hours.begin(), hours.end(), std::uint64_t{0},
                              [](std::uint64_t n, const HourCount& h) { return n + h.calls; }),
              *e.verifiedRecords);
    for (std::size_t i = 1; i < hours.size(); ++i) EXPECT_LT(hours[i - 1].hour, hours[i].hour);
    // The first call's hour is among them, written as "YYYY-MM-DDTHH".
    const std::string first = e.start.substr(0, 10) + "T" + e.start.substr(13, 2);
    EXPECT_TRUE(std::any_of(hours.begin(), hours.end(), [&](const HourCount& h) { return h.hour == first; }));
  }
  const auto& big = session.list().entries().back().callsPerHour.value();
  ASSERT_EQ(big.size(), 23u);  // 80000 seconds from midnight: 22 whole hours and 800 seconds
  EXPECT_EQ(big.front().hour, "2026-05-02T00");
  EXPECT_EQ(big.front().calls, 3600u);
  EXPECT_EQ(big.back().calls, 800u);
}

}  // namespace
}  // namespace vellmark
