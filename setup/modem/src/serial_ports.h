// The serial ports a modem can sit on, and whether the user can open one.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace obnet {

// Whether a ttyS node has a UART behind it (the 8250 driver registers ports
// that do not exist).
using UartProbe = std::function<bool(const std::string& path)>;

// Asks the driver for the port's type; a node the user may not open is kept,
// so that the page can tell why it cannot be used.
bool uartPresent(const std::string& path);

// The ports under devRoot (normally "/dev"), as a person recognises them:
// the links in serial/by-id first (by name), then ttyS*, ttyUSB* and ttyACM*
// (each in numeric order), leaving out a node that a by-id link already
// names, and ttyS nodes that the probe rejects.
std::vector<std::string> listSerialPorts(const std::string& devRoot = "/dev",
                                         const UartProbe& probe = uartPresent);

struct PortCheck {
  int error = 0;      // 0: the port opened; else the errno of the attempt
  std::string group;  // the group that owns the device node, if known
};

// Opens the port for reading and writing, as pppd will, and closes it again.
PortCheck checkPortOpens(const std::string& path);

}  // namespace obnet
