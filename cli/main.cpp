// vellmark-cli: the analysis core without the window, for scripts and batch work.

#include <csignal>
#include <iostream>
#include <unistd.h>

#include "cli/cli_services.h"
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
  std::cout.flush();
  return status;
}
