// vellmark-cli: the analysis core without the window, for scripts and batch work.

#include <cerrno>
#include <cstring>
#include <iostream>
#include <unistd.h>

#include "cli/cli_observer.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
  vellmark::cli::InstallInterruptHandler();

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
