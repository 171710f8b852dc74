#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_run.h"
#include "testdata/bytes.h"

namespace vellmark::cli {
namespace {

using testdata::Bytes;
using testdata::TempDir;

TEST(Cli, ProbePrintsFamilyOrDashAndEscapesPaths) {
  TempDir dir;
  std::string ewsd = dir.write("a\tb\\c\nd", Bytes{0x84, 0x00});
  std::string text = dir.write("notes", std::string(64, 'z'));
  CliRun r = Cli({"probe", ewsd, text, dir.path()});
  EXPECT_EQ(r.status, kExitFailures);
  EXPECT_EQ(r.out, "EWSD\t" + dir.path() + "/a\\tb\\\\c\\nd\n" + "Unknown\t" + text + "\n-\t" + dir.path() + "\n");
  EXPECT_EQ(Cli({"probe", text}).status, kExitOk);
  EXPECT_EQ(Cli({"probe"}).status, kExitUsage);
}

// A comma in a C-DOT name lands in the date the name gives and shifts no other field.
TEST(Cli, ACommaInAFileNameStaysInItsDate) {
  TempDir dir;
  std::string path = dir.write("KOL114,226.DAT", testdata::ReadWholeFile(std::string(VELLMARK_SOURCE_DIR) +
                                                                         "/samples/KOL1140226.DAT"));
  CliRun r = Cli({"analyse", "--year", "2026", "--format", "csv", path});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\"2026-,2-14   00:00:00\",\"2026-,2-14   23:59:59\",64,3 KB"), std::string::npos) << r.out;
  EXPECT_NE(Cli({"analyse", path}).out.find("Total Records: 64\n"), std::string::npos);
}

TEST(Cli, AnalyseJsonIsTheExactListAndTotals) {
  TempDir dir;
  std::string text = dir.write("notes", std::string(2560, 'z'));
  std::string cdot42like = dir.write("x", std::string(100, 'q'));
  CliRun r = Cli({"analyse", "--format", "json", text, text, dir.file("missing")});
  EXPECT_EQ(r.status, kExitFailures);  // the missing path was skipped
  EXPECT_EQ(r.out,
            "{\"entries\":[{\"no\":\"1\",\"path\":\"" + text +
                "\",\"switch\":\"Unknown\",\"start\":\"Invalid  File\",\"end\":\"Invalid  File\","
                "\"records\":\"0\",\"size\":\"2 KB\",\"duplicate\":false}],"
                "\"totals\":{\"files\":\"0\",\"size\":\"0 MB\",\"records\":\"\"},"
                "\"message\":\"Data File Analysis Over\",\"results_shown\":false}\n");
  EXPECT_EQ(r.err, "The Following files Already Exists \n\n" + text + "\nskipped: cannot be read: " +
                       dir.file("missing") + "\n");

  CliRun nothing = Cli({"analyse", "--format=json", dir.file("missing")});
  EXPECT_EQ(nothing.out,
            "{\"entries\":[],\"totals\":{\"files\":\"\",\"size\":\"\",\"records\":\"\"},\"message\":\"\","
            "\"results_shown\":false}\n");
}

TEST(Cli, JsonKeepsValidUtf8AndEscapesEveryOtherByte) {
  TempDir dir;
  std::string name = std::string("caf\xC3\xA9-\xFF\x80-\"q\"-\x01");
  std::string path = dir.write(name, std::string(64, 'z'));
  CliRun r = Cli({"analyse", "--format", "json", path});
  EXPECT_NE(r.out.find("caf\xC3\xA9-\\udcff\\udc80-\\\"q\\\"-\\u0001\""), std::string::npos) << r.out;
}

TEST(Cli, CsvQuotesFieldsThatNeedIt) {
  TempDir dir;
  std::string path = dir.write("a,\"b\"", std::string(64, 'z'));
  CliRun r = Cli({"analyse", "--format", "csv", path});
  EXPECT_EQ(r.out,
            "no,path,switch,start,end,records,size,duplicate,error_kind,error\r\n"
            "1,\"" + dir.path() + "/a,\"\"b\"\"\",Unknown,Invalid  File,Invalid  File,0,0 KB,no,,\r\n");
}

TEST(Cli, TableShowsTotalsAndClosingMessage) {
  TempDir dir;
  std::string a = dir.write("a", std::string(64, 'z'));
  std::string b = dir.write("b", std::string(64, 'y'));
  CliRun r = Cli({"analyse", a, b});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.out.find("Total Valid Data Files: 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("duplicate"), std::string::npos);
  EXPECT_NE(r.out.find("Duplicates Identified. Data File Analysis Over\n"), std::string::npos);
}

TEST(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Cli({}).status, kExitUsage);
  EXPECT_EQ(Cli({"frobnicate"}).status, kExitUsage);
  EXPECT_EQ(Cli({"analyse"}).status, kExitUsage);
  EXPECT_EQ(Cli({"analyse", "--format", "xml", "x"}).status, kExitUsage);
  EXPECT_EQ(Cli({"analyse", "--year", "20x6", "x"}).status, kExitUsage);
  EXPECT_EQ(Cli({"analyse", "--format"}).status, kExitUsage);
  EXPECT_EQ(Cli({"analyse", "--bogus", "x"}).status, kExitUsage);
  EXPECT_EQ(Cli({"--help"}).status, kExitOk);
}

}  // namespace
}  // namespace vellmark::cli
