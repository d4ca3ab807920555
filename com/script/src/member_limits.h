// The limits of the script object's members as its own handlers apply
// them, published on the factory (UTVEX.ScriptFactory.MemberLimits), so
// that a client can tell a person what a value may be without keeping a
// copy of the checks.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "loop_scheduler.h"
#include "port_claims.h"

namespace vx::script {

struct ArgumentLimits {
  std::string member;    // the property or method name (no get_/put_)
  std::string argument;  // the argument's name: sNAM, sPosition, newVal
  std::string kind;      // "value" for numbers, "length" for texts (characters)
  std::vector<std::pair<int32_t, int32_t>> ranges;  // what is accepted, ascending
};

// Every argument of the property rows whose handler refuses some values.
// Found by asking each handler on an object that has no connection: the
// argument checks come before any UT access, so a value the handler takes
// answers "not connected" and one it refuses E_INVALIDARG. Numbers are
// tried densely near zero, on a grid of hundreds and at powers of two (and
// their neighbours) across the type's range, and every change between two
// tries is narrowed to its exact edge; texts by their length up to 256.
std::vector<ArgumentLimits> probeMemberLimits(LoopScheduler& loop, PortClaims& claims);

// Adds MemberLimits() -> a(sssa(ii)) to the factory; the limits are probed
// once, at the first call.
void registerMemberLimits(sdbus::IObject& factory, LoopScheduler& loop, PortClaims& claims);

}  // namespace vx::script
