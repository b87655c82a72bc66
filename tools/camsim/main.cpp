// corvane-camsim: the simulated camera as a program. Prints the slave's path
// first, then serves until SIGINT or SIGTERM, and exits 0 after cleaning up
// (the line closed, the link removed). Usage errors exit 2, start-up
// failures 1.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "tools/camsim/args.h"
#include "tools/camsim/camsim.h"

int main(int argc, char** argv) {
  camsim::CamsimOptions options;
  std::string error;
  switch (camsim::ParseArgs(argc, argv, &options, &error)) {
    case camsim::ParseResult::kHelp:
      std::fputs(camsim::UsageText(), stdout);
      return 0;
    case camsim::ParseResult::kError:
      std::fprintf(stderr, "corvane-camsim: %s\n", error.c_str());
      return 2;
    case camsim::ParseResult::kRun:
      break;
  }
  // Block the stop signals before the camera's thread exists, so that it
  // inherits the mask and only sigwait below ever takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A reader that has gone away must not end the camera when it prints the
  // line it comes back on.
  std::signal(SIGPIPE, SIG_IGN);

  options.onNewLine = [](const std::string& path) {
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
  };
  auto cam = camsim::Camsim::Start(options, &error);
  if (!cam) {
    std::fprintf(stderr, "corvane-camsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", cam->SlavePath().c_str());
  std::fflush(stdout);

  int sig = 0;
  sigwait(&stopSignals, &sig);
  cam.reset();
  return 0;
}
