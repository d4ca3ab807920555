// Where the running program and its libraries are, and temporary files.
#pragma once

#include <string>

namespace kmx {

std::string programPath();  // the running executable (/proc/self/exe)
std::string programDir();
// The directory of the shared object (or program) that contains `address`.
std::string moduleDir(const void* address);
// Directory part of a path ("." for a bare name).
std::string dirName(const std::string& path);

// A file made with mkstemp in $TMPDIR (default /tmp), removed when the object
// goes unless released with keep().
class TempFile {
 public:
  // `stem` becomes part of the file name; check valid() afterwards.
  explicit TempFile(const std::string& stem = "kmx");
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  void keep() { keep_ = true; }

 private:
  int fd_ = -1;
  std::string path_;
  bool keep_ = false;
};

}  // namespace kmx
