#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "cli/cli_run.h"
#include "cli/cli_observer.h"
#include "cli/commands.h"
#include "cli/read_ahead.h"
#include "analysis/analysis_session.h"
#include "core/texts.h"
#include "testdata/bytes.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

using testdata::Bytes;
using testdata::TempDir;

CliRun Analyse(const std::vector<std::string>& paths, const std::string& format, int jobs) {
  Arguments args{"analyse", "--year", "2026", "--format", format, "--jobs", std::to_string(jobs)};
  args.insert(args.end(), paths.begin(), paths.end());
  return Cli(args);
}

// The samples, with files whose results depend on the files before them or that
// fail, in an order that makes every job's thread matter.
std::vector<std::string> MixedList(const TempDir& dir) {
  std::vector<std::string> paths;
  for (const auto& sample : testdata::AllSamples()) paths.push_back(dir.write(sample.name, sample.bytes));

  // An OCB file without its block mark reads in the layout of the OCB file before it:
  // once after a layout-B file, once after a layout-A one.
  testdata::OcbFile unmarked;
  unmarked.blockMark = false;
  unmarked.blocks = testdata::OcbBlocksOf(testdata::OcbCalls(200, 45, 9 * 3600, 31), 26, 45);
  testdata::OcbFile layoutB;
  layoutB.layout = testdata::OcbLayout::B;
  layoutB.blocks = testdata::OcbBlocksOf(testdata::OcbCalls(60, 44, 3600, 17), 26, 44);
  testdata::OcbFile layoutA;
  layoutA.blocks = testdata::OcbBlocksOf(testdata::OcbCalls(90, 40, 7200, 13), 26, 40);
  paths.push_back(dir.write("B1.DAT", testdata::BuildOcbFile(layoutB)));
  paths.push_back(dir.write("unmarked1.DAT", testdata::BuildOcbFile(unmarked)));
  paths.push_back(dir.write("A1.DAT", testdata::BuildOcbFile(layoutA)));
  paths.push_back(dir.write("unmarked2.DAT", testdata::BuildOcbFile(unmarked)));

  // An EWSD record with an unknown package: a message on stderr and a failed entry.
  testdata::EwsdRecord bad = testdata::EwsdCall({26, 5, 1, 10, 0, 0});
  bad.packages.push_back(Bytes{42, 0, 0});
  auto first = testdata::EwsdRecordBytes(testdata::EwsdCall({26, 5, 1, 9, 0, 0}));
  paths.push_back(dir.write("unknown.CDR", testdata::EwsdFile({first, first, testdata::EwsdRecordBytes(bad)})));
  paths.push_back(dir.file("missing.DAT"));
  paths.push_back(paths.front());  // refused: already listed
  return paths;
}

TEST(ParallelReads, OutputIsByteIdenticalToOneJob) {
  TempDir dir;
  std::vector<std::string> paths = MixedList(dir);
  for (const std::string format : {"json", "table", "csv"}) {
    CliRun one = Analyse(paths, format, 1);
    ASSERT_EQ(one.status, kExitFailures) << one.err;  // the missing file and the unknown package
    for (int jobs : {2, 3, 16}) {
      CliRun many = Analyse(paths, format, jobs);
      EXPECT_EQ(many.status, one.status) << format << " --jobs " << jobs;
      EXPECT_EQ(many.out, one.out) << format << " --jobs " << jobs;
      EXPECT_EQ(many.err, one.err) << format << " --jobs " << jobs;
    }
  }

  // The layout memory did matter: the two unmarked copies read differently.
  CliRun one = Analyse(paths, "csv", 1);
  std::istringstream rows(one.out);
  std::vector<std::string> unmarked;
  for (std::string row; std::getline(rows, row);)
    if (row.find("unmarked") != std::string::npos) unmarked.push_back(row.substr(row.find(',', row.find("unmarked"))));
  ASSERT_EQ(unmarked.size(), 2u);
  EXPECT_NE(unmarked[0], unmarked[1]);
  EXPECT_NE(one.err.find("Contact The Programmer"), std::string::npos);
}

