#include "kmx/platform/named_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "kmx/platform/last_error.h"
#include "kmx/platform/runtime_dir.h"

// How a named object comes and goes. Every holder keeps a shared flock on the
// object's file. A new object is built under a temporary name (already locked
// and fully prepared) and published with link(), which fails atomically when
// the name is taken, so an opener never sees a half-made object. A file whose
// lock nobody holds belongs to a process that died without closing it: it is
// stale and is removed by whoever finds it. The last holder removes the file.

namespace kmx {
namespace {

constexpr int kMaxAttempts = 64;

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int lockShared(int fd) {
  while (flock(fd, LOCK_SH) != 0) {
    if (errno != EINTR) return -1;
  }
  return 0;
}

// True when `fd` is still the file at `path` (it was not removed or replaced
// between our open and our lock).
bool stillPublished(int fd, const std::string& path) {
  struct stat mine {}, there {};
  if (fstat(fd, &mine) != 0) return false;
  if (stat(path.c_str(), &there) != 0) return false;
  return sameFile(mine, there);
}

// Removes `path` if it is the file `fd` refers to. The caller holds an
// exclusive lock on it, so no live holder can be affected.
void unlinkIfSame(int fd, const std::string& path) {
  if (stillPublished(fd, path)) unlink(path.c_str());
}

// Opens an existing object. Returns the descriptor (locked shared), -1 with
// errno ENOENT when there is none (a stale one is removed on the way), or -1
// with another errno on failure.
int openPublished(const std::string& path, NamedFile::Kind kind) {
  int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
  if (kind == NamedFile::Kind::Fifo) flags |= O_NONBLOCK;
  int fd = open(path.c_str(), flags);
  if (fd < 0) return -1;
  struct stat st {};
  bool rightKind = fstat(fd, &st) == 0 &&
                   (kind == NamedFile::Kind::Fifo ? S_ISFIFO(st.st_mode) : S_ISREG(st.st_mode));
  if (!rightKind) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds it: left behind by a process that died.
    unlinkIfSame(fd, path);
    close(fd);
    errno = ENOENT;
    return -1;
  }
  if (lockShared(fd) != 0 || !stillPublished(fd, path)) {
    close(fd);
    errno = EAGAIN;  // removed or replaced meanwhile: look again
    return -1;
  }
  return fd;
}

std::string temporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  auto slash = path.rfind('/');
  char tail[64];
  std::snprintf(tail, sizeof tail, ".tmp.%d.%u", static_cast<int>(getpid()), counter++);
  return path.substr(0, slash + 1) + path.substr(slash + 1) + tail;
}

// Builds the object under a temporary name and returns it locked shared, not
// yet published. `tmpPath` is set when the file has a name that must go.
int buildUnpublished(const std::string& path, NamedFile::Kind kind, std::size_t size,
                     const std::function<bool(int)>& prepare, std::string* tmpPath) {
  tmpPath->clear();
  int fd = -1;
  if (kind == NamedFile::Kind::Fifo) {
    *tmpPath = temporaryName(path);
    if (mkfifo(tmpPath->c_str(), 0600) != 0) {
      tmpPath->clear();
      return -1;
    }
    fd = open(tmpPath->c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  } else {
    *tmpPath = temporaryName(path);
    fd = open(tmpPath->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) tmpPath->clear();
  }
  if (fd < 0) return -1;
  bool ok = lockShared(fd) == 0;
  if (ok && kind == NamedFile::Kind::RegularFile && size > 0) {
    ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
  }
  if (ok && prepare) ok = prepare(fd);
  if (!ok) {
    int saved = errno;
    if (!tmpPath->empty()) unlink(tmpPath->c_str());
    tmpPath->clear();
    close(fd);
    errno = saved != 0 ? saved : EIO;
    return -1;
  }
  return fd;
}

// Publishes a built object. Returns 0, or -1 with errno EEXIST when a live
// object holds the name (a stale one is removed and the link retried).
int publish(const std::string& tmpPath, const std::string& path, NamedFile::Kind kind) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    if (link(tmpPath.c_str(), path.c_str()) == 0) return 0;
    if (errno != EEXIST) return -1;
    int fd = openPublished(path, kind);
    if (fd >= 0) {
      close(fd);
      errno = EEXIST;
      return -1;
    }
    if (errno != ENOENT && errno != EAGAIN) return -1;
  }
  errno = EAGAIN;
  return -1;
}

}  // namespace

NamedFile::NamedFile(NamedFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

NamedFile& NamedFile::operator=(NamedFile&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

NamedFile::~NamedFile() { release(); }

NamedFile NamedFile::acquire(std::string_view name, std::string_view suffix, Kind kind,
                             Mode mode, std::size_t size,
                             const std::function<bool(int fd)>& prepare, bool* created) {
  if (created != nullptr) *created = false;
  std::string path = runtimeObjectPath(name, suffix);
  if (path.empty()) return {};

  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    if (mode != Mode::CreateNew) {
      int fd = openPublished(path, kind);
      if (fd >= 0) return NamedFile(fd, path);
      if (errno == EAGAIN) continue;
      if (errno != ENOENT || mode == Mode::OpenExisting) {
        setLastErrorFromErrno();
        return {};
      }
    }

    std::string tmpPath;
    int fd = buildUnpublished(path, kind, size, prepare, &tmpPath);
    if (fd < 0) {
      setLastErrorFromErrno();
      return {};
    }
    int rc = publish(tmpPath, path, kind);
    int saved = errno;
    unlink(tmpPath.c_str());
    if (rc == 0) {
      if (created != nullptr) *created = true;
      return NamedFile(fd, path);
    }
    close(fd);
    if (saved == EEXIST && mode == Mode::OpenOrCreate) continue;  // someone beat us: open theirs
    setLastErrorFromErrno(saved);
    return {};
  }
  setLastErrorFromErrno(EAGAIN);
  return {};
}

bool NamedFile::release() {
  if (fd_ < 0) return true;
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) unlinkIfSame(fd_, path_);
  bool ok = close(fd_) == 0;
  if (!ok) setLastErrorFromErrno();
  fd_ = -1;
  path_.clear();
  return ok;
}

}  // namespace kmx
