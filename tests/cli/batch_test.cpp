// Archives at scale: result lines per entry, their merge against one analyse of the
// whole list, resumed runs, and path lists too long for a command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "cli/cli_observer.h"
#include "cli/cli_run.h"
#include "core/archive_files.h"
#include "support/fault_injection.h"
#include "support/memory_file_system.h"
#include "testdata/archives.h"
#include "testdata/cdot.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

namespace td = testdata;

// A workbook's parts, all but docProps/core.xml, which holds the time it was written.
std::string WorkbookParts(const std::string& book) {
  std::filesystem::copy_file(book, book + ".zip", std::filesystem::copy_options::overwrite_existing);
  ArchiveFiles files(RealFileSystem());
  std::string parts;
  for (const std::string& member : files.expand(book + ".zip").paths) {
    auto part = files.openRead(member);
    if (!part || member.ends_with("#docProps/core.xml")) continue;
    std::string bytes((*part)->size(), '\0');
    if ((*part)->readAt(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size())) parts += member + bytes;
  }
  return parts;
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
  // Each format, and the continuity findings across the shards.
  const std::map<std::string, std::string> formats = {{"table", "table"}, {"json", "json"}, {"csv", "csv"},
      {"vmr", "vmr"}, {"jsonl", "jsonl"}, {"continuity", "json --continuity"}};
  std::map<std::string, std::string> whole;
  for (const auto& [name, format] : formats) whole[name] = Cli(Cmd("analyse --year 2026 --jobs 2 --format " + format, paths)).out;
  std::mt19937 random(19);
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<std::size_t> cuts = {0, paths.size()};
    for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k)
      cuts.push_back(std::uniform_int_distribution<std::size_t>(0, paths.size())(random));
    std::sort(cuts.begin(), cuts.end());
    Arguments shards;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
      std::vector<std::string> part(paths.begin() + cuts[i], paths.begin() + cuts[i + 1]);
      shards.push_back(dir.write("shard" + std::to_string(i) + ".jsonl",
                                 part.empty() ? "" : Cli(Cmd("analyse --year 2026 --format jsonl", part)).out));
    }
    for (const auto& [name, format] : formats) {
      CliRun merged = Cli(Cmd("merge --format " + format, shards));
      EXPECT_EQ(merged.out, whole[name]) << "trial " << trial << ", " << name;
      EXPECT_EQ(merged.status, kExitFailures);  // the broken .gz, as in analyse
    }
  }
  // The workbook and the report come out of the same writers.
  ASSERT_EQ(Cli(Cmd("analyse --year 2026 -o " + dir.file("a.vmr") + " --xlsx " + dir.file("a.xlsx"), paths)).status,
            kExitFailures);
  Cli(Cmd("merge -o " + dir.file("m.vmr") + " --xlsx " + dir.file("m.xlsx"), {dir.write("all.jsonl", whole["jsonl"])}));
  EXPECT_EQ(ReadText(dir.file("m.vmr")), ReadText(dir.file("a.vmr")));
  const std::string book = WorkbookParts(dir.file("a.xlsx"));
  EXPECT_NE(book.find("a.xlsx.zip#xl/worksheets/sheet1.xml"), std::string::npos);
  std::filesystem::rename(dir.file("m.xlsx"), dir.file("a.xlsx"));
  EXPECT_EQ(WorkbookParts(dir.file("a.xlsx")), book);
}

TEST_F(MixedList, ResumeReadsOnlyWhatIsNotDoneAndKeepsTheResultsFileWhole) {
  std::erase(paths, dir.file("day.zip"));  // an archive's listing is read again each time
  const std::string results = dir.file("results.jsonl"), other = dir.file("other.jsonl");
  const Arguments resume = Cmd("analyse --year 2026 --format jsonl --resume " + results, paths);
  const std::string full = Cli(resume).out;
  EXPECT_EQ(ReadText(results), full);

  // Killed while writing a line: the cut line goes, the lines before are not read again.
  const std::size_t kept = full.find('\n', full.size() / 2) + 1;
  std::ofstream(results, std::ios::binary | std::ios::trunc) << full.substr(0, kept + 40);
  CliRun cut = Cli({"merge", "--format", "jsonl", results});
  EXPECT_EQ(cut.err, "vellmark-cli merge: " + results + ": its last line is cut short and left out\n");
  EXPECT_EQ(cut.out, full.substr(0, kept));
  EXPECT_EQ(Cli(resume).out, full);
  EXPECT_EQ(ReadText(results).substr(0, kept + 1), full.substr(0, kept) + "{");
  EXPECT_EQ(Cli({"merge", "--format", "jsonl", results}).out, full);
  // Again: only the file that failed is read, and the results file.
  FaultInjectingFileSystem counting(RealFileSystem());
  Cli({"analyse", dir.file("broken.gz")}, counting);
  const int failedReads = counting.readCalls();
  const auto linesBefore = std::ranges::count(ReadText(results), '\n');
  EXPECT_EQ(Cli(resume, counting).out, full);
  EXPECT_EQ(counting.readCalls(), 2 * failedReads + 1) << "a finished file was read again";  // + the results
  EXPECT_EQ(std::ranges::count(ReadText(results), '\n'), linesBefore + 1) << "a reused line was appended again";

  // A changed file is read again, its new line appended; the last line of a path counts.
  ASSERT_EQ(truncate(paths[1].c_str(), 100), 0);
  EXPECT_EQ(Cli(resume).out.find(full.substr(0, full.find('\n'))), 0u);
  const std::string json = Cli(Cmd("analyse --year 2026 --format json", paths)).out;
  EXPECT_EQ(Cli({"merge", "--format", "json", results}).out, json);
  // A Ctrl-C: stopped entries get lines that the next run does not trust.
  g_interrupts = 1;
  CliRun stopped = Cli(Cmd("analyse --year 2026 --jobs 1 --format jsonl --resume " + other, paths));
  g_interrupts = 0;
  EXPECT_EQ(stopped.status, kExitFailures);
  EXPECT_NE(ReadText(other).find("To be  Analysed"), std::string::npos);
  FaultInjectingFileSystem fullDisk(RealFileSystem());
  fullDisk.failWritesAfter(0, ENOSPC);
  CliRun noRoom = Cli(Cmd("analyse --year 2026 --resume " + other, paths), fullDisk);
  EXPECT_EQ(noRoom.status, kExitFailures);
  EXPECT_NE(noRoom.err.find("cannot add to " + other + ": No space left on device"), std::string::npos) << noRoom.err;
  EXPECT_EQ(Cli(Cmd("analyse --year 2026 --format json --resume " + other, paths)).out, json);
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
  CliRun run = Cli(Cmd("analyse --year 2026 --jobs 1 --format csv --files-from - -0"), files, names);
  EXPECT_EQ(run.status, kExitOk) << run.err.substr(0, 300);
  EXPECT_NE(run.out.find("\r\n100000,/x/99999/KOL"), std::string::npos);
  EXPECT_NE(run.out.find("\r\n1008,\"/x/1007\nline/KOL"), std::string::npos);
  CliRun probe = Cli(Cmd("probe --files-from=- -0"), files, names);
  EXPECT_EQ(std::count(probe.out.begin(), probe.out.end(), '\n'), static_cast<long>(n));
}

}  // namespace
}  // namespace vellmark::cli
