#include "readers/modCdot.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/memory_file_system.h"
#include "testdata/cdot.h"
#include "testdata/reader_harness.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::CdotCalls;
using testdata::CdotEndMark;
using testdata::CdotFile;
using testdata::ReaderHarness;

constexpr char kPath[] = "/cdr/KOL1140226.DAT";

struct InMemory {
  InMemory() : harness(fs, 2026) {}
  std::string read(const Bytes& bytes, const std::string& path = kPath) {
    fs.put(path, bytes);
    return harness.read(ReadCdotFile, path);
  }
  MemoryFileSystem fs;
  ReaderHarness harness;
};

std::string Count(const std::string& result) { return result.substr(result.rfind(',') + 1); }
std::string CountOf(const Bytes& bytes) { return Count(InMemory().read(bytes)); }

TEST(CdotReader, DateComesFromTheFileName) {
  EXPECT_EQ(CdotDateText("/cdr/ABCD051123.dat", 2026), "2023-11-05");
  EXPECT_EQ(CdotDateText("/cdr/AB0511.dat", 2026), "2026-11-05");
  EXPECT_EQ(CdotDateText("/cdr/AB0511.dat", 2000), "2000-11-05");
  EXPECT_EQ(CdotDateText("ABCD051123.x.y", 2026), "2023-11-05");           // first "." splits
  EXPECT_EQ(CdotDateText("/data/v1.2/ABCD051123.dat", 2026), "2023-11-05");  // folders play no part
  EXPECT_EQ(CdotDateText("C:\\cdr\\v1.2\\ABCD051123.dat", 2026), "2023-11-05");
  EXPECT_EQ(CdotDateText("/mnt/a.b\\KOL1140226.DAT", 2026), "2026-02-14");
  EXPECT_EQ(CdotDateText("/cdr/KOL1140226.DAT\\", 2026), "2026--");
  EXPECT_EQ(CdotDateText("ABCDE051123.dat", 2026), "2026-23-11");          // 11 characters: DDMM
  EXPECT_EQ(CdotDateText("/cdr/AB.dat", 2026), "2026-AB-AB");
  EXPECT_EQ(CdotDateText("/cdr/ABC.dat", 2026), "2026-BC-AB");
  EXPECT_EQ(CdotDateText("/cdr/.dat", 2026), "2026--");
  EXPECT_EQ(CdotDateText("", 2026), "2026--");
  // Without a "." the whole name is the base.
  EXPECT_EQ(CdotDateText("/cdr/ABCD051123", 2026), "2023-11-05");
  EXPECT_EQ(CdotDateText("/v1.0/X0511", 2026), "2026-11-05");
  EXPECT_EQ(CdotDateText("/cdr/XY3112.DAT", 2026), "2026-12-31");
}

TEST(CdotReader, ResultIsTheDayAndTheCount) {
  InMemory m;
  EXPECT_EQ(m.read(CdotFile(CdotCalls(250)), "/cdr/ABCD051123.dat"),
            "2023-11-05   00:00:00,2023-11-05   23:59:59,250");
  // A name without "." is read like any other.
  EXPECT_EQ(m.read(CdotFile(CdotCalls(3)), "/cdr/AB0511"), "2026-11-05   00:00:00,2026-11-05   23:59:59,3");
  EXPECT_EQ(m.harness.polls, 0);
  EXPECT_EQ(m.harness.questions, 0);
}

