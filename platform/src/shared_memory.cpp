#include "kmx/platform/shared_memory.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "kmx/platform/last_error.h"

namespace kmx {
namespace {

constexpr std::string_view kSuffix = ".shm";

void* mapShared(int fd, std::size_t size) {
  void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return data == MAP_FAILED ? nullptr : data;
}

}  // namespace

SharedMemory::SharedMemory(NamedFile file, void* data, std::size_t size)
    : file_(std::move(file)), data_(data), size_(size), guard_(data, size) {}

SharedMemory::~SharedMemory() { close(); }

std::unique_ptr<SharedMemory> SharedMemory::create(
    std::string_view name, std::size_t size, const std::function<void(void*)>& initialize) {
  if (size == 0) {
    setLastErrorFromErrno(EINVAL);
    return nullptr;
  }
  void* data = nullptr;
  auto prepare = [&](int fd) {
    data = mapShared(fd, size);
    if (data == nullptr) return false;
    if (initialize) initialize(data);
    return true;
  };
  NamedFile file = NamedFile::acquire(name, kSuffix, NamedFile::Kind::RegularFile,
                                      NamedFile::Mode::CreateNew, size, prepare);
  if (!file.valid()) {
    if (data != nullptr) munmap(data, size);
    return nullptr;
  }
  auto* shm = new (std::nothrow) SharedMemory(std::move(file), data, size);
  if (shm == nullptr) {
    munmap(data, size);
    setLastErrorFromErrno(ENOMEM);
  }
  return std::unique_ptr<SharedMemory>(shm);
}

std::unique_ptr<SharedMemory> SharedMemory::open(std::string_view name) {
  NamedFile file = NamedFile::acquire(name, kSuffix, NamedFile::Kind::RegularFile,
                                      NamedFile::Mode::OpenExisting, 0, {});
  if (!file.valid()) return nullptr;
  struct stat st {};
  if (fstat(file.fd(), &st) != 0) {
    setLastErrorFromErrno();
    return nullptr;
  }
  if (st.st_size <= 0) {
    setLastErrorFromErrno(EINVAL);
    return nullptr;
  }
  auto size = static_cast<std::size_t>(st.st_size);
  void* data = mapShared(file.fd(), size);
  if (data == nullptr) {
    setLastErrorFromErrno();
    return nullptr;
  }
  auto* shm = new (std::nothrow) SharedMemory(std::move(file), data, size);
  if (shm == nullptr) {
    munmap(data, size);
    setLastErrorFromErrno(ENOMEM);
  }
  return std::unique_ptr<SharedMemory>(shm);
}

bool SharedMemory::close() {
  bool ok = true;
  if (data_ != nullptr) {
    guard_.release();
    if (munmap(data_, size_) != 0) {
      setLastErrorFromErrno();
      ok = false;
    }
    data_ = nullptr;
  }
  if (!file_.release()) ok = false;
  return ok;
}

}  // namespace kmx
