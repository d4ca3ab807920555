// The check before the server reads a file a caller named: opened without
// waiting, so that a named pipe or a device nobody feeds holds up nothing,
// and only a regular file passes (a download reads its file twice; a
// directory or a pipe is no backup or software file).
#pragma once

#include <string>

namespace vx::script {

// Why `path` cannot be read as a file ("" when it can): "x.vex: No such
// file or directory", "/tmp: not a regular file".
std::string regularFileProblem(const std::string& path);

}  // namespace vx::script
