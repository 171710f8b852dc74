// The file layer, the byte view and the display texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>

#include "core/analyser_list.h"
#include "core/block_reader.h"
#include "core/read_failure.h"
#include "core/texts.h"
#include "core/utf8.h"
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

TEST(BlockReader, ViewsAnyOffsetInFewReadsAndFillPastTheEnd) {
  MemoryFileSystem memory;
  const Bytes content = Counting(10000);
  memory.put("f", content);
  FaultInjectingFileSystem fs(memory);
  auto opened = OpenedFile::open(fs, "f", 0xFF, 4096);
  ASSERT_TRUE(opened);
  BlockReader& reader = opened->reader();
  // Odd steps, across block borders, forwards and back, and past the end.
  for (std::uint64_t offset : {0ull, 4000ull, 4095ull, 4096ull, 9990ull, 100ull, 8191ull, 20000ull}) {
    auto view = reader.view(offset, 300);
    ASSERT_TRUE(view);
    for (std::size_t i = 0; i < 300; ++i)
      ASSERT_EQ(view->at(i), offset + i < content.size() ? content[offset + i] : 0xFF) << offset + i;
  }
  // A cursor walking the whole file one byte at a time reads it block by block.
  const int before = fs.readCalls();
  Cursor cursor(reader);
  std::uint64_t sum = 0;
  for (std::uint64_t pos = 0; pos < content.size(); ++pos) sum += cursor.at(pos, 1)[0];
  EXPECT_EQ(sum, std::accumulate(content.begin(), content.end(), std::uint64_t{0}));
  EXPECT_LE(fs.readCalls() - before, 4);
  EXPECT_EQ(cursor.skip(9999, content[9999]), 10000u);
  EXPECT_FALSE(cursor.failure());
}

TEST(BlockReader, FailuresComeBackAsErrorsWithTheirOffset) {
  MemoryFileSystem memory;
  memory.put("f", Counting(100000));
  FaultInjectingFileSystem fs(memory);
  fs.failReadsFrom(5000, EIO);
  auto opened = OpenedFile::open(fs, "f", 0, 4096);
  ASSERT_TRUE(opened);
  EXPECT_TRUE(opened->reader().view(0, 100));
  // The bytes from 3000 on that the buffer holds are kept; the read after them fails.
  auto failed = opened->reader().view(3000, 4096);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().step, IoStep::Read);
  EXPECT_EQ(failed.error().code, EIO);
  EXPECT_EQ(failed.error().offset, 4096u);
  // The cursor keeps the failure and hands out fill from then on.
  Cursor cursor(opened->reader());
  EXPECT_EQ(cursor.at(60000, 2).size(), 0u);
  EXPECT_EQ(cursor.failure()->code, EIO);
  EXPECT_EQ(cursor.skip(0, 0), 100000u);

  fs.failOpen(EACCES);
  auto refused = OpenedFile::open(fs, "f", 0);
  ASSERT_FALSE(refused);
  EXPECT_EQ(FromIoError(refused.error()).kind, FailureKind::Open);
  EXPECT_EQ(refused.error().code, EACCES);
}

TEST(RealFileSystem, ReportsTheSystemsFailures) {
  testdata::TempDir dir;
  std::string path = dir.write("f", Counting(300000));
  auto opened = OpenedFile::open(RealFileSystem(), path, 0, 65536);
  ASSERT_TRUE(opened);
  ASSERT_TRUE(opened->reader().view(0, 10));
  ASSERT_EQ(truncate(path.c_str(), 100000), 0);
  auto cut = opened->reader().view(200000, 10);
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error().reason, "the file became shorter while it was read");

  // A read the system refuses, a write the disk refuses, a folder opened as a file.
  auto mem = RealFileSystem().openRead("/proc/self/mem");
  ASSERT_TRUE(mem);
  std::uint8_t buffer[16];
  auto read = (*mem)->readAt(0, buffer, sizeof buffer);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().code, EIO);
  auto full = RealFileSystem().openTruncate("/dev/full");
  ASSERT_TRUE(full);
  Status written = (*full)->write(buffer, sizeof buffer);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().code, ENOSPC);
  auto folder = RealFileSystem().openRead(dir.path());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().code, EISDIR);
  auto status = RealFileSystem().status(dir.file("missing"));
  ASSERT_TRUE(status);
  EXPECT_FALSE(status->exists);
}

