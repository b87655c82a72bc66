// A small program on the serial services, for tests that must run one as
// another user or with its own environment:
//   port_tool report            says why COM1 to COM4 cannot be used, as the
//                               program does at start-up (opening each)
//   port_tool look              the same, learnt without opening them
//   port_tool send COMn HEX...  opens COMn, writes the bytes, closes it
//   port_tool hold COMn         opens COMn, prints "held" (or "failed"), and
//                               holds it until standard input ends
// Exits 0, or 1 when the port does not open.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/devices/devicemap.h"
#include "platform/devices/port_listing.h"
#include "platform/kernel32.h"
#include "platform/process/environment.h"
#include "platform/serial/serial_trace.h"

int main(int argc, char** argv, char** envp) {
  // A program on the services: its environment's settings, as the
  // programs take them.
  const platform::EnvironmentSettings settings = platform::ParseEnvironment(envp);
  platform::SetComOverrides(settings.comDevices);
  platform::ApplyTraceSetting(settings.trace);
  if (argc == 2 && (std::strcmp(argv[1], "report") == 0 || std::strcmp(argv[1], "look") == 0)) {
    const auto check =
        argv[1][0] == 'r' ? platform::StateCheck::kOpen : platform::StateCheck::kLook;
    for (int n = 1; n <= 4; ++n) platform::ReportUnusablePort(n, check);
    return 0;
  }
  const bool hold = argc == 3 && std::strcmp(argv[1], "hold") == 0;
  if (!hold && (argc < 3 || std::strcmp(argv[1], "send") != 0)) return 2;
  HANDLE port = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  if (hold) {
    std::printf("%s\n", port != INVALID_HANDLE_VALUE ? "held" : "failed");
    std::fflush(stdout);
    char c;
    while (port != INVALID_HANDLE_VALUE && read(STDIN_FILENO, &c, 1) > 0) {
    }
  }
  if (port == INVALID_HANDLE_VALUE) return 1;
  std::vector<char> bytes;  // send
  for (int i = 3; i < argc; ++i)
    bytes.push_back(static_cast<char>(std::strtol(argv[i], nullptr, 16)));
  DWORD written = 0;
  WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
  CloseHandle(port);
  return 0;
}
