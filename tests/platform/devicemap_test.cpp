// The COM device map and the port listing over a machine of the test's
// own: a tree of directories, files and relative symbolic links shaped as
// sysfs and /dev are, one group per rule of the map.
#include "platform/devices/devicemap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/devices/port_listing.h"
#include "testing/serial_faults.h"
#include "testing/temp_dir.h"
#include "tests/platform/serial_fixture.h"

namespace {

namespace fs = std::filesystem;
using platform::ComDevicePath;
using platform::ComNumber;
using platform::MachineComMap;
using platform::ScanSerialDevices;

// A machine under a temporary root: serial devices as sysfs shows them,
// their nodes in dev/ (plain files, or links to a real pseudo-terminal).
class FakeMachine {
 public:
  FakeMachine() {
    fs::create_directories(root_ / "sys/class/tty");
    fs::create_directories(root_ / "dev");
    // What every machine has and the map must pass over: a virtual
    // terminal (no device) and the console.
    Dir("sys/devices/virtual/tty/tty0");
    Link("sys/class/tty/tty0", "sys/devices/virtual/tty/tty0");
  }
  std::string root() const { return root_.string(); }

  // ttyS<n> on the PNP bus; type 0 is the 8250 driver's placeholder.
  void Uart(int n, int type) {
    const std::string name = "ttyS" + std::to_string(n);
    const std::string dev = "sys/devices/pnp0/00:0" + std::to_string(n);
    Driver(dev, "pnp", "serial");
    Class(name, dev + "/tty/" + name, dev);
    File("sys/class/tty/" + name + "/type", std::to_string(type));
    Node(name);
  }
  // A USB adapter at port p of the root hub: the USB device (ids and
  // texts), its interface, and the tty: under a usb-serial port device for
  // ttyUSB, straight under the interface for ttyACM; and its by-id link.
  void Usb(const std::string& name, int p, const std::string& driver, const std::string& ids,
           const std::string& manufacturer, const std::string& product, bool byId = true) {
    const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(p);
    File(usb + "/idVendor", ids.substr(0, 4));
    File(usb + "/idProduct", ids.substr(5));
    if (!manufacturer.empty()) File(usb + "/manufacturer", manufacturer);
    File(usb + "/product", product);
    const std::string interface = usb + "/1-" + std::to_string(p) + ":1.0";
    Driver(interface, "usb", driver);
    std::string device = interface;
    if (name.rfind("ttyUSB", 0) == 0) {
      device = interface + "/" + name;
      Driver(device, "usb-serial", driver);
    }
    Class(name, device + "/tty/" + name, device);
    Node(name);
    if (byId) Link("dev/serial/by-id/usb-" + product + "-if00", "dev/" + name);
  }
  // The tty and its node go; the USB device stays for the next Usb() there.
  void Unplug(const std::string& name) {
    fs::remove(root_ / "sys/class/tty" / name);
    fs::remove(root_ / "dev" / name);
  }
  // The node of a device is a link to path (a pseudo-terminal, say).
  void NodeTo(const std::string& name, const std::string& path) {
    fs::remove(root_ / "dev" / name);
    fs::create_symlink(path, root_ / "dev" / name);
  }

 private:
  void Dir(const std::string& rel) { fs::create_directories(root_ / rel); }
  void File(const std::string& rel, const std::string& text) {
    fs::create_directories((root_ / rel).parent_path());
    std::ofstream(root_ / rel) << text << "\n";
  }
  void Link(const std::string& rel, const std::string& to) {
    fs::create_directories((root_ / rel).parent_path());
    fs::create_directories((root_ / to).parent_path());
    fs::remove(root_ / rel);
    fs::create_symlink(fs::relative(root_ / to, (root_ / rel).parent_path()), root_ / rel);
  }
  void Driver(const std::string& device, const std::string& bus, const std::string& driver) {
    Dir(device);
    Dir("sys/bus/" + bus + "/drivers/" + driver);
    Link(device + "/driver", "sys/bus/" + bus + "/drivers/" + driver);
  }
  void Class(const std::string& name, const std::string& classDir, const std::string& device) {
    Dir(classDir);
    Link(classDir + "/device", device);
    Link("sys/class/tty/" + name, classDir);
  }
  void Node(const std::string& name) { File("dev/" + name, ""); }

