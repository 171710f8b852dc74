// File operations that fail under the analysis session: every failure must end as an
// invalid entry that says why, and the pass must go on with the next entry.

#include "support/fault_injection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "analysis/analysis_session.h"
#include "core/switch_family.h"
#include "core/texts.h"
#include "readers/probe.h"
#include "testdata/axe.h"
#include "testdata/cdot.h"
#include "testdata/e10b.h"
#include "testdata/ess.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/recording_observer.h"

namespace vellmark {
namespace {

namespace fs = std::filesystem;
using namespace testdata;

const std::string kWaiting(kWaitingStatus);
const std::string kInvalid(kInvalidStatus);

// The block reader reads 1 MiB at a time: a fault from here on hits a large file's
// second read, after its first megabyte was read well.
constexpr std::uint64_t kFaultOffset = (std::uint64_t{3} << 20) / 2;

struct FamilyFile {
  std::string family;
  std::string name;
  Bytes bytes;
};

Bytes EwsdCalls(std::size_t n) {
  std::vector<Bytes> records;
  for (const auto& stamp : EwsdStamps(n, EwsdStamp{26, 3, 1, 0, 0, 0}, 1)) records.push_back(EwsdRecordBytes(EwsdCall(stamp)));
  return EwsdFile(records);
}

// One file of each family with about `scale` times 2 MiB of records (scale 0: a few).
std::vector<FamilyFile> FilesOfEveryFamily(std::size_t scale) {
  auto n = [scale](std::size_t large, std::size_t few) { return scale ? large * scale : few; };
  return {
      {"OCB", "ocb.dat", BuildOcbFile({testdata::OcbLayout::A, OcbBlocksOf(OcbCalls(n(48 * 1100, 60), 45, 3600, 7), 26, 45)})},
      {"EWSD", "ewsd.ama", EwsdCalls(n(50000, 30))},
      {"E10B", "e10b.dat", E10bFile(E10bBlocks(E10bRun(1, n(78 * 1100, 90), 45, 8, 0)))},
      {"CDOT", CdotFileName("KOL1", 14, 2, 26), CdotFile(CdotCalls(n(50000, 40)))},
      {"AXE", "axe.ttt", AxeFile(AxeBlocks(AxeRun(0, n(17000, 100), "250318", 8, 0, 5)))},
      {"5ESS", "ess.ama", EssFile(EssRun(n(20000, 30), "250318", 8, 0, 1))},
  };
}

struct Fixture : ::testing::Test {
  TempDir dir;
  RecordingObserver observer;
  FaultInjectingFileSystem faulty{RealFileSystem()};
  AnalysisSession session{faulty};
  PassSummary summary;
  void analyse(bool all = false) { summary = session.RunAnalysis(all, observer); }
  TotalsTexts totals() const { return ShowTotals(summary.totals); }

  // Writes the file under `prefix` + its name and adds it; the family must be probed right.
  std::string add(const FamilyFile& file, const std::string& prefix) {
    std::string path = dir.write(prefix + file.name, file.bytes);
    EXPECT_TRUE(session.AddFile(path)) << file.family;
    EXPECT_EQ(session.list().at(session.list().size() - 1).family, file.family);
    return path;
  }
  const AnalyserEntry& entry(std::size_t row) { return session.list().at(row); }
  // The reader's result for the file with nothing failing.
  static std::vector<std::string> cleanResult(const std::string& path) {
    RecordingObserver quiet;
    AnalysisSession clean;
    clean.AddFile(path);
    clean.RunAnalysis(false, quiet);
    const AnalyserEntry& e = clean.list().at(0);
    EXPECT_FALSE(e.failure) << path << ": " << e.failure->reason;
    return {e.start, e.end, e.recordsText()};
  }
  void expectFailed(std::size_t row, FailureKind kind, const std::string& reason) {
    const AnalyserEntry& e = entry(row);
    EXPECT_EQ(e.start, kInvalid) << e.family;
    EXPECT_EQ(e.end, kInvalid) << e.family;
    EXPECT_EQ(e.records, 0u) << e.family;
    ASSERT_TRUE(e.failure) << e.family;
    EXPECT_EQ(e.failure->kind, kind) << e.family;
    EXPECT_EQ(e.failure->reason, reason) << e.family;
  }
  void expectRead(std::size_t row, const std::vector<std::string>& result) {
    const AnalyserEntry& e = entry(row);
    EXPECT_EQ((std::vector<std::string>{e.start, e.end, e.recordsText()}), result) << e.family;
    EXPECT_FALSE(e.failure) << e.family << ": " << e.failure->reason;
  }
};

using FaultInjection = Fixture;

TEST_F(FaultInjection, OpenFailureMarksEveryReadersEntryAndKeepsTheProbeFromAdding) {
  std::uint64_t bytes = 0;
  for (const auto& file : FilesOfEveryFamily(0)) {
    add(file, "");
    bytes += file.bytes.size();
  }
  faulty.failOpen(EACCES);

  // The probe cannot read the file: nothing is added, nothing is said.
  std::string late = dir.write("late.dat", CdotFile(CdotCalls(30)));
  EXPECT_EQ(ProbeSwitchFamily(faulty, late), kNotADataFile);
  EXPECT_EQ(session.OfferFiles({late}), std::vector<OfferOutcome>{OfferOutcome::NotReadable});
  EXPECT_EQ(session.list().size(), 6u);

  analyse();
  for (std::size_t row = 0; row < 6; ++row) expectFailed(row, FailureKind::Open, "Permission denied");
  // Failed entries still count as files, with their bytes, and no records.
  EXPECT_EQ(totals().files, "6");
  EXPECT_EQ(totals().size, MegabyteText(bytes));
  EXPECT_EQ(totals().records, "0");
  EXPECT_TRUE(summary.duplicatesFound);
}

TEST_F(FaultInjection, ReadFailingPartWayMarksTheEntryAndThePassGoesOn) {
  auto large = FilesOfEveryFamily(1);
  auto small = FilesOfEveryFamily(0);
  std::vector<std::vector<std::string>> expected;
  for (std::size_t i = 0; i < large.size(); ++i) {
    ASSERT_GT(large[i].bytes.size(), kFaultOffset + (std::uint64_t{1} << 19)) << large[i].family;
    add(large[i], "big-");
    expected.push_back(cleanResult(add(small[i], "small-")));
  }
  faulty.failReadsFrom(kFaultOffset, EIO);
  analyse();
  for (std::size_t i = 0; i < large.size(); ++i) {
    expectFailed(2 * i, FailureKind::Read, "Input/output error");
    expectRead(2 * i + 1, expected[i]);
  }
  EXPECT_EQ(totals().files, "12");
  EXPECT_TRUE(session.resultsShown());

  // The probe reads only the head: a fault there keeps the file out.
  faulty.failReadsFrom(0, EIO);
  EXPECT_FALSE(session.AddFile(dir.write("head.dat", CdotFile(CdotCalls(30)))));
  EXPECT_EQ(session.list().size(), 12u);
}

// Shortens the file on the disk right after the first read from it.
class ShrinkingFileSystem : public FaultInjectingFileSystem {
 public:
  ShrinkingFileSystem(FileSystem& inner, std::uint64_t to) : FaultInjectingFileSystem(inner), inner_(inner), to_(to) {}
  Result<std::unique_ptr<InputFile>> openRead(const std::string& path) override {
    auto file = inner_.openRead(path);
    if (!file) return file.error();
    return std::unique_ptr<InputFile>(new Shrinking(std::move(*file), path, to_, &armed));
  }
  bool armed = false;  // the probe's reads leave the file alone

