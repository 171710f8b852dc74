// The committed samples/ folder is exactly what the sample maker writes today.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "testdata/bytes.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

TEST(Samples, CommittedSamplesMatchTheGenerator) {
  testdata::TempDir dir;
  std::string command = std::string(VELLMARK_MAKE_SAMPLES) + " '" + dir.path() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::filesystem::path committed = std::filesystem::path(VELLMARK_SOURCE_DIR) / "samples";
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++count;
    std::filesystem::path mine = committed / entry.path().filename();
    ASSERT_TRUE(std::filesystem::exists(mine)) << mine << " is missing: run vellmark-make-samples samples";
    EXPECT_EQ(testdata::ReadWholeFile(mine.string()), testdata::ReadWholeFile(entry.path().string()))
        << mine << " differs from the generator: run vellmark-make-samples samples";
  }
  EXPECT_EQ(count, static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(committed), {})));
  EXPECT_EQ(count, testdata::AllSamples().size());
}

}  // namespace
}  // namespace vellmark
