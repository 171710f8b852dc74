// What vellmark-cli prints, command line by command line, as readable text files in
// golden/ beside this test: the samples in every format, archives, hostile names, the
// usage errors and the failures. VELLMARK_UPDATE_GOLDEN=1 writes them anew.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "cli/cli_observer.h"
#include "cli/cli_run.h"
#include "cli/text_escape.h"
#include "reports/text_report.h"
#include "support/fault_injection.h"
#include "testdata/archives.h"
#include "testdata/cdot.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/samples.h"

namespace vellmark::cli {
namespace {

namespace fs = std::filesystem;
namespace td = testdata;
const std::string kGolden = std::string(VELLMARK_SOURCE_DIR) + "/tests/cli/golden/";
// The samples' time of change, which the result lines carry.
const auto kSampleTime = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::sys_days(std::chrono::year(2026) / 5 / 14)));

void ExpectGolden(const std::string& name, const std::string& actual) {
  if (std::getenv("VELLMARK_UPDATE_GOLDEN")) std::ofstream(kGolden + name, std::ios::binary) << actual;
  EXPECT_EQ(ReadText(kGolden + name), actual) << name << " differs";
}

// One command line and the golden file it prints (its stdout, then its status and
// stderr unless 0 and nothing). The runs of a ".log" file are written one after the
// other under their command lines; any other file is what each of its runs prints.
struct Row {
  std::string golden;
  Arguments args;
  std::function<void(FaultInjectingFileSystem&)> arm = nullptr;  // a fault or a Ctrl-C
};

// Runs from a folder of its own, so the paths printed are the same anywhere, and with a
// TMPDIR that does not exist: no output goes through it.
struct CliGolden : ::testing::Test {
  void SetUp() override {
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    if (const char* tmp = std::getenv("TMPDIR")) tmp_ = tmp;
    ::setenv("TMPDIR", "/nonexistent", 1);
    MakeFiles();
  }
  void MakeFiles();
  void TearDown() override {
    (void)chdir(cwd_);
    tmp_ ? ::setenv("TMPDIR", tmp_->c_str(), 1) : ::unsetenv("TMPDIR");
  }
  std::string put(const std::string& name, const td::Bytes& bytes) { return dir_.write(name, bytes), name; }
  char cwd_[4096];
  std::optional<std::string> tmp_;
  td::TempDir dir_;
  Arguments samples, packed, mixed, hostile;
  std::string cdot, copy, member, odd;
};

