// vellmark-cli beyond the samples: exit statuses, failures and what they leave behind,
// hostile names in every format, and reads on several threads.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "cli/cli_observer.h"
#include "cli/cli_run.h"
#include "cli/json_reader.h"
#include "cli/read_ahead.h"
#include "cli/text_escape.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "reports/text_report.h"
#include "support/fault_injection.h"
#include "testdata/archives.h"
#include "testdata/bytes.h"
#include "testdata/cdot.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/samples.h"

extern char** environ;

namespace vellmark::cli {
namespace {

namespace fs = std::filesystem;
using testdata::Bytes;
using testdata::TempDir;

std::string Read(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Starts a program, no shell between, with stdout and stderr going to files; -1 when
// it could not be started.
pid_t Start(const std::vector<std::string>& argv, const std::string& out, const std::string& errFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

int Wait(pid_t pid) {
  int wstatus = 0;
  if (pid < 0 || ::waitpid(pid, &wstatus, 0) != pid) return -1;
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

// Runs a program to its end; its status and stderr.
CliRun Spawn(const std::vector<std::string>& argv, const std::string& out, const std::string& errFile) {
  pid_t pid = Start(argv, out, errFile);
  if (pid < 0) return {-1, "", ""};
  int status = Wait(pid);
  return {status, "", Read(errFile)};
}

// The fields of a CSV text (RFC 4180), row by row.
std::vector<std::vector<std::string>> ParseCsv(const std::string& csv) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  for (std::size_t i = 0; i < csv.size(); ++i) {
    if (csv[i] == '"') {
      for (++i; i < csv.size() && (csv[i] != '"' || csv.compare(i, 2, "\"\"") == 0); ++i)
        rows.back().back() += csv[csv[i] == '"' ? i++ : i];
    } else if (csv[i] == ',') {
      rows.back().emplace_back();
    } else if (csv.compare(i, 2, "\r\n") == 0) {
      if (++i + 1 < csv.size()) rows.emplace_back(1);
    } else {
      rows.back().back() += csv[i];
    }
  }
  return rows;
}

// Every "path" of a JSON list, as the bytes it was written from.
std::vector<std::string> JsonPaths(const std::string& json) {
  std::vector<std::string> paths;
  JsonParse parsed = ParseJson(json);
  EXPECT_TRUE(parsed.value) << parsed.error;
  if (parsed.value)
    for (const JsonValue& entry : parsed.value->find("entries")->items) paths.push_back(entry.find("path")->text);
  return paths;
}

TEST(Cli, UsageErrorsExitWithTwo) {
  const Arguments usage[] = {{},
                             {"frobnicate"},
                             {"analyse"},
                             {"analyse", "--format", "xml", "x"},
                             {"analyse", "--format"},
                             {"analyse", "--bogus", "x"},
                             {"analyse", "--year", "20x6", "x"},
                             {"analyse", "--year", "1899", "x"},
                             {"analyse", "--year", "10000", "x"},
                             {"analyse", "--jobs", "0", "x"},
                             {"analyse", "--jobs", "257", "x"},
                             {"analyse", "-o", "", "x"},
                             {"analyse", "--sha256", "--no-digests", "x"},
                             {"open"},
                             {"open", "a", "b"},
                             {"export", "a"},
                             {"probe"},
                             {"probe", "-0", "x"},
                             {"analyse", "-0", "x"},
                             {"analyse", "--resume"},
                             {"open", "--format", "jsonl", "x"},
                             {"merge"},
                             {"merge", "--format", "xml", "x"},
                             {"analyse", "--exchange-rule", "FOO=x", "x"},
                             {"analyse", "--exchange-rule", "E10B=(?<seq>\\d+)", "x"},
                             {"merge", "--gap-minutes", "-1", "x"}};
  for (const auto& args : usage) EXPECT_EQ(Cli(args).status, kExitUsage) << ::testing::PrintToString(args);
  EXPECT_EQ(Cli({"--help"}).status, kExitOk);
  TempDir dir;
  const std::string text = dir.write("x", std::string(64, 'z'));
  for (const char* year : {"1900", "9999"}) EXPECT_EQ(Cli({"analyse", "--year", year, text}).status, kExitOk);
  EXPECT_EQ(Cli({"analyse", "--jobs=256", "--", text}).status, kExitOk);
  const std::string cdot = dir.write(testdata::CdotFileName("KOL1", 14, 2, 26), testdata::CdotFile(testdata::CdotCalls(10)));
  EXPECT_NE(Cli({"analyse", "--format", "json", cdot}).out.find("\"xxh3_128\""), std::string::npos);
  EXPECT_NE(Cli({"analyse", "--format", "json", "--no-digests", cdot}).out.find("\"digests\":null"), std::string::npos);
}

struct CliFailures : ::testing::Test {
  TempDir dir;
  FaultInjectingFileSystem faulty{RealFileSystem()};
  // About 48 KB: the probe reads its first 10 KB, the reader all of it.
  const std::string cdot = dir.write(testdata::CdotFileName("KOL1", 14, 2, 26), testdata::CdotFile(testdata::CdotCalls(1000)));
};

TEST_F(CliFailures, AnalyseEndsWithOneForEveryFailureItReports) {
  CliRun clean = Cli({"analyse", cdot, cdot});  // a path refused as already listed is no failure
  EXPECT_EQ(clean.status, kExitOk) << clean.err;
  EXPECT_EQ(clean.err, "The Following files Already Exists \n\n" + cdot + "\n");
  CliRun skipped = Cli({"analyse", dir.file("missing"), cdot});
  EXPECT_EQ(skipped.status, kExitFailures);
  EXPECT_EQ(skipped.err, "skipped: cannot be read: " + dir.file("missing") + "\n");

  // A reader that fails, read on the pass's thread or ahead on others.
  faulty.failReadsFrom(20000, EIO);
  for (const char* jobs : {"1", "4"}) {
    CliRun failed = Cli({"analyse", "--jobs", jobs, "--format", "json", cdot}, faulty);
    EXPECT_EQ(failed.status, kExitFailures) << jobs;
    EXPECT_EQ(failed.err, "failed: " + cdot + ": read: Input/output error\n") << jobs;
    EXPECT_TRUE(Has(failed.out, "\"error\":\"Input/output error\",\"error_kind\":\"read\",\"error_offset\":0,"))
        << failed.out;
  }
  faulty.clear();

  // Ctrl-C: the pass stops, the list is still printed.
  g_interrupts = 1;
  CliRun stopped = Cli({"analyse", "--jobs", "1", cdot, dir.write("b.DAT", Read(cdot))});
  g_interrupts = 0;
  EXPECT_EQ(stopped.status, kExitFailures);
  EXPECT_TRUE(Has(stopped.err, "stopped: the analysis was interrupted\n")) << stopped.err;
  EXPECT_TRUE(Has(stopped.out, "Total Records: 1000\nData File Analysis Stopped\n")) << stopped.out;

  // Reports and workbooks: taken as named, replaced only with --force, never half written.
  const std::string report = dir.write("old.vmr.vmr", "old report");
  CliRun exists = Cli({"analyse", "-o", report, cdot});
  EXPECT_EQ(exists.status, kExitFailures);
  EXPECT_EQ(exists.out, "");
  EXPECT_TRUE(Has(exists.err, "exists; --force replaces it"));
  faulty.failRename(EXDEV);
  CliRun unsaved = Cli({"analyse", "-o", report, "--force", cdot}, faulty);
  EXPECT_EQ(unsaved.status, kExitFailures);
  EXPECT_EQ(unsaved.err, "vellmark-cli analyse: cannot save " + report + ": Invalid cross-device link\n");
  EXPECT_TRUE(Has(unsaved.out, "Total Records: 1000\n"));
  EXPECT_EQ(Read(report), "old report");
  faulty.clear();
  faulty.failFlush(EIO);
  CliRun noBook = Cli({"analyse", "--xlsx", dir.file("day.xlsx"), cdot}, faulty);
  EXPECT_EQ(noBook.status, kExitFailures);
  EXPECT_EQ(noBook.err, "Vellmark: " + dir.file("day.xlsx") + ": Input/output error\n");
  faulty.clear();
  CliRun saved = Cli({"analyse", "--format", "vmr", "-o", report, "--force", cdot});
  EXPECT_EQ(saved.status, kExitOk);
  EXPECT_EQ(Read(report), saved.out);
}

TEST_F(CliFailures, OpenAndExportLoadAReportAsTheWindowDoes) {
  const std::string report = dir.file("day.vmr"), book = dir.file("day.xlsx");
  ASSERT_EQ(Cli({"analyse", "-o", report, cdot}).status, kExitOk);
  CliRun vmr = Cli({"open", "--format", "vmr", report});
  EXPECT_EQ(vmr.out, Read(report));
  CliRun json = Cli({"open", report, "--format=json"});
  EXPECT_TRUE(Has(json.out, "\"totals\":{\"files\":\"\",\"size\":\"\",\"records\":\"\"},\"message\":\"\","
                            "\"results_shown\":true}"));
  EXPECT_EQ(Cli({"open", "--", "-missing.vmr"}).status, kExitFailures);  // a path, not an option
  const std::string notes = dir.write("notes.txt", "hello\n");
  CliRun wrong = Cli({"open", notes});
  EXPECT_EQ(wrong.status, kExitFailures);
  EXPECT_EQ(wrong.err, "Vellmark: " + notes + " is not a Vellmark Report File.  Please Check\n");
  faulty.failReadsFrom(300, EIO);
  CliRun unread = Cli({"open", report}, faulty);
  EXPECT_EQ(unread.status, kExitFailures);
  EXPECT_EQ(unread.err, "Vellmark: Could not open " + report + ": Input/output error\n");
  faulty.clear();

  EXPECT_EQ(Cli({"export", report, "-o", book}).status, kExitOk);
  EXPECT_GT(fs::file_size(book), 1000u);
  EXPECT_EQ(Cli({"export", report, "-o", book}).status, kExitFailures);  // exists, no --force
  const std::string empty = dir.write("empty.vmr", ReportText(AnalyserList(), std::tm{}));
  CliRun nothing = Cli({"export", empty, "-o", dir.file("e.xlsx")});
  EXPECT_EQ(nothing.status, kExitFailures);
  EXPECT_EQ(nothing.err, "Vellmark: Nothing to Save\n");
  faulty.failWritesAfter(100, ENOSPC);
  CliRun full = Cli({"export", report, "-o", book, "--force"}, faulty);
  EXPECT_EQ(full.status, kExitFailures);
  EXPECT_TRUE(Has(full.err, "No space left on device")) << full.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 5);  // no temporary left
}

// Outputs never name an input or each other; without --force nothing at the name is
// replaced, also a file that appears during the pass or a link leading nowhere.
TEST_F(CliFailures, WritesOnlyWhereAllowed) {
  const std::string report = dir.file("r.vmr"), book = dir.file("b.xlsx"), data = Read(cdot);
  fs::create_symlink(cdot, dir.file("to-input"));
  dir.write("day.zip", testdata::BuildZip({{"a.DAT", Bytes(data.begin(), data.end())}}));
  const std::pair<Arguments, std::string> clashes[] = {
      {{"analyse", "-o", report, "--xlsx", dir.path() + "/./r.vmr", cdot}, "-o and --xlsx name the same file: "},
      {{"analyse", "--force", "-o", cdot, cdot}, "-o names an input file: "},
      {{"analyse", "--force", "--xlsx", dir.file("to-input"), cdot}, "--xlsx names an input file: "},
      {{"analyse", "--force", "-o", dir.file("day.zip"), dir.file("day.zip#a.DAT")}, "-o names an input file: "},
      {{"export", cdot, "-o", cdot, "--force"}, "-o names an input file: "},
  };
  for (const auto& [args, message] : clashes) {
    CliRun refused = Cli(args);
    EXPECT_EQ(refused.status, kExitUsage) << refused.err;
    EXPECT_EQ(refused.err, "vellmark-cli " + args[0] + ": " + message + args[args.size() - 2] + "\n");
  }
  EXPECT_EQ(Read(cdot), data);

  faulty.before(IoStep::Rename, [](const std::string& to) { std::ofstream(to) << "appeared"; });
  for (const Arguments& args : {Arguments{"analyse", "-o", report, cdot}, Arguments{"analyse", "--xlsx", book, cdot}}) {
    CliRun raced = Cli(args, faulty);
    EXPECT_EQ(raced.status, kExitFailures);
    EXPECT_EQ(raced.err, "vellmark-cli analyse: " + args[2] + " exists; --force replaces it\n");
    EXPECT_EQ(Read(args[2]), "appeared");
  }
  fs::create_symlink(dir.file("nowhere.vmr"), dir.file("dangling.vmr"));
  EXPECT_EQ(Cli({"analyse", "-o", dir.file("dangling.vmr"), cdot}).status, kExitFailures);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{fs::path(cdot).filename(), "to-input", "day.zip", "r.vmr",
                                                       "b.xlsx", "dangling.vmr"}));
}

// Thirty runs writing one new name at once: exactly one writes it, each other one
// fails and says why.
TEST_F(CliFailures, ParallelWritersToOneNameOneWins) {
  const std::string target = dir.file("one.vmr"), gate = dir.file("gate");
  // Each run waits for a line from the gate, so all of them check the name before
  // the first one writes it.
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  const int opened = ::open(gate.c_str(), O_RDWR);
  std::vector<pid_t> runs;
  for (int i = 0; i < 30; ++i)
    runs.push_back(Start({"/bin/sh", "-c", "read x <\"$0\"; exec \"$@\"", gate, VELLMARK_CLI, "analyse", "-o", target, cdot},
                         "/dev/null", dir.file("err" + std::to_string(i))));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(::write(opened, std::string(30, '\n').data(), 30), 30);
  int won = 0;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const int status = Wait(runs[i]);
    won += status == kExitOk;
    if (status != kExitOk) {
      EXPECT_EQ(status, kExitFailures);
      EXPECT_EQ(Read(dir.file("err" + std::to_string(i))), "vellmark-cli analyse: " + target + " exists; --force replaces it\n");
    }
  }
  ::close(opened);
  EXPECT_EQ(won, 1);
  EXPECT_EQ(Names(dir.path()).size(), 33u);  // the data file, the gate, the report, the stderr files
}

