// The platform class the wizard runs for, kept in one process-wide record
// together with the restart flag.
#pragma once

namespace obnet {

// What the wizard knows how to set up. The Windows classes follow the version
// data of those systems (platform id, major version); Linux is the class this
// program runs as.
enum class PlatformClass : int {
  Unsupported = -1,
  Windows9x = 0,    // platform id 1
  WindowsNT4 = 1,   // platform id 2, major version 4
  Windows2000 = 2,  // platform id 2, major version 5
  Linux = 3,
};

// The Windows class of a version report; anything else is Unsupported.
PlatformClass windowsPlatformClass(unsigned platformId, unsigned majorVersion);

// The class of a system named as uname(2) names it: "Linux" is Linux,
// anything else Unsupported.
PlatformClass classOfSystem(const char* sysname);

struct PlatformRecord {
  PlatformClass platformClass = PlatformClass::Unsupported;
  // Set until writing the connection fails; a finished wizard restarts the
  // computer only while it is set and only where the class needs it.
  bool rebootFlag = true;
};

// The record of the running process, computed on first use.
PlatformRecord& platformRecord();

// Whether a class needs a restart before its new connection can be used:
// the Windows classes do, Linux does not.
bool needsRestart(PlatformClass c);

// Whether a wizard that has just ended should ask for a restart.
bool restartAfterFinish(const PlatformRecord& record, bool finished);

}  // namespace obnet
