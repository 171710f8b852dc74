// vellmark-cli ends with 1 on every failure it reports (2 for usage errors), says why,
// and never starts a shell.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <sstream>

#include "cli/cli_run.h"
#include "cli/cli_observer.h"
#include "cli/commands.h"
#include "support/fault_injection.h"
#include "reports/text_report.h"
#include "testdata/bytes.h"
#include "testdata/cdot.h"
#include "testdata/report_entries.h"

extern char** environ;

namespace vellmark::cli {
namespace {

using testdata::Bytes;
using testdata::TempDir;


std::string Read(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs a program with stdout going to `out` and stderr captured; no shell between.
CliRun Spawn(const std::vector<std::string>& argv, const char* out, const std::string& errFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {-1, "", ""};
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, "", Read(errFile)};
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

  // A reader that fails, read on the pass's thread or ahead on others.
  faulty.failReadsFrom(20000, EIO);
  for (const char* jobs : {"1", "4"}) {
    CliRun failed = Cli({"analyse", "--jobs", jobs, "--format", "json", cdot}, faulty);
    EXPECT_EQ(failed.status, kExitFailures) << jobs;
    EXPECT_EQ(failed.err, "failed: " + cdot + ": read: Input/output error\n") << jobs;
    EXPECT_TRUE(Has(failed.out, "\"error\":\"Input/output error\",\"error_kind\":\"read\"")) << failed.out;
  }
  faulty.clear();

  // A file its reader finds corrupt: EWSD records too short for their flags byte.
  Bytes pairs;
  for (int i = 0; i < 600; ++i) pairs.insert(pairs.end(), {0x84, 0x02});
  const std::string corrupt = dir.write("short.ama", pairs);
  CliRun bad = Cli({"analyse", "--format", "csv", corrupt});
  EXPECT_EQ(bad.status, kExitFailures);
  EXPECT_TRUE(Has(bad.err, "failed: " + corrupt + ": corrupt: ")) << bad.err;

  // Ctrl-C: the pass stops, the list is still printed.
  g_interrupts = 1;
  CliRun stopped = Cli({"analyse", "--jobs", "1", cdot, corrupt});
  g_interrupts = 0;
  EXPECT_EQ(stopped.status, kExitFailures);
  EXPECT_TRUE(Has(stopped.err, "stopped: the analysis was interrupted\n")) << stopped.err;
  EXPECT_TRUE(Has(stopped.out, "Total Records: 1000\n")) << stopped.out;

  // A report or workbook that cannot be written; the old report stays.
  const std::string report = dir.write("old.vmr", "old report");
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
  EXPECT_TRUE(Has(noBook.err, "Input/output error")) << noBook.err;
  faulty.clear();
  CliRun exists = Cli({"analyse", "-o", report, cdot});
  EXPECT_EQ(exists.status, kExitFailures);
  EXPECT_EQ(Read(report), "old report");
}

TEST_F(CliFailures, OpenAndExportEndWithOneWhenAReportCannotBeReadOrWritten) {
  const std::string report = dir.write("day.vmr", ReportText(testdata::ThreeAnalysedEntries(), testdata::FixedTime()));
  EXPECT_EQ(Cli({"open", report}).status, kExitOk);

  faulty.failReadsFrom(300, EIO);
  CliRun unread = Cli({"open", "--format", "json", report}, faulty);
  EXPECT_EQ(unread.status, kExitFailures);
  EXPECT_EQ(unread.out, "");
  EXPECT_EQ(unread.err, "Vellmark: Could not open " + report + ": Input/output error\n");
  CliRun notExported = Cli({"export", report, "-o", dir.file("a.xlsx")}, faulty);
  EXPECT_EQ(notExported.status, kExitFailures);
  EXPECT_TRUE(Has(notExported.err, "Input/output error")) << notExported.err;
  faulty.clear();

  const std::string book = dir.write("b.xlsx", "old workbook");
  faulty.failWritesAfter(100, ENOSPC);
  CliRun full = Cli({"export", report, "-o", book, "--force"}, faulty);
  EXPECT_EQ(full.status, kExitFailures);
  EXPECT_TRUE(Has(full.err, "No space left on device")) << full.err;
  EXPECT_EQ(Read(book), "old workbook");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no temporary left
}

TEST_F(CliFailures, OutputThatCannotBeWrittenIsAFailure) {
  // stdout on a full disk: the list never arrived.
  const std::string err = dir.file("stderr");
  for (const char* format : {"table", "json"}) {
    CliRun full = Spawn({VELLMARK_CLI, "analyse", "--format", format, cdot}, "/dev/full", err);
    EXPECT_EQ(full.status, kExitFailures) << format;
    EXPECT_EQ(full.err, "vellmark-cli: cannot write the output: No space left on device\n") << format;
  }
  EXPECT_EQ(Spawn({VELLMARK_CLI, "probe", cdot}, "/dev/full", err).status, kExitFailures);
  EXPECT_EQ(Spawn({VELLMARK_CLI, "probe", cdot}, "/dev/null", err).status, kExitOk);
  // A usage error stays one.
  EXPECT_EQ(Spawn({VELLMARK_CLI, "analyse"}, "/dev/full", err).status, kExitUsage);
}

TEST(CliNoShell, TheProgramImportsNothingThatStartsAProgram) {
  // No path or file text can reach a shell if nothing can start one.
  TempDir dir;
  const std::string symbols = dir.file("symbols");
  CliRun listed = Spawn({"nm", "-D", "--undefined-only", VELLMARK_CLI}, symbols.c_str(), dir.file("err"));
  if (listed.status == -1) GTEST_SKIP() << "nm is not installed";
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::set<std::string> forbidden = {"system", "popen", "execl", "execlp", "execle", "execv", "execve",
                                           "execvp", "execvpe", "fexecve", "fork", "vfork", "posix_spawn",
                                           "posix_spawnp", "wordexp", "clone", "clone3"};
  std::istringstream lines(Read(symbols));
  int imported = 0;
  for (std::string line; std::getline(lines, line);) {
    std::string name = line.substr(line.find_last_of(' ') + 1);
    name = name.substr(0, name.find('@'));
    EXPECT_EQ(forbidden.count(name), 0u) << name;
    ++imported;
  }
  EXPECT_GT(imported, 10);
}

}  // namespace
}  // namespace vellmark::cli
