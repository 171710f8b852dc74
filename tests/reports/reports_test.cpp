// The text report's rows and its reader, the workbook, and saving either safely.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/utf8.h"
#include "reports/safe_save.h"
#include "reports/spreadsheet_export.h"
#include "reports/text_report.h"
#include "support/fault_injection.h"
#include "testdata/bytes.h"
#include "testdata/report_entries.h"

namespace vellmark {
namespace {

namespace fs = std::filesystem;
using testdata::FixedTime;
using testdata::MakeEntry;
using testdata::TempDir;

const std::string kWaiting = "To be  Analysed";

std::string Read(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(ReportRowLine, CellsAreCutAlignedAndCentredByCharacters) {
  const std::string e = "\xC3\xA9", x21 = "2004-05-12   09:30:05";
  std::string sixtyE;
  for (int i = 0; i < 60; ++i) sixtyE += e;
  struct Case {
    testdata::EntryTexts entry;
    std::string row;
  };
  const Case cases[] = {
      {{"4", "/a.dat", "E10B", kWaiting, kWaiting, "0", "0 KB"},
       "|   4 | /a.dat" + std::string(44, ' ') + " |       E10B |    " + kWaiting + "    |    " + kWaiting +
           "    |          0 |       0 KB | "},
      // 21 characters get no blanks, 14 get four (the row grows), 16 and 18 two, 12 four,
      // none ten (the cell is 20 wide); longer texts are never cut.
      {{"1", "/p", "5ESS", x21, "Invalid File14", "0", "1 KB"},
       "|   1 | /p" + std::string(48, ' ') + " |       5ESS | " + x21 + " |     Invalid File14     |          0 |"
       "       1 KB | "},
      {{"1", "p", "OCB", std::string(16, 'x'), std::string(18, 'y'), "0", ""},
       "|   1 | p" + std::string(49, ' ') + " |        OCB |   " + std::string(16, 'x') + "   |   " +
           std::string(18, 'y') + "   |          0 |            | "},
      {{"1", "p", "OCB", std::string(12, 'x'), "", "0", ""},
       "|   1 | p" + std::string(49, ' ') + " |        OCB |     " + std::string(12, 'x') + "     | " +
           std::string(20, ' ') + " |          0 |            | "},
      {{"1", "p", "OCB", std::string(30, 'y'), "", "0", ""},
       "|   1 | p" + std::string(49, ' ') + " |        OCB | " + std::string(30, 'y') + " | " + std::string(20, ' ') +
           " |          0 |            | "},
      // Texts wider than their column are written whole and the row grows; UTF-8 counts
      // by characters, a stray byte as one; line breaks and bars never split a row.
      {{"1000", std::string(50, 'a') + "0123456789", "ABCDEFGHIJKL", x21, x21, "12345678901", "1234567 KB"},
       "| 1000 | " + std::string(50, 'a') + "0123456789 | ABCDEFGHIJKL | " + x21 + " | " + x21 +
           " | 12345678901 | 1234567 KB | "},
      {{e + "99", sixtyE.substr(0, 98), "\xFF" "OCB", x21, x21, "1", "1 KB"},
       "| " + e + "99 | " + sixtyE.substr(0, 98) + "  |       \xFF" "OCB | " + x21 + " | " + x21 +
           " |          1 |       1 KB | "},
      {{"1", "/a|b\\|c", "OCB", x21, x21, "1", "1 KB"},
       "|   1 | /a\\|b\\\\|c" + std::string(41, ' ') + " |        OCB | " + x21 + " | " + x21 + " |          1 |       1 KB | "},
      {{"1", "/two\nlines\r", "OCB", x21, x21, "1", "1 KB"},
       "|   1 | /two?lines?" + std::string(39, ' ') + " |        OCB | " + x21 + " | " + x21 +
           " |          1 |       1 KB | "},
  };
  for (const Case& c : cases) EXPECT_EQ(ReportRowLine(MakeEntry(c.entry)), c.row);
  EXPECT_EQ(CharacterCount(cases[6].row), 148u);

  // Read back, every text is whole again.
  AnalyserList list;
  for (const Case& c : cases) list.append(MakeEntry(c.entry));
  auto back = ParseReport(ReportText(list, FixedTime()));
  ASSERT_TRUE(back && back->size() == list.size());
  for (std::size_t i = 0; i + 1 < list.size(); ++i)
    for (int col : {0, 1, 2, 3, 4, 5, 6}) EXPECT_EQ((*back)[i].column(col), list.at(i).column(col)) << i << " " << col;
  EXPECT_EQ(back->back().path, "/two?lines?");
}

TEST(ParseReport, ReadsTheTitleMarkAndRowsAsTheyStand) {
  const std::string head = "\r\nanything\r\n+\r\nheading\r\nrule\r\n";
  for (const char* bad : {" Vellmark Report", "vellmark Report", "Vellmar", ""})
    EXPECT_FALSE(ParseReport(std::string(bad) + head)) << bad;
  EXPECT_FALSE(ParseReport(std::string("\0\0\0\0\0\0\0\0\0", 9)));
  auto none = ParseReport("Vellmark");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());

  auto rows = ParseReport(
      "Vellmarkanything" + head +
      "+----+\r\n"
      "|  7 |  /a b  | OCB |\tx\t| e | 1 | 2 KB | extra | more\r\n"  // tabs kept, pieces after 7 ignored
      "| 1 | 2 | 3 | 4 | 5 | 6\r\n"                                  // six cells: not a row
      "\r\n"                                                         // empty: not a row
      "lead| 8 | /b | CDOT42 | s | e | 12x | z\n"                    // LF only, no closing bar
      "| 9 | /c | EWSD | s | e | 0012 | z |");                       // no line end at all
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), 3u);
  const AnalyserEntry& a = (*rows)[0];
  EXPECT_EQ((std::vector<std::string>{a.number, a.path, a.family, a.start, a.recordsText(), a.sizeText()}),
            (std::vector<std::string>{"7", "/a b", "OCB", "\tx\t", "1", "2 KB"}));
  EXPECT_EQ(a.icon, 1);
  EXPECT_EQ((*rows)[1].icon, 0);  // CDOT42 has no icon
  EXPECT_EQ((*rows)[1].records, 12u);
  EXPECT_EQ((*rows)[1].recordsText(), "12x");
  EXPECT_EQ((*rows)[2].recordsText(), "0012");
  EXPECT_FALSE((*rows)[2].duplicate());

