// Saving and opening reports when the disk fails, and reports of hostile size.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "core/fault_injection.h"
#include "core/texts.h"
#include "reports/spreadsheet_export.h"
#include "reports/text_report.h"
#include "testdata/bytes.h"
#include "saved_files.h"
#include "testdata/recording_services.h"
#include "testdata/report_entries.h"

namespace vellmark {
namespace {

namespace fs = std::filesystem;
using testdata::FixedTime;
using testdata::MakeEntry;
using testdata::RecordingServices;
using testdata::TempDir;

using reports_test::Names;
using reports_test::Read;

// n analysed entries, each row of the report about 150 bytes.
AnalyserList ManyEntries(std::size_t n) {
  AnalyserList list;
  for (std::size_t i = 1; i <= n; ++i)
    list.append(MakeEntry({std::to_string(i), "/data/cdr/day" + std::to_string(i) + ".ama", "EWSD",
                           "2004-05-12   09:30:05", "2004-05-12   18:02:41", std::to_string(i * 7), "13 KB"}));
  list.renumber();
  return list;
}

void ExpectSameEntries(const AnalyserList& list, const std::vector<AnalyserEntry>& expected) {
  ASSERT_EQ(list.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    for (int c = 0; c < AnalyserEntry::kColumns; ++c) ASSERT_EQ(list.at(i).column(c), expected[i].column(c)) << i;
}

struct ReportFaults : ::testing::Test {
  TempDir dir;
  RecordingServices services;
  FaultInjectingFileSystem faulty{RealFileSystem()};
  Clock clock{[] { return FixedTime(); }};
  AnalysisSession session{services, faulty, ReaderTable(), clock};

  void fill(const AnalyserList& list) {
    for (const auto& e : list.entries()) session.list().append(e);
  }
};

TEST_F(ReportFaults, FailedSaveKeepsTheOldReportAndSaysWhy) {
  fill(ManyEntries(40));
  const std::string name = dir.file("day.vmr");
  const std::string old = ReportText(ManyEntries(3), FixedTime());
  dir.write("day.vmr", old);

  struct Fault {
    void (*arm)(FaultInjectingFileSystem&);
    std::string reason;
  };
  const Fault faults[] = {
      {[](FaultInjectingFileSystem& f) { f.failWritesAfter(1000, ENOSPC); }, "No space left on device"},
      {[](FaultInjectingFileSystem& f) { f.failWritesAfter(0, EIO); }, "Input/output error"},
      {[](FaultInjectingFileSystem& f) { f.failFlush(EIO); }, "Input/output error"},
      {[](FaultInjectingFileSystem& f) { f.failFlush(ENOSPC); }, "No space left on device"},
      {[](FaultInjectingFileSystem& f) { f.failRename(EACCES); }, "Permission denied"},
      {[](FaultInjectingFileSystem& f) { f.failRename(EXDEV); }, "Invalid cross-device link"},
  };
  for (const auto& fault : faults) {
    faulty.clear();
    fault.arm(faulty);
    services.messages.clear();
    services.fileNames = {name};
    services.answers = {Answer::Yes};
    session.setPanel(5, "");
    SaveReport(session);
    ASSERT_EQ(services.messages.size(), 1u) << fault.reason;
    EXPECT_EQ(services.messages[0].text, "Could not save " + name + ": " + fault.reason);
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(session.panel(5), "") << fault.reason;  // never "Saved"
    EXPECT_EQ(Read(name), old) << fault.reason;
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"day.vmr"}) << fault.reason;
  }

  // The same faults on the workbook: the old one stays, nothing is left beside it.
  const std::string book = dir.write("day.xlsx", "old workbook");
  for (const auto& fault : faults) {
    faulty.clear();
    fault.arm(faulty);
    services.messages.clear();
    services.fileNames = {book};
    services.answers = {Answer::Yes};
    EXPECT_EQ(ExportToSpreadsheet(session), "") << fault.reason;
    ASSERT_FALSE(services.messages.empty()) << fault.reason;
    EXPECT_NE(services.messages.back().text.find(fault.reason), std::string::npos) << services.messages.back().text;
    EXPECT_EQ(Read(book), "old workbook") << fault.reason;
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"day.vmr", "day.xlsx"})) << fault.reason;
  }

  faulty.clear();
  services.fileNames = {name};
  services.answers = {Answer::Yes};
  SaveReport(session);
  EXPECT_EQ(Read(name), ReportText(session.list(), FixedTime()));
  EXPECT_EQ(session.panel(5), "File " + name + " Saved");
}

