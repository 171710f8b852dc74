#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "support/memory_file_system.h"
#include "readers/ewsd_packages.h"
#include "readers/modEWSD.h"
#include "testdata/ewsd.h"
#include "testdata/reader_harness.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::EwsdCall;
using testdata::EwsdEmptyBlock;
using testdata::EwsdFile;
using testdata::EwsdFillers;
using testdata::EwsdItem;
using testdata::EwsdRecord;
using testdata::EwsdRecordBytes;
using testdata::EwsdSkipItem;
using testdata::EwsdStamp;
using testdata::ReaderHarness;

Bytes Call(unsigned hour, unsigned minute, unsigned second) {
  return EwsdRecordBytes(EwsdCall(EwsdStamp{26, 4, 17, hour, minute, second}));
}

// A record without package 100.
Bytes Undated() {
  EwsdRecord record;
  record.packages = {testdata::EwsdDigitsPackage(101, "0112345"), testdata::EwsdFixedPackage(102, 4)};
  return EwsdRecordBytes(record);
}

// n calls a minute apart from 10:00:00.
Bytes Calls(std::size_t n) {
  std::vector<Bytes> items;
  for (std::size_t i = 0; i < n; ++i) items.push_back(Call(10 + static_cast<unsigned>(i / 60), i % 60, 0));
  return EwsdFile(items);
}

class EwsdReaderTest : public ::testing::Test {
 protected:
  std::string read(const Bytes& bytes, ReaderHarness& h) {
    files.put("/data/file.ama", bytes);
    return h.read(ReadEwsdFile, "/data/file.ama");
  }
  std::string read(const Bytes& bytes) { return read(bytes, harness); }

  MemoryFileSystem files;
  ReaderHarness harness{files};
};

TEST_F(EwsdReaderTest, RecordsAreCountedBetweenTheOtherItems) {
  EXPECT_EQ(read(EwsdFile({Call(9, 0, 1), EwsdFillers(3), Call(9, 5, 0), EwsdEmptyBlock(), Call(9, 59, 58)})),
            "2026-04-17   09:00:01,2026-04-17   09:59:58,3");

  // Every item kind with its length; their bodies would read as records if misplaced.
  Bytes items = EwsdFile({Call(8, 0, 0), EwsdSkipItem(5), EwsdItem(0x7A), EwsdItem(0x7B), EwsdItem(0x7C),
                          EwsdItem(0x01), EwsdItem(0x02), EwsdItem(0x03), EwsdFillers(1), EwsdSkipItem(2),
                          Call(8, 30, 0)});
  EXPECT_EQ(read(items), "2026-04-17   08:00:00,2026-04-17   08:30:00,2");

  // 0x04 is a record type, not a 32-byte item.
  EwsdRecord four = EwsdCall(EwsdStamp{26, 4, 17, 12, 0, 0});
  four.type = 0x04;
  EXPECT_EQ(read(EwsdFile({Call(8, 0, 0), EwsdRecordBytes(four)})), "2026-04-17   08:00:00,2026-04-17   12:00:00,2");

  // A record of length 1 moves the search by one byte and counts.
  EXPECT_EQ(read(EwsdFile({Call(8, 0, 0), Bytes{0x90, 0x01}, Bytes(31, 0x11), Call(8, 1, 0)})),
            "2026-04-17   08:00:00,2026-04-17   08:01:00,3");
}

TEST_F(EwsdReaderTest, OneRecordIsFirstAndLast) {
  EXPECT_EQ(read(Call(23, 59, 59)), "2026-04-17   23:59:59,2026-04-17   23:59:59,1");
  EXPECT_EQ(read(EwsdFile({EwsdFillers(5), Call(0, 0, 1), EwsdFillers(5)})),
            "2026-04-17   00:00:01,2026-04-17   00:00:01,1");
}

TEST_F(EwsdReaderTest, ARecordEndingWithTheFileIsTheLast) {
  // Its last package reads the byte after the record, which is 0 there.
  EwsdRecord last = EwsdCall(EwsdStamp{26, 4, 17, 18, 0, 0});
  last.packages.push_back({146, 0, 0, 0, 0, 0});  // its count byte is the byte after
  Bytes file = EwsdFile({Call(8, 0, 0), EwsdRecordBytes(last)});
  EXPECT_EQ(read(file), "2026-04-17   08:00:00,2026-04-17   18:00:00,2");
  // Not at the end of the file, the byte after belongs to the next item.
  testdata::Append(file, EwsdFillers(1));
  EXPECT_EQ(read(file), "2026-04-17   08:00:00,2026-04-17   18:00:00,2");
}