  EXPECT_EQ(ReportFileName("/r/x.vmr.vmr"), "/r/x.vmr");
  for (const char* kept : {"/r/x.vmr", "/r/xvmr.vmr", "/r/x.VMR.vmr", "/r/x"}) EXPECT_EQ(ReportFileName(kept), kept);
}

TEST(LoadReportFile, HundredThousandRowsAndMegabyteLines) {
  TempDir dir;
  AnalyserList many;
  for (std::size_t i = 1; i <= 100000; ++i)
    many.append(MakeEntry({std::to_string(i), "/d/day" + std::to_string(i) + ".ama", "EWSD", "s", "e",
                           std::to_string(i * 7), "13 KB"}));
  const std::string name = dir.file("many.vmr");
  ASSERT_TRUE(WriteReportFile(RealFileSystem(), name, many, FixedTime(), SaveMode::NewOnly));
  auto loaded = LoadReportFile(RealFileSystem(), name);
  ASSERT_TRUE(loaded && *loaded);
  ASSERT_EQ((*loaded)->size(), 100000u);
  EXPECT_EQ((**loaded)[99999].recordsText(), "700000");

  // A row with a megabyte path loads whole; a megabyte first line without the mark is
  // no report.
  const std::string huge(1 << 20, 'p');
  const std::string wide = dir.write("wide.vmr", "Vellmark\r\n\r\n+\r\nh\r\n+\r\n| 1 | /" + huge + " | OCB | s | e | 5 | 1 KB |\r\n");
  loaded = LoadReportFile(RealFileSystem(), wide);
  ASSERT_TRUE(loaded && *loaded);
  EXPECT_EQ((**loaded)[0].path, "/" + huge);
  loaded = LoadReportFile(RealFileSystem(), dir.write("long.vmr", std::string(1 << 20, 'V') + "\r\n"));
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(*loaded);

  // CR alone and LF alone end lines as CR LF does.
  const std::string crlf = ReportText(testdata::ThreeAnalysedEntries(), FixedTime());
  for (const char* end : {"\r", "\n"}) {
    std::string text = crlf;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.replace(at, 2, end);
    auto rows = ParseReport(text);
    ASSERT_TRUE(rows && rows->size() == 3) << (end[0] == '\r' ? "CR" : "LF");
    EXPECT_EQ((*rows)[2].path, testdata::ThreeAnalysedEntries().at(2).path);
  }
  // A row of a gigabyte (a sparse file) is no report, found out reading little more
  // than the longest line a report holds.
  const std::string gigabyte = dir.write("gigabyte.vmr", "Vellmark\r\n\r\n+\r\nh\r\n+\r\n| 1 | ");
  fs::resize_file(gigabyte, std::uint64_t{1} << 30);
  FaultInjectingFileSystem counted(RealFileSystem());
  loaded = LoadReportFile(counted, gigabyte);
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(*loaded);
  EXPECT_LE(std::size_t(counted.readCalls()), kMaxReportLine / 65536 + 2);
}

