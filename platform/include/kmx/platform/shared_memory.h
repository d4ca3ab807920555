// A named block of shared memory: the file <runtime>/<name>.shm on tmpfs,
// mapped MAP_SHARED. The object lives while some process has it open; the last
// one to close removes the file, and a file nobody holds (its creator was
// killed) is stale and replaced by the next creator.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "kmx/platform/mapping_guard.h"
#include "kmx/platform/named_file.h"

namespace kmx {

class SharedMemory {
 public:
  // Creates a new block of `size` bytes, zero-filled. `initialize` runs on the
  // mapped block before the name becomes visible to other processes, so an
  // opener never sees a half-built block. Fails with EEXIST when a live block
  // of that name exists. Returns null on failure with the last-error set.
  static std::unique_ptr<SharedMemory> create(
      std::string_view name, std::size_t size,
      const std::function<void(void* block)>& initialize = {});

  // Opens an existing block (ENOENT when there is none). Null on failure.
  static std::unique_ptr<SharedMemory> open(std::string_view name);

  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  void* data() const { return data_; }
  std::size_t size() const { return size_; }
  // True once part of the block was found past the end of its file (another
  // process shrank it) and replaced by zero pages: see mapping_guard.h.
  bool damaged() const { return guard_.damaged(); }

  // Unmaps and releases the name early, reporting failures (the destructor
  // does the same silently). Returns false with the last-error set when the
  // unmap failed.
  bool close();

 private:
  SharedMemory(NamedFile file, void* data, std::size_t size);

  NamedFile file_;
  void* data_;
  std::size_t size_;
  GuardedMapping guard_;
};

}  // namespace kmx
