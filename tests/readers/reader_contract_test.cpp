// What every reader owes the analysis pass, checked family by family: progress and
// Stop, file failures come back as failures of the right kind, and no prefix of a file makes a reader fail or lose count.

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <random>

#include "support/fault_injection.h"
#include "support/memory_file_system.h"
#include "core/switch_family.h"
#include "readers/modAXE.h"
#include "readers/modCdot.h"
#include "readers/modE10B.h"
#include "readers/modESS.h"
#include "readers/modEWSD.h"
#include "readers/modOCB.h"
#include "readers/probe.h"
#include "readers/reader_toolkit.h"
#include "testdata/axe.h"
#include "testdata/cdot.h"
#include "testdata/e10b.h"
#include "testdata/ess.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/reader_harness.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

using namespace testdata;

struct ReaderCase {
  const char* name;
  ReaderFunction read;
  int family;
  std::string path;  // where built files are put
  std::function<Bytes()> bigFile;      // a read of it fails part-way
  std::int64_t failFrom;               // first failing offset; below 0 counts back from the end
  std::function<std::vector<Bytes>()> prefixFiles;
  std::vector<std::uint64_t> wholeCounts;  // records of each whole prefix file
  // Where the family knows the exact result of any prefix.
  std::function<std::string(const Bytes& prefix)> prefixResult;
};

std::uint64_t CountOf(const std::string& result) { return std::stoull(result.substr(result.rfind(',') + 1)); }

