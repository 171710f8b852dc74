#include "readers/probe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "support/fault_injection.h"
#include "core/switch_family.h"
#include "testdata/bytes.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::Put;

int Probe(const Bytes& bytes) { return ProbeHead(bytes.data(), bytes.size()); }

// The second byte of slots 0 to 10 of 26 bytes (file positions 2, 28, ..., 262).
Bytes E10bHead(std::initializer_list<std::uint8_t> slotBytes, std::size_t size = 1001) {
  Bytes head(size, 0);
  std::size_t slot = 0;
  for (auto b : slotBytes) head[26 * slot++ + 1] = b;
  return head;
}

TEST(Probe, E10bSequenceBytesCountUpAcrossSlots) {
  EXPECT_EQ(Probe(E10bHead({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})), kFamilyE10b);
  // An empty slot neither passes nor fails.
  EXPECT_EQ(Probe(E10bHead({5, 6, 7, 8, 0, 9, 10, 11, 12, 13, 14})), kFamilyE10b);
  // After the empty slot the count must go on from the last non-zero byte.
  EXPECT_NE(Probe(E10bHead({5, 6, 7, 8, 0, 10, 11, 12, 13, 14, 15})), kFamilyE10b);
  // Slot 10 must not be empty.
  EXPECT_NE(Probe(E10bHead({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0})), kFamilyE10b);
  // Slot 0 is the start even when it is 0.
  EXPECT_EQ(Probe(E10bHead({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10})), kFamilyE10b);
  // Whole numbers: nothing follows 0xFF, not even a wrapped-around 0x00 or 0x01.
  EXPECT_EQ(Probe(E10bHead({0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF})), kFamilyE10b);
  EXPECT_NE(Probe(E10bHead({0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF, 0x01})), kFamilyE10b);
}

TEST(Probe, EwsdNeedsTwoRecordTypes) {
  Bytes head(1001, 0x11);
  Put(head, 0, {0x84, 0x00});  // the length points back at the first byte itself
  EXPECT_EQ(Probe(head), kFamilyEwsd);

  Put(head, 0, {0x84, 0x40});
  Put(head, 0x40, {0x84});
  EXPECT_EQ(Probe(head), kFamilyEwsd);
  Put(head, 0x40, {0x85});
  EXPECT_NE(Probe(head), kFamilyEwsd);
}

TEST(Probe, FiveEssSevenInColumn75OfElevenRecords) {
  std::string text;
  for (int k = 0; k < 12; ++k) {
    std::string record(122, 'x');
    record[74] = '7';
    text += record;
  }
  EXPECT_EQ(Probe(testdata::Text(text)), kFamily5ess);
  text[122 * 10 + 74] = '8';
  EXPECT_NE(Probe(testdata::Text(text)), kFamily5ess);
}

TEST(Probe, OcbMarkAtEitherPlace) {
  Bytes head(1001, 0x33);
  Put(head, 928, {0xC6, 0xC4});
  EXPECT_EQ(Probe(head), kFamilyOcb);
  Bytes first(1001, 0x33);
  Put(first, 32, {0xC6, 0xC4});
  EXPECT_EQ(Probe(first), kFamilyOcb);
  // A file that passes both the EWSD and the OCB test is EWSD.
  Put(first, 0, {0x84, 0x00});
  EXPECT_EQ(Probe(first), kFamilyEwsd);
}

TEST(Probe, CdotByte27OfTwentyRecordsThenAxe) {
  Bytes head(1001, 0x33);
  for (int m = 0; m < 20; ++m) head[48 * m + 27] = static_cast<std::uint8_t>(m % 3);
  EXPECT_EQ(Probe(head), kFamilyCdot);
  head[48 * 7 + 27] = 3;
  EXPECT_EQ(Probe(head), kFamilyUnknown);  // on to the AXE test, which fails here
}

Bytes AxeHead(std::initializer_list<const char*> lengths) {
  Bytes head(10243, 'A');
  std::size_t p = 2048;
  for (const char* length : lengths) {
    head[p - 1] = 0;
    testdata::PutText(head, p, length);
    p += 2048;
  }
  head[27] = 9;  // not C-DOT
  return head;
}

