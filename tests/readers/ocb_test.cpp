#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "analysis/analysis_session.h"
#include "support/memory_file_system.h"
#include "readers/modOCB.h"
#include "testdata/ocb.h"
#include "testdata/reader_harness.h"
#include "testdata/recording_observer.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

using testdata::BuildOcbFile;
using testdata::Bytes;
using testdata::OcbBlock;
using testdata::OcbBlocksOf;
using testdata::OcbCall;
using testdata::OcbCalls;
using testdata::OcbEnd;
using testdata::OcbFile;
using testdata::OcbLayout;
using testdata::ReaderHarness;

class OcbReaderTest : public ::testing::Test {
 protected:
  std::string read(const Bytes& bytes, ReaderHarness& harness) {
    files.put("/data/ocb.dat", bytes);
    return harness.readOcb("/data/ocb.dat");
  }
  std::string read(const Bytes& bytes) { return read(bytes, harness); }

  MemoryFileSystem files;
  ReaderHarness harness{files};
};

// 48 calls per block, a minute apart from 08:00:00 on day 45 (14 February).
OcbFile MinuteBlocks(std::size_t calls, OcbLayout layout, OcbEnd end) {
  OcbFile file;
  file.layout = layout;
  file.end = end;
  file.blocks = OcbBlocksOf(OcbCalls(calls, 45, 8 * 3600, 60), 26, 45);
  return file;
}

TEST_F(OcbReaderTest, BlocksAreCountedUpToTheEndMarkOrTheEndOfTheFile) {
  // 5 full blocks: 240 calls, the last at 08:00 + 239 minutes = 11:59.
  const std::string expected = "2026-02-14   08:00:00,2026-02-14   11:59:00,240";
  for (OcbEnd end : {OcbEnd::Mark4040, OcbEnd::Mark0000, OcbEnd::MarkFFFF, OcbEnd::None}) {
    EXPECT_EQ(read(BuildOcbFile(MinuteBlocks(240, OcbLayout::A, end))), expected);
    EXPECT_EQ(read(BuildOcbFile(MinuteBlocks(240, OcbLayout::B, end))), expected);
  }

  // A block after the end mark is never read for records, however full it is.
  OcbFile file = MinuteBlocks(240, OcbLayout::A, OcbEnd::None);
  OcbBlock stale = OcbBlocksOf(OcbCalls(48, 45, 13 * 3600, 60), 26, 4040).front();
  file.blocks.push_back(stale);
  EXPECT_EQ(read(BuildOcbFile(file)), expected);
}

TEST_F(OcbReaderTest, LayoutBStartsAfterThePreamble) {
  OcbFile file = MinuteBlocks(60, OcbLayout::B, OcbEnd::Mark4040);
  Bytes bytes = BuildOcbFile(file);
  ASSERT_EQ(bytes[928], 0xC6);
  ASSERT_EQ(bytes.size(), 928 + 3 * 2052u);
  // The first record sits at 960: its time is the start time.
  ASSERT_EQ(bytes[960 + 5], 0x08);
  EXPECT_EQ(read(bytes), "2026-02-14   08:00:00,2026-02-14   08:59:00,60");
  EXPECT_EQ(harness.ocbLayout.base, 928u);
  EXPECT_EQ(harness.ocbLayout.padding, 4u);
}

TEST_F(OcbReaderTest, TheLastBlockIsSearchedBackwardsForItsLastValidSlot) {
  // Slots 0 to 19 of the last block hold calls, 20 to 47 filler.
  EXPECT_EQ(read(BuildOcbFile(MinuteBlocks(48 + 20, OcbLayout::A, OcbEnd::Mark4040))),
            "2026-02-14   08:00:00,2026-02-14   09:07:00,68");

  // Slots whose digit field has no filler (18 digits) or no digits are not calls and
  // are passed over, wherever they lie.
  OcbFile file = MinuteBlocks(48 + 20, OcbLayout::A, OcbEnd::Mark4040);
  OcbCall full = file.blocks[1].calls[0];
  full.dialled = "012345678901234567";
  OcbCall empty = full;
  empty.dialled = "";
  file.blocks[1].slots[47] = testdata::OcbSlotBytes(full);
  file.blocks[1].slots[46] = testdata::OcbSlotBytes(empty);
  file.blocks[1].slots[45] = Bytes(42, 0x00);
  EXPECT_EQ(read(BuildOcbFile(file)), "2026-02-14   08:00:00,2026-02-14   09:07:00,68");

  // One digit and seventeen are both calls.
  file.blocks[1].calls[19].dialled = "0";
  full.dialled = "01234567890123456";
  full.hour = 21;
  file.blocks[1].slots[47] = testdata::OcbSlotBytes(full);
  EXPECT_EQ(read(BuildOcbFile(file)), "2026-02-14   08:00:00,2026-02-14   21:48:00,96");
}

