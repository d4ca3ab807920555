// The lifetime rule shared by every named object: a file in the runtime
// directory that each opener holds with a shared flock. The last holder to
// close removes it; a file that nobody holds is stale and may be replaced.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kmx {

class NamedFile {
 public:
  enum class Kind { RegularFile, Fifo };
  enum class Mode { CreateNew, OpenExisting, OpenOrCreate };

  NamedFile() = default;
  NamedFile(NamedFile&& other) noexcept;
  NamedFile& operator=(NamedFile&& other) noexcept;
  NamedFile(const NamedFile&) = delete;
  NamedFile& operator=(const NamedFile&) = delete;
  ~NamedFile();

  // Makes or opens <runtime>/<name><suffix>. A new regular file gets `size`
  // bytes and `prepare` runs on its descriptor before the name is published.
  // Errors: EEXIST (CreateNew and a live object exists), ENOENT (OpenExisting
  // and there is none), or the failing call's errno; last-error set.
  // `created` (optional) tells whether this call made the object.
  static NamedFile acquire(std::string_view name, std::string_view suffix,
                           Kind kind, Mode mode, std::size_t size,
                           const std::function<bool(int fd)>& prepare,
                           bool* created = nullptr);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

  // Drops this holder; removes the file when no other holder remains.
  // Returns false (last-error set) when closing the descriptor failed.
  bool release();

 private:
  NamedFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_ = -1;
  std::string path_;
};

}  // namespace kmx
