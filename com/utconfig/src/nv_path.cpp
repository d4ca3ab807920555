#include "nv_path.h"

namespace vx::utconfig {

std::string NvPath(const char* pathTemplate, int n, int k, int r) {
  std::string path;
  for (const char* p = pathTemplate; *p != '\0'; ++p) {
    if (p[0] == '{' && p[1] != '\0' && p[2] == '}') {
      const char name = p[1];
      if (name == 'n' || name == 'k' || name == 'r') {
        path += std::to_string(name == 'n' ? n : name == 'k' ? k : r);
        p += 2;
        continue;
      }
    }
    path += *p;
  }
  return path;
}

std::string WithTone(const char* pathTemplate, const char* tone) {
  std::string path = pathTemplate;
  const auto at = path.find("{t}");
  if (at != std::string::npos) path.replace(at, 3, tone);
  return path;
}

}  // namespace vx::utconfig
