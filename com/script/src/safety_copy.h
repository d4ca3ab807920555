// Safety copies: the UT's settings as they were before a restore or a
// software download wrote to it, one file per UT and moment, so that a
// restore of that file puts the phone back after an interruption.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vx::script {

// $XDG_STATE_HOME/utvex/safety-copies, or ~/.local/state/utvex/safety-copies
// without it.
std::string safetyCopyDirectory();

// A name in that directory for a new copy of the UT with this ESN:
// "<esn>-<yyyymmddThhmmssZ>.vex" (a "-2", "-3", ... before ".vex" when the
// second is taken). Makes the directory (0700) and its parents; nullopt,
// with the reason in `error`, when it cannot.
std::optional<std::string> newSafetyCopyPath(std::string_view esn, std::time_t now, std::string* error);

}  // namespace vx::script
