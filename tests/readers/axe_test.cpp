#include "readers/modAXE.h"

#include <gtest/gtest.h>


#include "support/memory_file_system.h"
#include "testdata/axe.h"
#include "testdata/reader_harness.h"

namespace vellmark {
namespace {

using namespace testdata;

const std::string kPath = "/exchange/TTFILE07.AXE";

class AxeReader : public ::testing::Test {
 protected:
  std::string read(const Bytes& bytes) {
    files.put(kPath, bytes);
    return harness.read(ReadAxeFile, kPath);
  }
  MemoryFileSystem files;
  ReaderHarness harness{files};
};

std::string Call(int layout, const std::string& date, const std::string& time, std::size_t length = 0) {
  return AxeRecord({layout, date, time, length, 1});
}

TEST_F(AxeReader, OneBlockGivesBothStampsFromItsRecords) {
  Bytes file = AxeFile({{Call(0, "250318", "080000"), Call(0, "250318", "081500"), Call(0, "250318", "090559")}});
  EXPECT_EQ(read(file), "2025-03-18   08:00:00,2025-03-18   09:05:59,3");
  EXPECT_EQ(harness.progress, (std::vector<int>{100, 0}));
  EXPECT_EQ(harness.polls, 0);  // AXE reads never stop for the user
}

TEST_F(AxeReader, EndStampOnlyForWholeBlocks) {
  std::vector<AxeBlock> blocks = {{Call(0, "250318", "080000"), Call(0, "250318", "080100")},
                                  {Call(0, "250318", "090000")},
                                  {Call(0, "250318", "100000"), Call(0, "250318", "101010")}};
  Bytes file = AxeFile(blocks);
  ASSERT_EQ(file.size(), 6144u);
  EXPECT_EQ(read(file), "2025-03-18   08:00:00,2025-03-18   10:10:10,5");
  EXPECT_EQ(harness.progress, (std::vector<int>{33, 66, 100, 0}));

  // One byte more and the last block is no longer the file's last: no end stamp, and
  // the progress past 100 is not shown.
  harness.progress.clear();
  file.push_back('0');
  EXPECT_EQ(read(file), "2025-03-18   08:00:00,,5");
  EXPECT_EQ(harness.progress, (std::vector<int>{33, 66, 99, 100, 0}));

  // Records in a final partial block count, even one the file's end cuts short.
  file.resize(6144);
  Append(file, Text(Call(0, "250318", "110000") + Call(0, "250318", "111111").substr(0, 60)));
  EXPECT_EQ(read(file), "2025-03-18   08:00:00,,7");
}

TEST_F(AxeReader, ZeroLengthFieldsEndTheirBlock) {
  Bytes zeros = AxeFile({{"000" + Call(0, "250101", "000000")}});     // never reached
  Bytes blanks = AxeFile({{}});                                        // all padding
  Bytes nuls = AxeFile({{}}, '\0');
  Bytes tail = AxeFile({{Call(0, "250318", "120000"), "000", Call(0, "250318", "130000")},
                        {Call(0, "250318", "140000")}});
  Bytes file = zeros;
  Append(file, blanks);
  Append(file, nuls);
  Append(file, tail);
  EXPECT_EQ(read(file), "2025-03-18   12:00:00,2025-03-18   14:00:00,2");

  EXPECT_EQ(read(zeros), ",,0");
  EXPECT_EQ(read({}), ",,0");
  EXPECT_EQ(harness.progress.back(), 0);
}

TEST_F(AxeReader, LengthsShorterThanTheFieldEndTheBlock) {
  // 1 or 2 would not move past the field itself; a sign is no digit.
  for (const char* field : {"  1", "002", "-50", "2  "}) {
    std::string record = Call(0, "250318", "080000");
    Bytes file = AxeFile({{record, field + record.substr(3)}, {Call(0, "250318", "090000")}});
    EXPECT_EQ(read(file), "2025-03-18   08:00:00,2025-03-18   09:00:00,2") << field;
  }
  // Blanks inside the field are skipped; reading stops at any other non-digit.
  std::string spaced = Call(0, "250318", "080000");
  spaced.replace(0, 3, "1 2");
  spaced.resize(12);  // a short record of 12 characters
  Bytes file = AxeFile({{spaced, Call(0, "250318", "090000")}});
  EXPECT_EQ(read(file), "20--   ::,2025-03-18   09:00:00,2");
}

TEST_F(AxeReader, RecordsCutByTheBlockEnd) {
  // Fill the block to 1-based position 2045, so the next record starts at 2046.
  std::string filler = Call(0, "250318", "080000", 125);
  AxeBlock block;
  for (int r = 0; r < 16; ++r) block.push_back(filler);  // 2000 characters
  block.push_back(Call(0, "250318", "085959", 45));
  std::string cut = Call(0, "250318", "090000", 120);     // keeps "12", then the 0 mark
  block.push_back(cut);
  Bytes file = AxeFile({block, {Call(0, "250318", "100000")}});
  ASSERT_EQ(file[2045], '1');
  ASSERT_EQ(file[2047], 0);
  EXPECT_EQ(read(file), "2025-03-18   08:00:00,2025-03-18   10:00:00,19");

  // A length field cut by the block end reads only the characters the block has.
  // Here a record starts at 2047 and the block has no 0 mark: "2 " ends the block,
  // though block 2 opens with a digit; "9 " is a record of 9 characters.
  block.resize(16);
  block.push_back(Call(0, "250318", "085959", 46));
  Bytes damaged = AxeFile({block, {Call(0, "250318", "100000")}});
  PutText(damaged, 2046, "2 ");
  EXPECT_EQ(read(damaged), "2025-03-18   08:00:00,2025-03-18   10:00:00,18");
  PutText(damaged, 2046, "9 ");
  EXPECT_EQ(read(damaged), "2025-03-18   08:00:00,2025-03-18   10:00:00,19");
}

TEST_F(AxeReader, StampFieldsPastTheRecordEndGiveWhatIsThere) {
  EXPECT_EQ(read(AxeFile({{Call(0, "250318", "140259", 74)}})), "2025-03-   14:02:59,2025-03-   14:02:59,1");
  EXPECT_EQ(read(AxeFile({{Call(0, "250318", "140259", 71)}})), "202--   14:02:59,202--   14:02:59,1");
  // A comma copied from a field stays in the text; the run splits at it.
  std::string comma = Call(0, "250318", "140259");
  comma[72] = ',';
  EXPECT_EQ(read(AxeFile({{comma}})), "2025-,3-18   14:02:59,2025-,3-18   14:02:59,1");
}

TEST_F(AxeReader, FirstRecordChoosesTheLayout) {
  // Full number at 19..34 and digits at 35..37: hour at 50, year at 71.
  EXPECT_EQ(read(AxeFile({{Call(0, "250318", "140259")}})), "2025-03-18   14:02:59,2025-03-18   14:02:59,1");

  // A blank at 19 (or at 34): hour at 51, year at 72.
  std::string first = Call(1, "250318", "140259");
  std::string next = Call(1, "250318", "153000");
  Bytes file = AxeFile({{first, next}, {next}});
  EXPECT_EQ(read(file), "2025-03-18   14:02:59,2025-03-18   15:30:00,3");
  std::string blankAt34 = Call(1, "250318", "140259");
  blankAt34.replace(18, 16, "0091984000123   ");
  EXPECT_EQ(read(AxeFile({{blankAt34, next}, {next}})), "2025-03-18   14:02:59,2025-03-18   15:30:00,3");

  // Blanks at 35..37: hour at 66, year at 87, whatever 19..34 hold.
  std::string late = Call(2, "250318", "140259");
  late.replace(18, 16, "0091984000123456");
  Bytes lateFile = AxeFile({{late, Call(2, "250318", "160000")}, {Call(2, "250318", "170000")}});
  EXPECT_EQ(read(lateFile), "2025-03-18   14:02:59,2025-03-18   17:00:00,3");

  // A first record that ends before 35 counts as blank there.
  std::string shortFirst = Call(0, "250318", "140259").substr(0, 34);
  shortFirst.replace(0, 3, " 34");
  Bytes shortFile = AxeFile({{shortFirst}, {Call(2, "250318", "170000")}});
  EXPECT_EQ(read(shortFile), "20--   ::,2025-03-18   17:00:00,2");

  // Every record counts, whatever its layout; the layout is the first record's.
  Bytes mixed = AxeFile({{Call(0, "250318", "080000"), Call(2, "250318", "090000"), Call(1, "250318", "100000")},
                         {Call(0, "250318", "110000")}});
  EXPECT_EQ(read(mixed), "2025-03-18   08:00:00,2025-03-18   11:00:00,4");
}

TEST_F(AxeReader, FullNumberInTheLastBlockSwitchesToTheFullLayout) {
  std::string before = Call(1, "250318", "090000");
  std::string full = Call(0, "250318", "100000");
  std::string after = Call(1, "250318", "140259");
  after[49] = '9';  // where the full layout looks for the hour ...
  after[70] = '7';  // ... and for the year

  // Without a full number the last block keeps the first record's layout.
  EXPECT_EQ(read(AxeFile({{before}, {before, after}})), "2025-03-18   09:00:00,2025-03-18   14:02:59,3");
  // With one, that record and every later one of the block are read in it.
  EXPECT_EQ(read(AxeFile({{before}, {before, full}})), "2025-03-18   09:00:00,2025-03-18   10:00:00,3");
  EXPECT_EQ(read(AxeFile({{before}, {before, full, after}})), "2025-03-18   09:00:00,2072-50-31   91:40:25,4");
  // Not in earlier blocks, and not in a last block the file's length leaves partial.
  EXPECT_EQ(read(AxeFile({{before, full, after}, {after}})),
            "2025-03-18   09:00:00,2025-03-18   14:02:59,4");
  Bytes partial = AxeFile({{before}, {before, full, after}});
  partial.pop_back();
  EXPECT_EQ(read(partial), "2025-03-18   09:00:00,,4");

  // A one-block file whose first record has a full number and blanks at 35..37: the
  // first stamp is read in the late layout, the last in the full one.
  // (The full layout's year starts on the late layout's last digit of seconds.)
  std::string odd = Call(2, "250318", "140252");
  odd.replace(18, 16, "0091984000123456");
  odd.replace(49, 6, "081500");
  odd.replace(70, 6, "250317");
  EXPECT_EQ(read(AxeFile({{odd}})), "2025-03-18   14:02:52,2025-03-17   08:15:00,1");
}

TEST_F(AxeReader, WalksFilesLargerThanTheReadBuffer) {
  std::vector<std::string> records;
  for (int r = 0; r < 600 * 15; ++r) records.push_back(Call(0, "250318", "080000", 130));
  records.back() = Call(0, "250318", "235959", 130);
  auto blocks = AxeBlocks(records);
  ASSERT_EQ(blocks.size(), 600u);
  Bytes file = AxeFile(blocks);
  EXPECT_EQ(read(file), "2025-03-18   08:00:00,2025-03-18   23:59:59,9000");
  EXPECT_EQ(harness.progress.size(), 101u);  // 1 to 100, then 0
}

}  // namespace
}  // namespace vellmark
