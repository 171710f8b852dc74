#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/cli_run.h"
#include "cli/commands.h"
#include "reports/text_report.h"
#include "testdata/bytes.h"
#include "testdata/report_entries.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

namespace fs = std::filesystem;
using testdata::TempDir;


std::string Read(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

struct ReportCommands : ::testing::Test {
  TempDir dir;
  Arguments samples;
  void SetUp() override {
    for (const auto& sample : testdata::AllSamples()) samples.push_back(dir.write(sample.name, sample.bytes));
  }
  Arguments analyse(Arguments options) {
    options.insert(options.begin(), "analyse");
    options.insert(options.end(), samples.begin(), samples.end());
    return options;
  }
};

TEST_F(ReportCommands, AnalysePrintsAndSavesTheReport) {
  CliRun printed = Cli(analyse({"--format", "vmr"}));
  ASSERT_EQ(printed.out.rfind("Vellmark Report12-05-2004  09:30:05\r\n\r\n", 0), 0u) << printed.out;
  auto entries = ParseReport(printed.out);
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), samples.size());

  // -o writes the same text; an existing file is replaced only with --force.
  const std::string report = dir.file("day.vmr.vmr");
  CliRun saved = Cli(analyse({"-o", report, "--format", "csv"}));
  EXPECT_EQ(saved.status, printed.status);
  EXPECT_EQ(Read(report), printed.out);  // the name is taken as given
  EXPECT_EQ(saved.out.rfind("no,path,", 0), 0u);

  testdata::TempDir other;
  std::string kept = other.write("kept.vmr", "keep me");
  CliRun refused = Cli(analyse({"-o", kept}));
  EXPECT_EQ(refused.status, kExitFailures);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("exists; --force replaces it"), std::string::npos);
  EXPECT_EQ(Read(kept), "keep me");
  Cli(analyse({"-o", kept, "--force"}));
  EXPECT_EQ(Read(kept), printed.out);

  CliRun failed = Cli(analyse({"-o", dir.path(), "--force"}));
  EXPECT_EQ(failed.status, kExitFailures);
  EXPECT_NE(failed.err.find("cannot save " + dir.path() + ": Is a directory"), std::string::npos);
}

TEST_F(ReportCommands, OpenPrintsALoadedReport) {
  const std::string report = dir.file("r.vmr");
  Cli(analyse({"-o", report}));
  CliRun vmr = Cli({"open", "--format", "vmr", report});
  EXPECT_EQ(vmr.status, kExitOk);
  EXPECT_EQ(vmr.out, Read(report));
  CliRun json = Cli({"open", report, "--format=json"});
  EXPECT_NE(json.out.find("\"totals\":{\"files\":\"\",\"size\":\"\",\"records\":\"\"}"), std::string::npos);
  EXPECT_NE(json.out.find("\"results_shown\":true"), std::string::npos);

  std::string notes = dir.write("notes.txt", "hello\n");
  CliRun wrong = Cli({"open", notes});
  EXPECT_EQ(wrong.status, kExitFailures);
  EXPECT_EQ(wrong.err, "Vellmark: " + notes + " is not a Vellmark Report File.  Please Check\n");
  EXPECT_EQ(wrong.out, "");
  CliRun missing = Cli({"open", dir.file("missing.vmr")});
  EXPECT_EQ(missing.status, kExitFailures);
  EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);

  EXPECT_EQ(Cli({"open"}).status, kExitUsage);
  EXPECT_EQ(Cli({"open", report, report}).status, kExitUsage);
  EXPECT_EQ(Cli({"open", "--format", "xml", report}).status, kExitUsage);
}

TEST_F(ReportCommands, ExportWritesTheWorkbook) {
  const std::string report = dir.file("r.vmr");
  const std::string book = dir.file("r.xlsx");
  Cli(analyse({"-o", report, "--xlsx", dir.file("live.xlsx")}));
  EXPECT_EQ(Read(dir.file("live.xlsx")).rfind("PK", 0), 0u);

  CliRun exported = Cli({"export", report, "-o", book});
  EXPECT_EQ(exported.status, kExitOk) << exported.err;
  EXPECT_EQ(Read(book).rfind("PK", 0), 0u);
  EXPECT_EQ(Cli({"export", report, "-o", book}).status, kExitFailures);
  EXPECT_EQ(Cli({"export", report, "-o", book, "--force"}).status, kExitOk);

  std::string empty = dir.write("empty.vmr", ReportText(AnalyserList(), testdata::FixedTime()));
  CliRun nothing = Cli({"export", empty, "-o", dir.file("none.xlsx")});
  EXPECT_EQ(nothing.status, kExitFailures);
  EXPECT_EQ(nothing.err, "Vellmark: Nothing to Save\n");
  EXPECT_FALSE(fs::exists(dir.file("none.xlsx")));
  EXPECT_EQ(Cli({"export", report}).status, kExitUsage);
}

}  // namespace
}  // namespace vellmark::cli
