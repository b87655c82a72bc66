// The serial devices of the machine, as sysfs and /dev describe them. All
// reading goes through one root directory: "/" for the machine, or a tree
// of directories, files and relative symbolic links that a test builds in
// the same shape (sys/class/tty/<name>/{device,type}, sys/devices/...,
// dev/serial/by-id/<link>). Plain POSIX, no Win32. Any thread.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct SerialDevice {
  std::string name;          // kernel name: "ttyS0", "ttyUSB0", "ttyACM0"
  std::string path;          // "/dev/<name>", the node that is opened (under the root)
  std::string byId;          // "/dev/serial/by-id/<link>" when a link there names it, else ""
  std::string driver;        // the driver of its sysfs device: "ftdi_sio", "cdc_acm", "serial"...
  std::string usbId;         // USB vendor:product in hex ("0403:6001"), "" if not USB
  std::string manufacturer;  // the USB device's own texts, "" when it has none
  std::string product;
};

struct SerialDevices {
  // False when root/sys/class/tty cannot be read (no sysfs): nothing then
  // tells real UARTs from placeholders.
  bool sysfs = false;
  // ttyS<n> with a UART behind it (sysfs "type" not 0; the 8250 driver also
  // creates placeholders, of type 0, with no hardware), by number.
  std::vector<SerialDevice> uarts;
  // The USB serial and ACM devices (those whose sysfs device sits under a
  // USB device), in name order with numbers compared as numbers (ttyACM0,
  // ttyUSB2, ttyUSB10).
  std::vector<SerialDevice> usb;
};

// Reads the devices under root (a directory; "/" for the machine).
SerialDevices ScanSerialDevices(const std::string& root = "/");

}  // namespace platform
