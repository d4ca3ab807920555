// The commands that need neither a UT nor the bus: show and diff of backup
// files, check of a software file, and the serial ports. Each prints its
// result (a table or JSON) on standard output and returns the exit status;
// a file that cannot be used throws with its reason.
#pragma once

#include <string>

#include "arguments.h"
#include "backup_diff.h"

namespace vx::cli {

// Whether the invocation runs without the bus (and so without a UT).
bool isOffline(const Invocation& invocation);

int runOffline(const Invocation& invocation);

// Prints the differences of `before` and `after`: 0 when there are none, 1
// when there are (as diff(1) has it).
int printBackupDiff(const Invocation& invocation, const BackupFile& before, const BackupFile& after);
// What printBackupDiff prints, as text and as a JSON document, and its status.
struct DiffReport {
  std::string plain;
  std::string json;
  int status = 0;
};
DiffReport backupDiffReport(const BackupFile& before, const BackupFile& after);

// The exit statuses of diff: the files differ, or there was trouble.
inline constexpr int kDiffDiffers = 1;
inline constexpr int kDiffTrouble = 2;

}  // namespace vx::cli
