// vellmark-cli analyse --continuity: the findings in the table and in JSON, the
// threshold and the naming rules from the command line, and the calls per hour of a
// verify pass. The other formats stay as they were.
#include <gtest/gtest.h>

#include "cli/cli_run.h"
#include "testdata/bytes.h"
#include "testdata/exchanges.h"

namespace vellmark::cli {
namespace {

struct ContinuityCli : ::testing::Test {
  void SetUp() override {
    for (const auto& file : testdata::ExchangeFiles()) paths.push_back(dir.write(file.name, file.bytes));
  }
  CliRun analyse(Arguments options) {
    Arguments args{"analyse", "--year", "2026"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), paths.begin(), paths.end());
    return Cli(args);
  }
  static std::string After(const std::string& text, const std::string& mark) {
    auto at = text.find(mark);
    return at == std::string::npos ? "" : text.substr(at);
  }
  testdata::TempDir dir;
  Arguments paths;
};

TEST_F(ContinuityCli, TableAndJsonCarryTheFindingsOtherFormatsDoNot) {
  EXPECT_EQ(After(analyse({"--continuity"}).out, "\nContinuity"),
            "\nContinuity (gaps over 60 minutes)\n"
            "Switch  Exchange  Rows by time\n"
            "AXE     BOMFILE   6 7\n"
            "E10B    DEL1      1 2 3\n"
            "E10B    DEL2      4\n"
            "Gaps:\n"
            "  E10B    DEL1      121 minutes after row 1, before row 2\n"
            "Overlaps:\n"
            "  AXE     BOMFILE   row 7 overlaps row 6 by 29 minutes\n"
            "Missing numbers:\n"
            "  E10B    DEL1      3 to 4\n"
            "Left out: 5\n");
  EXPECT_EQ(After(analyse({"--continuity", "--format", "json"}).out, "\"continuity\""),
            R"("continuity":{"exchanges":[{"family":"AXE","exchange":"BOMFILE","rows":[6,7]},)"
            R"({"family":"E10B","exchange":"DEL1","rows":[1,2,3]},{"family":"E10B","exchange":"DEL2","rows":[4]}],)"
            R"("gaps":[{"family":"E10B","exchange":"DEL1","after":1,"before":2,"minutes":121}],)"
            R"("overlaps":[{"family":"AXE","exchange":"BOMFILE","after":6,"before":7,"minutes":29}],)"
            R"("missing":[{"family":"E10B","exchange":"DEL1","from":3,"to":4}],"left_out":[5]}})"
            "\n");
  EXPECT_EQ(analyse({"--continuity", "--format", "csv"}).out, analyse({"--format", "csv"}).out);

  // A higher threshold, and one rule for both exchanges of E10B.
  const std::string table =
      analyse({"--continuity", "--gap-minutes", "121", "--exchange-rule", R"(e10b=-(?<exchange>DEL)\d-)"}).out;
  EXPECT_NE(table.find("Continuity (gaps over 121 minutes)"), std::string::npos);
  EXPECT_NE(table.find("E10B    DEL       1 4 2 3\nGaps: none\n"), std::string::npos) << table;

  for (const char* bad : {"FOO=x", R"(E10B=(?<seq>\d+))", "E10B"})
    EXPECT_EQ(analyse({"--continuity", "--exchange-rule", bad}).status, kExitUsage) << bad;
}

TEST_F(ContinuityCli, VerifyGivesTheCallsOfEachHour) {
  const std::string json = analyse({"--verify", "--format", "json"}).out;
  EXPECT_NE(json.find(R"("verified_records":60,"calls_per_hour":[{"hour":"2026-02-14T08","calls":60}]})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("calls_per_hour":[{"hour":"2026-02-14T08","calls":60},{"hour":"2026-02-14T09","calls":60}]})"),
            std::string::npos);
  EXPECT_EQ(analyse({"--format", "json"}).out.find("calls_per_hour"), std::string::npos);
}

}  // namespace
}  // namespace vellmark::cli