TEST(ParallelReads, CtrlCStopsAfterTheCurrentEntryAsWithOneJob) {
  TempDir dir;
  std::vector<std::string> paths = MixedList(dir);
  // A Ctrl-C already pressed: the first entry is the current one when the pass sees it.
  std::vector<CliRun> runs;
  for (int jobs : {1, 2}) {
    g_interrupts = 1;
    runs.push_back(Analyse(paths, "json", jobs));
    g_interrupts = 0;
  }
  EXPECT_EQ(runs[1].out, runs[0].out);
  EXPECT_EQ(runs[1].err, runs[0].err);
  EXPECT_EQ(runs[0].status, kExitFailures);
  EXPECT_NE(runs[0].err.find("stopped: the analysis was interrupted"), std::string::npos);
  // Every entry after the first still waits.
  std::size_t waiting = 0;
  for (std::size_t at = 0; (at = runs[0].out.find("\"start\":\"To be  Analysed\"", at)) != std::string::npos; ++at)
    ++waiting;
  // paths holds a missing and a refused one, which never become entries; the first
  // entry, an OCB file, is not a polling reader and is read whole.
  EXPECT_EQ(waiting, paths.size() - 3);
}

TEST(ParallelReads, EntriesAfterTheStoppedOneWaitEvenWhenTheirReadsFinished) {
  TempDir dir;
  // One OCB file, then C-DOT files whose reads finish at once on the other thread.
  std::vector<std::string> paths{dir.write("first.DAT", testdata::OcbSamples().front().bytes)};
  for (const char* name : {"c0.DAT", "c1.DAT", "c2.DAT"})
    paths.push_back(dir.write(name, testdata::CdotSamples().front().bytes));

  for (int jobs : {1, 2}) {
    std::atomic<int> laterReads{0};
    ReaderTable readers;
    // Ctrl-C comes while the first file is read, after the others were read ahead.
    readers.add("OCB", [&](const std::string&, ReaderContext&) -> ReaderOutcome {
      for (int i = 0; i < 500 && jobs > 1 && laterReads < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      g_interrupts = 1;
      return CallRange{"a", "b", 1};
    });
    readers.add("CDOT", [&](const std::string&, ReaderContext&) -> ReaderOutcome {
      ++laterReads;
      return CallRange{"c", "d", 2};
    });
    std::ostringstream err;
    AnalysisSession session(RealFileSystem(), readers);
    session.OfferFiles(paths);
    bool interrupted = false;
    {
      std::unique_ptr<ReadAhead> ahead;
      if (jobs > 1) ahead = std::make_unique<ReadAhead>(session, jobs);
      CliObserver observer(session, err, false, ahead.get());
      session.RunAnalysis(false, observer);
      interrupted = observer.interrupted();
    }
    g_interrupts = 0;
    if (jobs > 1) {
      EXPECT_EQ(laterReads, 3);  // read ahead, yet not shown
    }
    ASSERT_EQ(session.list().size(), 4u);
    EXPECT_EQ(session.list().at(0).start, "a") << jobs;
    for (std::size_t row = 1; row < 4; ++row) {
      EXPECT_EQ(session.list().at(row).start, kWaitingStatus) << jobs;
      EXPECT_EQ(session.list().at(row).records, 0u) << jobs;
    }
    EXPECT_TRUE(interrupted);
  }
}

TEST(ParallelReads, JobsMustBeAPositiveNumber) {
  TempDir dir;
  std::string path = dir.write("x", std::string(10, 'z'));
  for (const char* bad : {"0", "-1", "two", "", "1000"}) {
    std::ostringstream out, err;
    CliIo io{out, err};
    EXPECT_EQ(RunCli({"analyse", "--jobs", bad, path}, io), kExitUsage) << bad;
  }
  std::ostringstream out, err;
  CliIo io{out, err};
  EXPECT_EQ(RunCli({"analyse", "--jobs=2", path}, io), kExitOk) << err.str();
}

}  // namespace
}  // namespace vellmark::cli