TEST_F(EwsdReaderTest, ItemsThatWouldNotMoveOnEndTheFile) {
  Bytes twoCalls = EwsdFile({Call(8, 0, 0), Call(8, 1, 0)});
  EXPECT_EQ(read(EwsdFile({twoCalls, Bytes{0x81, 0x00}, Call(9, 0, 0)})), "2026-04-17   08:00:00,2026-04-17   08:01:00,2");
  EXPECT_EQ(read(EwsdFile({twoCalls, Bytes{0x84, 0x00}, Call(9, 0, 0)})), "2026-04-17   08:00:00,2026-04-17   08:01:00,2");
  // A skip item or a record type as the very last byte has length 0.
  EXPECT_EQ(read(EwsdFile({twoCalls, Bytes{0x81}})), "2026-04-17   08:00:00,2026-04-17   08:01:00,2");
  EXPECT_EQ(read(EwsdFile({twoCalls, Bytes{0x84}})), "2026-04-17   08:00:00,2026-04-17   08:01:00,2");
  EXPECT_EQ(read(Bytes{0x84, 0x00}), ",,0");
}

TEST_F(EwsdReaderTest, RecordsWithoutDateGiveEmptyTimes) {
  EXPECT_EQ(read(EwsdFile({Call(8, 0, 0), Undated()})), "2026-04-17   08:00:00,,2");
  // Nothing is carried over from the file read before.
  EXPECT_EQ(read(EwsdFile({Undated(), Call(8, 0, 0), Undated()})), ",,3");
  EXPECT_EQ(read(EwsdFile({Undated(), Call(9, 0, 0)})), ",2026-04-17   09:00:00,2");
}

TEST_F(EwsdReaderTest, FilesWithoutRecordsGiveNothing) {
  EXPECT_EQ(read(Bytes{}), ",,0");
  EXPECT_EQ(read(EwsdFile({EwsdFillers(300), EwsdEmptyBlock(), EwsdItem(0x7A)})), ",,0");
  EXPECT_EQ(harness.polls, 0);
}

TEST_F(EwsdReaderTest, ANewerPackageAfterTheDateKeepsTheRecord) {
  EwsdRecord newer = EwsdCall(EwsdStamp{26, 5, 1, 0, 10, 0});
  newer.packages.insert(newer.packages.begin() + 1, testdata::EwsdFixedPackage(138, 6));
  newer.packages.push_back(testdata::EwsdFixedPackage(77, 3));  // never reached
  Bytes file = EwsdFile({EwsdRecordBytes(newer), Call(8, 0, 0), EwsdRecordBytes(newer)});
  EXPECT_EQ(read(file), "2026-05-01   00:10:00,2026-05-01   00:10:00,3");
  EXPECT_TRUE(harness.messages.empty());
}

TEST_F(EwsdReaderTest, AnUnknownPackageGivesUpTheFileWithOneMessage) {
  for (std::uint8_t number : {99, 201}) {
    EwsdRecord odd = EwsdCall(EwsdStamp{26, 4, 17, 9, 0, 0});
    odd.packages.insert(odd.packages.begin() + 1, Bytes{number, 0, 0});
    for (const Bytes& file : {EwsdFile({EwsdRecordBytes(odd), Call(8, 0, 0), EwsdRecordBytes(odd)}),
                              EwsdFile({Call(8, 0, 0), Call(8, 1, 0), EwsdRecordBytes(odd)})}) {
      ReaderHarness h(files);
      EXPECT_EQ(read(file, h).rfind("failed: unknown_package: ", 0), 0u) << "package " << int(number) << " was accepted";
      ASSERT_EQ(h.messages.size(), 1u);
      EXPECT_EQ(h.messages[0], "Contact The Programmer: Pack Message " + std::to_string(number) +
                                   " Received. This Feature is not Enabled at Present. Cann't Proceed.");
    }
  }
  // A record between the first and the last is never decoded.
  EwsdRecord odd = EwsdCall(EwsdStamp{26, 4, 17, 9, 0, 0});
  odd.packages.insert(odd.packages.begin() + 1, Bytes{5, 0, 0});
  EXPECT_EQ(read(EwsdFile({Call(8, 0, 0), EwsdRecordBytes(odd), Call(8, 2, 0)})),
            "2026-04-17   08:00:00,2026-04-17   08:02:00,3");
}