// Ctrl-C while a report is read or a file written ends the program at once, with
// status 130: the old files whole, no temporary file left, whatever TMPDIR says.
TEST_F(CliFailures, CtrlCOutsideThePassEndsAtOnceLeavingNothing) {
  const std::string report = dir.file("day.vmr"), book = dir.write("day.xlsx", "old book");
  ASSERT_EQ(Cli({"analyse", "-o", report, cdot}).status, kExitOk);
  const std::string old = Read(report);
  const std::pair<IoStep, Arguments> cases[] = {
      {IoStep::Read, {"open", report}},
      {IoStep::Read, {"export", report, "-o", book, "--force"}},
      {IoStep::Write, {"export", report, "-o", book, "--force"}},
      {IoStep::Write, {"analyse", "--force", "-o", report, "--xlsx", book, cdot}},
  };
  for (const auto& [step, args] : cases) {
    pid_t child = ::fork();
    if (child == 0) {
      InstallInterruptHandler();
      faulty.before(step, [](const std::string&) { ::raise(SIGINT); });
      Cli(args, faulty);
      ::_exit(0);
    }
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    EXPECT_EQ(WEXITSTATUS(wstatus), 130) << args[0];
    EXPECT_EQ(Read(report), old);
    EXPECT_EQ(Read(book), "old book");
    EXPECT_EQ(Names(dir.path()).size(), 3u) << args[0];
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string kept = tmp ? tmp : "";
  ::setenv("TMPDIR", "/nonexistent", 1);
  CliRun exported = Cli({"export", report, "-o", dir.file("new.xlsx")});
  tmp ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(exported.status, kExitOk) << exported.err;
}

TEST_F(CliFailures, OutputThatCannotBeWrittenIsAFailureAndNothingStartsAProgram) {
  const std::string err = dir.file("stderr");
  for (const char* format : {"table", "json"}) {
    CliRun full = Spawn({VELLMARK_CLI, "analyse", "--format", format, cdot}, "/dev/full", err);
    EXPECT_EQ(full.status, kExitFailures) << format;
    EXPECT_EQ(full.err, "vellmark-cli: cannot write the output: No space left on device\n") << format;
  }
  EXPECT_EQ(Spawn({VELLMARK_CLI, "probe", cdot}, "/dev/null", err).status, kExitOk);
  EXPECT_EQ(Spawn({VELLMARK_CLI, "analyse"}, "/dev/full", err).status, kExitUsage);

  // No path or file text can reach a shell if nothing can start one.
  CliRun listed = Spawn({"nm", "-D", "--undefined-only", VELLMARK_CLI}, dir.file("symbols"), err);
  if (listed.status == -1) GTEST_SKIP() << "nm is not installed";
  const std::set<std::string> forbidden = {"system", "popen", "execl", "execlp", "execle", "execv", "execve",
                                           "execvp", "execvpe", "fexecve", "fork", "vfork", "posix_spawn",
                                           "posix_spawnp", "wordexp", "clone", "clone3"};
  std::istringstream lines(Read(dir.file("symbols")));
  for (std::string line; std::getline(lines, line);)
    EXPECT_EQ(forbidden.count(line.substr(line.find_last_of(' ') + 1, line.find('@') - line.find_last_of(' ') - 1)), 0u)
        << line;
}

TEST(CliHostile, SpecialFilesNeverBlockAndOddNamesComeOutIntact) {
  TempDir dir;
  std::vector<Bytes> records;
  for (const auto& stamp : testdata::EwsdStamps(5, {26, 3, 18, 9, 0, 0}, 60))
    records.push_back(testdata::EwsdRecordBytes(testdata::EwsdCall(stamp)));
  const Bytes calls = testdata::EwsdFile(records);
  // Special files: a FIFO (nobody writes to it), a socket, a folder, links that lead nowhere.
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, dir.file("sock").c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  fs::create_directory(dir.file("folder"));
  fs::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  fs::create_symlink(dir.file("loop-b"), dir.file("loop-a"));
  fs::create_symlink(dir.file("loop-a"), dir.file("loop-b"));
  const std::vector<std::string> special = {fifo, dir.file("sock"), dir.file("folder"), dir.file("dangling"),
                                            dir.file("loop-a")};
  // A name with a newline, quotes, a tab, an escape, bytes that are not UTF-8 and what
  // a shell would run; and the same name at the end of a path of 4000 characters.
  const std::string oddName = "call \"log\"\tnew\nline \x1b[31m \xff\xfe\xc3 $(touch PWNED) `touch PWNED`;x.ama";
  const std::string odd = dir.write(oddName, calls);
  std::string longOne = dir.path();
  while (longOne.size() + 201 + oddName.size() + 40 < 4000) fs::create_directory(longOne += "/" + std::string(200, 'd'));
  longOne += "/" + std::string(4000 - longOne.size() - 1 - oddName.size(), 'n') + oddName;
  dir.write(longOne.substr(dir.path().size() + 1), calls);
  const std::vector<std::string> paths = {odd, longOne};

  auto run = [&](Arguments args) {  // a blocked open fails the test instead of hanging it
    args.insert(args.end(), special.begin(), special.end());
    args.insert(args.end(), paths.begin(), paths.end());
    auto result = std::async(std::launch::async, [&] { return Cli(args); });
    while (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "blocked on a special file";
      ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    CliRun r = result.get();
    EXPECT_EQ(r.status, kExitFailures);
    return r;
  };
  std::string dashes;
  for (const auto& path : special) dashes += "-\t" + path + "\n";
  EXPECT_EQ(run({"probe"}).out, dashes + "EWSD\t" + EscapeForLine(odd) + "\nEWSD\t" + EscapeForLine(longOne) + "\n");

  CliRun table = run({"analyse"});  // one line per entry, control bytes written as text
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 8);
  EXPECT_EQ(table.out.find_first_of("\t\x1b"), std::string::npos);
  CliRun json = run({"analyse", "--format", "json"});  // valid UTF-8, the exact bytes recoverable
  EXPECT_EQ(JsonPaths(json.out), paths);
  EXPECT_EQ(CharacterCount(json.out), json.out.size());
  auto rows = ParseCsv(run({"analyse", "--format", "csv"}).out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{rows[1][1], rows[2][1], rows[2][5]}),
            (std::vector<std::string>{odd, longOne, "5"}));
  const std::string report = dir.file("odd.vmr");
  CliRun vmr = run({"analyse", "--format", "vmr", "-o", report, "--xlsx", dir.file("odd.xlsx")});
  EXPECT_EQ(Read(report), vmr.out);
  EXPECT_EQ(std::count(vmr.out.begin(), vmr.out.end(), '\n'), 8);
  auto entries = ParseReport(vmr.out);
  ASSERT_TRUE(entries && entries->size() == 2);
  EXPECT_EQ((*entries)[1].records, 5u);
  EXPECT_GT(fs::file_size(dir.file("odd.xlsx")), 1000u);
  for (const auto& folder : {fs::current_path(), fs::path(dir.path())})
    EXPECT_FALSE(fs::exists(folder / "PWNED")) << folder;
  ::close(sock);
}