// The inputs, named from the folder.
void CliGolden::MakeFiles() {
  // The samples as the sample maker writes them, which is what samples/ holds.
  const std::string committed = std::string(VELLMARK_SOURCE_DIR) + "/samples/";
  fs::create_directory("samples");
  for (const auto& sample : td::AllSamples()) {
    EXPECT_EQ(td::ReadWholeFile(committed + sample.name), sample.bytes) << sample.name << ": run vellmark-make-samples samples";
    samples.push_back(put("samples/" + sample.name, sample.bytes));
    fs::last_write_time(samples.back(), kSampleTime);
  }
  std::sort(samples.begin(), samples.end());
  EXPECT_EQ(std::distance(fs::directory_iterator(committed), {}), static_cast<long>(samples.size()));

  // About 48 KB: the probe reads its first 10 KB, the reader all of it.
  const td::Bytes calls = td::CdotFile(td::CdotCalls(1000));
  cdot = put(td::CdotFileName("KOL1", 14, 2, 26), calls);
  copy = put("b.DAT", calls);
  put("x", td::Bytes(64, 'z'));
  // A compressed file, a zip with a folder and an archive inside, bytes that cannot be unpacked.
  const td::SampleFile sample = td::CdotSamples().front();
  member = "day.zip#in/" + sample.name;
  packed = {put("day.zip", td::BuildZip({{"in/", {}, td::Member::Kind::Folder},
                                         {"in/" + sample.name, sample.bytes},
                                         {"old.zip", td::BuildZip({{sample.name, sample.bytes}})}})),
            put(sample.name + ".gz", td::Compress(sample.bytes, td::Packing::Gzip)), put("broken.tgz", sample.bytes)};
  // OCB files without their block mark read in the layout of the OCB file before them
  // (alone: in layout A, with a warning); an unknown EWSD package fails its entry.
  td::OcbFile unmarked, layoutB, layoutA;
  unmarked.blockMark = false;
  unmarked.blocks = td::OcbBlocksOf(td::OcbCalls(200, 45, 9 * 3600, 31), 26, 45);
  layoutB.layout = td::OcbLayout::B;
  layoutB.blocks = td::OcbBlocksOf(td::OcbCalls(60, 44, 3600, 17), 26, 44);
  layoutA.blocks = td::OcbBlocksOf(td::OcbCalls(90, 40, 7200, 13), 26, 40);
  td::EwsdRecord bad = td::EwsdCall({26, 5, 1, 10, 0, 0});
  bad.packages.push_back(td::Bytes{42, 0, 0});
  const td::Bytes good = td::EwsdRecordBytes(td::EwsdCall({26, 5, 1, 9, 0, 0}));
  mixed = samples;
  const std::pair<const char*, td::OcbFile> ocb[] = {
      {"B1.DAT", layoutB}, {"unmarked1.DAT", unmarked}, {"A1.DAT", layoutA}, {"unmarked2.DAT", unmarked}};
  for (const auto& [name, file] : ocb) mixed.push_back(put(name, td::BuildOcbFile(file)));
  mixed.insert(mixed.end(), {put("unknown.CDR", td::EwsdFile({good, good, td::EwsdRecordBytes(bad)})), "missing.DAT",
                             samples.front()});
  // Special files that must never block, and a name with a newline, quotes, a tab, an
  // escape, bytes that are not UTF-8 and what a shell would run.
  odd = "call \"log\"\tnew\nline\r \\ \x7f \x1b[31m \xff\xfe\xc3 $(touch PWNED) `touch PWNED`;x.ama";
  std::vector<td::Bytes> records;
  for (const auto& stamp : td::EwsdStamps(5, {26, 3, 18, 9, 0, 0}, 60))
    records.push_back(td::EwsdRecordBytes(td::EwsdCall(stamp)));
  put(odd, td::EwsdFile(records));
  ASSERT_EQ(::mkfifo("fifo", 0600), 0);
  fs::create_directory("folder");
  const std::pair<std::string, std::string> links[] = {
      {"dangling", "nowhere"}, {"loop-a", "loop-b"}, {"loop-b", "loop-a"}, {"dangling.vmr", "nowhere.vmr"}, {"to-input", cdot}};
  for (const auto& [link, to] : links) fs::create_symlink(to, link);
  hostile = {"fifo", "folder", "dangling", "loop-a", odd};
  put("old.vmr.vmr", td::Text("old report"));
  put("notes.txt", td::Text("hello\n"));
  put("names.txt", td::Text("x\n\nnotes.txt\n"));
  // A result line written by hand, with every kind of \u escape a JSON text may hold.
  put("hand.jsonl", td::Text(R"({"path":"\u0041\u00e9\u0080\u07ff\u20ac\ud83d\ude00\ud800\u0041F \udcff\/","switch":"CDOT",)"
                             R"("start":"a","end":"b","records":1,"options":{"year":2026,"verify":false,"sha256":false}})"));
  dir_.write("empty.vmr", ReportText(AnalyserList(), std::tm{}));
}

