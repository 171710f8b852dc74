// Saving and opening reports when the disk fails, and reports of hostile size.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "support/fault_injection.h"
#include "core/texts.h"
#include "reports/spreadsheet_export.h"
#include "reports/text_report.h"
#include "testdata/bytes.h"
#include "saved_files.h"
#include "testdata/report_entries.h"

namespace vellmark {
namespace {

namespace fs = std::filesystem;
using testdata::FixedTime;
using testdata::MakeEntry;
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

// Reports of hostile size load row by row, and read back write the same report.
TEST(ReportFaults, HundredThousandRowsAndAMegabyteLine) {
  TempDir dir;
  const AnalyserList many = ManyEntries(100000);
  const std::string name = dir.file("many.vmr");
  ASSERT_TRUE(WriteReportFile(RealFileSystem(), name, many, FixedTime()));
  auto loaded = LoadReportFile(RealFileSystem(), name);
  ASSERT_TRUE(loaded && loaded->has_value());
  AnalyserList back;
  for (auto& e : **loaded) back.append(std::move(e));
  ASSERT_EQ(back.size(), 100000u);
  EXPECT_EQ(back.at(99999).recordsText(), "700000");
  EXPECT_TRUE(ReportText(back, FixedTime()) == Read(name));

  // A row whose path cell is a megabyte long loads as a path of that length; a
  // megabyte line without bars is no row; a megabyte first line without the mark is
  // no report.
  const std::string huge(1 << 20, 'p');
  const std::string text = ReportText(ManyEntries(1), FixedTime());
  const std::string head = text.substr(0, text.find(std::string(kReportRule) + "\r\n", 200) + kReportRule.size() + 2);
  const std::string rows = "|  1 | /" + huge + " | OCB | s | e | 5 | 1 KB |\r\n" + std::string(1 << 20, '-') +
                           "\r\n| 2 | /x | AXE | s | e | 6 | 2 KB |\r\n";
  const std::string wide = dir.write("wide.vmr", head + rows + std::string(kReportRule) + "\r\n");
  loaded = LoadReportFile(RealFileSystem(), wide);
  ASSERT_TRUE(loaded && loaded->has_value());
  ASSERT_EQ((*loaded)->size(), 2u);
  EXPECT_EQ((**loaded)[0].path, "/" + huge);
  EXPECT_EQ((**loaded)[0].records, 5u);
  EXPECT_EQ((**loaded)[1].records, 6u);

  const std::string notReport = dir.write("long.vmr", std::string(1 << 20, 'V') + "\r\n| 1 | /x | AXE | s | e | 6 | 2 KB |\r\n");
  loaded = LoadReportFile(RealFileSystem(), notReport);
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(loaded->has_value());

  // Saved again, the megabyte path is cut to its column: one row per entry.
  AnalyserList wideList;
  wideList.append(testdata::MakeEntry({"1", "/" + huge, "OCB", "s", "e", "5", "1 KB"}));
  const std::string resaved = dir.file("resaved.vmr");
  ASSERT_TRUE(WriteReportFile(RealFileSystem(), resaved, wideList, FixedTime()));
  EXPECT_LT(fs::file_size(resaved), 2000u);
}

}  // namespace
}  // namespace vellmark
