#include "readers/modE10B.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/memory_file_system.h"
#include "testdata/e10b.h"
#include "testdata/reader_harness.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::E10bBlock;
using testdata::E10bFile;
using testdata::E10bRun;
using testdata::E10bTicket;
using testdata::ReaderHarness;

constexpr char kPath[] = "/cdr/E10B-TEST.TKT";

// A harness over files held in memory.
struct InMemory {
  explicit InMemory(int year = 2026) : harness(fs, year) {}
  std::string read(const Bytes& bytes) {
    fs.put(kPath, bytes);
    return harness.read(ReadE10bFile, kPath);
  }
  MemoryFileSystem fs;
  ReaderHarness harness;
};

std::string Read(const Bytes& bytes, int year = 2026) { return InMemory(year).read(bytes); }

// One block whose slots carry the given sequence numbers, all at day 45, 10:00 + slot.
E10bBlock Sequences(std::initializer_list<unsigned> numbers) {
  E10bBlock block;
  unsigned minute = 0;
  for (unsigned n : numbers) block.push_back({static_cast<std::uint16_t>(n), 45, 10, minute++});
  return block;
}

std::string Count(const std::string& result) { return result.substr(result.rfind(',') + 1); }

ByteView Record(const Bytes& bytes) { return ByteView(bytes.data(), bytes.size()); }

TEST(E10bReader, ReadsWholeBlocksOnly) {
  EXPECT_EQ(Read({}), ",,0");
  Bytes oneShort = E10bFile({E10bRun(1, 78, 45, 8, 0)});
  oneShort.pop_back();
  EXPECT_EQ(Read(oneShort), ",,0");

  // 5000 bytes: two blocks read, the 904 bytes after them ignored though they hold
  // tickets that would continue the chain.
  Bytes file = E10bFile({E10bRun(1, 78, 45, 8, 0), E10bRun(79, 78, 45, 9, 18), E10bRun(157, 78, 45, 10, 36)});
  file.resize(5000);
  EXPECT_EQ(Read(file), "2026-02-14   08:00:00,2026-02-14   10:35:00,156");

  // The 20 bytes after the last slot are never looked at.
  Bytes tail = E10bFile({E10bRun(1, 3, 45, 8, 0)});
  testdata::Put(tail, 2028, {0x00, 0x04, 0, 0, 0, 0, 0, 0, 0x00, 0x45, 0x23, 0x59});
  EXPECT_EQ(Count(Read(tail)), "3");
}

TEST(E10bReader, FollowsTheSequenceChain) {
  EXPECT_EQ(Count(Read(E10bFile({Sequences({5, 0, 6})}))), "2");          // empty slot skipped
  EXPECT_EQ(Count(Read(E10bFile({Sequences({41, 42, 1, 2})}))), "4");     // restart at 1
  EXPECT_EQ(Count(Read(E10bFile({Sequences({3, 1, 1, 2})}))), "4");       // 1 always continues
  EXPECT_EQ(Count(Read(E10bFile({Sequences({9000, 9001})}))), "2");       // any first number

  // A break ends the file: the 20 is not counted, nor anything after it, even the
  // continuing tickets of a later block.
  InMemory m;
  auto result = m.read(E10bFile({Sequences({7, 8, 20, 21}), Sequences({9, 10})}));
  EXPECT_EQ(result, "2026-02-14   10:00:00,2026-02-14   10:01:00,2");
  EXPECT_EQ(m.harness.polls, 0);  // the break comes before the first block's stop point

  // A break at the first slot of a later block: the last stamp is the previous block's.
  E10bBlock first = Sequences({1, 2, 3});
  first.resize(78);
  first.back() = {4, 46, 23, 59};
  EXPECT_EQ(Read(E10bFile({first, Sequences({100, 5})})), "2026-02-14   10:00:00,2026-02-15   23:59:00,4");

  // A block of empty slots between two halves of the chain changes nothing.
  EXPECT_EQ(Count(Read(E10bFile({Sequences({1, 2}), {}, Sequences({3})}))), "3");
}

TEST(E10bReader, SequenceNumbersAreUnsigned) {
  EXPECT_EQ(E10bSequenceNumber(Record({0x80, 0x00})), 32768u);
  EXPECT_EQ(E10bSequenceNumber(Record({0xFF, 0xFF})), 65535u);
  EXPECT_EQ(E10bSequenceNumber(Record({0x01, 0x02})), 258u);
  // 32767 -> 32768 continues; after 65535 only 1 continues (0 is an empty slot).
  EXPECT_EQ(Count(Read(E10bFile({Sequences({32767, 32768, 32769})}))), "3");
  EXPECT_EQ(Count(Read(E10bFile({Sequences({65534, 65535, 0, 1, 2})}))), "4");
  EXPECT_EQ(Count(Read(E10bFile({Sequences({65535, 2})}))), "1");
}

