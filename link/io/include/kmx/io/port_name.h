// Where a port name leads, and what the link server of that port is called.
//
// A bare name D (no '/') is looked for as the entry D of the port directory
// (a link to a tty, or a UT simulator's socket), then as /dev/D, and for COMn
// as /dev/ttyS<n-1>; the first that exists is used. A name with a '/' is a
// path (/dev/ttyUSB0, /dev/pts/3, /dev/serial/by-id/...) and is used as it is.
//
// The named objects of a port are named by its key. A bare name that fits is
// its own key ('%' escaped as "%25"), so the objects of such names are those
// they always were; any other name is keyed by the device it leads to ("%c"
// and the device number for a tty, "%i" or "%h" for a socket), which is never
// a bare name's key. Two names of one device are brought to one link server
// by the port's claim (see kmx_port_claim.h), which is named by the device.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kmx::io {

enum class PortKind { Tty, Simulator };

struct ResolvedPort {
  std::string path;
  PortKind kind;
};

// The paths to try for `name`, in order (portDir may be empty: no port directory).
std::vector<std::string> candidatePaths(std::string_view name, const std::string& portDir);

// The first candidate that exists, with its kind (a socket is a simulator).
// nullopt with errno set when the name is empty, none exists (ENOENT), or a
// candidate exists but cannot be examined.
std::optional<ResolvedPort> resolvePort(std::string_view name);

// The longest key: the longest IPC object name (32) less the longest suffix
// put after a key ("999ClientIPC").
inline constexpr std::size_t kMaxPortKey = 20;

inline bool isPathName(std::string_view name) { return name.find('/') != std::string_view::npos; }

// The key of a bare name, or nullopt when the name is a path, empty, or too
// long once escaped.
std::optional<std::string> bareKey(std::string_view name);

// The device a name leads to, with everything needed to find its server.
struct PortDevice {
  std::string path;        // the device itself, every link followed
  PortKind kind;
  std::string identity;    // names the device whatever it is called; a valid object name
  std::string key;         // the key of this name
  std::string serverName;  // what the link server is started with: the bare name, or `path`
};

// Resolves `name` to its device. nullopt with errno set: ENOENT (no such
// port), EACCES (this user may not open it), ENOTTY (neither a tty nor a
// simulator's socket), EINVAL (empty), or the failing call's errno.
std::optional<PortDevice> locatePort(std::string_view name);

// The named mutex by which one program at a time has a port for its own
// (the script server's and the service tool's exclusive connections):
// "VEX_" and the device's name under /dev when it has a plain one there, so
// that ttyUSB0, /dev/ttyUSB0 and a by-id link to it claim one mutex; else
// "VEX_" and the device's identity. A port that cannot be found (nothing to
// claim yet) keeps its own name, a leading "/dev/" dropped and any other '/'
// made '_'.
std::string exclusiveClaimName(std::string_view name);

// Why `name` cannot be used as a port, in words and with what to do, for an
// errno value that locatePort gave: "ttyUSB9: no such serial port", or
// "/dev/ttyUSB0: permission denied; the group dialout may open it (sudo
// usermod -aG dialout $USER, then log in again)".
std::string describePortError(std::string_view name, int error);

}  // namespace kmx::io
