// Where a port name leads. A name D is looked for as the entry D of the port
// directory (a link to a tty, or a UT simulator's socket), then as /dev/D, and
// for COMn as /dev/ttyS<n-1>; the first that exists is used. A name with a '/'
// is a path and is used as it is.
#pragma once

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

}  // namespace kmx::io
