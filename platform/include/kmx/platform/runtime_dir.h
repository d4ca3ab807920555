// Where named objects and simulated ports live. Both directories are resolved
// from the environment on every call, so a test can move them at will.
#pragma once

#include <string>
#include <string_view>

namespace kmx {

// $KMX_RUNTIME_DIR, else $XDG_RUNTIME_DIR/kmx, else /tmp/kmx-<uid>. Created
// 0700 when missing; refused (empty result, last-error set) when it exists but
// belongs to another user or is not a directory.
std::string runtimeDir();

// $KMX_PORT_DIR, else <runtime>/ports (created 0700 when missing).
std::string portDir();

// True for a name usable as a named object: 1..255 characters, no '/', not
// "." or "..".
bool isValidObjectName(std::string_view name);

// <runtime>/<name><suffix>, or empty when the name is invalid or the runtime
// directory cannot be made (last-error set).
std::string runtimeObjectPath(std::string_view name, std::string_view suffix);

}  // namespace kmx