TEST_F(OcbReaderTest, AnEmptyLastBlockTakesTheEndFromTheBlockBefore) {
  OcbFile file = MinuteBlocks(96, OcbLayout::A, OcbEnd::Mark4040);
  file.blocks.push_back(OcbBlock{26, 45, {}, {}});
  EXPECT_EQ(read(BuildOcbFile(file)), "2026-02-14   08:00:00,2026-02-14   09:35:00,96");

  // With only one block there is nothing to report.
  OcbFile lone;
  lone.blocks.push_back(OcbBlock{26, 45, {}, {}});
  EXPECT_EQ(read(BuildOcbFile(lone)), ",,0");
  lone.layout = OcbLayout::B;
  EXPECT_EQ(read(BuildOcbFile(lone)), ",,0");
}

TEST_F(OcbReaderTest, AFirstBlockThatEndsTheDataGivesNoRecords) {
  for (OcbLayout layout : {OcbLayout::A, OcbLayout::B}) {
    for (unsigned day : {0u, 4040u}) {
      OcbFile file = MinuteBlocks(48, layout, OcbEnd::Mark4040);
      file.blocks[0].day = day;
      EXPECT_EQ(read(BuildOcbFile(file)), ",,0") << day;
    }
    OcbFile end;
    end.layout = layout;
    end.end = OcbEnd::MarkFFFF;
    EXPECT_EQ(read(BuildOcbFile(end)), ",,0");
  }
  EXPECT_EQ(read(Bytes{}), ",,0");
}

TEST_F(OcbReaderTest, SlotsCutByTheEndOfTheFileAreNotCalls) {
  Bytes bytes = BuildOcbFile(MinuteBlocks(96, OcbLayout::A, OcbEnd::None));
  // Cut inside slot 10 of block 1: slots 0 to 9 remain whole.
  bytes.resize(2048 + 32 + 42 * 10 + 41);
  EXPECT_EQ(read(bytes), "2026-02-14   08:00:00,2026-02-14   08:57:00,58");
  // Cut inside the header's day field: the block is not counted.
  bytes.resize(2048 + 7);
  EXPECT_EQ(read(bytes), "2026-02-14   08:00:00,2026-02-14   08:47:00,48");
  // Even when the cut leaves half an end mark, 40 and filler.
  bytes = BuildOcbFile(MinuteBlocks(60, OcbLayout::A, OcbEnd::Mark4040));
  bytes.resize(2 * 2048 + 7);
  EXPECT_EQ(read(bytes), "2026-02-14   08:00:00,2026-02-14   08:59:00,60");
}

TEST_F(OcbReaderTest, RecordYearsFollowTheHeaderDay) {
  // Header 2003, day 10: day 365 lies after it, so it is 2002.
  EXPECT_EQ(OcbDayToDate(365, {3, 10}), "2002-12-31");
  EXPECT_EQ(OcbDayToDate(10, {3, 10}), "2003-01-10");
  // Leap years: day 60 is 29 February in 2004 and 1 March in 2005.
  EXPECT_EQ(OcbDayToDate(60, {4, 100}), "2004-02-29");
  EXPECT_EQ(OcbDayToDate(60, {5, 100}), "2005-03-01");
  EXPECT_EQ(OcbDayToDate(366, {0, 366}), "2000-12-31");
  EXPECT_EQ(OcbDayToDate(366, {5, 3}), "2004-12-31");
  // Year 00 turns back to 1999 (not a leap year).
  EXPECT_EQ(OcbDayToDate(365, {0, 2}), "1999-12-31");
  EXPECT_EQ(OcbDayToDate(60, {0, 2}), "1999-03-01");
  // Day 0 and days past the year's end: December keeps what is left, in two digits.
  EXPECT_EQ(OcbDayToDate(0, {26, 45}), "2026-01-00");
  EXPECT_EQ(OcbDayToDate(400, {26, 500}), "2026-12-66");
  EXPECT_EQ(OcbDayToDate(9999, {26, 9999}), "2026-12-65");

  // Through a file: a file begun on 2 January 2000 with calls of 31 December 1999.
  OcbFile file;
  file.end = OcbEnd::Mark4040;
  file.blocks = OcbBlocksOf(OcbCalls(30, 365, 23 * 3600 + 50 * 60, 60), 0, 2);
  EXPECT_EQ(read(BuildOcbFile(file)), "1999-12-31   23:50:00,2000-01-01   00:19:00,30");
}

TEST_F(OcbReaderTest, DecodingPassesFillerThrough) {
  Bytes slot(42, 0xFF);
  OcbRecord record = DecodeOcbRecord(ByteView(slot.data(), slot.size()), {26, 45});
  EXPECT_EQ(record.date, "2026-01-00");
  EXPECT_EQ(record.time, "FF:FF:FF");
  EXPECT_FALSE(record.valid);
  // A slot past the end of the file is never valid, whatever its bytes say.
  Bytes call = testdata::OcbSlotBytes(OcbCall{});
  EXPECT_TRUE(DecodeOcbRecord(ByteView(call.data(), call.size()), {26, 45}).valid);
  EXPECT_FALSE(DecodeOcbRecord(ByteView(call.data(), call.size()), {26, 45}, false).valid);
}