TEST(Probe, AxeFiveBlockBoundaries) {
  EXPECT_EQ(Probe(AxeHead({"120", "095", "080", "200", "150"})), kFamilyAxe);
  EXPECT_EQ(Probe(AxeHead({"120", " 95", "8 0", "200", "150"})), kFamilyAxe);  // blanks ignored
  EXPECT_EQ(Probe(AxeHead({"120", "095", "201", "200", "150"})), kFamilyUnknown);
  EXPECT_EQ(Probe(AxeHead({"120", "095", "079", "200", "150"})), kFamilyUnknown);
  Bytes nonZero = AxeHead({"120", "095", "080", "200", "150"});
  nonZero[4096 - 1] = 1;
  EXPECT_EQ(Probe(nonZero), kFamilyUnknown);
  // The fifth boundary lies past the end of a 10 KB file: its field reads as NULs.
  Bytes cut = AxeHead({"120", "095", "080", "200", "150"});
  cut.resize(10240);
  EXPECT_EQ(Probe(cut), kFamilyUnknown);
}

TEST(Probe, ShortFilesReadZerosPastTheirEnd) {
  EXPECT_EQ(Probe(Bytes{}), kFamilyUnknown);            // empty
  EXPECT_EQ(Probe(Bytes{0x84, 0x00}), kFamilyEwsd);
  EXPECT_EQ(Probe(Bytes{0x01}), kFamilyCdot);           // zeros pass the C-DOT test
  EXPECT_EQ(Probe(Bytes(30, 'z')), kFamilyUnknown);
}

TEST(Probe, OnlyRegularReadableFilesAreDataFiles) {
  testdata::TempDir dir;
  FileSystem& fs = RealFileSystem();
  EXPECT_EQ(ProbeSwitchFamily(fs, dir.path()), kNotADataFile);
  EXPECT_EQ(ProbeSwitchFamily(fs, dir.file("missing")), kNotADataFile);
  EXPECT_EQ(ProbeSwitchFamily(fs, dir.write("empty", Bytes{})), kFamilyUnknown);

  std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ProbeSwitchFamily(fs, fifo), kNotADataFile);  // and does not block

  std::string socketPath = dir.file("sock");
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(ProbeSwitchFamily(fs, socketPath), kNotADataFile);
  close(s);

  std::string target = dir.write("ewsd", Bytes{0x84, 0x00, 0x00});
  ASSERT_EQ(symlink(target.c_str(), dir.file("link").c_str()), 0);
  EXPECT_EQ(ProbeSwitchFamily(fs, dir.file("link")), kFamilyEwsd);
  ASSERT_EQ(symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str()), 0);
  EXPECT_EQ(ProbeSwitchFamily(fs, dir.file("dangling")), kNotADataFile);
  ASSERT_EQ(symlink(dir.file("loop").c_str(), dir.file("loop").c_str()), 0);
  EXPECT_EQ(ProbeSwitchFamily(fs, dir.file("loop")), kNotADataFile);

  FaultInjectingFileSystem failing(fs);
  failing.failOpen(EACCES);
  EXPECT_EQ(ProbeSwitchFamily(failing, target), kNotADataFile);
}

TEST(Probe, ReadsOnlyTheHeadOfLargeFiles) {
  testdata::TempDir dir;
  std::string path = dir.file("big");
  {
    Bytes head(1001, 0x33);
    Put(head, 928, {0xC6, 0xC4});
    dir.write("big", head);
    ASSERT_EQ(truncate(path.c_str(), 10LL << 30), 0);  // 10 GiB, sparse
  }
  FaultInjectingFileSystem fs(RealFileSystem());
  fs.failReadsFrom(kProbeHeadSize + 1, EIO);  // any read past the head fails
  EXPECT_EQ(ProbeSwitchFamily(fs, path), kFamilyOcb);
  EXPECT_EQ(fs.readCalls(), 1);
}

}  // namespace
}  // namespace vellmark
