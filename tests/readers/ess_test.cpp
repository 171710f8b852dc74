#include "readers/modESS.h"

#include <gtest/gtest.h>


#include "support/memory_file_system.h"
#include "testdata/ess.h"
#include "testdata/reader_harness.h"

namespace vellmark {
namespace {

using namespace testdata;

const std::string kPath = "/exchange/AMA20250318.001";

class EssReader : public ::testing::Test {
 protected:
  std::string read(const Bytes& bytes) {
    files.put(kPath, bytes);
    return harness.read(ReadEssFile, kPath);
  }
  MemoryFileSystem files;
  ReaderHarness harness{files};
};

EssCall Call(const std::string& date, const std::string& time) { return {date, time, 1, ""}; }

std::vector<EssCall> Morning() {
  return {Call("250318", "093005"), Call("250318", "101500"), Call("250318", "084412"), Call("250318", "120000")};
}

TEST_F(EssReader, SeparatorsAndLeadingBlanksAreSkipped) {
  const std::string expected = "2025-03-18   08:44:12,2025-03-18   12:00:00,4";
  EXPECT_EQ(read(EssFile(Morning())), expected);
  EXPECT_EQ(read(EssFile(Morning(), 0, "\n")), expected);
  EXPECT_EQ(read(EssFile(Morning(), 0, "\n\n\n")), expected);
  EXPECT_EQ(read(EssFile(Morning(), 7, "\n")), expected);
  // Line feeds after some records only; a run at the end changes nothing.
  Bytes mixed = Text(EssRecord(Morning()[0]) + EssRecord(Morning()[1]) + "\n\n" + EssRecord(Morning()[2]) +
                     EssRecord(Morning()[3]) + "\n\n\n\n");
  EXPECT_EQ(read(mixed), expected);
  EXPECT_EQ(harness.progress, std::vector<int>{});  // no progress step below 100 calls
  EXPECT_EQ(harness.polls, 0);

  // A blank inside the file is part of the record stream: everything after it moves by
  // one, so the third record's date is read from its columns 43 to 48.
  Bytes shifted = Text(EssRecord(Morning()[0]) + EssRecord(Morning()[1]) + " " + EssRecord(Morning()[2]) +
                       EssRecord(Morning()[3]));
  EXPECT_EQ(read(shifted), "2002-50-31   80:84:41,2025-03-18   10:15:00,4");
  // So is a return byte before the line feed.
  EXPECT_NE(read(EssFile(Morning(), 0, "\r\n")), expected);
}

TEST_F(EssReader, OneRecordIsBothEnds) {
  EXPECT_EQ(read(EssFile({Call("040512", "093005")})), "2004-05-12   09:30:05,2004-05-12   09:30:05,1");
}

TEST_F(EssReader, RangeRulesCompareDateThenTime) {
  // The same latest date twice: the later time; a later date wins with an earlier time.
  EXPECT_EQ(read(EssFile({Call("250318", "120000"), Call("250319", "180000"), Call("250319", "200000"),
                          Call("250319", "190000")})),
            "2025-03-18   12:00:00,2025-03-19   20:00:00,4");
  EXPECT_EQ(read(EssFile({Call("250318", "120000"), Call("250320", "010000")})),
            "2025-03-18   12:00:00,2025-03-20   01:00:00,2");
  // An earlier date wins with a later time; the same earliest date: the earlier time.
  EXPECT_EQ(read(EssFile({Call("250318", "120000"), Call("250317", "230000"), Call("250317", "220000"),
                          Call("250317", "225959")})),
            "2025-03-17   22:00:00,2025-03-18   12:00:00,4");
  // Year digits 99 are 2099 and later than 05: dates compare as numbers.
  EXPECT_EQ(read(EssFile({Call("050101", "000000"), Call("991231", "235959"), Call("050601", "120000")})),
            "2005-01-01   00:00:00,2099-12-31   23:59:59,3");
}

TEST_F(EssReader, ZeroDatesAreNotCallsExceptTheFirstRecord) {
  EXPECT_EQ(read(EssFile({Call("250318", "120000"), Call("000000", "010000"), Call("      ", "235959"),
                          Call("250318", "130000")})),
            "2025-03-18   12:00:00,2025-03-18   13:00:00,2");
  EXPECT_EQ(read(EssFile({Call("000000", "093005"), Call("250318", "120000")})),
            "2000-00-00   09:30:05,2025-03-18   12:00:00,2");
  // Fields are read leniently: blanks skipped, reading stops at another character.
  EXPECT_EQ(read(EssFile({Call("25 318", "09 30 ")})), "2002-53-18   00:09:30,2002-53-18   00:09:30,1");
  EXPECT_EQ(read(EssFile({Call("25X318", "A93005"), Call("X50318", "120000")})),
            "2000-00-25   00:00:00,2000-00-25   00:00:00,1");
}

TEST_F(EssReader, ShortPiecesAndEmptyFiles) {
  // A piece shorter than a record at the end is no call, even with a later date.
  Bytes file = EssFile(Morning(), 0, "\n");
  Append(file, Text(EssRecord(Call("251231", "235959")).substr(0, 121)));
  EXPECT_EQ(read(file), "2025-03-18   08:44:12,2025-03-18   12:00:00,4");

  EXPECT_EQ(read({}), ",,0");
  EXPECT_EQ(read(Text("      ")), ",,0");
  EXPECT_EQ(read(Text("   " + EssRecord(Morning()[0]).substr(0, 121))), ",,0");
  EXPECT_EQ(read(Text("\n\n\n")), ",,0");
  EXPECT_EQ(harness.finalProgress(), 0);
}

TEST_F(EssReader, ProgressEveryHundredCalls) {
  // 260 records of 122 bytes, ten of them not calls: one per cent is 317; calls 100
  // and 200 are records 100 and 210, at 1-based positions 12079 and 25499.
  auto calls = EssRun(260, "250318", 8, 0, 10);
  for (std::size_t r = 150; r < 160; ++r) calls[r].date = "000000";
  EXPECT_EQ(read(EssFile(calls)), "2025-03-18   08:00:00,2025-03-18   08:43:10,250");
  EXPECT_EQ(harness.progress, (std::vector<int>{38, 80, 0}));
  EXPECT_EQ(harness.polls, 2);
  EXPECT_EQ(harness.questions, 0);

  // One per cent is rounded half to even: 122.5 gives 122, 123.5 gives 124.
  auto hundred = EssRun(100, "250318", 8, 0, 10);
  Bytes file = EssFile(hundred);
  file.resize(12250, '\n');
  harness.progress.clear();
  read(file);
  EXPECT_EQ(harness.progress, (std::vector<int>{99, 0}));
  file.resize(12350, '\n');
  harness.progress.clear();
  read(file);
  EXPECT_EQ(harness.progress, (std::vector<int>{97, 0}));
}

TEST_F(EssReader, StopQuestionAtTheProgressStep) {
  Bytes file = EssFile(EssRun(250, "250318", 8, 0, 10));
  const std::string whole = "2025-03-18   08:00:00,2025-03-18   08:41:30,250";

  harness.pressStopAtPoll(1, true);
  EXPECT_EQ(read(file), std::string("stopped"));
  EXPECT_EQ(harness.polls, 1);
  EXPECT_EQ(harness.questions, 1);
  EXPECT_EQ(harness.finalProgress(), 0);

  ReaderHarness no(files);
  no.pressStopAtPoll(2, false);
  EXPECT_EQ(no.read(ReadEssFile, kPath), whole);
  EXPECT_EQ(no.polls, 2);
  EXPECT_EQ(no.questions, 1);
  EXPECT_EQ(no.finalProgress(), 0);

  ReaderHarness late(files);
  late.pressStopAtPoll(2, true);
  EXPECT_EQ(late.read(ReadEssFile, kPath), std::string("stopped"));
  EXPECT_EQ(late.progress, (std::vector<int>{39, 79, 0}));
}

TEST_F(EssReader, WalksFilesLargerThanTheReadBuffer) {
  auto calls = EssRun(10000, "250318", 0, 0, 8);
  calls[5000] = Call("250317", "235959");
  calls[9000] = Call("250319", "000001");
  EXPECT_EQ(read(EssFile(calls, 3, "\n")), "2025-03-17   23:59:59,2025-03-19   00:00:01,10000");
  EXPECT_EQ(harness.polls, 100);
  EXPECT_EQ(harness.progress.size(), 100u);  // 1 to 99, then 0
  EXPECT_EQ(harness.progress[98], 99);
}

}  // namespace
}  // namespace vellmark
