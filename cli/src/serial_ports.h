// The serial ports of this machine and the simulator's ports, as `vexctl
// ports` lists them: /dev/serial/by-id names first, then the kernel's
// ttyS*, ttyUSB* and ttyACM* nodes (each in numeric order, a node a by-id
// link names left out), then the entries of the port directory.
#pragma once

#include <string>
#include <vector>

namespace vx::cli {

struct SerialPort {
  std::string name;     // what --port takes
  std::string device;   // the kernel's name it leads to (ttyUSB0), or the simulator's socket
  std::string driver;   // the tty's driver (ftdi_sio, serial); "simulator" for a port directory entry
  bool simulated = false;
  bool accessible = false;  // this user may open it for reading and writing
  std::string group;        // when not: the group whose members may
};

struct PortRoots {
  std::string dev = "/dev";
  std::string sysTty = "/sys/class/tty";
  std::string portDir;  // the simulator's port directory ("" for none)
};

// A ttyS node is listed only when the kernel has a device behind it whose
// port type (the sysfs "type" attribute, readable without opening the
// node) is not 0: the 8250 driver registers ports that do not exist.
std::vector<SerialPort> listSerialPorts(const PortRoots& roots);

}  // namespace vx::cli
