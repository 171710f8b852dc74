#include "reports/text_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/switch_family.h"
#include "core/utf8.h"
#include "testdata/bytes.h"
#include "testdata/report_entries.h"

namespace vellmark {
namespace {

using testdata::EntryTexts;
using testdata::FixedTime;
using testdata::MakeEntry;
using testdata::MakeList;
using testdata::TempDir;

const std::string kWaiting = "To be  Analysed";

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(text.substr(from, at - from));
  EXPECT_EQ(from, text.size()) << "the last line must end with CR LF";
  return lines;
}

std::vector<std::size_t> BarPositions(const std::string& row) {
  std::vector<std::size_t> bars;
  std::size_t position = 0;
  for (std::size_t i = 0; i < row.size(); i += std::max<std::size_t>(1, Utf8SequenceLength(row, i)), ++position)
    if (row[i] == '|') bars.push_back(position);
  return bars;
}

const std::vector<std::size_t> kNominalBars = {0, 6, 59, 72, 96, 120, 133, 146};

std::string Row(EntryTexts texts) { return ReportRowLine(MakeEntry(texts)); }

// The cell between the k-th and (k+1)-th "|", blanks included.
std::string Cell(const std::string& row, int k) {
  std::size_t from = 0;
  for (int i = 0; i <= k; ++i) from = row.find('|', from) + 1;
  return row.substr(from + 1, row.find('|', from) - from - 2);
}

TEST(ReportText, HasTitleHeaderRowsAndClosingRule) {
  AnalyserList list = testdata::ThreeAnalysedEntries();
  std::vector<std::string> lines = SplitCrLf(ReportText(list, FixedTime()));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Vellmark Report12-05-2004  09:30:05");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], kReportRule);
  EXPECT_EQ(lines[3], kReportHeading);
  EXPECT_EQ(lines[4], kReportRule);
  EXPECT_EQ(lines[8], kReportRule);
  EXPECT_EQ(lines[5],
            "|   1 | /data/cdr/ocb/ocb-a.dat                            |        OCB | 2004-05-12   09:30:05 "
            "| 2004-05-12   18:02:41 |       1207 |      13 KB | ");
  for (int i = 5; i < 8; ++i) {
    EXPECT_EQ(lines[i].size(), 148u);
    EXPECT_EQ(BarPositions(lines[i]), kNominalBars);
  }
  EXPECT_EQ(BarPositions(std::string(kReportHeading)), kNominalBars);

  // An empty list: the five header lines and the closing rule.
  EXPECT_EQ(SplitCrLf(ReportText(AnalyserList(), FixedTime())).size(), 6u);
}

TEST(ReportRowLine, FormsCellsByTheirRules) {
  // A waiting entry: both time cells 21 wide, three blanks each side.
  std::string waiting = Row({"4", "/a.dat", "E10B", kWaiting, kWaiting, "0", "0 KB"});
  EXPECT_EQ(Cell(waiting, 3), "   " + kWaiting + "   ");
  EXPECT_EQ(BarPositions(waiting), kNominalBars);

  // 21 characters get no blanks; 14 get four (22 wide), shifting later bars by one.
  std::string shifted = Row({"1", "/a", "5ESS", "2004-05-12   09:30:05", "Invalid File14", "0", "1 KB"});
  EXPECT_EQ(Cell(shifted, 3), "2004-05-12   09:30:05");
  EXPECT_EQ(Cell(shifted, 4), "    Invalid File14    ");
  EXPECT_EQ(BarPositions(shifted), (std::vector<std::size_t>{0, 6, 59, 72, 96, 121, 134, 147}));

  // Half to even: 16 characters get 2 blanks, 18 get 2, 12 get 4, 10 get 6, none get 10.
  EXPECT_EQ(Cell(Row({"1", "p", "OCB", std::string(16, 'x'), "", "0", ""}), 3), "  " + std::string(16, 'x') + "  ");
  EXPECT_EQ(Cell(Row({"1", "p", "OCB", std::string(18, 'x'), "", "0", ""}), 3), "  " + std::string(18, 'x') + "  ");
  EXPECT_EQ(Cell(Row({"1", "p", "OCB", std::string(12, 'x'), "", "0", ""}), 3), "    " + std::string(12, 'x') + "    ");
  EXPECT_EQ(Cell(Row({"1", "p", "OCB", std::string(10, 'x'), "", "0", ""}), 3), "      " + std::string(10, 'x') + "      ");
  EXPECT_EQ(Cell(Row({"1", "p", "OCB", "", "", "0", ""}), 4), std::string(20, ' '));
  // Longer texts are never cut.
  EXPECT_EQ(Cell(Row({"1", "p", "OCB", std::string(30, 'y'), "", "0", ""}), 3), std::string(30, 'y'));

  // Right-aligned cells keep their last characters, the path its first 50.
  std::string cut = Row({"1000", std::string(50, 'a') + "0123456789", "ABCDEFGHIJKL", "", "", "12345678901", "1234567 KB"});
  EXPECT_EQ(Cell(cut, 0), "000");
  EXPECT_EQ(Cell(cut, 1), std::string(50, 'a'));
  EXPECT_EQ(Cell(cut, 2), "CDEFGHIJKL");
  EXPECT_EQ(Cell(cut, 5), "2345678901");
  EXPECT_EQ(Cell(cut, 6), "1234567 KB");
}

TEST(ReportRowLine, CountsUtf8CharactersAndNeverSplitsThem) {
  std::string e = "\xC3\xA9";  // é
  std::string path;
  for (int i = 0; i < 60; ++i) path += e;
  std::string row = Row({"\xE2\x82\xAC" "12", path, "OCB", "2004-05-12   09:30:05", "2004-05-12   09:30:05", "1", "1 KB"});
  EXPECT_EQ(CharacterCount(row), 148u);
  EXPECT_EQ(BarPositions(row), kNominalBars);
  EXPECT_EQ(Cell(row, 0), "\xE2\x82\xAC" "12");
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += e;
  EXPECT_EQ(Cell(row, 1), fifty);

  // A stray byte counts as one character; a 4-digit number with a 2-byte character
  // in front loses whole characters only.
  std::string stray = Row({"\xC3\xA9" "99", std::string("ab\xFF") + "cd", "\xFF" "OCB", "", "", "1", "1 KB"});
  EXPECT_EQ(Cell(stray, 0), "\xC3\xA9" "99");
  EXPECT_EQ(CharacterCount(Cell(stray, 1)), 50u);
  EXPECT_EQ(Cell(stray, 2), "      \xFF" "OCB");
  EXPECT_EQ(Cell(Row({"x\xC3\xA9" "99", "p", "OCB", "", "", "1", ""}), 0), "\xC3\xA9" "99");
}

TEST(ReportRowLine, KeepsLineBreaksOutOfRows) {
  std::string row = Row({"1", "/tmp/two\nlines\r.dat", "OCB", kWaiting, kWaiting, "0", "1 KB"});
  EXPECT_EQ(row.find_first_of("\r\n"), std::string::npos);
  auto parsed = ParseReport(ReportText(MakeList({{"1", "/tmp/two\nlines.dat", "OCB", kWaiting, kWaiting, "0", "1 KB"}}),
                                       FixedTime()));
  ASSERT_TRUE(parsed && parsed->size() == 1);
  EXPECT_EQ((*parsed)[0].path, "/tmp/two?lines.dat");
}

TEST(ReportFileName, DropsOnlyADoubledSuffix) {
  EXPECT_EQ(ReportFileName("/r/x.vmr.vmr"), "/r/x.vmr");
  EXPECT_EQ(ReportFileName(".vmr.vmr"), ".vmr");
  EXPECT_EQ(ReportFileName("/r/x.vmr"), "/r/x.vmr");
  EXPECT_EQ(ReportFileName("/r/xvmr.vmr"), "/r/xvmr.vmr");
  EXPECT_EQ(ReportFileName("/r/x.VMR.vmr"), "/r/x.VMR.vmr");
  EXPECT_EQ(ReportFileName("/r/x"), "/r/x");
}

TEST(ParseReport, ReadsBackWhatTheWriterWrote) {
  AnalyserList list = testdata::ThreeAnalysedEntries();
  list.append(MakeEntry({"4", "/data/waiting.dat", "CDOT", kWaiting, kWaiting, "0", "5 KB"}));
  list.append(MakeEntry({"9", "/x", "5ESS", "2004-05-12   09:30:05", "Invalid File14", "0", "1 KB"}));
  list.append(MakeEntry({"2", "/y", "CDOT42", "", "", "", ""}));
  auto parsed = ParseReport(ReportText(list, FixedTime()));
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    for (int c = 0; c < AnalyserEntry::kColumns; ++c) EXPECT_EQ((*parsed)[i].column(c), list.at(i).column(c)) << i << c;
    EXPECT_FALSE((*parsed)[i].duplicate);
  }
  EXPECT_EQ((*parsed)[0].icon, FamilyIconIndex("OCB"));
  EXPECT_EQ((*parsed)[1].icon, FamilyIconIndex("EWSD"));
  EXPECT_NE((*parsed)[1].icon, 0);
  EXPECT_EQ((*parsed)[5].icon, 0);  // CDOT42 has no icon
  EXPECT_EQ((*parsed)[4].number, "9");
}

