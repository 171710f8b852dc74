#include "core/block_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>

#include "support/fault_injection.h"
#include "support/memory_file_system.h"
#include "testdata/bytes.h"

namespace vellmark {
namespace {

using testdata::Bytes;

Bytes Counting(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return b;
}

TEST(BlockReader, ViewsAnyOffsetAndReadsFillPastTheEnd) {
  MemoryFileSystem fs;
  Bytes content = Counting(10000);
  fs.put("f", content);
  auto opened = OpenedFile::open(fs, "f", 0xFF, 4096);
  ASSERT_TRUE(opened);
  BlockReader& reader = opened->reader();
  EXPECT_EQ(reader.fileSize(), 10000u);

  // Walk the file in odd steps, across block borders, forwards and back.
  for (std::uint64_t offset : {0ull, 4000ull, 4095ull, 4096ull, 9990ull, 100ull, 8191ull}) {
    auto view = reader.view(offset, 300);
    ASSERT_TRUE(view);
    for (std::size_t i = 0; i < 300; ++i) {
      std::uint64_t at = offset + i;
      ASSERT_EQ(view->at(i), at < content.size() ? content[at] : 0xFF) << "offset " << at;
    }
  }
  auto past = reader.view(20000, 10);
  ASSERT_TRUE(past);
  EXPECT_EQ(past->size(), 0u);
  EXPECT_EQ(past->at(3), 0xFF);
  EXPECT_EQ(past->hex(0, 2), "FFFF");
}

TEST(BlockReader, ReadsAWholeFileInFewCalls) {
  MemoryFileSystem memory;
  memory.put("f", Counting(1 << 20));
  FaultInjectingFileSystem fs(memory);
  auto opened = OpenedFile::open(fs, "f", 0, 256 * 1024);
  ASSERT_TRUE(opened);
  std::uint64_t sum = 0;
  for (std::uint64_t pos = 0; pos < (1 << 20);) {
    auto view = opened->reader().view(pos, 1);
    ASSERT_TRUE(view);
    for (std::size_t i = 0; i < view->size(); ++i) sum += view->at(i);
    pos += view->size();
  }
  Bytes content = Counting(1 << 20);
  EXPECT_EQ(sum, std::accumulate(content.begin(), content.end(), std::uint64_t{0}));
  EXPECT_EQ(fs.readCalls(), 4);
}

TEST(BlockReader, FailuresComeBackAsErrors) {
  MemoryFileSystem memory;
  memory.put("f", Counting(100000));
  FaultInjectingFileSystem fs(memory);
  fs.failReadsFrom(50000, EIO);
  auto opened = OpenedFile::open(fs, "f", 0, 4096);
  ASSERT_TRUE(opened);
  EXPECT_TRUE(opened->reader().view(0, 100));
  auto failed = opened->reader().view(49000, 4096);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().step, IoStep::Read);
  EXPECT_EQ(failed.error().code, EIO);
  EXPECT_FALSE(failed.error().reason.empty());

  fs.failOpen(EACCES);
  auto refused = OpenedFile::open(fs, "f", 0);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().step, IoStep::Open);
  EXPECT_EQ(refused.error().code, EACCES);
}

TEST(BlockReader, AFileThatShrinksWhileReadIsAnError) {
  testdata::TempDir dir;
  std::string path = dir.write("f", Counting(300000));
  auto opened = OpenedFile::open(RealFileSystem(), path, 0, 65536);
  ASSERT_TRUE(opened);
  ASSERT_TRUE(opened->reader().view(0, 10));
  ASSERT_EQ(truncate(path.c_str(), 100000), 0);
  auto cut = opened->reader().view(200000, 10);
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error().step, IoStep::Read);
  // Growth after the open is not looked at: the length at open stands.
  std::string grown = dir.write("g", Counting(1000));
  auto g = OpenedFile::open(RealFileSystem(), grown, 0);
  dir.write("g", Counting(5000));
  auto view = g->reader().view(0, 5000);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->size(), 1000u);
}

TEST(ByteView, HexAndBcdFollowTheExchangeConventions) {
  Bytes b{0x0A, 0xC4, 0x01, 0x23, 0xFF, 0xFF, 0x40, 0x40, 0x12, 0xF4};
  ByteView v(b.data(), b.size(), 0xFF);
  EXPECT_EQ(v.hex(0, 2), "0AC4");
  EXPECT_EQ(v.bcd(2, 2), 123u);
  EXPECT_EQ(v.bcd(4, 2), 0u);
  EXPECT_EQ(v.bcd(6, 2), 4040u);
  EXPECT_EQ(v.bcd(8, 2), 12u);   // stops at the first nibble that is not a digit
  EXPECT_EQ(v.bcd(0, 1), 0u);    // 0x0A: "0A" -> 0
  EXPECT_EQ(v.bigEndian(2, 2), 0x0123u);
  EXPECT_EQ(v.text(8, 4), std::string("\x12\xF4\xFF\xFF"));
  EXPECT_EQ(v.sub(8, 10).size(), 2u);
  EXPECT_TRUE(v.contains(8, 2));
  EXPECT_FALSE(v.contains(9, 2));
  EXPECT_FALSE(v.contains(SIZE_MAX, 2));
}

}  // namespace
}  // namespace vellmark