// The samples, with files whose results depend on the files before them or that fail,
// in an order that makes every job's thread matter.
std::vector<std::string> MixedList(const TempDir& dir) {
  std::vector<std::string> paths;
  for (const auto& sample : testdata::AllSamples()) paths.push_back(dir.write(sample.name, sample.bytes));
  // An OCB file without its block mark reads in the layout of the OCB file before it.
  testdata::OcbFile unmarked, layoutB, layoutA;
  unmarked.blockMark = false;
  unmarked.blocks = testdata::OcbBlocksOf(testdata::OcbCalls(200, 45, 9 * 3600, 31), 26, 45);
  layoutB.layout = testdata::OcbLayout::B;
  layoutB.blocks = testdata::OcbBlocksOf(testdata::OcbCalls(60, 44, 3600, 17), 26, 44);
  layoutA.blocks = testdata::OcbBlocksOf(testdata::OcbCalls(90, 40, 7200, 13), 26, 40);
  paths.push_back(dir.write("B1.DAT", testdata::BuildOcbFile(layoutB)));
  paths.push_back(dir.write("unmarked1.DAT", testdata::BuildOcbFile(unmarked)));
  paths.push_back(dir.write("A1.DAT", testdata::BuildOcbFile(layoutA)));
  paths.push_back(dir.write("unmarked2.DAT", testdata::BuildOcbFile(unmarked)));
  // An unknown EWSD package: a message on stderr and a failed entry.
  testdata::EwsdRecord bad = testdata::EwsdCall({26, 5, 1, 10, 0, 0});
  bad.packages.push_back(Bytes{42, 0, 0});
  auto first = testdata::EwsdRecordBytes(testdata::EwsdCall({26, 5, 1, 9, 0, 0}));
  paths.push_back(dir.write("unknown.CDR", testdata::EwsdFile({first, first, testdata::EwsdRecordBytes(bad)})));
  paths.push_back(dir.file("missing.DAT"));
  paths.push_back(paths.front());  // refused: already listed
  return paths;
}