TEST_F(EwsdReaderTest, ALastRecordCutByTheEndOfTheFileIsCounted) {
  Bytes file = EwsdFile({Call(8, 0, 0), Call(8, 1, 0)});
  std::size_t second = file.size() / 2;
  // Cut after its date: counted with its time.
  file.resize(second + 8 + 11);
  EXPECT_EQ(read(file), "2026-04-17   08:00:00,2026-04-17   08:01:00,2");
  // Cut inside its date: counted, no time.
  file.resize(second + 12);
  EXPECT_EQ(read(file), "2026-04-17   08:00:00,,2");
  // Cut after its length byte.
  file.resize(second + 2);
  EXPECT_EQ(read(file), "2026-04-17   08:00:00,,2");
  // Only its type byte: no length, no record.
  file.resize(second + 1);
  EXPECT_EQ(read(file), "2026-04-17   08:00:00,2026-04-17   08:00:00,1");
}

TEST_F(EwsdReaderTest, AWholeRecordReadPastItsEndFailsTheReader) {
  EwsdRecord bad = EwsdCall(EwsdStamp{26, 4, 17, 9, 0, 0});
  bad.packages.push_back({100, 26, 4});  // its time lies past the record
  EXPECT_EQ(read(EwsdFile({Call(8, 0, 0), EwsdRecordBytes(bad), EwsdFillers(20)})).rfind("failed: corrupt: ", 0), 0u);
  // A first record of 2 bytes has no flags byte.
  EXPECT_EQ(read(EwsdFile({Bytes{0x84, 0x02}, Call(8, 0, 0)})).rfind("failed: corrupt: ", 0), 0u);
}

TEST_F(EwsdReaderTest, TheBarMovesByWholePercentsAndStopIsAskedThere) {
  Bytes file = Calls(120);
  const std::string whole = "2026-04-17   10:00:00,2026-04-17   11:59:00,120";
  EXPECT_EQ(read(file), whole);
  ASSERT_FALSE(harness.progress.empty());
  EXPECT_EQ(harness.progress.back(), 0);
  for (std::size_t i = 1; i + 1 < harness.progress.size(); ++i)
    EXPECT_GT(harness.progress[i], harness.progress[i - 1]);
  EXPECT_LE(harness.progress[harness.progress.size() - 2], 100);
  EXPECT_EQ(harness.polls, static_cast<int>(harness.progress.size()) - 1);
  EXPECT_EQ(harness.questions, 0);

  ReaderHarness no(files);
  no.pressStopAtPoll(3, false);
  EXPECT_EQ(read(file, no), whole);
  EXPECT_EQ(no.questions, 1);
  EXPECT_EQ(no.polls, harness.polls);

  ReaderHarness yes(files);
  yes.pressStopAtPoll(3, true);
  EXPECT_EQ(read(file, yes), std::string("stopped"));
  EXPECT_EQ(yes.questions, 1);
  EXPECT_EQ(yes.polls, 3);
  EXPECT_EQ(yes.finalProgress(), 0);

  // Under 100 bytes there are no steps.
  ReaderHarness small(files);
  EXPECT_EQ(read(EwsdFile({Call(8, 0, 0), Call(8, 1, 0)}), small), "2026-04-17   08:00:00,2026-04-17   08:01:00,2");
  ASSERT_LT(EwsdFile({Call(8, 0, 0), Call(8, 1, 0)}).size(), 100u);
  EXPECT_TRUE(small.progress.empty());
  EXPECT_EQ(small.polls, 0);
}

TEST_F(EwsdReaderTest, CliReportsEwsdFilesAsJson) {
  testdata::TempDir dir;
  std::string good = dir.write("AMA0001.ama", Calls(30));
  EwsdRecord odd = EwsdCall(EwsdStamp{26, 4, 17, 9, 0, 0});
  odd.packages.insert(odd.packages.begin() + 1, Bytes{42, 0});
  std::string bad = dir.write("AMA0002.ama", EwsdFile({Call(8, 0, 0), Call(8, 0, 0), EwsdRecordBytes(odd)}));
  std::ostringstream out, err;
  cli::CliIo io{out, err};
  EXPECT_EQ(cli::RunCli({"analyse", "--format", "json", "--year", "2026", good, bad}, io), cli::kExitFailures);
  const std::string json = out.str();
  EXPECT_NE(json.find("\"switch\":\"EWSD\",\"start\":\"2026-04-17   10:00:00\",\"end\":\"2026-04-17   10:29:00\","
                      "\"records\":\"30\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"start\":\"Invalid  File\",\"end\":\"Invalid  File\",\"records\":\"0\""), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"error_kind\":\"unknown_package\""), std::string::npos) << json;
  EXPECT_NE(err.str().find("Pack Message 42 Received. This Feature is not Enabled at Present. Cann't Proceed."),
            std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace vellmark
