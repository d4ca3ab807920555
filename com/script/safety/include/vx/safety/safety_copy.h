// Safety copies: the UT's settings as they were before a restore, a
// software download or a swap wrote to it, one file per UT and moment, so
// that a restore of that file puts the phone back after an interruption.
// The script server and the service tool both make them, in one folder and
// under one naming.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vx::safety {

// $XDG_STATE_HOME/utvex/safety-copies, or ~/.local/state/utvex/safety-copies
// without it.
std::string safetyCopyDirectory();

// A name in that directory for a new copy of the UT with this ESN:
// "<esn>-<yyyymmddThhmmssZ>.vex" (a "-2", "-3", ... before ".vex" when the
// second is taken). Makes the directory (0700) and its parents; nullopt,
// with the reason in `error`, when it cannot.
std::optional<std::string> newSafetyCopyPath(std::string_view esn, std::time_t now, std::string* error);

// Leaves a written copy readable by its owner only (0600): it holds the
// UT's security codes. False, with the reason in `error`, when it cannot.
bool makePrivate(const std::string& path, std::string* error);

// The command that puts the UT back from a copy: "vexctl restore <path>",
// the path quoted for the shell when it holds more than letters, digits
// and "/._+-".
std::string restoreCommand(std::string_view path);

}  // namespace vx::safety
