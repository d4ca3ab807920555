// The gzip program, run as a separate process to unpack what the UT sends
// compressed.
#pragma once

#include <string>

namespace vx::nvdb {

// "gzip" beside the running program, else the first one on PATH. When there
// is none, the path beside the program (for the message that says so).
std::string locateDecompressor();

enum class DecompressResult {
  Finished,   // the program ended (whether it succeeded shows in its output)
  TimedOut,   // it was still running after the time limit and was killed
  NotStarted,
};

// Runs `gzip -d -f gzFile`, which leaves the output beside it without ".gz",
// and waits for it at most timeoutMs.
DecompressResult runDecompressor(const std::string& decompressor, const std::string& gzFile,
                                 int timeoutMs);

}  // namespace vx::nvdb
