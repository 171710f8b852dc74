// vellmark-cli: the analysis core without the window, for scripts and batch work.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <unistd.h>

#include "cli/cli_observer.h"
#include "cli/commands.h"

namespace {

// The first Ctrl-C asks the pass to stop; the second ends the program.
void OnInterrupt(int) {
  if (vellmark::cli::g_interrupts.fetch_add(1) >= 1) _exit(130);
}

}  // namespace

int main(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);

  std::ios::sync_with_stdio(false);
  vellmark::cli::Arguments args(argv + 1, argv + argc);
  vellmark::cli::CliIo io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  int status = vellmark::cli::RunCli(args, io);
  // Output that never arrived (a full disk, a closed stdout) is a failure like any other.
  errno = 0;
  std::cout.flush();
  if (!std::cout) {
    int error = errno;
    std::cerr << "vellmark-cli: cannot write the output" << (error ? std::string(": ") + std::strerror(error) : "")
              << "\n";
    if (status == vellmark::cli::kExitOk) status = vellmark::cli::kExitFailures;
  }
  return status;
}
