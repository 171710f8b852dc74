// What vellmark-cli prints for the bundled samples, format by format, as readable text
// files in golden/ beside this test. VELLMARK_UPDATE_GOLDEN=1 writes them anew.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "cli/cli_run.h"
#include "testdata/bytes.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

const std::string kGolden = std::string(VELLMARK_SOURCE_DIR) + "/tests/cli/golden/";

// The samples as ./run names them, relative to the source folder.
Arguments Samples() {
  Arguments paths;
  for (const auto& sample : testdata::AllSamples()) paths.push_back("samples/" + sample.name);
  std::sort(paths.begin(), paths.end());
  return paths;
}

void ExpectGolden(const std::string& name, const std::string& actual) {
  if (std::getenv("VELLMARK_UPDATE_GOLDEN")) std::ofstream(kGolden + name, std::ios::binary) << actual;
  auto expected = testdata::ReadWholeFile(kGolden + name);
  EXPECT_EQ(std::string(expected.begin(), expected.end()), actual) << name << " differs";
}

// Runs the commands from the source folder, so the paths printed are the same anywhere.
struct CliGolden : ::testing::Test {
  void SetUp() override {
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    ASSERT_EQ(chdir(VELLMARK_SOURCE_DIR), 0);
  }
  void TearDown() override { (void)chdir(cwd_); }
  char cwd_[4096];
};

TEST_F(CliGolden, AnalyseProbeAndOpenOfTheSamples) {
  for (const char* format : {"table", "json", "csv", "vmr"}) {
    for (const char* jobs : {"1", "2"}) {
      Arguments args{"analyse", "--year", "2026", "--jobs", jobs, "--format", format};
      for (const auto& path : Samples()) args.push_back(path);
      CliRun run = Cli(args);
      EXPECT_EQ(run.status, kExitOk) << run.err;
      EXPECT_EQ(run.err, "");
      ExpectGolden(std::string("analyse.") + format, run.out);
    }
  }
  // Every optional part: both digests, verified counts and calls per hour, continuity.
  for (const char* format : {"table", "json"}) {
    Arguments args{"analyse", "--year", "2026", "--verify", "--sha256", "--continuity", "--format", format};
    for (const auto& path : Samples()) args.push_back(path);
    ExpectGolden(std::string("analyse-verify-continuity.") + format, Cli(args).out);
  }
  Arguments probe{"probe"};
  for (const auto& path : Samples()) probe.push_back(path);
  ExpectGolden("probe", Cli(probe).out);

  testdata::TempDir dir;
  Arguments save{"analyse", "--year", "2026", "-o", dir.file("samples.vmr")};
  for (const auto& path : Samples()) save.push_back(path);
  ASSERT_EQ(Cli(save).status, kExitOk);
  ExpectGolden("open.json", Cli({"open", "--format", "json", dir.file("samples.vmr")}).out);
  ExpectGolden("open.table", Cli({"open", dir.file("samples.vmr")}).out);
}

}  // namespace
}  // namespace vellmark::cli
