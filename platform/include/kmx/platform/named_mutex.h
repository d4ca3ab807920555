// A named, recursive mutex shared between processes: <runtime>/<name>.mtx
// holds a process-shared, robust, recursive pthread mutex. When its owner
// dies, the next locker gets it with the result Abandoned.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "kmx/platform/mapping_guard.h"
#include "kmx/platform/named_file.h"

namespace kmx {

class NamedMutex {
 public:
  enum class LockResult { Acquired, Abandoned, TimedOut, Failed };

  // Opens the mutex, creating it (not owned) when it does not exist.
  static std::unique_ptr<NamedMutex> create(std::string_view name);
  // Opens an existing mutex only (ENOENT when there is none).
  static std::unique_ptr<NamedMutex> open(std::string_view name);

  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // timeoutMs < 0 waits without limit. Abandoned counts as acquired: the
  // caller owns the mutex and the state it guards may be inconsistent.
  // Failed and TimedOut set the last-error value.
  LockResult lock(int32_t timeoutMs);
  // False (last-error set) when the caller does not own the mutex.
  bool unlock();

 private:
  NamedMutex(NamedFile file, void* mapping);
  static std::unique_ptr<NamedMutex> acquire(std::string_view name,
                                             NamedFile::Mode mode);

  NamedFile file_;
  void* mapping_;
  GuardedMapping guard_;  // a shrunk file must not kill a guarded process
};

}  // namespace kmx
