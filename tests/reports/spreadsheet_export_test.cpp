#include "reports/spreadsheet_export.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/text_escape.h"
#include "support/fault_injection.h"
#include "testdata/bytes.h"
#include "testdata/report_entries.h"

namespace vellmark {
namespace {

namespace fs = std::filesystem;
using testdata::MakeEntry;
using testdata::TempDir;

const std::string kPython = "/usr/bin/python3";
const std::string kChecker = std::string(VELLMARK_SOURCE_DIR) + "/tests/reports/check_workbook.py";

// The list and totals as the checker script reads them.
std::string ListJson(const AnalyserList& list, const std::optional<ListTotals>& shown) {
  const TotalsTexts totals = shown ? ShowTotals(*shown) : TotalsTexts{};
  using cli::JsonString;
  std::string json = "{\"entries\":[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const AnalyserEntry& e = list.at(i);
    json += (i ? "," : "") + std::string("{\"path\":") + JsonString(e.path) + ",\"no\":" + JsonString(e.number) +
            ",\"switch\":" + JsonString(e.family) + ",\"start\":" + JsonString(e.start) +
            ",\"end\":" + JsonString(e.end) + ",\"records\":" + JsonString(e.recordsText()) +
            ",\"size\":" + JsonString(e.sizeText()) + ",\"duplicate\":" + (e.duplicate ? "true" : "false") + "}";
  }
  return json + "],\"totals\":{\"files\":" + JsonString(totals.files) + ",\"size\":" + JsonString(totals.size) +
         ",\"records\":" + JsonString(totals.records) + "}}";
}

bool HaveOpenpyxl() {
  static const bool have = std::system((kPython + " -c 'import openpyxl' 2>/dev/null").c_str()) == 0;
  return have;
}

// Reads the workbook back with openpyxl and compares it with the list; "" when equal.
std::string CheckWorkbook(const std::string& book, const AnalyserList& list, const std::optional<ListTotals>& totals,
                          const TempDir& dir) {
  std::string json = dir.write("list.json", ListJson(list, totals));
  std::string report = dir.file("check.txt");
  int rc = std::system((kPython + " " + kChecker + " '" + book + "' '" + json + "' >'" + report + "' 2>&1").c_str());
  auto bytes = testdata::ReadWholeFile(report);
  std::string out(bytes.begin(), bytes.end());
  return rc == 0 ? "" : "checker failed:\n" + out;
}

AnalyserList MixedList() {
  const std::string w = "To be  Analysed";
  return testdata::MakeList({
      {"1", "/data/cdr/ocb/ocb-a.dat", "OCB", "2004-05-12   09:30:05", "2004-05-12   18:02:41", "1207", "13 KB"},
      {"2", "C:\\CDR\\EWSD\\ewsd.ama", "EWSD", "2004-05-13   00:00:10", "2004-05-13   23:59:58", "0085", "2 KB"},
      {"3", "/data/12345", "AXE", "12/05/2004   07:15:00", "12/05/2004   07:45:12", "3", "1 KB", true},
      {"004", "plain-name.dat", "CDOT", w, w, "0", "5 KB"},
      {"5", "/data/\xC3\xA9t\xC3\xA9-\xFF.dat", "CDOT42", "", "", "", "-1.50"},
      {"6", "/data/copy.dat", "OCB", "2004-05-12   09:30:05", "2004-05-12   18:02:41", "1207", "13 KB", true},
  });
}

TEST(WriteSpreadsheet, ReadsBackCellByCell) {
  if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  TempDir dir;
  const std::string book = dir.file("cdr.xlsx");

  AnalyserList list = MixedList();
  ListTotals totals{6, 31457, 2502};  // 0.03 MB
  ASSERT_TRUE(WriteSpreadsheet(RealFileSystem(), book, list, totals));
  EXPECT_EQ(CheckWorkbook(book, list, totals, dir), "");

  // Totals as after Open Report: empty cells, TOTAL still written.
  AnalyserList one = testdata::MakeList({{"1", "a.dat", "OCB", "x", "y", "1", "1 KB"}});
  ASSERT_TRUE(WriteSpreadsheet(RealFileSystem(), book, one, std::nullopt));
  EXPECT_EQ(CheckWorkbook(book, one, std::nullopt, dir), "");

  // Past row 500 the alignment stops.
  AnalyserList many;
  for (int i = 1; i <= 510; ++i)
    many.append(MakeEntry({std::to_string(i), "/d/f" + std::to_string(i), "OCB", "s", "e", "7", "1 KB", i % 50 == 0}));
  ListTotals manyTotals{510, 524288, 3570};  // 0.5 MB
  ASSERT_TRUE(WriteSpreadsheet(RealFileSystem(), book, many, manyTotals));
  EXPECT_EQ(CheckWorkbook(book, many, manyTotals, dir), "");
  // Nothing is left beside the workbook.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) files += entry.path().extension() != ".json" &&
                                                                         entry.path().extension() != ".txt";
  EXPECT_EQ(files, 1);
}

TEST(WriteSpreadsheet, FailsWithoutLeavingAPartialFile) {
  TempDir dir;
  AnalyserList list = MixedList();
  FaultInjectingFileSystem faulty(RealFileSystem());
  const std::string book = dir.file("cdr.xlsx");

  faulty.failWritesAfter(1000, ENOSPC);
  auto full = WriteSpreadsheet(faulty, book, list, std::nullopt);
  ASSERT_FALSE(full);
  EXPECT_EQ(full.error().reason, "No space left on device");
  faulty.clear();
  faulty.failRename(EACCES);
  EXPECT_FALSE(WriteSpreadsheet(faulty, book, list, std::nullopt));
  EXPECT_TRUE(fs::is_empty(dir.path()));

  // An old workbook stays as it was.
  std::string old = dir.write("old.xlsx", "old");
  faulty.clear();
  faulty.failFlush(EIO);
  EXPECT_FALSE(WriteSpreadsheet(faulty, old, list, std::nullopt));
  auto bytes = testdata::ReadWholeFile(old);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old");
  ASSERT_TRUE(WriteSpreadsheet(RealFileSystem(), old, list, std::nullopt));
  EXPECT_GT(fs::file_size(old), 1000u);
}

}  // namespace
}  // namespace vellmark