TEST_F(CliGolden, EveryCommandLinePrintsItsGoldenFile) {
  auto a = [&](const std::string& more, const Arguments& paths) { return Cmd("analyse --year 2026 " + more, paths); };
  std::vector<Row> rows;
  for (const char* format : {"table", "json", "csv", "vmr"})
    for (const char* jobs : {"1", "2"})
      rows.push_back({std::string("analyse.") + format, a(std::string("--jobs ") + jobs + " --format " + format, samples)});
  // Every optional part: both digests, verified counts and calls per hour, continuity.
  for (const char* format : {"table", "json"})
    rows.push_back({std::string("analyse-verify-continuity.") + format,
                    a(std::string("--verify --sha256 --continuity --format ") + format, samples)});
  rows.push_back({"analyse-lanes.table", a("--continuity --gap-minutes 5 --exchange-rule E10B=E10B-(?<exchange>[A-Z]+)", samples)});
  rows.insert(rows.end(), {{"analyse.jsonl", a("--format jsonl", samples)},
                           {"probe", Cmd("probe", samples)},
                           {"analyse.table", a("-o samples.vmr", samples)},  // the report is saved as the window saves it
                           {"analyse.vmr", Cmd("open --format vmr samples.vmr")},
                           {"open.json", Cmd("open --format json samples.vmr")},
                           {"open.table", Cmd("open samples.vmr")},
                           {"archives.probe", Cmd("probe", packed)},
                           {"archives.json", a("--format json " + cdot, packed)}});
  // Reads on several threads print what one prints.
  for (const char* format : {"json", "csv"})
    for (const char* jobs : {"1", "2", "16"})
      rows.push_back({std::string("mixed.") + format, a(std::string("--jobs ") + jobs + " --format " + format, mixed)});
  rows.push_back({"unmarked.table", a("", {"unmarked1.DAT"})});
  for (const char* format : {"table", "json", "csv"})
    rows.push_back({std::string("hostile.") + format, a(std::string("--format ") + format, hostile)});
  rows.insert(rows.end(), {{"hostile.probe", Cmd("probe", hostile)},
                           {"hostile.vmr", a("--format vmr -o odd.vmr --xlsx odd.xlsx", {odd})},
                           {"hostile.vmr", Cmd("open --format vmr odd.vmr")}});

  for (const char* line :
       {"", "frobnicate", "--help", "analyse", "analyse --format xml x", "analyse --format", "analyse --bogus x",
        "analyse --year 20x6 x", "analyse --year 1899 x", "analyse --year 1900 x", "analyse --year 9999 x",
        "analyse --year 10000 x", "analyse --jobs 0 x", "analyse -j 257 x", "analyse --jobs=256 -- x",
        "analyse --output= x", "analyse --xlsx= x", "analyse --sha256 --no-digests x", "analyse -0 x",
        "analyse --resume", "analyse --files-from= x", "analyse --continuity=yes x", "analyse --unpack-limit 0 x",
        "analyse --unpack-limit 1X x", "analyse --unpack-limit 16777216T x", "analyse --unpack-limit 16777215T x",
        "analyse --unpack-limit 4096 x", "analyse --unpack-ratio 0 x", "analyse --unpack-ratio 2 x",
        "analyse --gap-minutes -1 x", "analyse --exchange-rule FOO=x x", "analyse --exchange-rule E10B x",
        "analyse --exchange-rule E10B=(?<seq>\\d+) x", "analyse --gap-minutes", "open", "open a b",
        "open --format jsonl x", "open --format=xml x", "open ---format=json x", "open --force x", "export a", "export a -o", "export -o= a",
        "probe", "probe -0 x", "merge", "merge --format xml x", "merge --gap-minutes -1 x", "merge --xlsx= x",
        "merge --exchange-rule", "merge --bogus x", "merge notes.txt", "merge missing.jsonl", "merge -- -x.jsonl",
        "merge --format json hand.jsonl", "probe --files-from names.txt", "analyse -- -x.DAT", "open x --format json",
        "analyse --files-from names.txt", "analyse --files-from missing.txt"})
    rows.push_back({"usage.log", Cmd(line)});
  rows.push_back({"usage.log", a("--format json --no-digests", {samples.front()})});
  rows.push_back({"usage.log", a("--unpack-limit 2K", packed)});

  // Failures: each on stderr and in the status; what was there before stays whole.
  rows.insert(rows.end(), {
      {"failures.log", Cmd("analyse", {cdot, cdot})},  // a path refused as already listed is no failure
      {"failures.log", Cmd("analyse missing", {cdot})},
      {"failures.log", Cmd("analyse --jobs 1 --format json", {cdot}), [](auto& f) { f.failReadsFrom(20000, EIO); }},
      {"failures.log", Cmd("analyse --jobs 4 --format json", {cdot}), [](auto& f) { f.failReadsFrom(20000, EIO); }},
      {"failures.log", Cmd("analyse --jobs 1", {cdot, copy}), [](auto&) { g_interrupts = 1; }},
      {"failures.log", Cmd("analyse -o old.vmr.vmr", {cdot})},  // taken as named, replaced only with --force
      {"failures.log", Cmd("analyse -o old.vmr.vmr --force", {cdot}), [](auto& f) { f.failRename(EXDEV); }},
      {"failures.log", Cmd("open old.vmr.vmr")},
      {"failures.log", Cmd("analyse --xlsx day.xlsx", {cdot}), [](auto& f) { f.failFlush(EIO); }},
      {"failures.log", Cmd("analyse --format vmr -o old.vmr.vmr --force", {cdot})},
      {"failures.log", Cmd("open old.vmr.vmr --format=json")},
      {"failures.log", Cmd("open -- -missing.vmr")},
      {"failures.log", Cmd("open notes.txt")},
      {"failures.log", Cmd("open old.vmr.vmr"), [](auto& f) { f.failReadsFrom(300, EIO); }},
      {"failures.log", Cmd("export old.vmr.vmr -o day.xlsx")},
      {"failures.log", Cmd("export old.vmr.vmr -o day.xlsx")},
      {"failures.log", Cmd("export empty.vmr -o empty.xlsx")},
      {"failures.log", Cmd("export old.vmr.vmr -o day.xlsx --force"), [](auto& f) { f.failWritesAfter(100, ENOSPC); }},
      // Outputs never name an input or each other.
      {"failures.log", Cmd("analyse -o r.vmr --xlsx ./r.vmr", {cdot})},
      {"failures.log", Cmd("analyse --force -o", {cdot, cdot})},
      {"failures.log", Cmd("analyse --force --xlsx to-input", {cdot})},
      {"failures.log", Cmd("analyse --force -o day.zip", {member})},
      {"failures.log", Cmd("export", {cdot, "-o", cdot, "--force"})},
      {"failures.log", Cmd("merge --force --xlsx notes.txt notes.txt")},
      // Without --force nothing at the name is replaced: a file that appears during the
      // pass, a link leading nowhere.
      {"failures.log", Cmd("analyse -o r.vmr", {cdot}),
       [](auto& f) { f.before(IoStep::Rename, [](const std::string& to) { std::ofstream(to) << "appeared"; }); }},
      {"failures.log", Cmd("analyse --xlsx b.xlsx", {cdot}),
       [](auto& f) { f.before(IoStep::Rename, [](const std::string& to) { std::ofstream(to) << "appeared"; }); }},
      {"failures.log", Cmd("analyse -o dangling.vmr", {cdot})},
  });

  std::map<std::string, std::string> logs;
  for (const Row& row : rows) {
    FaultInjectingFileSystem faulty(RealFileSystem());
    if (row.arm) row.arm(faulty);
    const CliRun run = Cli(row.args, row.arm ? faulty : RealFileSystem());
    g_interrupts = 0;
    std::string text = run.out;
    if (run.status != kExitOk || !run.err.empty()) text += "[exit " + std::to_string(run.status) + "]\n" + run.err;
    if (!row.golden.ends_with(".log")) {
      ExpectGolden(row.golden, text);
      continue;
    }
    std::string line = "$ vellmark-cli";
    for (const auto& arg : row.args) line += " " + EscapeForLine(arg);
    logs[row.golden] += line + "\n" + text;
  }
  for (const auto& [name, text] : logs) ExpectGolden(name, text);

  // What the folder holds at the end: no temporary file left, nothing a name ran.
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    const bool sized = entry.symlink_status().type() == fs::file_type::regular && !name.ends_with(".xlsx");
    files.insert(EscapeForLine(name) + (sized ? "\t" + std::to_string(entry.file_size()) : ""));
  }
  std::string listing;
  for (const auto& line : files) listing += line + "\n";
  ExpectGolden("files", listing);
}

}  // namespace
}  // namespace vellmark::cli
