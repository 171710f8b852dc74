// vellmark-cli as a process: Ctrl-C outside the pass, output that cannot be written,
// nothing that starts a program, thirty writers to one name; and Ctrl-C while files are read ahead on threads.
// What it prints for given command lines: golden_test.cpp.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "cli/cli_observer.h"
#include "cli/cli_run.h"
#include "cli/read_ahead.h"
#include "support/fault_injection.h"
#include "testdata/cdot.h"
#include "testdata/samples.h"

extern char** environ;

namespace vellmark::cli {
namespace {

namespace fs = std::filesystem;

// Runs a program to its end, no shell between, with stdout and stderr going to files:
// its status (-1 when it could not be started) and stderr.
CliRun Spawn(const std::vector<std::string>& argv, const std::string& out, const std::string& errFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int wstatus = 0;
  const bool ran = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0 &&
                   ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus);
  posix_spawn_file_actions_destroy(&actions);
  return {ran ? WEXITSTATUS(wstatus) : -1, "", ran ? ReadText(errFile) : ""};
}

struct CliProcess : ::testing::Test {
  testdata::TempDir dir;
  const std::string cdot = dir.write(testdata::CdotFileName("KOL1", 14, 2, 26), testdata::CdotFile(testdata::CdotCalls(1000)));
};

// Ctrl-C while a report is read or a file written ends the program at once, with
// status 130: the old files whole, no temporary file left.
TEST_F(CliProcess, CtrlCOutsideThePassEndsAtOnceLeavingNothing) {
  const std::string report = dir.file("day.vmr"), book = dir.write("day.xlsx", "old book");
  ASSERT_EQ(Cli({"analyse", "-o", report, cdot}).status, kExitOk);
  const std::string old = ReadText(report);
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
      FaultInjectingFileSystem faulty(RealFileSystem());
      faulty.before(step, [](const std::string&) { ::raise(SIGINT); });
      Cli(args, faulty);
      ::_exit(0);
    }
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    EXPECT_EQ(WEXITSTATUS(wstatus), 130) << args[0];
    EXPECT_EQ(ReadText(report), old);
    EXPECT_EQ(ReadText(book), "old book");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3) << args[0];
  }
}

TEST_F(CliProcess, OutputThatCannotBeWrittenIsAFailureAndNothingStartsAProgram) {
  const std::string err = dir.file("stderr");
  CliRun full = Spawn({VELLMARK_CLI, "analyse", "--format", "json", cdot}, "/dev/full", err);
  EXPECT_EQ(full.status, kExitFailures);
  EXPECT_EQ(full.err, "vellmark-cli: cannot write the output: No space left on device\n");
  EXPECT_EQ(Spawn({VELLMARK_CLI, "probe", cdot}, "/dev/null", err).status, kExitOk);
  EXPECT_EQ(Spawn({VELLMARK_CLI, "analyse"}, "/dev/full", err).status, kExitUsage);

  // No path or file text can reach a shell if nothing can start one.
  CliRun listed = Spawn({"nm", "-D", "--undefined-only", VELLMARK_CLI}, dir.file("symbols"), err);
  if (listed.status == -1) GTEST_SKIP() << "nm is not installed";
  const std::set<std::string> forbidden = {"system", "popen", "execl", "execlp", "execle", "execv", "execve",
                                           "execvp", "execvpe", "fexecve", "fork", "vfork", "posix_spawn",
                                           "posix_spawnp", "wordexp", "clone", "clone3"};
  std::istringstream lines(ReadText(dir.file("symbols")));
  for (std::string line; std::getline(lines, line);)
    EXPECT_EQ(forbidden.count(line.substr(line.find_last_of(' ') + 1, line.find('@') - line.find_last_of(' ') - 1)), 0u)
        << line;
}

// Thirty runs writing one new name at once, each held at a gate until all have started:
// exactly one writes it, each other one fails and says why.
TEST_F(CliProcess, ParallelWritersToOneNameOneWins) {
  const std::string target = dir.file("one.vmr"), gate = dir.file("gate");
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  const int opened = ::open(gate.c_str(), O_RDWR);
  std::vector<CliRun> runs(30);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < runs.size(); ++i)
    threads.emplace_back([&, i] {
      runs[i] = Spawn({"/bin/sh", "-c", "read x <\"$0\"; exec \"$@\"", gate, VELLMARK_CLI, "analyse", "-o", target, cdot},
                      "/dev/null", dir.file("err" + std::to_string(i)));
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(::write(opened, std::string(30, '\n').data(), 30), 30);
  for (auto& t : threads) t.join();
  ::close(opened);
  int won = 0;
  for (const CliRun& run : runs) {
    won += run.status == kExitOk;
    if (run.status != kExitOk)
      EXPECT_EQ(std::to_string(run.status) + " " + run.err,
                "1 vellmark-cli analyse: " + target + " exists; --force replaces it\n");
  }
  EXPECT_EQ(won, 1);
}

// Ctrl-C while the first file is read, after the others were read ahead: they still wait.
TEST_F(CliProcess, CtrlCDuringTheFirstReadLeavesTheFilesReadAheadWaiting) {
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