Bytes Prefix(const Bytes& whole, std::size_t n) {
  return Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes EwsdCallAt(unsigned hour, unsigned minute) {
  return EwsdRecordBytes(EwsdCall(EwsdStamp{26, 4, 17, hour, minute, 0}));
}

std::vector<Bytes> EwsdPrefixFiles() {
  EwsdRecord bit7Clear = EwsdCall(EwsdStamp{26, 4, 17, 11, 0, 0});
  bit7Clear.packagesAt8 = false;
  bit7Clear.packages.push_back(EwsdPackage146(3));
  std::vector<Bytes> twelve;
  for (unsigned i = 0; i < 12; ++i) twelve.push_back(EwsdCallAt(10, i));
  return {EwsdFile({EwsdCallAt(8, 0), EwsdFillers(2), EwsdSkipItem(7), EwsdCallAt(8, 1), EwsdItem(0x7B),
                    EwsdRecordBytes(bit7Clear), EwsdEmptyBlock(), EwsdCallAt(8, 3)}),
          EwsdFile(twelve)};
}

std::string ReadFresh(const ReaderCase& c, const Bytes& bytes, int* finalProgress = nullptr) {
  MemoryFileSystem files;
  files.put(c.path, bytes);
  ReaderHarness harness(files);
  std::string result = harness.read(c.read, c.path);
  if (finalProgress) *finalProgress = harness.finalProgress();
  return result;
}

std::string AxeCallText(int layout, const std::string& date, const std::string& time, std::size_t length = 0) {
  return AxeRecord({layout, date, time, length, 1});
}

std::vector<ReaderCase> Cases() {
  std::vector<ReaderCase> cases;
  cases.push_back({"Ocb", [](const std::string& path, ReaderContext& ctx) {
                     vellmark::OcbLayout layout;
                     return ReadOcbFile(path, layout, ctx);
                   },
                   kFamilyOcb, "/data/ocb.dat",
                   [] { return OcbMinutes(96, testdata::OcbLayout::A, OcbEnd::Mark4040); }, 3000,
                   [] {
                     return std::vector<Bytes>{OcbMinutes(60, testdata::OcbLayout::A, OcbEnd::Mark4040),
                                               OcbMinutes(60, testdata::OcbLayout::B, OcbEnd::None)};
                   },
                   {60, 60}, nullptr});
  cases.push_back({"Ewsd", ReadEwsdFile, kFamilyEwsd, "/data/file.ama",
                   [] {
                     std::vector<Bytes> calls;
                     for (unsigned i = 0; i < 600; ++i) calls.push_back(EwsdCallAt(10 + i / 60, i % 60));
                     return EwsdFile(calls);
                   },
                   -100,
                   EwsdPrefixFiles, {4, 12}, nullptr});
  ReaderCase e10b{"E10b", ReadE10bFile, kFamilyE10b, "/cdr/E10B-TEST.TKT",
                  [] { return E10bFile(E10bBlocks(E10bRun(1, 600 * 78, 1, 0, 0))); }, -100,
                  [] {
                    Bytes brokenChain = E10bFile({E10bSequences({5, 0, 6, 7}), E10bSequences({0, 0, 1, 30, 31})});
                    brokenChain.resize(brokenChain.size() + 100, 0x01);
                    return std::vector<Bytes>{E10bSamples().back().bytes, brokenChain};
                  },
                  {},
                  nullptr};
  // Only whole blocks are read: a prefix reads like its whole blocks alone.
  e10b.prefixResult = [c = e10b](const Bytes& prefix) {
    return ReadFresh(c, Prefix(prefix, prefix.size() / 2048 * 2048));
  };
  cases.push_back(e10b);
  cases.push_back({"Cdot", ReadCdotFile, kFamilyCdot, "/cdr/KOL1140226.DAT",
                   [] { return CdotFile(CdotCalls(23000)); }, -10,
                   [] {
                     auto samples = CdotSamples();  // the one with an end mark and the cut one
                     return std::vector<Bytes>{samples[1].bytes, samples[2].bytes};
                   },
                   {},
                   [](const Bytes& prefix) {
                     return "2026-02-14   00:00:00,2026-02-14   23:59:59," + std::to_string(CdotModelCount(prefix));
                   }});
  cases.push_back({"Axe", ReadAxeFile, kFamilyAxe, "/exchange/TTFILE07.AXE",
                   [] {
                     std::vector<std::string> records(600 * 15, AxeCallText(0, "250318", "080000", 130));
                     return AxeFile(AxeBlocks(records));
                   },
                   1100000,
                   [] {
                     // Two whole blocks and most of a third, the layout switching in the middle
                     // one; and a block whose last record is cut by the block end.
                     auto night = AxeBlocks(AxeRun(1, 40, "250318", 23, 10, 19));
                     night.resize(3);
                     night[1].insert(night[1].begin() + 2, AxeCallText(0, "250319", "004417"));
                     Bytes mixed = AxeFile(night);
                     mixed.resize(2 * kAxeBlockSize + 700);
                     AxeBlock full(16, AxeCallText(2, "250318", "080000", 125));
                     full.push_back(AxeCallText(0, "250318", "085959", 45));
                     full.push_back(AxeCallText(0, "250318", "090000", 120));
                     return std::vector<Bytes>{mixed, AxeFile({full})};
                   },
                   {37, 18}, nullptr});
  cases.push_back({"Ess", ReadEssFile, kFamily5ess, "/exchange/AMA20250318.001",
                   [] { return EssFile(EssRun(10000, "250318", 0, 0, 8)); }, 1100000,
                   [] {
                     auto calls = EssRun(12, "250318", 9, 0, 53);
                     calls[4].date = "      ";
                     return std::vector<Bytes>{EssFile(calls, 3, "\n\n"), EssFile(calls)};
                   },
                   {11, 11}, nullptr});
  return cases;
}

void PrintTo(const ReaderCase& c, std::ostream* out) { *out << c.name; }

class ReaderContract : public ::testing::TestWithParam<ReaderCase> {};

// Progress only moves forward and ends at 0; a polling reader asks at its stop points,
// stops on Yes and reads on to the same result on No; the others never poll.
TEST_P(ReaderContract, ProgressAndStop) {
  const ReaderCase& c = GetParam();
  MemoryFileSystem files;
  files.put(c.path, c.bigFile());
  ReaderHarness plain(files);
  const std::string whole = plain.read(c.read, c.path);
  ASSERT_EQ(plain.finalProgress(), 0);
  for (std::size_t i = 1; i + 1 < plain.progress.size(); ++i) EXPECT_LE(plain.progress[i - 1], plain.progress[i]);
  if (c.family != kFamilyE10b) {
    EXPECT_LE(plain.polls, 101);  // once a step of the bar; E10B asks every block
  }
  const bool polls = c.family == kFamilyEwsd || c.family == kFamilyE10b || c.family == kFamily5ess;
  EXPECT_EQ(plain.polls > 0, polls);
  if (!polls) return;
  ReaderHarness no(files), yes(files);
  no.pressStopAtPoll(1, false);
  EXPECT_EQ(no.read(c.read, c.path), whole);
  EXPECT_EQ(no.questions, 1);
  yes.pressStopAtPoll(2, true);
  EXPECT_EQ(yes.read(c.read, c.path), "stopped");
  EXPECT_EQ(yes.polls, 2);
  EXPECT_EQ(yes.finalProgress(), 0);
}

TEST_P(ReaderContract, LargeFilesTakeFewReadsAndFailuresThrowTheirKind) {
  const ReaderCase& c = GetParam();
  MemoryFileSystem files;
  FaultInjectingFileSystem faulty(files);
  ReaderHarness harness(faulty);
  auto kindOf = [&](const std::string& path) {
    ReaderOutcome outcome = harness.outcome(c.read, path);
    if (auto* failure = std::get_if<ReadFailure>(&outcome)) return failure->kind;
    ADD_FAILURE() << "a failed file gave a result";
    return FailureKind::Corrupt;
  };
  EXPECT_EQ(kindOf("/data/missing.dat"), FailureKind::Open);

  Bytes big = c.bigFile();
  files.put(c.path, big);
  EXPECT_EQ(harness.read(c.read, c.path).find("failed"), std::string::npos);
  EXPECT_LE(faulty.readCalls(), 3);  // the read buffer is large
  faulty.failReadsFrom(c.failFrom < 0 ? big.size() - static_cast<std::uint64_t>(-c.failFrom)
                                      : static_cast<std::uint64_t>(c.failFrom),
                       EIO);
  EXPECT_EQ(kindOf(c.path), FailureKind::Read);
  faulty.clear();
  faulty.failOpen(EACCES);
  EXPECT_EQ(kindOf(c.path), FailureKind::Open);
}

// A day of calls a random builder made: how many, the first one's second of the day and
// the seconds between them, all within the day.
struct CallDay {
  std::size_t calls;
  unsigned first, step;
};

std::string ClockText(unsigned s) { return TwoDigits(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60); }

// The family's file of those calls, framed as the builder chooses.
Bytes BuildCallDay(int family, const CallDay& d, std::mt19937& rng) {
  const unsigned hour = d.first / 3600, minute = d.first / 60 % 60;
  switch (family) {
    case kFamilyOcb: {
      OcbFile file{rng() % 2 ? testdata::OcbLayout::A : testdata::OcbLayout::B,
                   OcbBlocksOf(OcbCalls(d.calls, 45, d.first, d.step), 26, 45), static_cast<OcbEnd>(rng() % 4)};
      return BuildOcbFile(file);
    }
    case kFamilyEwsd: {
      std::vector<Bytes> items;
      for (const EwsdStamp& stamp : EwsdStamps(d.calls, {26, 4, 17, hour, minute, d.first % 60}, d.step)) {
        if (rng() % 4 == 0) items.push_back(rng() % 2 ? EwsdFillers(1 + rng() % 3) : EwsdSkipItem(2 + rng() % 9));
        items.push_back(EwsdRecordBytes(EwsdCall(stamp)));
      }
      return EwsdFile(items);
    }
    case kFamilyE10b:
      return E10bFile(E10bBlocks(E10bRun(static_cast<std::uint16_t>(1 + rng() % 65535), d.calls, 45, hour, minute)));
    case kFamilyCdot: {
      // Calls, the end mark (counted with them) and records after it that are not.
      std::vector<CdotRecord> records = CdotCalls(d.calls - 1, static_cast<unsigned>(rng()));
      records.push_back(CdotEndMark());
      for (const CdotRecord& after : CdotCalls(rng() % 5)) records.push_back(after);
      return CdotFile(records);
    }
    case kFamilyAxe:
      return AxeFile(AxeBlocks(AxeRun(static_cast<int>(rng() % 3), d.calls, "250318", hour, minute, d.step)));
    default:
      return EssFile(EssRun(d.calls, "250318", hour, minute, d.step), rng() % 3, rng() % 2 ? "\n" : "");
  }
}

// Files the test-data library builds at random read as the calls they were built from;
// in verify mode every call is counted in its hour, also where records cross from one
// read block to the next.
TEST_P(ReaderContract, RandomFilesReadAsTheCallsTheyHold) {
  const ReaderCase& c = GetParam();
  std::mt19937 rng(20261207);
  for (int i = 0; i < 40; ++i) {
    CallDay d{i % 10 ? 1 + rng() % 1500 : 86400, static_cast<unsigned>(rng() % 43200), 1 + static_cast<unsigned>(rng() % 28)};
    if (i % 10 == 0) d.step = 1;
    if (c.family == kFamilyE10b) d.step = 60;  // one ticket a minute
    if (c.family == kFamilyE10b || c.family == kFamilyAxe || c.family == kFamily5ess) d.first -= d.first % 60;
    d.calls = std::min<std::size_t>(d.calls, (86399 - d.first) / d.step + 1);
    const std::string day = c.family == kFamilyEwsd                                ? "2026-04-17"
                            : c.family == kFamilyAxe || c.family == kFamily5ess ? "2025-03-18"
                                                                                  : "2026-02-14";
    const std::string date = day + "   ";
    const std::string expected =
        c.family == kFamilyCdot ? date + "00:00:00," + date + "23:59:59," + std::to_string(d.calls)
                                : date + ClockText(d.first) + "," + date +
                                      ClockText(d.first + static_cast<unsigned>(d.calls - 1) * d.step) + "," +
                                      std::to_string(d.calls);
    MemoryFileSystem files;
    files.put(c.path, BuildCallDay(c.family, d, rng));
    ReaderHarness verify(files);
    verify.options.verify = true;
    ReaderOutcome outcome = verify.outcome(c.read, c.path);
    ASSERT_EQ(OutcomeText(outcome), expected) << i;
    if (c.family == kFamilyCdot) continue;  // its date comes from the name: no hours
    CallsPerHour hours;
    for (std::size_t k = 0; k < d.calls; ++k) {
      const std::string hour = day + "T" + TwoDigits((d.first + static_cast<unsigned>(k) * d.step) / 3600);
      if (hours.empty() || hours.back().hour != hour) hours.push_back({hour, 0});
      ++hours.back().calls;
    }
    const auto& range = std::get<CallRange>(outcome);
    EXPECT_EQ(range.verifiedRecords, d.calls) << i;
    ASSERT_TRUE(range.callsPerHour) << i;
    EXPECT_TRUE(*range.callsPerHour == hours) << i;
  }
}

// Cut into pieces walked side by side, a file reads exactly as one walk reads it:
// counts, stamps, warnings, hours and digest, damaged files included (a piece that
// started at a wrong point is walked again from where the walk before it stood), and
// Stop still stops.
TEST_P(ReaderContract, PiecesReadAsOneWalk) {
  const ReaderCase& c = GetParam();
  std::mt19937 rng(1207);
  std::vector<Bytes> files = c.prefixFiles();
  files.push_back(c.bigFile());
  for (int i = 0; i < 6; ++i)
    files.push_back(BuildCallDay(c.family, {200 + rng() % 1300, 0, 1 + static_cast<unsigned>(rng() % 30)}, rng));
  for (std::size_t i = 0, n = files.size(); i < n; ++i) {
    Bytes damaged = files[i];
    for (int k = 0; k < 6 && !damaged.empty(); ++k) damaged[rng() % damaged.size()] = static_cast<std::uint8_t>(rng());
    files.push_back(damaged);
  }
  MemoryFileSystem memory;
  for (const Bytes& bytes : files) {
    memory.put(c.path, bytes);
    for (const ReadOptions& mode : {ReadOptions{.digests = false}, ReadOptions{.digests = true, .verify = true},
                                    ReadOptions{.digests = false, .verify = true, .callsPerHour = false}}) {
      ReaderHarness whole(memory), pieces(memory);
      whole.options = mode;
      whole.options.cores = 1;
      pieces.options = mode;
      pieces.options.pieceBytes = 1 + rng() % 3000;
      ASSERT_EQ(pieces.outcome(c.read, c.path), whole.outcome(c.read, c.path))
          << "file of " << bytes.size() << " bytes, pieces of " << pieces.options.pieceBytes;
      EXPECT_EQ(pieces.finalProgress(), 0);
    }
  }
  if (c.family != kFamilyEwsd && c.family != kFamilyE10b && c.family != kFamily5ess) return;
  memory.put(c.path, c.bigFile());
  ReaderHarness yes(memory), no(memory), whole(memory);
  for (ReaderHarness* h : {&yes, &no}) h->options = {.digests = false, .pieceBytes = 4096};
  whole.options.digests = false;
  yes.pressStopAtPoll(1, true);
  no.pressStopAtPoll(1, false);
  EXPECT_EQ(yes.read(c.read, c.path), "stopped");
  EXPECT_EQ(yes.finalProgress(), 0);
  EXPECT_EQ(no.read(c.read, c.path), whole.read(c.read, c.path));
}

TEST_P(ReaderContract, EveryPrefixIsReadWithoutFailingOrLosingRecords) {
  const ReaderCase& c = GetParam();
  std::vector<Bytes> wholes = c.prefixFiles();
  for (std::size_t f = 0; f < wholes.size(); ++f) {
    const Bytes& whole = wholes[f];
    std::uint64_t before = 0;
    for (std::size_t n = 0; n <= whole.size(); ++n) {
      Bytes prefix = Prefix(whole, n);
      std::string result;
      int progress = -1;
      result = ReadFresh(c, prefix, &progress);
      ASSERT_EQ(result.find("failed"), std::string::npos) << "cut to " << n << ": " << result;
      ASSERT_EQ(progress, 0) << "cut to " << n;
      if (c.prefixResult) { ASSERT_EQ(result, c.prefixResult(prefix)) << "cut to " << n; }
      std::uint64_t count = CountOf(result);
      ASSERT_GE(count, before) << "cut to " << n;
      before = count;
    }
    if (f < c.wholeCounts.size()) { EXPECT_EQ(before, c.wholeCounts[f]) << "file " << f; }
  }
}

INSTANTIATE_TEST_SUITE_P(Families, ReaderContract, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vellmark