 private:
  struct Shrinking : InputFile {
    Shrinking(std::unique_ptr<InputFile> inner, std::string path, std::uint64_t to, const bool* armed)
        : inner(std::move(inner)), path(std::move(path)), to(to), armed(armed) {}
    Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
      auto got = inner->readAt(offset, buffer, n);
      if (*armed && !shrunk && size() > to) {
        EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(to)), 0);
      }
      shrunk = *armed;
      return got;
    }
    std::uint64_t size() const override { return inner->size(); }
    std::unique_ptr<InputFile> inner;
    std::string path;
    std::uint64_t to;
    const bool* armed;
    bool shrunk = false;
  };
  FileSystem& inner_;
  std::uint64_t to_;
};

TEST_F(FaultInjection, FileIsReadAsItIsAtAnalysisAndShrinkingWhileReadIsAnError) {
  // Grown and shrunk between adding and analysing: read as it is now.
  add({"CDOT", "KOL1140226.DAT", CdotFile(CdotCalls(30))}, "");
  std::string shrinks = add({"5ESS", "ess.ama", EssFile(EssRun(40, "250318", 8, 0, 1))}, "");
  Bytes grown = CdotFile(CdotCalls(300));
  Bytes shrunk = EssFile(EssRun(15, "250318", 8, 0, 1));
  dir.write("KOL1140226.DAT", grown);
  dir.write("ess.ama", shrunk);
  analyse();
  expectRead(0, {"2026-02-14   00:00:00", "2026-02-14   23:59:59", "300"});
  expectRead(1, cleanResult(shrinks));
  EXPECT_EQ(entry(1).records, 15u);
  EXPECT_EQ(totals().size, MegabyteText(grown.size() + shrunk.size()));
  EXPECT_EQ(totals().records, "315");

  // Shrinking under a reader that has read its first megabyte.
  ShrinkingFileSystem shrinking(RealFileSystem(), std::uint64_t{1} << 19);
  AnalysisSession cut(shrinking);
  auto files = FilesOfEveryFamily(1);
  for (const auto& file : files) ASSERT_TRUE(cut.AddFile(dir.write("cut-" + file.name, file.bytes)));
  shrinking.armed = true;
  cut.RunAnalysis(false, observer);
  for (std::size_t row = 0; row < files.size(); ++row) {
    const AnalyserEntry& e = cut.list().at(row);
    EXPECT_EQ(e.start, kInvalid) << e.family;
    ASSERT_TRUE(e.failure) << e.family;
    EXPECT_EQ(e.failure->kind, FailureKind::Read) << e.family;
    EXPECT_EQ(e.failure->reason, "the file became shorter while it was read") << e.family;
  }
}

TEST_F(FaultInjection, FileReplacedByAFolderOrDeletedBeforeTheAnalysis) {
  auto files = FilesOfEveryFamily(0);
  std::string gone = add(files[0], "");
  std::string folder = add(files[1], "");
  add(files[3], "");
  std::string kept = dir.file(files[3].name);
  fs::remove(gone);
  fs::remove(folder);
  fs::create_directory(folder);

  analyse();
  expectFailed(0, FailureKind::Open, "No such file or directory");
  expectFailed(1, FailureKind::Open, "Is a directory");
  expectRead(2, cleanResult(kept));
  // Both still count as files, but neither brings bytes.
  EXPECT_EQ(totals().files, "3");
  EXPECT_EQ(totals().size, MegabyteText(files[3].bytes.size()));
  EXPECT_EQ(totals().records, entry(2).recordsText());

  // Back as a file: Re Analyse reads it again and the failure is gone.
  fs::remove(folder);
  dir.write(files[1].name, files[1].bytes);
  analyse(true);
  expectRead(1, cleanResult(folder));
  EXPECT_FALSE(entry(1).failure);
}

}  // namespace
}  // namespace vellmark
