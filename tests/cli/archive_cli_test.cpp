// vellmark-cli on compressed files and archives: members one per line in probe, the
// compressed size in JSON only for packed entries, errors on stderr and in the status.
#include <gtest/gtest.h>

#include "cli/cli_run.h"
#include "testdata/archives.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

namespace td = testdata;

TEST(ArchiveCli, ProbeListsMembersAndJsonTellsPackedSizes) {
  td::TempDir dir;
  const td::SampleFile sample = td::CdotSamples().front();
  const std::string plain = dir.write(sample.name, sample.bytes);
  const td::Bytes gz = td::Compress(sample.bytes, td::Packing::Gzip);
  const td::Bytes zip = td::BuildZip({{"in/", {}, td::Member::Kind::Folder},
                                      {"in/" + sample.name, sample.bytes},
                                      {"old.zip", td::BuildZip({{sample.name, sample.bytes}})}});
  const std::string packed = dir.write(sample.name + ".gz", gz);
  const std::string archive = dir.write("day.zip", zip);
  const std::string broken = dir.write("broken.tgz", sample.bytes);

  CliRun probe = Cli({"probe", archive, packed});
  EXPECT_EQ(probe.status, kExitOk);
  EXPECT_EQ(probe.out, "CDOT\t" + archive + "#in/" + sample.name + "\nUnknown\t" + archive + "#old.zip\nCDOT\t" +
                           packed + "\n");

  CliRun json = Cli({"analyse", "--format", "json", "--year", "2026", plain, packed, archive});
  EXPECT_EQ(json.status, kExitOk) << json.err;
  const std::string size = ",\"size\":\"" + std::to_string((sample.bytes.size() + 512) / 1024) + " KB\"";
  auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = json.out.find(text); at != std::string::npos; at = json.out.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(size + ",\"duplicate\""), 1u);  // the plain file: no compressed size
  EXPECT_EQ(count(size + ",\"compressed_size_bytes\":" + std::to_string(gz.size()) + ","), 1u);
  EXPECT_EQ(count(size + ",\"compressed_size_bytes\":" + std::to_string(zip.size()) + ","), 1u);

  CliRun failed = Cli({"analyse", broken});
  EXPECT_EQ(failed.status, kExitFailures);
  EXPECT_NE(failed.err.find("failed: " + broken + ": corrupt: "), std::string::npos) << failed.err;
}

}  // namespace
}  // namespace vellmark::cli