// A workbook of awkward texts, read back with openpyxl and compared with the golden dump.
// Names holding what XML cannot (controls, NUL, U+FFFE, U+FFFF, bytes that are not
// UTF-8) read back as U+FFFD, the format's own escape (_x0041_) as typed.
TEST(WriteSpreadsheet, MatchesTheGoldenDump) {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0) GTEST_SKIP() << "no python3-openpyxl";
  TempDir dir;
  AnalyserList list = testdata::MakeList({
      {"1", "/data/cdr/ocb/ocb-a.dat", "OCB", "2004-05-12   09:30:05", "2004-05-12   18:02:41", "1207", "13 KB"},
      {"2", "C:\\CDR\\EWSD\\ewsd.ama", "EWSD", "2004-05-13   00:00:10", "2004-05-13   23:59:58", "0085", "2 KB"},
      {"3", "/data/12349", "AXE", "12/05/2004   07:15:00", "12/05/2004   07:45:12", "3", "1 KB", true},
      {"004", "plain-name.dat", "CDOT", kWaiting, kWaiting, "0", "5 KB"},
      {"5", "/data/\xC3\xA9t\xC3\xA9-\xFF.dat", "CDOT42", "", "", "", "-1.50"},
  });
  list.update(1, [](AnalyserEntry& e) {
    e.sameContentAs = 1;
    e.verifiedRecords = 84;
    e.warnings = {{WarningKind::TrailingBytes, "", 9}, {WarningKind::WeakMatch, "", std::nullopt}};
  });
  for (const std::string name : {std::string("a\x01" "b\x08\x0B\x0C\x1F" "c\x7F"), std::string("nul\0tail", 8),
                                 std::string("x\xEF\xBF\xBEy\xEF\xBF\xBFz"), std::string("bad\xFF\xFE\xC3\xED\xA0\x80.DAT"),
                                 std::string("_x0041_.DAT"), std::string("t\tn\nx")})
    list.append(MakeEntry({"6", "/d/" + name, name, "", "", "1", "1 KB"}));
  // Blank rows past row 500, where the column alignment stops; some of them red.
  for (int i = 12; i <= 505; ++i) list.append(MakeEntry({"", "", "", "", "", "", "", i % 100 == 0}));
  const std::string book = dir.file("cdr.xlsx"), dump = dir.file("dump.txt");
  ASSERT_TRUE(WriteSpreadsheet(RealFileSystem(), book, list, ListTotals{505, 31457, 4795}, SaveMode::NewOnly));
  ASSERT_EQ(std::system(("/usr/bin/python3 " VELLMARK_SOURCE_DIR "/tests/reports/dump_workbook.py " + book + " >" + dump)
                            .c_str()),
            0);
  const std::string golden = std::string(VELLMARK_SOURCE_DIR) + "/tests/reports/golden/mixed.xlsx.txt";
  if (std::getenv("VELLMARK_UPDATE_GOLDEN")) std::ofstream(golden) << Read(dump);
  EXPECT_TRUE(Read(dump) == Read(golden)) << "differs from " << golden << " (VELLMARK_UPDATE_GOLDEN=1 writes it)";
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"cdr.xlsx", "dump.txt"}));  // nothing left beside it
}

