// ports: the COM device map and every serial device found, as a table on
// standard output.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/devices/devicemap.h"
#include "platform/devices/port_listing.h"

namespace cli {
namespace {

using platform::PortRecord;

// The COM numbers that always get a line, whether or not a device is there.
constexpr int kDialogPorts = 4;

int ComOrder(const PortRecord& r) {
  const auto n = platform::ComNumber(r.comName.c_str());
  return n ? *n : INT_MAX;
}

std::string OrDash(const std::string& text) {
  return text.empty() ? "-" : text;
}

}  // namespace

int RunPorts(const CommonOptions&, const PortsOptions& options) {
  const platform::StateCheck check =
      options.probe ? platform::StateCheck::kOpen : platform::StateCheck::kLook;
  std::vector<PortRecord> records = platform::ListSerialPorts(check);
  // The listing leaves out a COM number that names no device (or the
  // device of a lower number); COM1 to COM4 are shown all the same.
  for (int n = 1; n <= kDialogPorts; ++n) {
    const std::string name = platform::ComName(n);
    if (std::none_of(records.begin(), records.end(),
                     [&](const PortRecord& r) { return r.comName == name; })) {
      records.push_back(platform::ProbeComPort(n, check));
    }
  }
  std::stable_sort(records.begin(), records.end(), [](const PortRecord& a, const PortRecord& b) {
    return ComOrder(a) < ComOrder(b);
  });

  std::vector<std::vector<std::string>> rows = {
      {"PORT", "PATH", "BY-ID", "DRIVER", "USB ID", "PRODUCT", "STATE"}};
  for (const PortRecord& r : records) {
    std::string product = r.manufacturer;
    if (!r.product.empty()) product += (product.empty() ? "" : " ") + r.product;
    const std::string byId = r.byId.substr(r.byId.rfind('/') + 1);
    rows.push_back({OrDash(r.comName), OrDash(r.path), OrDash(byId), OrDash(r.driver),
                    OrDash(r.usbId), OrDash(product), platform::PortStateText(r.state, r.reason)});
  }
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i + 1 < row.size(); ++i) {
      line += row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
    }
    line += row.back();
    std::printf("%s\n", line.c_str());
  }
  return std::fflush(stdout) == 0 ? kExitDone : kExitBadInput;
}

}  // namespace cli
