// Each family's rules, case by case: files built by the test-data library, read as the
// pass reads them, compared with the texts a user sees. Pure decoders go by table.
#include <gtest/gtest.h>

#include "core/switch_family.h"
#include "readers/ewsd_packages.h"
#include "readers/modAXE.h"
#include "readers/modCdot.h"
#include "readers/modE10B.h"
#include "readers/modESS.h"
#include "readers/modEWSD.h"
#include "readers/modOCB.h"
#include "readers/probe.h"
#include "support/memory_file_system.h"
#include "testdata/axe.h"
#include "testdata/cdot.h"
#include "testdata/e10b.h"
#include "testdata/ess.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/reader_harness.h"

namespace vellmark {
namespace {

using namespace testdata;
using Layout = testdata::OcbLayout;

// Reads `bytes` as the file `path` with `reader` in a fresh harness (year 2026).
std::string Read(const ReaderFunction& reader, const Bytes& bytes, const std::string& path = "/cdr/KOL1140226.DAT") {
  MemoryFileSystem files;
  files.put(path, bytes);
  return ReaderHarness(files).read(reader, path);
}

// An expected outcome ending in ": " only asks for that beginning (the kind of failure).
void ExpectOutcome(const std::string& got, const std::string& expected) {
  if (expected.size() > 2 && expected.compare(expected.size() - 2, 2, ": ") == 0) EXPECT_EQ(got.rfind(expected, 0), 0u) << got;
  else EXPECT_EQ(got, expected);
}
ReaderOutcome Ocb(const std::string& path, ReaderContext& ctx) {
  vellmark::OcbLayout layout;
  return ReadOcbFile(path, layout, ctx);
}
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(OcbRules, BlocksSlotsAndEnds) {
  const std::string d = "2026-02-14   ";
  OcbCall full;
  full.dialled = "012345678901234567";
  const std::pair<Bytes, std::string> cases[] = {
      // Blocks up to an end mark of any kind, or the end of the file, in either layout.
      {OcbMinutes(240, Layout::B, OcbEnd::MarkFFFF), d + "08:00:00," + d + "11:59:00,240"},
      {OcbMinutes(240, Layout::A, OcbEnd::None), d + "08:00:00," + d + "11:59:00,240"},
      {OcbMinutes(240, Layout::A, OcbEnd::Mark0000,
                  [](OcbFile& f) { f.blocks.push_back(OcbBlocksOf(OcbCalls(48, 45, 13 * 3600, 60), 26, 4040)[0]); }),
       d + "08:00:00," + d + "11:59:00,240"},
      // The last block searched backwards: filler, 18 digits and no digits are no calls.
      {OcbMinutes(68, Layout::A, OcbEnd::Mark4040,
                  [&](OcbFile& f) {
                    OcbCall none = full;
                    none.dialled = "";
                    f.blocks[1].slots = {{47, OcbSlotBytes(full)}, {46, OcbSlotBytes(none)}, {45, Bytes(42, 0)}};
                  }),
       d + "08:00:00," + d + "09:07:00,68"},
      // An empty last block: the end is the last slot of the block before.
      {OcbMinutes(96, Layout::A, OcbEnd::Mark4040, [](OcbFile& f) { f.blocks.push_back(OcbBlock{26, 45, {}, {}}); }),
       d + "08:00:00," + d + "09:35:00,96"},
      // A first block that ends the data at once, or nothing at all: no records.
      {OcbMinutes(48, Layout::B, OcbEnd::Mark4040, [](OcbFile& f) { f.blocks[0].day = 0; }), ",,0"},
      {BuildOcbFile(OcbFile{Layout::B, {OcbBlock{26, 45, {}, {}}}, OcbEnd::Mark4040}), ",,0"},
      {Bytes{}, ",,0"},
      // A year before the header's: calls of 31 December 1999 in a file begun on 2 January.
      {BuildOcbFile(OcbFile{Layout::A, OcbBlocksOf(OcbCalls(30, 365, 23 * 3600 + 50 * 60, 60), 0, 2)}),
       "1999-12-31   23:50:00,2000-01-01   00:19:00,30"},
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(Read(Ocb, bytes), expected);

  // Slots and headers cut by the end of the file are not calls and not blocks.
  Bytes cut = OcbMinutes(96, Layout::A, OcbEnd::None);
  const std::pair<std::size_t, std::string> cuts[] = {{2048 + 32 + 42 * 10 + 41, d + "08:00:00," + d + "08:57:00,58"},
                                                      {2048 + 7, d + "08:00:00," + d + "08:47:00,48"}};
  for (const auto& [size, expected] : cuts) EXPECT_EQ(Read(Ocb, Bytes(cut.begin(), cut.begin() + size)), expected);
}

TEST(OcbRules, LayoutMemoryDaysAndProgress) {
  // A file without block marks is read in the layout of the OCB file before it.
  auto unmarked = OcbMinutes(50, Layout::B, OcbEnd::Mark4040, [](OcbFile& f) { f.blockMark = false; });
  const std::string fifty = "2026-02-14   08:00:00,2026-02-14   08:49:00,50";
  MemoryFileSystem files;
  ReaderHarness harness(files);
  auto readOcb = [&](const Bytes& bytes) {
    files.put("/o.dat", bytes);
    return harness.readOcb("/o.dat");
  };
  EXPECT_NE(readOcb(unmarked), fifty);  // before any: layout A
  EXPECT_EQ(readOcb(OcbMinutes(50, Layout::B)), fifty);
  EXPECT_EQ(harness.ocbLayout.base, 928u);
  EXPECT_EQ(harness.ocbLayout.padding, 4u);
  EXPECT_EQ(readOcb(unmarked), fifty);

  const std::tuple<unsigned, OcbHeader, std::string> days[] = {
      {365, {3, 10}, "2002-12-31"}, {10, {3, 10}, "2003-01-10"},  {60, {4, 100}, "2004-02-29"},
      {60, {5, 100}, "2005-03-01"}, {366, {5, 3}, "2004-12-31"},  {365, {0, 2}, "1999-12-31"},
      {60, {0, 2}, "1999-03-01"},   {0, {26, 45}, "2026-01-00"},  {400, {26, 500}, "2026-12-66"}};
  for (const auto& [day, header, date] : days) EXPECT_EQ(OcbDayToDate(day, header), date) << day;
  Bytes slot(42, 0xFF);
  OcbRecord filler = DecodeOcbRecord(ByteView(slot.data(), slot.size()), {26, 45});
  EXPECT_EQ(filler.time, "FF:FF:FF");  // hex letters pass through
  Bytes call = OcbSlotBytes(OcbCall{});
  EXPECT_FALSE(DecodeOcbRecord(ByteView(call.data(), call.size()), {26, 45}, false).valid);

  // 330 blocks make 1 per cent of the bar's 32768; OCB never polls.
  ReaderHarness big(files);
  files.put("/big.dat", OcbMinutes(330 * 48, Layout::A, OcbEnd::None));
  const std::string result = big.read(Ocb, "/big.dat");
  EXPECT_EQ(result.substr(result.rfind(',')), ",15840");
  EXPECT_EQ(big.progress, (std::vector<int>{1, 100, 0}));
  EXPECT_EQ(big.polls, 0);
}

Bytes EwsdAt(unsigned hour, unsigned minute) { return EwsdRecordBytes(EwsdCall({26, 4, 17, hour, minute, 0})); }

TEST(EwsdRules, ItemsRecordsAndPackages) {
  EwsdRecord undated;
  undated.packages = {EwsdDigitsPackage(101, "0112345"), EwsdFixedPackage(102, 4)};
  EwsdRecord newer = EwsdCall({26, 4, 17, 9, 30, 0});
  newer.packages.insert(newer.packages.begin() + 1, Bytes{138, 0, 0});  // no length rule: the walk ends
  EwsdRecord unknown = EwsdCall({26, 4, 17, 9, 30, 0});
  unknown.packages.insert(unknown.packages.begin() + 1, Bytes{99, 0, 0});
  EwsdRecord pastItsEnd = EwsdCall({26, 4, 17, 9, 0, 0});
  pastItsEnd.packages.push_back({100, 26, 4});
  Bytes cutLast = EwsdFile({EwsdAt(9, 0), EwsdAt(9, 5)});
  cutLast.resize(cutLast.size() - 10);
  const std::string d = "2026-04-17   ";
  const std::pair<Bytes, std::string> cases[] = {
      {EwsdFile({EwsdAt(9, 0), EwsdFillers(3), EwsdSkipItem(5), EwsdAt(9, 5), EwsdEmptyBlock(), EwsdItem(0x01),
                 EwsdItem(0x7C), EwsdRecordBytes(EwsdRecord{0x04, true, "", {EwsdDateTimePackage({26, 4, 17, 9, 59, 0})}, {}})}),
       d + "09:00:00," + d + "09:59:00,3"},
      {EwsdAt(9, 0), d + "09:00:00," + d + "09:00:00,1"},
      {EwsdFile({EwsdAt(9, 0), EwsdSkipItem(0), EwsdAt(9, 5)}), d + "09:00:00," + d + "09:00:00,1"},  // would not move on
      {EwsdFile({EwsdAt(9, 0), EwsdRecordBytes(undated)}), d + "09:00:00,,2"},
      {EwsdFile({EwsdFillers(40), EwsdEmptyBlock()}), ",,0"},
      {EwsdFile({EwsdAt(9, 0), EwsdRecordBytes(newer)}), d + "09:00:00," + d + "09:30:00,2"},
      {cutLast, d + "09:00:00," + d + "09:05:00,2"},
      {EwsdFile({EwsdAt(9, 0), EwsdRecordBytes(pastItsEnd), EwsdFillers(20)}), "failed: corrupt: "},
      {EwsdFile({Bytes{0x84, 0x02}, EwsdAt(9, 0)}), "failed: corrupt: "},
      {EwsdFile({EwsdAt(9, 0), Bytes{0x84, 0x04, 0x00, 0x80}}), d + "09:00:00,,2"},  // a header alone
      {EwsdFile({EwsdAt(9, 0), EwsdAt(9, 1), EwsdRecordBytes(unknown)}), "failed: unknown_package: "},
  };
  for (const auto& [bytes, expected] : cases) ExpectOutcome(Read(ReadEwsdFile, bytes), expected);
  MemoryFileSystem files;
  files.put("/u.ama", EwsdFile({EwsdAt(9, 0), EwsdRecordBytes(unknown)}));
  ReaderHarness h(files);
  EXPECT_EQ(h.read(ReadEwsdFile, "/u.ama"), "failed: unknown_package: record at offset 43: package 99 unknown");
  EXPECT_EQ(h.messages, std::vector<std::string>{"Contact The Programmer: Pack Message 99 Received. This Feature "
                                                 "is not Enabled at Present. Cann't Proceed."});
}

TEST(EwsdRules, EveryKnownPackageIsPassedOverByItsLength) {
  const EwsdStamp stamp{3, 12, 31, 23, 59, 59};
  std::vector<Bytes> packages = {EwsdDigitsPackage(101, "01123456789"), Bytes{101, 0x63, 0x12, 0x34},
                                 EwsdLengthPackage(142, 9), EwsdLengthPackage(170, 3), EwsdPackage146(5),
                                 EwsdPackage146(0xFF), EwsdPackage168("4471")};
  for (std::uint8_t n : {102, 103}) packages.push_back(EwsdFixedPackage(n, 4));
  for (std::uint8_t n : {105, 106}) packages.push_back(EwsdFixedPackage(n, 9));
  for (std::uint8_t n : {107, 108}) packages.push_back(EwsdFixedPackage(n, 10));
  for (std::uint8_t n : {130, 135, 151}) packages.push_back(EwsdFixedPackage(n, 5));
  for (auto [n, length] : {std::pair{110, 6}, {116, 8}, {120, 2}, {122, 3}, {112, 112}, {119, 119}})
    packages.push_back(EwsdFixedPackage(static_cast<std::uint8_t>(n), static_cast<std::size_t>(length)));
  const std::string stampText = "2003-12-31   23:59:59";
  auto walkText = [](const Bytes& record) {
    auto walk = WalkEwsdPackages({ByteView(record.data(), record.size()), record[1], false, 0});
    return walk ? walk->text() : "failed: " + walk.error().reason;
  };
  for (const Bytes& package : packages) {
    // Date and time come from the package 100 after it only if its length is right.
    for (bool at8 : {true, false}) {
      Bytes record = EwsdRecordBytes(EwsdRecord{0x84, at8, "1123456789", {package, EwsdDateTimePackage(stamp)}, {}});
      if (record.size() > 255) continue;
      record.push_back(0);
      EXPECT_EQ(walkText(record), stampText) << int(package[0]) << " of " << package.size();
    }
  }
  EXPECT_EQ(SkipEwsdDigitField(7, 0xEB), 7 + 1 + 6u);  // 11 digits: the low five bits count
  // A record may end on a package 168 without digits: its count byte is the record's last.
  EXPECT_EQ(walkText(EwsdRecordBytes(EwsdRecord{0x84, true, "", {EwsdDateTimePackage(stamp), EwsdPackage168("")}, {}})),
            stampText);
}

Bytes Seq(std::initializer_list<unsigned> numbers) { return E10bFile({E10bSequences(numbers)}); }

TEST(E10bRules, TheSequenceChainWholeBlocksAndDates) {
  Bytes fiveThousand = E10bFile({E10bRun(1, 78, 45, 8, 0), E10bRun(79, 78, 45, 9, 18), E10bRun(157, 78, 45, 10, 36)});
  fiveThousand.resize(5000);
  Bytes broken = Seq({7, 8, 20, 21});
  Append(broken, Seq({9, 10}));
  const std::pair<Bytes, std::string> cases[] = {
      {fiveThousand, "2026-02-14   08:00:00,2026-02-14   10:35:00,156"},
      {Seq({5, 0, 6}), "2026-02-14   10:00:00,2026-02-14   10:02:00,2"},  // an empty slot is skipped
      {Seq({41, 42, 1, 2}), "2026-02-14   10:00:00,2026-02-14   10:03:00,4"},
      {broken, "2026-02-14   10:00:00,2026-02-14   10:01:00,2"},  // nothing after a break
      {Seq({32767, 32768, 65535}), "2026-02-14   10:00:00,2026-02-14   10:01:00,2"},
      {Seq({65534, 65535, 0, 1}), "2026-02-14   10:00:00,2026-02-14   10:03:00,3"},
      {E10bFile({{{1, 60, 9, 5}, {2, 61, 23, 59}}}), "2026-03-01   09:05:00,2026-03-02   23:59:00,2"},
      {Bytes(2047, 1), ",,0"},
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(Read(ReadE10bFile, bytes), expected);
  MemoryFileSystem files;  // under 100 blocks, the bar moves one step a block, then ends full
  files.put("/e.tkt", E10bFile({E10bSequences({1, 2}), E10bSequences({3, 4}), E10bSequences({5, 6})}));
  ReaderHarness harness(files);
  harness.read(ReadE10bFile, "/e.tkt");
  EXPECT_EQ(harness.progress, (std::vector<int>{1, 2, 100, 0}));

  const std::tuple<std::uint8_t, std::uint8_t, int, std::string> dates[] = {
      {0x00, 0x32, 2026, "2026-02-01"}, {0x00, 0x60, 2024, "2024-02-29"}, {0x00, 0x60, 1900, "1900-02-29"},
      {0x00, 0x60, 2026, "2026-03-01"}, {0x03, 0x66, 2026, "2026-12-32"}, {0x99, 0x99, 2026, "2026-12-65"},
      {0x01, 0xA0, 2026, "2026-01-01"}, {0x00, 0x00, 2026, "2026-01-00"}};
  for (const auto& [hi, lo, year, date] : dates) {
    Bytes r(26, 0);
    r[8] = hi;
    r[9] = lo;
    EXPECT_EQ(E10bDateText(ByteView(r.data(), r.size()), year), date);
  }
}

TEST(CdotRules, TheNameGivesTheDateTheRecordsTheCount) {
  const std::pair<const char*, const char*> names[] = {
      {"/cdr/ABCD051123.dat", "2023-11-05"}, {"/cdr/AB0511", "2026-11-05"},        {"ABCD051123.x.y", "2023-11-05"},
      {"C:\\cdr\\v1.2\\ABCD051123.dat", "2023-11-05"}, {"ABCDE051123.dat", "2026-23-11"}, {"/cdr/AB.dat", "2026-AB-AB"},
      {"/cdr/KOL114,226.DAT", "2026-,2-14"}};
  for (auto [path, date] : names) EXPECT_EQ(CdotDateText(path, 2026), date) << path;
  std::vector<CdotRecord> ended = CdotCalls(5);
  ended[2] = CdotEndMark();
  const std::pair<Bytes, std::string> counts[] = {
      {CdotFile(CdotCalls(10)), "10"}, {Bytes(481, 0), "11"}, {CdotFile(ended), "3"}, {Bytes{}, "1"}};
  for (const auto& [bytes, count] : counts)
    EXPECT_EQ(Read(ReadCdotFile, bytes), "2026-02-14   00:00:00,2026-02-14   23:59:59," + count);
}

std::string Axe(int layout, const std::string& time, std::size_t length = 0) {
  return AxeRecord({layout, "250318", time, length, 1});
}

TEST(AxeRules, LayoutsBlocksAndLengthFields) {
  std::string blankAt35 = Axe(0, "140259");
  blankAt35.replace(35, 2, "  ");  // only 36 and 37 blank: not the late layout
  std::string spaced = Axe(0, "080000");
  spaced.replace(0, 3, "1 2");
  spaced.resize(12);
  const std::string d = "2025-03-18   ";
  const std::pair<Bytes, std::string> cases[] = {
      {AxeFile({{Axe(0, "080000"), Axe(0, "090559")}}), d + "08:00:00," + d + "09:05:59,2"},
      {AxeFile({{Axe(1, "080000"), Axe(1, "090000")}, {Axe(1, "100000")}}), d + "08:00:00," + d + "10:00:00,3"},
      {AxeFile({{Axe(2, "080000")}, {Axe(2, "170000")}}), d + "08:00:00," + d + "17:00:00,2"},
      {AxeFile({{blankAt35}}), d + "14:02:59," + d + "14:02:59,1"},
      {AxeFile({{Axe(1, "090000")}, {Axe(1, "100000"), Axe(0, "110000")}}), d + "09:00:00," + d + "11:00:00,3"},
      {AxeFile({{"000" + Axe(0, "080000")}, {}, {Axe(0, "120000"), "  2" + Axe(0, "1").substr(3)}}),
       d + "12:00:00," + d + "12:00:00,1"},
      {AxeFile({{spaced, Axe(0, "090000")}}), "20--   ::," + d + "09:00:00,2"},
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(Read(ReadAxeFile, bytes), expected);
  Bytes partial = AxeFile({{Axe(0, "080000")}, {Axe(0, "090000")}});
  partial.push_back(0);
  EXPECT_EQ(Read(ReadAxeFile, partial), d + "08:00:00,,2");  // no end stamp without whole blocks
}

std::string Ess(const std::string& date, const std::string& time) { return EssRecord({date, time, 1, ""}); }

TEST(EssRules, SeparatorsRangesAndZeroDates) {
  // The blank among the fields before the date made a digit: bytes outside the date and
  // time must not decide the order, even when they are digits too.
  auto digitsBefore = [](std::string record) {
    record[37] = '9';
    return record;
  };
  const std::string morning = Ess("250318", "093005") + Ess("250318", "101500") + Ess("250318", "084412");
  const std::pair<std::string, std::string> cases[] = {
      {"   " + Ess("250318", "093005") + "\n\n" + Ess("250318", "101500") + Ess("250318", "084412") + "\n",
       "2025-03-18   08:44:12,2025-03-18   10:15:00,3"},
      {Ess("250318", "120000") + Ess("250319", "200000") + Ess("250319", "190000") + Ess("250320", "010000"),
       "2025-03-18   12:00:00,2025-03-20   01:00:00,4"},
      {Ess("250318", "120000") + Ess("250317", "230000") + Ess("250317", "220000"),
       "2025-03-17   22:00:00,2025-03-18   12:00:00,3"},
      {Ess("050101", "000000") + Ess("991231", "235959"), "2005-01-01   00:00:00,2099-12-31   23:59:59,2"},
      {digitsBefore(Ess("250318", "093004")) + Ess("250318", "091500") + digitsBefore(Ess("250318", "093005")),
       "2025-03-18   09:15:00,2025-03-18   09:30:05,3"},  // minutes and seconds decide
      {Ess("250318", "120000") + Ess("000000", "010000") + Ess("      ", "235959"),
       "2025-03-18   12:00:00,2025-03-18   12:00:00,1"},
      {Ess("000000", "093005") + Ess("250318", "120000"), "2000-00-00   09:30:05,2025-03-18   12:00:00,2"},
      {Ess("25 318", "09 30 "), "2002-53-18   00:09:30,2002-53-18   00:09:30,1"},
      {morning + Ess("251231", "235959").substr(0, 121), "2025-03-18   08:44:12,2025-03-18   10:15:00,3"},
      {"   " + Ess("250318", "093005").substr(0, 121), ",,0"},
      {"\n\n\n", ",,0"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Read(ReadEssFile, Text(text)), expected);
}

// Ten megabytes built to make a reader loop or crawl: each ends with what the bytes give.
TEST(HostileFiles, EndPromptlyWithWhatIsThere) {
  auto repeated = [](const std::string& pattern) {
    Bytes bytes(10u << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(pattern[i % pattern.size()]);
    return bytes;
  };
  std::string noMoveOn;  // every block opens with a length of 1 or 2, digits after it
  for (const char* length : {"001", "  2", " 1 ", "002"}) noMoveOn += length + std::string(2044, '1') + '\0';
  const std::tuple<ReaderFunction, Bytes, std::string> cases[] = {
      {ReadEwsdFile, repeated(std::string("\x81\x00", 2)), ",,0"},  // a skip item that would not move on
      {ReadEwsdFile, repeated("\x84\x01"), "failed: corrupt: "},      // records too short for their flags
      {ReadEwsdFile, repeated(std::string("\x84\x04\x00\x80", 4)), ",,2621440"},  // the smallest whole records
      {ReadAxeFile, repeated(noMoveOn), ",,0"},
      {ReadEssFile, repeated("\n"), "2000-00-00   00:00:00,2000-00-00   00:00:00,1"}};
  for (const auto& [reader, bytes, expected] : cases) ExpectOutcome(Read(reader, bytes), expected);
}

TEST(ProbeRules, TheFirstTestThatPassesDecides) {
  auto head = [](std::initializer_list<std::pair<std::size_t, Bytes>> bytes, std::uint8_t fill = 0x11) {
    Bytes h(10243, fill);
    for (const auto& [at, b] : bytes) Put(h, at, b);
    return h;
  };
  // The second byte of 26-byte slots 0 to 10 counts up; an empty slot is passed over.
  auto slots = [&](std::initializer_list<std::uint8_t> bytes) {
    Bytes h = head({});
    std::size_t slot = 0;
    for (auto b : bytes) h[26 * slot++ + 1] = b;
    return h;
  };
  Bytes e10b = slots({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  Bytes gap = slots({5, 6, 7, 8, 0, 9, 10, 11, 12, 13, 14});
  Bytes broken = slots({5, 6, 7, 8, 0, 10, 11, 12, 13, 14, 15});
  Bytes ess(2048, ' ');
  for (std::size_t k = 0; k <= 10; ++k) ess[122 * k + 74] = '7';
  Bytes axe(10243, ' ');
  for (std::size_t p = 2048; p <= 10240; p += 2048) {
    axe[p - 1] = 0;
    PutText(axe, p, p == 4096 ? " 80" : "200");
  }
  Bytes notAxe = axe;
  PutText(notAxe, 6144, "201");
  const std::pair<Bytes, int> cases[] = {
      {e10b, kFamilyE10b},
      {gap, kFamilyE10b},
      {broken, kFamilyUnknown},
      {head({{0, {0x84, 0x00}}}), kFamilyEwsd},
      {head({{0, {0x84, 0x40}}, {0x40, {0x84}}}), kFamilyEwsd},
      {head({{0, {0x84, 0x40}}, {0x40, {0x85}}}), kFamilyUnknown},
      {ess, kFamily5ess},
      {head({{928, {0xC6, 0xC4}}}), kFamilyOcb},
      {head({{0, {0x84, 0x00}}, {32, {0xC6, 0xC4}}}), kFamilyEwsd},
      {head({}, 2), kFamilyCdot},
      {head({{48 * 19 + 27, {3}}}, 2), kFamilyUnknown},
      {axe, kFamilyAxe},
      {notAxe, kFamilyUnknown},
      {Bytes{}, kFamilyUnknown},
      {Bytes{7}, kFamilyCdot},  // past the end reads as zeros
  };
  for (const auto& [bytes, family] : cases) EXPECT_EQ(ProbeHead(bytes.data(), bytes.size()), family);
}

}  // namespace
}  // namespace vellmark
