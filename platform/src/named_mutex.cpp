#include "kmx/platform/named_mutex.h"

#include <pthread.h>
#include <sys/mman.h>

#include <cerrno>
#include <ctime>
#include <new>

#include "kmx/platform/last_error.h"

namespace kmx {
namespace {

constexpr std::string_view kSuffix = ".mtx";
constexpr std::size_t kFileSize = 64;
static_assert(sizeof(pthread_mutex_t) <= kFileSize);

bool initMutex(void* where) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutex_init(static_cast<pthread_mutex_t*>(where), &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  return ok;
}

}  // namespace

NamedMutex::NamedMutex(NamedFile file, void* mapping)
    : file_(std::move(file)), mapping_(mapping), guard_(mapping, kFileSize) {}

NamedMutex::~NamedMutex() {
  guard_.release();
  munmap(mapping_, kFileSize);
  file_.release();
}

std::unique_ptr<NamedMutex> NamedMutex::create(std::string_view name) {
  return acquire(name, NamedFile::Mode::OpenOrCreate);
}

std::unique_ptr<NamedMutex> NamedMutex::open(std::string_view name) {
  return acquire(name, NamedFile::Mode::OpenExisting);
}

std::unique_ptr<NamedMutex> NamedMutex::acquire(std::string_view name, NamedFile::Mode mode) {
  auto prepare = [](int fd) {
    void* where = mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (where == MAP_FAILED) return false;
    bool ok = initMutex(where);
    munmap(where, kFileSize);
    if (!ok) errno = EINVAL;
    return ok;
  };
  NamedFile file = NamedFile::acquire(name, kSuffix, NamedFile::Kind::RegularFile, mode,
                                      kFileSize, prepare);
  if (!file.valid()) return nullptr;
  void* mapping = mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd(), 0);
  if (mapping == MAP_FAILED) {
    setLastErrorFromErrno();
    return nullptr;
  }
  auto* mutex = new (std::nothrow) NamedMutex(std::move(file), mapping);
  if (mutex == nullptr) {
    munmap(mapping, kFileSize);
    setLastErrorFromErrno(ENOMEM);
  }
  return std::unique_ptr<NamedMutex>(mutex);
}

NamedMutex::LockResult NamedMutex::lock(int32_t timeoutMs) {
  auto* mutex = static_cast<pthread_mutex_t*>(mapping_);
  int rc;
  if (timeoutMs < 0) {
    rc = pthread_mutex_lock(mutex);
  } else if (timeoutMs == 0) {
    rc = pthread_mutex_trylock(mutex);
    if (rc == EBUSY) rc = ETIMEDOUT;
  } else {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    rc = pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
  }
  switch (rc) {
    case 0:
      return LockResult::Acquired;
    case EOWNERDEAD:
      // The owner died holding it: we own it now. Mark it usable again; what
      // it guarded is the caller's to check.
      pthread_mutex_consistent(mutex);
      return LockResult::Abandoned;
    case ETIMEDOUT:
      setLastErrorFromErrno(ETIMEDOUT);
      return LockResult::TimedOut;
    default:
      setLastErrorFromErrno(rc);
      return LockResult::Failed;
  }
}

bool NamedMutex::unlock() {
  int rc = pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mapping_));
  if (rc != 0) {
    setLastErrorFromErrno(rc);
    return false;
  }
  return true;
}

}  // namespace kmx
