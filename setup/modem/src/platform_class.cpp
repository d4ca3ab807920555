#include "platform_class.h"

#include <sys/utsname.h>

#include <cstring>

namespace obnet {

PlatformClass windowsPlatformClass(unsigned platformId, unsigned majorVersion) {
  if (platformId == 1) return PlatformClass::Windows9x;
  if (platformId == 2) {
    if (majorVersion == 4) return PlatformClass::WindowsNT4;
    if (majorVersion == 5) return PlatformClass::Windows2000;
  }
  return PlatformClass::Unsupported;
}

PlatformClass classOfSystem(const char* sysname) {
  return sysname != nullptr && std::strcmp(sysname, "Linux") == 0 ? PlatformClass::Linux
                                                                  : PlatformClass::Unsupported;
}

PlatformRecord& platformRecord() {
  static PlatformRecord record = [] {
    PlatformRecord r;
    struct utsname names {};
    r.platformClass = uname(&names) == 0 ? classOfSystem(names.sysname) : PlatformClass::Unsupported;
    return r;
  }();
  return record;
}

bool needsRestart(PlatformClass c) {
  return c == PlatformClass::Windows9x || c == PlatformClass::WindowsNT4 ||
         c == PlatformClass::Windows2000;
}

bool restartAfterFinish(const PlatformRecord& record, bool finished) {
  return finished && record.rebootFlag && needsRestart(record.platformClass);
}

}  // namespace obnet
