#include "platform/devices/serial_devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace platform {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, "" when it cannot be read.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// Where a symbolic link leads, made absolute and without "..": sysfs and
// /dev/serial/by-id use relative links, which stay inside the root.
fs::path Resolve(const fs::path& link) {
  std::error_code ec;
  fs::path to = fs::canonical(link, ec);
  return ec ? fs::path() : to;
}

// The entries of a directory (none when it cannot be read); never throws.
std::vector<fs::path> Entries(const fs::path& dir, bool* readable = nullptr) {
  std::vector<fs::path> entries;
  std::error_code ec;
  fs::directory_iterator it(dir, ec), end;
  if (readable != nullptr) *readable = !ec;
  for (; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
  return entries;
}

std::string LinkName(const fs::path& link) {
  return Resolve(link).filename().string();
}

// "ttyUSB10" -> ("ttyUSB", 10); a name without a number sorts first.
std::pair<std::string, long> SplitName(const std::string& name) {
  std::size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  const std::string tail = name.substr(digits);
  return {name.substr(0, digits), tail.empty() || tail.size() > 9 ? -1 : std::stol(tail)};
}

bool NameOrder(const SerialDevice& a, const SerialDevice& b) {
  return SplitName(a.name) < SplitName(b.name);
}

// The driver of a device: the sysfs device's own, or, for the serial core's
// port objects (bus "serial-base"), that of the hardware they belong to.
std::string Driver(fs::path device, const fs::path& devices) {
  for (; device.has_relative_path() && device != devices; device = device.parent_path()) {
    if (LinkName(device / "subsystem") == "serial-base") continue;
    return LinkName(device / "driver");
  }
  return "";
}

// Fills the USB fields when the device sits under a USB device (a directory
// with idVendor); false when it does not.
bool DescribeUsb(fs::path device, const fs::path& devices, SerialDevice* d) {
  for (; device.has_relative_path() && device != devices; device = device.parent_path()) {
    const std::string vendor = Attribute(device / "idVendor");
    if (vendor.empty()) continue;
    d->usbId = vendor + ":" + Attribute(device / "idProduct");
    d->manufacturer = Attribute(device / "manufacturer");
    d->product = Attribute(device / "product");
    return true;
  }
  return false;
}

}  // namespace

SerialDevices ScanSerialDevices(const std::string& root) {
  SerialDevices found;
  const fs::path base(root);
  const fs::path ttys = base / "sys/class/tty";
  const fs::path devices = Resolve(base / "sys/devices");
  const std::vector<fs::path> entries = Entries(ttys, &found.sysfs);

  // by-id links, by the name of the node they lead to.
  std::vector<std::pair<std::string, std::string>> byId;
  for (const fs::path& link : Entries(base / "dev/serial/by-id")) {
    // The node it names (one step: the node itself is no link).
    std::error_code ec;
    const fs::path to = fs::read_symlink(link, ec);
    if (!ec) byId.emplace_back(to.filename().string(), link.filename().string());
  }
  std::sort(byId.begin(), byId.end());

  for (const fs::path& entry : entries) {
    const std::string name = entry.filename().string();
    const fs::path device = Resolve(entry / "device");
    if (device.empty()) continue;  // a virtual terminal, a pseudo-terminal master...
    SerialDevice d;
    d.name = name;
    d.path = "/dev/" + name;
    d.driver = Driver(device, devices);
    for (const auto& [target, link] : byId) {
      if (target == name) {
        d.byId = "/dev/serial/by-id/" + link;
        break;
      }
    }
    if (DescribeUsb(device, devices, &d)) {
      found.usb.push_back(std::move(d));
    } else if (name.rfind("ttyS", 0) == 0 && SplitName(name).second >= 0 &&
               Attribute(entry / "type") != "0") {
      found.uarts.push_back(std::move(d));
    }
  }
  std::sort(found.uarts.begin(), found.uarts.end(), NameOrder);
  std::sort(found.usb.begin(), found.usb.end(), NameOrder);
  return found;
}

}  // namespace platform
