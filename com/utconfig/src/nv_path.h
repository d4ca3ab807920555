// NV item paths from the settings table's templates: "{n}" stands for the
// NAM or entry index, "{k}" for a character or element index and "{r}" for
// a row index; each is put in as a signed decimal ("-1" stays "-1").
#pragma once

#include <string>

namespace vx::utconfig {

std::string NvPath(const char* pathTemplate, int n = 0, int k = 0, int r = 0);
// The template with "{t}" replaced by a tone name, for NvPath.
std::string WithTone(const char* pathTemplate, const char* tone);

}  // namespace vx::utconfig