TEST_F(OcbReaderTest, TheLayoutOfTheLastMarkedFileIsKept) {
  // Both files lack the mark at either place; the first block of file B has its
  // slots at 928 + 32, of file A at 32.
  OcbFile b = MinuteBlocks(50, OcbLayout::B, OcbEnd::Mark4040);
  OcbFile unmarkedB = b;
  unmarkedB.blockMark = false;
  OcbFile unmarkedA = MinuteBlocks(50, OcbLayout::A, OcbEnd::Mark4040);
  unmarkedA.blockMark = false;
  const std::string fifty = "2026-02-14   08:00:00,2026-02-14   08:49:00,50";

  // Before any marked file: layout A.
  EXPECT_EQ(read(BuildOcbFile(unmarkedA)), fifty);
  EXPECT_EQ(read(BuildOcbFile(b)), fifty);
  EXPECT_EQ(read(BuildOcbFile(unmarkedB)), fifty);
  EXPECT_NE(read(BuildOcbFile(unmarkedA)), fifty);  // read as layout B now
  EXPECT_EQ(read(BuildOcbFile(MinuteBlocks(50, OcbLayout::A, OcbEnd::Mark4040))), fifty);
  EXPECT_EQ(read(BuildOcbFile(unmarkedA)), fifty);

  // The session keeps the layout from one pass to the next.
  testdata::RecordingObserver observer;
  AnalysisSession session(files);
  files.put("/data/b.dat", BuildOcbFile(b));
  files.put("/data/nomark.dat", BuildOcbFile(unmarkedB));
  ASSERT_TRUE(session.AddFile("/data/b.dat"));
  session.RunAnalysis(false, observer);
  ASSERT_TRUE(session.AddFile("/data/nomark.dat"));
  // The probe cannot tell a file without marks; the entry is made OCB by hand.
  session.list().update(1, [](AnalyserEntry& e) { e.family = "OCB"; });
  session.RunAnalysis(false, observer);
  EXPECT_EQ(session.list().at(1).start, "2026-02-14   08:00:00");
  EXPECT_EQ(session.list().at(1).records, 50u);
}

TEST_F(OcbReaderTest, ProgressCountsBlocksAndEndsAtZero) {
  EXPECT_EQ(read(BuildOcbFile(MinuteBlocks(96, OcbLayout::A, OcbEnd::Mark4040))), 
            "2026-02-14   08:00:00,2026-02-14   09:35:00,96");
  EXPECT_EQ(harness.progress, (std::vector<int>{100, 0}));

  // 330 blocks make 1 percent of the bar's 32768.
  ReaderHarness big(files);
  OcbFile file = MinuteBlocks(330 * 48, OcbLayout::A, OcbEnd::None);
  std::string result = read(BuildOcbFile(file), big);
  EXPECT_EQ(result.substr(result.rfind(',')), ",15840");
  EXPECT_EQ(big.progress, (std::vector<int>{1, 100, 0}));
  EXPECT_EQ(big.polls, 0);  // OCB never polls for Stop
}

TEST_F(OcbReaderTest, TheSecondSampleIsLayoutB) {
  for (const auto& sample : testdata::OcbSamples()) read(sample.bytes);
  EXPECT_EQ(harness.ocbLayout.base, 928u);
}

TEST_F(OcbReaderTest, CliReportsOcbFilesAsJson) {
  testdata::TempDir dir;
  std::string a = dir.write("A.DAT", BuildOcbFile(MinuteBlocks(100, OcbLayout::A, OcbEnd::Mark4040)));
  OcbFile turn;
  turn.layout = OcbLayout::B;
  turn.end = OcbEnd::None;
  turn.blocks = OcbBlocksOf(OcbCalls(20, 366, 23 * 3600 + 55 * 60, 30, 366), 25, 1);
  std::string b = dir.write("B.DAT", BuildOcbFile(turn));
  std::ostringstream out, err;
  cli::CliIo io{out, err};
  EXPECT_EQ(cli::RunCli({"analyse", "--format", "json", "--year", "2026", a, b}, io), cli::kExitOk);
  const std::string json = out.str();
  EXPECT_NE(json.find("\"switch\":\"OCB\",\"start\":\"2026-02-14   08:00:00\",\"end\":\"2026-02-14   09:39:00\","
                      "\"records\":\"100\""),
            std::string::npos)
      << json;
  // Day 366 of 2024 before a header of 1 January 2025.
  EXPECT_NE(json.find("\"start\":\"2024-12-31   23:55:00\",\"end\":\"2025-01-01   00:04:30\",\"records\":\"20\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"totals\":{\"files\":\"2\""), std::string::npos) << json;
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace vellmark
