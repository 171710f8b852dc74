// Archives at scale: result lines per entry, their merge against one analyse of the
// whole list, resumed runs, and path lists too long for a command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "cli/cli_observer.h"
#include "cli/cli_run.h"
#include "cli/result_line.h"
#include "support/fault_injection.h"
#include "support/memory_file_system.h"
#include "testdata/archives.h"
#include "testdata/cdot.h"
#include "testdata/ocb.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

namespace td = testdata;

CliRun CliWithInput(const Arguments& args, const std::string& input, FileSystem& files = RealFileSystem()) {
  std::ostringstream out, err;
  std::istringstream in(input);
  CliIo io{out, err, false, files, Clock{[] { return td::FixedTime(); }}, in};
  int status = RunCli(args, io);
  return {status, out.str(), err.str()};
}

std::string Read(const std::string& path) {
  auto bytes = td::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

Arguments With(Arguments args, const std::vector<std::string>& more, const std::vector<std::string>& paths = {}) {
  args.insert(args.end(), more.begin(), more.end());
  args.insert(args.end(), paths.begin(), paths.end());
  return args;
}

// Every family, a compressed file, a zip, a packed file that cannot be unpacked, a
// file of no family, copies under other names (one not UTF-8).
struct MixedList : ::testing::Test {
  td::TempDir dir;
  std::vector<std::string> paths;
  void SetUp() override {
    for (const auto& s : td::AllSamples()) paths.push_back(dir.write(s.name, s.bytes));
    const td::Bytes cdot = td::CdotFile(td::CdotCalls(30));
    paths.push_back(dir.write(td::CdotFileName("DEL", 3, 4, 26) + ".gz", td::Compress(cdot, td::Packing::Gzip)));
    paths.push_back(dir.write("day.zip", td::BuildZip({{"a/" + td::CdotFileName("KOL", 1, 2, 26), cdot}, {"x.txt", td::Text("x")}})));
    paths.push_back(dir.write("broken.gz", "not packed at all"));
    paths.push_back(dir.write("odd\xff name.DAT", td::ReadWholeFile(paths.front())));
  }
};

TEST_F(MixedList, MergedShardsPrintWhatAnalysePrintsForTheWholeList) {
  const Arguments analyse = {"analyse", "--year", "2026", "--jobs", "2", "--format"};
  // Each format, and the continuity findings across the shards.
  auto formatArgs = [](const std::string& format) {
    return format == "continuity" ? std::vector<std::string>{"json", "--continuity"} : std::vector<std::string>{format};
  };
  std::map<std::string, std::string> whole;
  for (const char* format : {"table", "json", "csv", "vmr", "jsonl", "continuity"})
    whole[format] = Cli(With(analyse, formatArgs(format), paths)).out;
  // One line per entry, none depending on another; the failure and the warnings carried.
  std::string error;
  std::istringstream lines(whole["jsonl"]);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(ParseResultLine(line, error)) << error << "\n" << line;
  EXPECT_NE(whole["jsonl"].find("\"error_kind\":\"corrupt\""), std::string::npos);
  EXPECT_NE(whole["jsonl"].find("\"path\":\"" + dir.path() + "/odd\\udcff name.DAT\""), std::string::npos);

  std::mt19937 random(19);
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<std::size_t> cuts = {0, paths.size()};
    for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k)
      cuts.push_back(std::uniform_int_distribution<std::size_t>(0, paths.size())(random));
    std::sort(cuts.begin(), cuts.end());
    Arguments shards;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
      std::vector<std::string> part(paths.begin() + cuts[i], paths.begin() + cuts[i + 1]);
      const std::string shard = dir.file("shard" + std::to_string(i) + ".jsonl");
      std::ofstream(shard, std::ios::binary) << (part.empty() ? "" : Cli(With(analyse, {"jsonl"}, part)).out);
      shards.push_back(shard);
    }
    for (const auto& [format, expected] : whole) {
      CliRun merged = Cli(With(With({"merge", "--format"}, formatArgs(format)), shards));
      EXPECT_EQ(merged.out, expected) << "trial " << trial << ", " << format;
      EXPECT_EQ(merged.status, kExitFailures);  // the broken .gz, as in analyse
    }
  }
  // The workbook and the report come out of the same writers.
  ASSERT_EQ(Cli(With({"analyse", "--year", "2026", "-o", dir.file("a.vmr"), "--xlsx", dir.file("a.xlsx")}, paths)).status,
            kExitFailures);
  const std::string all = dir.write("all.jsonl", whole["jsonl"]);
  Cli({"merge", "-o", dir.file("m.vmr"), "--xlsx", dir.file("m.xlsx"), all});
  EXPECT_EQ(Read(dir.file("m.vmr")), Read(dir.file("a.vmr")));
  EXPECT_EQ(Read(dir.file("m.xlsx")), Read(dir.file("a.xlsx")));
}