TEST(E10bReader, DayOfYearBecomesMonthAndDay) {
  auto date = [](std::uint8_t hi, std::uint8_t lo, int year) {
    Bytes r(26, 0);
    r[8] = hi;
    r[9] = lo;
    return E10bDateText(Record(r), year);
  };
  EXPECT_EQ(date(0x00, 0x32, 2026), "2026-02-01");
  EXPECT_EQ(date(0x00, 0x60, 2024), "2024-02-29");
  EXPECT_EQ(date(0x00, 0x60, 2026), "2026-03-01");
  EXPECT_EQ(date(0x00, 0x60, 1900), "1900-02-29");  // every fourth year, no century rule
  EXPECT_EQ(date(0x00, 0x00, 2026), "2026-01-00");
  EXPECT_EQ(date(0x03, 0x65, 2026), "2026-12-31");
  EXPECT_EQ(date(0x03, 0x66, 2024), "2024-12-31");
  // Past the year's end the walk stays in December; the day shows its last two digits.
  EXPECT_EQ(date(0x03, 0x66, 2026), "2026-12-32");
  EXPECT_EQ(date(0x04, 0x00, 2026), "2026-12-66");
  EXPECT_EQ(date(0x99, 0x99, 2026), "2026-12-65");   // 9999 - 334
  // The day number stops at the first nibble that is not a digit.
  EXPECT_EQ(date(0x01, 0xA0, 2026), "2026-01-01");
  EXPECT_EQ(date(0xF0, 0x45, 2026), "2026-01-00");
}

TEST(E10bReader, TimeIsTheHexTextOfHourAndMinute) {
  Bytes r(26, 0);
  r[10] = 0x09;
  r[11] = 0x05;
  EXPECT_EQ(E10bTimeText(Record(r)), "09:05:00");
  r[10] = 0x2A;
  r[11] = 0xFF;
  EXPECT_EQ(E10bTimeText(Record(r)), "2A:FF:00");
  r[8] = 0x0A;
  r[9] = 0xC4;
  EXPECT_EQ(RecordHexText(Record(r), 8, 9), "0AC4");
  EXPECT_EQ(RecordHexText(Record(r), 8, 11), "0AC42AFF");
}

TEST(E10bReader, StampsCarryTheCurrentYear) {
  Bytes file = E10bFile({{{1, 60, 23, 58}, {2, 60, 23, 59}, {3, 61, 0, 0}}});
  EXPECT_EQ(Read(file, 2026), "2026-03-01   23:58:00,2026-03-02   00:00:00,3");
  EXPECT_EQ(Read(file, 2028), "2028-02-29   23:58:00,2028-03-01   00:00:00,3");
}

// The bar values a file of `blocks` blocks with no tickets shows.
std::vector<int> ProgressOf(std::size_t blocks, int* polls = nullptr) {
  InMemory m;
  EXPECT_EQ(m.read(Bytes(blocks * 2048, 0)), ",,0");
  if (polls) *polls = m.harness.polls;
  return m.harness.progress;
}

std::vector<int> Rising(int last) {
  std::vector<int> v(static_cast<std::size_t>(last));
  std::iota(v.begin(), v.end(), 1);
  return v;
}

TEST(E10bReader, ProgressStepRoundsHalfToEven) {
  auto expect = [](std::vector<int> values, bool reaches100) {
    if (!reaches100) values.push_back(100);
    values.push_back(0);
    return values;
  };
  int polls = 0;
  EXPECT_EQ(ProgressOf(3, &polls), expect({1, 2}, false));
  EXPECT_EQ(polls, 3);  // one stop point per block
  EXPECT_EQ(ProgressOf(149), expect(Rising(100), true));  // step 1; stays at 100
  EXPECT_EQ(ProgressOf(150), expect(Rising(74), false));  // 1.5 -> step 2
  EXPECT_EQ(ProgressOf(250), expect(Rising(100), true));  // 2.5 -> step 2
  EXPECT_EQ(ProgressOf(350), expect(Rising(87), false));  // 3.5 -> step 4
}

TEST(E10bReader, StopQuestionEndsOrContinues) {
  Bytes file = E10bFile({E10bRun(1, 78, 45, 8, 0), E10bRun(79, 78, 45, 9, 18), E10bRun(157, 10, 45, 10, 36)});

  InMemory stopped;
  auto& yes = stopped.harness;
  yes.pressStopAtPoll(2, true);
  EXPECT_EQ(stopped.read(file), std::string("stopped"));
  EXPECT_EQ(yes.questions, 1);
  EXPECT_EQ(yes.polls, 2);
  EXPECT_EQ(yes.finalProgress(), 0);

  InMemory goesOn;
  auto& no = goesOn.harness;
  no.pressStopAtPoll(2, false);
  EXPECT_EQ(goesOn.read(file), "2026-02-14   08:00:00,2026-02-14   10:45:00,166");
  EXPECT_EQ(no.questions, 1);
  EXPECT_EQ(no.polls, 3);
  EXPECT_EQ(no.finalProgress(), 0);
}

TEST(E10bReader, AChainBreakPastTheReadBufferEndsTheFile) {
  // 600 blocks pass the 1 MiB read buffer; the chain breaks in block 550.
  std::vector<E10bTicket> tickets = E10bRun(1, 600 * 78, 1, 0, 0);
  tickets[550 * 78 + 30].sequence = 7;
  EXPECT_EQ(Count(Read(E10bFile(testdata::E10bBlocks(tickets)))), std::to_string(550 * 78 + 30));
}

}  // namespace
}  // namespace vellmark