  testsupport::TempDir dir_{"sysfs"};
  fs::path root_ = dir_.path();
};

// One record on a line: COM name, path, [by-id], driver, vendor:product,
// 'manufacturer' 'product', state: reason.
std::string Row(const platform::PortRecord& r) {
  static const char* const kStates[] = {"free", "in use", "no permission", "missing", "failed"};
  return r.comName + " " + r.path + " [" + r.byId + "] " + r.driver + " " + r.usbId + " '" +
         r.manufacturer + "' '" + r.product + "' " + kStates[static_cast<int>(r.state)] + ": " +
         r.reason;
}

std::map<int, std::string> MapOf(const FakeMachine& m) {
  return MachineComMap(ScanSerialDevices(m.root()));
}

TEST(ComNames, OnlyCom1ToCom255AreComNames) {
  EXPECT_EQ(ComNumber("COM3").value_or(0), 3);
  EXPECT_EQ(ComNumber("com1").value_or(0), 1);
  EXPECT_EQ(ComNumber("\\\\.\\COM255").value_or(0), 255);
  for (const char* name :
       {"", "COM", "COM0", "COM256", "COM01", "COM-1", "LPT1", "/dev/ttyS0", "COM1 ", "XCOM1"}) {
    EXPECT_FALSE(ComNumber(name).has_value()) << name;
  }
  EXPECT_FALSE(ComNumber(nullptr).has_value());
}

TEST(DeviceMapRules, ComNIsTtySnMinus1OnlyWhereAUartIsBehindIt) {
  FakeMachine m;
  m.Uart(0, 4);
  m.Uart(1, 0);  // placeholder
  m.Uart(2, 4);
  m.Uart(3, 0);
  const auto map = MapOf(m);
  EXPECT_EQ(map, (std::map<int, std::string>{{1, "/dev/ttyS0"}, {3, "/dev/ttyS2"}}));
}

TEST(DeviceMapRules, UsbAndAcmDevicesTakeTheFreeNumbersInNameOrder) {
  FakeMachine m;
  m.Uart(0, 0);
  m.Uart(1, 4);
  m.Usb("ttyUSB10", 1, "ftdi_sio", "0403:6001", "FTDI", "FT232R_USB_UART");
  m.Usb("ttyUSB2", 2, "cp210x", "10c4:ea60", "Silicon Labs", "CP2102");
  m.Usb("ttyACM0", 3, "cdc_acm", "2341:0043", "", "Uno");
  const auto map = MapOf(m);
  const std::string id = "/dev/serial/by-id/usb-";
  EXPECT_EQ(map, (std::map<int, std::string>{{1, id + "Uno-if00"},
                                             {2, "/dev/ttyS1"},
                                             {3, id + "CP2102-if00"},
                                             {4, id + "FT232R_USB_UART-if00"}}));
}

TEST(DeviceMapRules, CorvaneComNReplacesThatNumberOnly) {
  FakeMachine m;
  m.Usb("ttyUSB0", 1, "ch341", "1a86:7523", "", "USB_Serial");
  m.Usb("ttyUSB1", 2, "pl2303", "067b:2303", "Prolific", "USB-Serial_Controller");
  const auto map = MapOf(m);
  platform::SetComOverrides({{1, "/tmp/camera-link"}, {2, ""}});  // empty counts as unset
  EXPECT_EQ(ComDevicePath(1, map).value_or(""), "/tmp/camera-link");
  EXPECT_EQ(ComDevicePath(2, map).value_or(""), "/dev/serial/by-id/usb-USB-Serial_Controller-if00");
  EXPECT_FALSE(ComDevicePath(3, map).has_value());
  platform::SetComOverrides({});
}

// An adapter with a by-id link is mapped by the link, a device without one
// by its node. Replugged (ttyUSB0 gone, the adapter back as ttyUSB1 and its
// link leading there), the COM number of the map read before opens ttyUSB1,
// which the trace and the messages name.
TEST(DeviceMapRules, AnAdapterIsMappedByItsByIdLinkAndReachedAgainAfterAReplug) {
  FakeMachine m;
  corvane_test::Pty after;
  m.Usb("ttyACM0", 1, "cdc_acm", "2341:0043", "", "Uno", false);
  m.Usb("ttyUSB0", 2, "ftdi_sio", "0403:6001", "FTDI", "FT232R_USB_UART");
  const auto map = MapOf(m);
  const std::string link = "/dev/serial/by-id/usb-FT232R_USB_UART-if00";
  EXPECT_EQ(map, (std::map<int, std::string>{{1, "/dev/ttyACM0"}, {2, link}}));

  m.Unplug("ttyUSB0");
  m.Usb("ttyUSB1", 2, "ftdi_sio", "0403:6001", "FTDI", "FT232R_USB_UART");
  m.NodeTo("ttyUSB1", after.path());
  // COM2 as the program opens it, at the map's path under the test's root.
  testsupport::ComPorts com({"", m.root() + link});
  const std::string trace = m.root() + "/trace";
  testsupport::TraceTo(trace.c_str());
  HANDLE h = corvane_test::OpenCom("COM2");
  testsupport::TraceTo(nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(h);
  std::string opened;
  std::getline(std::ifstream(trace), opened);
  EXPECT_NE(opened.find(" COM2 OPEN " + m.root() + link + " -> " + after.path()), std::string::npos)
      << opened;
  EXPECT_EQ(platform::PortLabel("COM2", m.root() + link),
            "COM2 (" + m.root() + link + " -> " + m.root() + "/dev/ttyUSB1)");
}

TEST(DeviceMapRules, WithoutSysfsComNIsTtySnMinus1) {
  testsupport::TempDir root("nosysfs");
  const auto map = MachineComMap(ScanSerialDevices(root.path()));
  EXPECT_EQ(map.at(1), "/dev/ttyS0");
  EXPECT_EQ(map.at(255), "/dev/ttyS254");
}

// Each device once, with what sysfs says of it and whether it opens. The
// machine maps COM1 to an ACM device whose node has gone, COM2 to a UART,
// COM3 to an adapter whose node is a real pseudo-terminal and COM4 to a
// second adapter, which the user's CORVANE_COM4 displaces: it comes last,
// with no COM name.
TEST(PortListing, OneRecordPerDeviceWithItsDescriptionAndState) {
  FakeMachine m;
  corvane_test::Pty pty, mine;
  m.Uart(0, 0);
  m.Uart(1, 4);
  m.Usb("ttyACM0", 1, "cdc_acm", "2341:0043", "", "Uno");
  m.NodeTo("ttyACM0", "/nonexistent/ttyACM0");
  m.Usb("ttyUSB0", 2, "ftdi_sio", "0403:6001", "FTDI", "FT232R_USB_UART");
  m.NodeTo("ttyUSB0", pty.path());
  m.Usb("ttyUSB1", 3, "cp210x", "10c4:ea60", "Silicon Labs", "CP2102");
  platform::SetComOverrides({{4, mine.path()}});

  const auto records = platform::ListSerialPorts(platform::StateCheck::kLook, m.root());
  platform::SetComOverrides({});
  std::vector<std::string> rows;
  for (const auto& r : records) rows.push_back(Row(r));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "COM1 /dev/ttyACM0 [/dev/serial/by-id/usb-Uno-if00] cdc_acm 2341:0043 "
                      "'' 'Uno' missing: does not exist",
                      "COM2 /dev/ttyS1 [] serial  '' '' free: ",
                      "COM3 /dev/ttyUSB0 [/dev/serial/by-id/usb-FT232R_USB_UART-if00] ftdi_sio "
                      "0403:6001 'FTDI' 'FT232R_USB_UART' free: ",
                      "COM4 " + mine.path() + " []   '' '' free: ",
                      " /dev/ttyUSB1 [/dev/serial/by-id/usb-CP2102-if00] cp210x 10c4:ea60 "
                      "'Silicon Labs' 'CP2102' free: ",
                  }));
}

}  // namespace