TEST(OcbShards, AFileWithoutItsLayoutMarkIsTheOneSplitThatDiffers) {
  td::TempDir dir;
  td::OcbFile b{td::OcbLayout::B, td::OcbBlocksOf(td::OcbCalls(60, 40, 3600, 60), 26, 40)};
  td::OcbFile a{td::OcbLayout::A, b.blocks, td::OcbEnd::Mark4040, false};
  td::Bytes unmarked = td::BuildOcbFile(a);
  td::Put(unmarked, 32, {0xC6, 0xC4});  // what the probe looks for, the reader does not
  const std::string first = dir.write("B.DAT", td::BuildOcbFile(b)), second = dir.write("U.DAT", unmarked);
  const Arguments jsonl = {"analyse", "--format", "jsonl", "--year", "2026"};
  const std::string together = Cli(With(jsonl, {first, second})).out;
  const std::string alone = Cli(With(jsonl, {second})).out;
  // Read after the layout B file, it is read in layout B; read first, it is read in
  // layout A with a warning that says so.
  EXPECT_EQ(together.find("assumed_layout"), std::string::npos);
  EXPECT_NE(alone.find("\"kind\":\"assumed_layout\""), std::string::npos) << alone;
  EXPECT_NE(together.substr(together.find('\n') + 1), alone);
}

TEST_F(MixedList, ResumeReadsOnlyWhatIsNotDoneAndKeepsTheResultsFileWhole) {
  std::erase(paths, dir.file("day.zip"));  // an archive's listing is read again each time
  const std::string results = dir.file("results.jsonl");
  const Arguments resume = With({"analyse", "--year", "2026", "--format", "jsonl", "--resume", results}, paths);
  const std::string full = Cli(resume).out;
  EXPECT_EQ(Read(results), full);

  // Killed while writing a line: the cut line goes, the lines before are not read again.
  const std::size_t kept = full.find('\n', full.size() / 2) + 1;
  std::ofstream(results, std::ios::binary | std::ios::trunc) << full.substr(0, kept + 40);
  EXPECT_EQ(Cli(resume).out, full);
  EXPECT_EQ(Read(results).substr(0, kept + 1), full.substr(0, kept) + "{");
  EXPECT_EQ(Cli({"merge", "--format", "jsonl", results}).out, full);
  // Again: only the file that failed is read, and the results file.
  FaultInjectingFileSystem counting(RealFileSystem());
  Cli({"analyse", dir.file("broken.gz")}, counting);
  const int failedReads = counting.readCalls();
  EXPECT_EQ(Cli(resume, counting).out, full);
  EXPECT_EQ(counting.readCalls(), 2 * failedReads + 1) << "a finished file was read again";  // + the results

  // A changed file is read again, its new line appended; the last line of a path counts.
  ASSERT_EQ(truncate(paths[1].c_str(), 100), 0);
  EXPECT_EQ(Cli(resume).out.find(full.substr(0, full.find('\n'))), 0u);
  EXPECT_EQ(Cli(With({"merge", "--format", "json"}, {results})).out,
            Cli(With({"analyse", "--year", "2026", "--format", "json"}, paths)).out);
  // A Ctrl-C: stopped entries get lines that the next run does not trust.
  const std::string other = dir.file("other.jsonl");
  g_interrupts = 1;
  CliRun stopped = Cli(With({"analyse", "--year", "2026", "--jobs", "1", "--format", "jsonl", "--resume", other}, paths));
  g_interrupts = 0;
  EXPECT_EQ(stopped.status, kExitFailures);
  EXPECT_NE(Read(other).find("To be  Analysed"), std::string::npos);
  FaultInjectingFileSystem fullDisk(RealFileSystem());
  fullDisk.failWritesAfter(0, ENOSPC);
  CliRun noRoom = Cli(With({"analyse", "--year", "2026", "--resume", other}, paths), fullDisk);
  EXPECT_EQ(noRoom.status, kExitFailures);
  EXPECT_NE(noRoom.err.find("cannot add to " + other + ": No space left on device"), std::string::npos) << noRoom.err;
  CliRun rest = Cli(With({"analyse", "--year", "2026", "--format", "json", "--resume", other}, paths));
  EXPECT_EQ(rest.out, Cli(With({"analyse", "--year", "2026", "--format", "json"}, paths)).out);
}

TEST(FilesFrom, AHundredThousandNamesEndedByNul) {
  MemoryFileSystem files;
  const td::Bytes cdot = td::CdotFile(td::CdotCalls(2));
  std::string names;
  const std::size_t n = 100000;
  for (std::size_t i = 0; i < n; ++i) {
    std::string name = "/x/" + std::to_string(i) + (i % 1000 == 7 ? "\nline" : "") + "/" + td::CdotFileName("KOL", 1 + i % 28, 2, 26);
    files.put(name, cdot);
    names += name + '\0';
  }
  CliRun run = CliWithInput({"analyse", "--year", "2026", "--jobs", "1", "--format", "csv", "--files-from", "-", "-0"}, names, files);
  EXPECT_EQ(run.status, kExitOk) << run.err.substr(0, 300);
  EXPECT_NE(run.out.find("\r\n100000,/x/99999/KOL"), std::string::npos);
  EXPECT_NE(run.out.find("\r\n1008,\"/x/1007\nline/KOL"), std::string::npos);
  CliRun probe = CliWithInput({"probe", "--files-from=-", "-0"}, names, files);
  EXPECT_EQ(std::count(probe.out.begin(), probe.out.end(), '\n'), static_cast<long>(n));
}

}  // namespace
}  // namespace vellmark::cli