TEST(CdotReader, CountsReadsUpToTheEndMark) {
  EXPECT_EQ(CountOf(CdotFile(CdotCalls(10))), "10");   // 480 bytes
  Bytes more = CdotFile(CdotCalls(10));
  more.push_back(0x55);
  EXPECT_EQ(CountOf(more), "11");                      // 481: the last byte is a read of its own
  EXPECT_EQ(CountOf({}), "1");                         // the first read always counts
  EXPECT_EQ(CountOf(Bytes(1, 9)), "1");

  // Kind 2 is a call; 3 and above end the records, the ending read counted.
  auto calls = CdotCalls(6);
  calls[2].kind = 5;
  EXPECT_EQ(CountOf(CdotFile(calls)), "3");
  calls[2].kind = 3;
  EXPECT_EQ(CountOf(CdotFile(calls)), "3");
  calls[2].kind = 2;
  EXPECT_EQ(CountOf(CdotFile(calls)), "6");
  calls[0] = CdotEndMark();
  EXPECT_EQ(CountOf(CdotFile(calls)), "1");

  // Nothing but byte 27 matters.
  Bytes ones(48 * 7, 0xFF), zeros(48 * 7, 0x00);
  for (std::size_t r = 0; r < 7; ++r) ones[48 * r + 27] = zeros[48 * r + 27] = 1;
  EXPECT_EQ(CountOf(ones), "7");
  EXPECT_EQ(CountOf(zeros), "7");
}

TEST(CdotReader, PartialLastRecordCountsOnce) {
  Bytes file = CdotFile(CdotCalls(5));
  Bytes cutBeforeKind(file.begin(), file.end() - 48 + 20);   // last record ends before byte 27
  EXPECT_EQ(CountOf(cutBeforeKind), "5");
  Bytes cutAfterMark = file;
  cutAfterMark.resize(48 * 4 + 30);
  cutAfterMark[48 * 4 + 27] = 9;                              // a mark in the partial record
  EXPECT_EQ(CountOf(cutAfterMark), "5");
  cutAfterMark[48 * 4 + 27] = 1;
  EXPECT_EQ(CountOf(cutAfterMark), "5");
}

TEST(CdotReader, ProgressFollowsThePosition) {
  InMemory m;
  m.read(CdotFile(CdotCalls(10)));   // 480 bytes: divisor 4, positions 49, 97, ...
  EXPECT_EQ(m.harness.progress, (std::vector<int>{12, 24, 36, 48, 60, 72, 84, 96, 100, 0}));
  InMemory empty;
  empty.read({});                    // divisor 1: the one read moves to position 49
  EXPECT_EQ(empty.harness.progress, (std::vector<int>{49, 100, 0}));

  // Larger files: every value the position gives while the bar is below 100.
  for (std::size_t size : {std::size_t{14400}, std::size_t{5000}, std::size_t{48 * 100 + 7}, std::size_t{99}}) {
    Bytes file = CdotFile(CdotCalls(size / 48 + 1));
    file.resize(size);
    std::vector<int> expected;
    std::uint64_t divisor = std::max<std::uint64_t>(size / 100, 1);
    int bar = 0;
    for (std::uint64_t k = 1; k <= testdata::CdotModelCount(file); ++k) {
      if (bar >= 100) break;
      int value = static_cast<int>(std::min<std::uint64_t>((48 * k + 1) / divisor, 100));
      if (value != bar) expected.push_back(bar = value);
    }
    if (bar != 100) expected.push_back(100);
    expected.push_back(0);
    InMemory big;
    big.read(file);
    EXPECT_EQ(big.harness.progress, expected) << size << " bytes";
  }
}

TEST(CdotReader, WalksPastTheReadBuffer) {
  // 1 MiB is not a multiple of 48: reads straddle the buffer's end.
  auto calls = CdotCalls(23000);
  Bytes whole = CdotFile(calls);
  EXPECT_EQ(CountOf(whole), "23000");
  calls[21845].kind = 0xFE;   // its byte 27 lies just past the first 1 MiB
  EXPECT_EQ(CountOf(CdotFile(calls)), "21846");
  calls[21845].kind = 1;
  calls[21844].kind = 0xFE;   // its read takes the buffer's last bytes
  EXPECT_EQ(CountOf(CdotFile(calls)), "21845");
}

}  // namespace
}  // namespace vellmark
