#include "platform/devices/devicemap.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

struct Overrides {
  std::mutex mutex;
  std::map<int, std::string> paths;
};

Overrides& TheOverrides() {
  static Overrides* overrides = new Overrides;  // never destroyed: see handles.cpp
  return *overrides;
}

}  // namespace

std::optional<int> ComNumber(const char* name) {
  if (name == nullptr) return std::nullopt;
  // The device namespace prefix "\\.\" may precede the name (needed on the
  // native system for COM10 and above).
  if (std::strncmp(name, "\\\\.\\", 4) == 0) name += 4;
  if (std::strlen(name) < 4) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  }
  const char* digits = name + 3;
  if (*digits < '1' || *digits > '9') return std::nullopt;
  int n = 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return std::nullopt;
    n = n * 10 + (*p - '0');
    if (n > kMaxComNumber) return std::nullopt;
  }
  return n;
}

std::string ComName(int n) {
  return "COM" + std::to_string(n);
}

std::map<int, std::string> MachineComMap(const SerialDevices& devices) {
  std::map<int, std::string> map;
  if (!devices.sysfs) {
    for (int n = 1; n <= kMaxComNumber; ++n) map[n] = "/dev/ttyS" + std::to_string(n - 1);
    return map;
  }
  for (const SerialDevice& uart : devices.uarts) {
    const int n = std::atoi(uart.name.c_str() + 4) + 1;  // "ttyS<n-1>"
    if (n >= 1 && n <= kMaxComNumber) map[n] = uart.path;
  }
  int next = 1;
  for (const SerialDevice& usb : devices.usb) {
    while (next <= kMaxComNumber && map.count(next) != 0) ++next;
    if (next > kMaxComNumber) break;
    // The by-id link names the adapter itself: replugged, it gets a new node
    // (ttyUSB0 -> ttyUSB1) while the old one may still be held open, and the
    // link follows it there.
    map[next] = usb.byId.empty() ? usb.path : usb.byId;
  }
  return map;
}

void SetComOverrides(const std::map<int, std::string>& overrides) {
  Overrides& o = TheOverrides();
  std::lock_guard<std::mutex> lock(o.mutex);
  o.paths.clear();
  for (const auto& [n, path] : overrides) {
    if (!path.empty()) o.paths[n] = path;
  }
}

void SetComOverride(int n, const std::string& path) {
  Overrides& o = TheOverrides();
  std::lock_guard<std::mutex> lock(o.mutex);
  if (path.empty()) {
    o.paths.erase(n);
  } else {
    o.paths[n] = path;
  }
}

std::map<int, std::string> ComOverrides() {
  Overrides& o = TheOverrides();
  std::lock_guard<std::mutex> lock(o.mutex);
  return o.paths;
}

std::optional<std::string> ComDevicePath(int n, const std::map<int, std::string>& machine) {
  {
    Overrides& o = TheOverrides();
    std::lock_guard<std::mutex> lock(o.mutex);
    if (const auto it = o.paths.find(n); it != o.paths.end()) return it->second;
  }
  const auto it = machine.find(n);
  if (it == machine.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> ComDevicePath(int n) {
  static const std::map<int, std::string> machine = MachineComMap(ScanSerialDevices("/"));
  return ComDevicePath(n, machine);
}

}  // namespace platform