TEST(CliJobs, ReadsOnSeveralThreadsPrintWhatOneJobPrints) {
  TempDir dir;
  const std::vector<std::string> paths = MixedList(dir);
  auto analyse = [&](const std::string& format, int jobs) {
    Arguments args{"analyse", "--year", "2026", "--format", format, "--jobs", std::to_string(jobs)};
    args.insert(args.end(), paths.begin(), paths.end());
    return Cli(args);
  };
  for (const std::string format : {"json", "csv"}) {
    CliRun one = analyse(format, 1);
    ASSERT_EQ(one.status, kExitFailures) << one.err;  // the missing file and the unknown package
    EXPECT_TRUE(Has(one.err, "Contact The Programmer"));
    for (int jobs : {2, 16}) {
      CliRun many = analyse(format, jobs);
      EXPECT_EQ(std::tie(many.status, many.out, many.err), std::tie(one.status, one.out, one.err)) << jobs;
    }
  }
  // The layout memory did matter: the two unmarked copies read differently.
  auto rows = ParseCsv(analyse("csv", 2).out);
  std::vector<std::string> unmarked;
  for (const auto& row : rows)
    if (Has(row[1], "unmarked")) unmarked.push_back(row[3]);
  ASSERT_EQ(unmarked.size(), 2u);
  EXPECT_NE(unmarked[0], unmarked[1]);

  // Ctrl-C while the first file is read, after the others were read ahead: they still wait.
  std::atomic<int> laterReads{0};
  for (int jobs : {1, 2}) {
    ReaderTable readers;
    readers.add("OCB", [&](const std::string&, ReaderContext&) -> ReaderOutcome {
      for (int i = 0; i < 500 && jobs > 1 && laterReads < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      g_interrupts = 1;
      return CallRange{"a", "b", 1};
    });
    readers.add("CDOT", [&](const std::string&, ReaderContext&) -> ReaderOutcome {
      ++laterReads;
      return CallRange{"c", "d", 2};
    });
    AnalysisSession session(RealFileSystem(), readers);
    std::vector<std::string> files{dir.write("first.DAT", testdata::OcbSamples().front().bytes)};
    for (const char* name : {"c0.DAT", "c1.DAT", "c2.DAT"})
      files.push_back(dir.write(name, testdata::CdotSamples().front().bytes));
    session.OfferFiles(files);
    std::ostringstream err;
    std::unique_ptr<ReadAhead> ahead;
    if (jobs > 1) ahead = std::make_unique<ReadAhead>(session, jobs);
    CliObserver observer(session, err, false, ahead.get());
    EXPECT_TRUE(session.RunAnalysis(false, observer).stopped);
    ahead.reset();
    g_interrupts = 0;
    EXPECT_TRUE(observer.interrupted());
    for (std::size_t row = 1; row < 4; ++row) EXPECT_EQ(session.list().at(row).start, kWaitingStatus) << jobs;
  }
  EXPECT_EQ(laterReads, 3);  // read ahead, yet not shown
}

}  // namespace
}  // namespace vellmark::cli
