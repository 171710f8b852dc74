// Files built to make a reader loop, crawl or run away: each must end, promptly, with a
// result drawn from the bytes that are there.

#include <gtest/gtest.h>

#include "support/memory_file_system.h"
#include "readers/reader_contract.h"
#include "readers/modAXE.h"
#include "readers/modESS.h"
#include "readers/modEWSD.h"
#include "testdata/bytes.h"
#include "testdata/reader_harness.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::ReaderHarness;

constexpr std::size_t kTenMegabytes = 10u << 20;

Bytes Repeated(std::initializer_list<std::uint8_t> pattern, std::size_t size) {
  Bytes bytes;
  bytes.reserve(size);
  while (bytes.size() < size)
    for (std::uint8_t b : pattern) bytes.push_back(b);
  bytes.resize(size);
  return bytes;
}

std::string Count(const std::string& result) { return result.substr(result.rfind(',') + 1); }

struct HostileFiles : ::testing::Test {
  MemoryFileSystem files;
  ReaderHarness harness{files};
  std::string read(const ReaderFunction& reader, Bytes bytes) {
    files.put("/cdr/hostile", std::move(bytes));
    harness.progress.clear();
    return harness.read(reader, "/cdr/hostile");
  }
};

TEST_F(HostileFiles, EwsdSkipItemsOfLengthZeroAndTinyRecords) {
  // A skip item of length 0 would never move on: the walk ends at the first one.
  EXPECT_EQ(read(ReadEwsdFile, Repeated({0x81, 0x00}, kTenMegabytes)), ",,0");
  EXPECT_EQ(harness.finalProgress(), 0);

  // Records whose length byte says 1 hold no flags byte: the file is corrupt.
  EXPECT_EQ(read(ReadEwsdFile, Repeated({0x84, 0x01}, kTenMegabytes)).rfind("failed: corrupt: ", 0), 0u)
      << "a one-byte record was read";

  // The smallest records that hold a flags byte, back to back: every one is counted,
  // the bar runs its course. The last byte opens a record whose length lies past the
  // end, where it reads as 0: no record.
  EXPECT_EQ(Count(read(ReadEwsdFile, Repeated({0x84, 0x03, 0x80}, kTenMegabytes))), std::to_string(kTenMegabytes / 3));
  EXPECT_EQ(harness.progress.size(), 101u);  // 1 to 100, then back to 0
  EXPECT_EQ(harness.polls, 100);
}

TEST_F(HostileFiles, AxeLengthFieldsOfOneOrTwo) {
  // Every block opens with a length of 1 or 2 (written "001", "  2", " 1 "...), and all
  // its other bytes are length digits too: no record moves on, none is counted.
  Bytes bytes;
  const char* lengths[] = {"001", "  2", " 1 ", "002", "2  ", "01 "};
  for (std::size_t block = 0; block < kTenMegabytes / 2048; ++block) {
    std::string text = lengths[block % 6];
    while (text.size() < 2047) text += block % 2 ? '1' : '2';
    for (char c : text) bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  EXPECT_EQ(read(ReadAxeFile, bytes), ",,0");
  EXPECT_EQ(harness.finalProgress(), 0);
  EXPECT_EQ(harness.progress[harness.progress.size() - 2], 100);
}

TEST_F(HostileFiles, EssTenMegabytesOfLineFeeds) {
  // The first 122 bytes are taken as the first record, the rest is separators.
  std::string result = read(ReadEssFile, Bytes(kTenMegabytes, '\n'));
  EXPECT_EQ(result, "2000-00-00   00:00:00,2000-00-00   00:00:00,1");
  EXPECT_EQ(harness.finalProgress(), 0);
}

}  // namespace
}  // namespace vellmark
