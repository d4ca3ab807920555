// The class table entry file: one small text file per registered class,
// $XDG_DATA_HOME/vxcom/classes/{CLSID}, written by DllRegisterServer.
//
//   # vxcom class entry
//   CLSID={93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}
//   Library=/home/me/suite/build/lib/libvxconnect.so
//   ProgID=UTVEXConn.UTVEXConn.1
//   VersionIndependentProgID=UTVEXConn.UTVEXConn
//   ThreadingModel=Apartment
//   Description=...
//
// UTF-8, one "Key=Value" per line (a trailing CR is dropped); blank lines
// and lines starting with '#' are comments. CLSID (braced form) and Library
// (an absolute path) are required; the other keys may be missing or empty.
// Unknown keys are ignored, so later versions may add some. The entry is
// refused as a whole when a line has no '=', a key appears twice, a value
// holds a NUL, the file exceeds kMaxEntryBytes, or a required key is
// missing or malformed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vx/com/guid.h"

namespace vx::comimpl {

inline constexpr std::size_t kMaxEntryBytes = 16 * 1024;

struct ClassRecord {
  CLSID clsid{};
  std::string library;
  std::string progId;
  std::string versionIndependentProgId;
  std::string threadingModel;
  std::string description;
};

std::optional<ClassRecord> ParseClassEntry(std::string_view text);
// The file text for a record; line breaks inside values become spaces.
std::string FormatClassEntry(const ClassRecord& record);

}  // namespace vx::comimpl