// Every failure while saving leaves the old file whole and nothing beside it.
TEST(SaveFile, FailuresKeepTheOldFile) {
  TempDir dir;
  const std::string report = dir.write("r.vmr", "old report"), book = dir.write("b.xlsx", "old book");
  FaultInjectingFileSystem faulty(RealFileSystem());
  const AnalyserList list = testdata::ThreeAnalysedEntries();
  const std::pair<void (*)(FaultInjectingFileSystem&), const char*> faults[] = {
      {[](FaultInjectingFileSystem& f) { f.failWritesAfter(100, ENOSPC); }, "No space left on device"},
      {[](FaultInjectingFileSystem& f) { f.failWritesAfter(0, EIO); }, "Input/output error"},
      {[](FaultInjectingFileSystem& f) { f.failFlush(EIO); }, "Input/output error"},
      {[](FaultInjectingFileSystem& f) { f.failRename(EXDEV); }, "Invalid cross-device link"},
      {[](FaultInjectingFileSystem& f) { f.failCreate(ENAMETOOLONG); }, "File name too long"},
  };
  for (auto [arm, reason] : faults) {
    faulty.clear();
    arm(faulty);
    Status saved = WriteReportFile(faulty, report, list, FixedTime(), SaveMode::Replace);
    ASSERT_FALSE(saved) << reason;
    EXPECT_TRUE(saved.error().reason.ends_with(reason)) << saved.error().reason;
    Status written = WriteSpreadsheet(faulty, book, list, std::nullopt, SaveMode::Replace);
    ASSERT_FALSE(written) << reason;
    EXPECT_TRUE(written.error().reason.ends_with(reason)) << written.error().reason;
    EXPECT_EQ(Read(report), "old report");
    EXPECT_EQ(Read(book), "old book");
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"r.vmr", "b.xlsx"})) << reason;
  }
  // A folder we may not write: the old file is written in place; a new one cannot be made.
  struct LockedFolder : FaultInjectingFileSystem {
    using FaultInjectingFileSystem::FaultInjectingFileSystem;
    Result<std::unique_ptr<OutputFile>> createNew(const std::string&, unsigned) override {
      return MakeIoError(IoStep::Open, EACCES);
    }
  } locked(RealFileSystem());
  ASSERT_TRUE(SaveFile(locked, report, "new", SaveMode::Replace));
  EXPECT_EQ(Read(report), "new");
  EXPECT_EQ(SaveFile(locked, dir.file("fresh"), "x", SaveMode::Replace).error().code, EACCES);

  // Folders and special files are refused; links are followed and kept; modes kept.
  fs::create_directory(dir.file("sub"));
  EXPECT_EQ(SaveFile(RealFileSystem(), dir.file("sub"), "x", SaveMode::Replace).error().code, EISDIR);
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(SaveFile(RealFileSystem(), dir.file("pipe"), "x", SaveMode::Replace));
  EXPECT_EQ(SaveFile(RealFileSystem(), dir.file("no/such/r.vmr"), "x", SaveMode::NewOnly).error().reason,
            "cannot make a temporary file in " + dir.file("no/such") + ": No such file or directory");
  ::chmod(report.c_str(), 0640);
  fs::create_symlink(report, dir.file("link.vmr"));
  ASSERT_TRUE(SaveFile(RealFileSystem(), dir.file("link.vmr"), "via link", SaveMode::Replace));
  EXPECT_TRUE(fs::is_symlink(dir.file("link.vmr")));
  EXPECT_EQ(Read(report), "via link");
  EXPECT_EQ(fs::status(report).permissions(), fs::perms(0640));
  mode_t mask = ::umask(022);
  ASSERT_TRUE(SaveFile(RealFileSystem(), dir.file("fresh.vmr"), "", SaveMode::NewOnly));
  ::umask(mask);
  EXPECT_EQ(fs::status(dir.file("fresh.vmr")).permissions(), fs::perms(0644));
}

// Without leave to replace, a link is not replaced, even one leading nowhere or in a
// loop (a file appearing during the save: see the CLI tests). With it, a link leading
// nowhere gets its file made and stays a link; a loop fails.
TEST(SaveFile, LinksAreReplacedOnlyWhenAllowed) {
  TempDir dir;
  fs::create_symlink(dir.file("made/by/link"), dir.file("dangling"));
  fs::create_symlink(dir.file("loop-b"), dir.file("loop-a"));
  fs::create_symlink(dir.file("loop-a"), dir.file("loop-b"));
  for (const char* name : {"dangling", "loop-a"})
    EXPECT_EQ(SaveFile(RealFileSystem(), dir.file(name), "x", SaveMode::NewOnly).error().code, EEXIST) << name;
  EXPECT_EQ(SaveFile(RealFileSystem(), dir.file("loop-a"), "x", SaveMode::Replace).error().code, ELOOP);
  fs::create_directories(dir.file("made/by"));
  ASSERT_TRUE(SaveFile(RealFileSystem(), dir.file("dangling"), "via link", SaveMode::Replace));
  EXPECT_TRUE(fs::is_symlink(dir.file("dangling")));
  EXPECT_EQ(Read(dir.file("made/by/link")), "via link");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dangling", "loop-a", "loop-b", "made"}));
}

}  // namespace
}  // namespace vellmark
