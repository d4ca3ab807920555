// Where class entries live and how they are read and written. The
// environment is read on every call, so a test can point XDG_DATA_HOME at a
// directory of its own.
#pragma once

#include <string>
#include <vector>

#include "class_entry.h"

namespace vx::comimpl {

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
std::string UserDataHome();
// The user's directory first, then each absolute entry of $XDG_DATA_DIRS
// (default /usr/local/share:/usr/share), each with /vxcom/classes appended.
std::vector<std::string> ClassDirectories();
std::string UserClassDirectory();

// Every readable, well-formed entry for the class, in directory order.
std::vector<ClassRecord> FindRegisteredClass(REFCLSID clsid);
// The first entry whose ProgID or version-independent ProgID equals
// `progId` (ASCII case ignored), directories in order, files by name.
std::optional<ClassRecord> FindRegisteredProgId(std::string_view progId);

// Writes the entry into the user's directory (made when missing), replacing
// any earlier one atomically. False on failure.
bool WriteClassEntry(const ClassRecord& record);
// Removes the user's entry for the class; true also when there was none.
bool RemoveClassEntry(REFCLSID clsid);

bool SameProgId(std::string_view a, std::string_view b);

}  // namespace vx::comimpl