TEST(ParseReport, ChecksOnlyTheFirstEightCharactersOfTheTitle) {
  const std::string body = "\r\n" + std::string(kReportRule) + "\r\n" + std::string(kReportHeading) + "\r\n" +
                           std::string(kReportRule) + "\r\n| 1 | /p | OCB | a | b | 7 | 1 KB | \r\n" +
                           std::string(kReportRule) + "\r\n";
  EXPECT_TRUE(ParseReport("Vellmark" + body));
  EXPECT_TRUE(ParseReport("Vellmarkanything else" + body));
  EXPECT_FALSE(ParseReport(" Vellmark Report" + body));
  EXPECT_FALSE(ParseReport("vellmark Report" + body));
  EXPECT_FALSE(ParseReport("Vellmar\r\n"));
  EXPECT_FALSE(ParseReport("Vellmar"));
  EXPECT_FALSE(ParseReport(""));
  EXPECT_FALSE(ParseReport(std::string("\0\0\0\0\0\0\0\0\0", 9)));
  EXPECT_TRUE(ParseReport("Vellmark"));
}

TEST(ParseReport, TakesRowsAsTheyStand) {
  auto parse = [](const std::string& rows) {
    return ParseReport("Vellmark Report\r\nanything\r\n+\r\nheading\r\nrule\r\n" + rows);
  };
  // Ends before the first row, or right after the header: an empty list.
  auto none = ParseReport("Vellmark Report\r\n\r\n");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  ASSERT_TRUE(parse(""));
  EXPECT_TRUE(parse("")->empty());

  auto rows = parse(
      "+----+\r\n"
      "|  7 |  /a b  | OCB |\tx\t| e | 1 | 2 KB | extra | more\r\n"  // tabs kept, pieces after 7 ignored
      "| 1 | 2 | 3 | 4 | 5 | 6\r\n"                                  // six cells: not a row
      "\r\n"                                                         // empty: not a row
      "lead| 8 | /b | Unknown | s | e | r | z\n"                     // LF only, no closing bar
      "| 9 | /c | EWSD | s | e | r | z |");                          // no line end at all
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ((*rows)[0].number, "7");
  EXPECT_EQ((*rows)[0].path, "/a b");
  EXPECT_EQ((*rows)[0].start, "\tx\t");
  EXPECT_EQ((*rows)[0].sizeText(), "2 KB");
  EXPECT_EQ((*rows)[1].number, "8");
  EXPECT_EQ((*rows)[1].sizeText(), "z");
  EXPECT_EQ((*rows)[1].icon, FamilyIconIndex("Unknown"));
  EXPECT_EQ((*rows)[2].family, "EWSD");
}

}  // namespace
}  // namespace vellmark