TEST_F(ReportFaults, FailedOpenLeavesTheListAsItWas) {
  // Large enough to be read in several pieces.
  const std::string name = dir.write("big.vmr", ReportText(ManyEntries(2000), FixedTime()));
  ASSERT_GT(fs::file_size(name), 200000u);
  fill(ManyEntries(3));
  session.list().setSelected(1, true);
  session.setPanel(2, "3");
  session.setPanel(4, "42");
  session.setResultsShown(true);
  const std::vector<AnalyserEntry> before = session.list().entries();

  faulty.failReadsFrom(150000, EIO);
  services.fileNames = {name};
  OpenReport(session);
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].text, "Could not open " + name + ": Input/output error");
  ExpectSameEntries(session.list(), before);
  EXPECT_TRUE(session.list().at(1).selected);
  EXPECT_EQ(session.panel(2), "3");
  EXPECT_EQ(session.panel(4), "42");
  EXPECT_TRUE(session.resultsShown());

  faulty.clear();
  faulty.failOpen(EACCES);
  services.fileNames = {name};
  OpenReport(session);
  EXPECT_EQ(services.messages.back().text, "Could not open " + name + ": Permission denied");
  ExpectSameEntries(session.list(), before);
}

TEST_F(ReportFaults, HundredThousandRowsAndAMegabyteLine) {
  const AnalyserList many = ManyEntries(100000);
  const std::string name = dir.file("many.vmr");
  ASSERT_TRUE(WriteReportFile(faulty, name, many, FixedTime()));
  services.fileNames = {name};
  OpenReport(session);
  EXPECT_TRUE(services.messages.empty());
  // Read back, it writes the very same report.
  ASSERT_EQ(session.list().size(), 100000u);
  EXPECT_EQ(session.list().at(99999).records, "700000");
  EXPECT_TRUE(ReportText(session.list(), FixedTime()) == Read(name));

  // A row whose path cell is a megabyte long loads as a path of that length; a
  // megabyte line without bars is no row; a megabyte first line without the mark is
  // no report.
  const std::string huge(1 << 20, 'p');
  const std::string text = ReportText(ManyEntries(1), FixedTime());
  const std::string head = text.substr(0, text.find(std::string(kReportRule) + "\r\n", 200) + kReportRule.size() + 2);
  const std::string rows = "|  1 | /" + huge + " | OCB | s | e | 5 | 1 KB |\r\n" + std::string(1 << 20, '-') +
                           "\r\n| 2 | /x | AXE | s | e | 6 | 2 KB |\r\n";
  const std::string wide = dir.write("wide.vmr", head + rows + std::string(kReportRule) + "\r\n");
  services.fileNames = {wide};
  OpenReport(session);
  EXPECT_TRUE(services.messages.empty());
  ASSERT_EQ(session.list().size(), 2u);
  EXPECT_EQ(session.list().at(0).path, "/" + huge);
  EXPECT_EQ(session.list().at(0).records, "5");
  EXPECT_EQ(session.list().at(1).records, "6");

  const std::string notReport = dir.write("long.vmr", std::string(1 << 20, 'V') + "\r\n| 1 | /x | AXE | s | e | 6 | 2 KB |\r\n");
  services.fileNames = {notReport};
  OpenReport(session);
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].text, notReport + std::string(kNotAReport));
  EXPECT_EQ(session.list().size(), 2u);

  // Saved again, the megabyte path is cut to its column: one row per entry.
  const std::string resaved = dir.file("resaved.vmr");
  ASSERT_TRUE(WriteReportFile(faulty, resaved, session.list(), FixedTime()));
  EXPECT_LT(fs::file_size(resaved), 2000u);
}

}  // namespace
}  // namespace vellmark