TEST(ByteView, HexAndBcdFollowTheExchangeConventions) {
  Bytes b{0x0A, 0xC4, 0x01, 0x23, 0xFF, 0xFF, 0x40, 0x40, 0x12, 0xF4};
  ByteView v(b.data(), b.size(), 0xFF);
  EXPECT_EQ(v.hex(0, 2), "0AC4");
  EXPECT_EQ(v.bcd(2, 2), 123u);
  EXPECT_EQ(v.bcd(4, 2), 0u);
  EXPECT_EQ(v.bcd(6, 2), 4040u);
  EXPECT_EQ(v.bcd(8, 2), 12u);  // stops at the first nibble that is not a digit
  EXPECT_EQ(v.bcd(0, 1), 0u);   // 0x0A: "0A" -> 0
  EXPECT_EQ(v.bigEndian(2, 2), 0x0123u);
  EXPECT_EQ(v.text(8, 4), std::string("\x12\xF4\xFF\xFF"));
  EXPECT_EQ(v.sub(8, 10).size(), 2u);
  EXPECT_TRUE(v.contains(8, 2));
  EXPECT_FALSE(v.contains(9, 2));
  EXPECT_FALSE(v.contains(SIZE_MAX, 2));
}

TEST(Texts, SizesRoundHalfToEvenAndNumbersReadLeadingDigits) {
  const std::pair<std::uint64_t, const char*> kilobytes[] = {
      {1536, "2 KB"}, {2560, "2 KB"}, {500, "0 KB"}, {512, "0 KB"}, {513, "1 KB"}, {0, "0 KB"}};
  for (auto [bytes, text] : kilobytes) EXPECT_EQ(KilobyteText(bytes), text) << bytes;
  const std::pair<std::uint64_t, const char*> megabytes[] = {
      {1572864, "1.5 MB"}, {0, "0 MB"},          {31457, "0.03 MB"},       {1048576, "1 MB"},
      {5242, "0 MB"},      {5243, "0.01 MB"},    {131072, "0.12 MB"},      {393216, "0.38 MB"},
      {5ull << 30, "5120 MB"}};
  for (auto [bytes, text] : megabytes) EXPECT_EQ(MegabyteText(bytes), text) << bytes;
  const std::pair<const char*, std::uint64_t> numbers[] = {
      {"123", 123}, {"42abc", 42}, {"abc", 0}, {"", 0}, {" 12", 0}, {"1.5e3", 1}, {"99999999999999999999999", UINT64_MAX}};
  for (auto [text, value] : numbers) EXPECT_EQ(LeadingNumber(text), value) << text;
  EXPECT_EQ(ShowTotals({16, 104857, 1386}).size, "0.1 MB");
  EXPECT_EQ(ShowTotals({0, 0, 0}).records, "");
}

// Rows removed in a few runs or scattered over the list; numbers and the path index
// follow, and numbers read from a report are replaced at the next renumbering.
TEST(AnalyserList, RemovalKeepsOrderNumbersAndPaths) {
  for (std::size_t step : {20u, 3u}) {  // one run of rows; a run every third row
    AnalyserList list;
    for (int i = 0; i < 40; ++i) list.append({.path = std::to_string(i), .number = i == 5 ? "99" : ""});
    list.renumber();
    for (std::size_t row = 10; row < 30; row += step) list.setSelected(row, true);
    const std::size_t removed = list.removeSelected();
    list.renumber();
    ASSERT_EQ(list.size(), 40 - removed);
    for (std::size_t row = 0, kept = 0; row < 40; ++row) {
      if (row >= 10 && row < 30 && (row - 10) % step == 0) {
        EXPECT_FALSE(list.contains(std::to_string(row)));
        continue;
      }
      EXPECT_TRUE(list.contains(std::to_string(row)));
      EXPECT_EQ(list.at(kept).path + " " + list.at(kept).number, std::to_string(row) + " " + std::to_string(kept + 1));
      ++kept;
    }
  }
}

TEST(Utf8, StrayBytesAreCharactersOfTheirOwn) {
  const std::string text = "a\xC3\xA9\xFF\xE2\x82\xAC\xED\xA0\x80z";  // a é <FF> € <surrogate> z
  EXPECT_EQ(CharacterCount(text), 8u);
  EXPECT_EQ(CharacterCount("\xE0\xA0\x80\xE0\x80\x80\xF0\x90\x80\x80\xF0\x8F\xBF\xBF"), 1u + 3 + 1 + 4);  // overlong forms are stray
  EXPECT_EQ(FirstCharacters(text, 2), "a\xC3\xA9");
  EXPECT_EQ(LastCharacters(text, 5), "\xE2\x82\xAC\xED\xA0\x80z");
}

}  // namespace
}  // namespace vellmark
