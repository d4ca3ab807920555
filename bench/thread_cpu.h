// The CPU time the calling thread has used, for benchmarks that measure
// CPU per item rather than wall time.
#pragma once

#include <ctime>

namespace kmx::bench {

inline double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace kmx::bench
