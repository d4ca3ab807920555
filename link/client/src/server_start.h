// Finding and starting the link server program, and telling whether an
// unanswered connection request can still be served.
#pragma once

#include <sys/types.h>

#include <string>

namespace kmx::client {

inline constexpr const char kServerProgram[] = "kmxserver";

// The server program: the first "kmxserver" on PATH, else the one beside
// the running program, else the one in ../bin of the directory that holds
// this library. Empty when none is found.
std::string findServerProgram();

// Where a started server's standard output and error go: a log file in the
// runtime directory, so that its start-up lines stay out of the caller's
// output. Empty when the runtime directory is unusable.
std::string serverLogPath(const std::string& device);

// The identity of a named object's file, taken while it is held.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool known = false;
  std::string path;
};
FileIdentity identifyFile(const std::string& path);

// False once no process holds a lock on the file any more (every holder of
// a named object keeps a shared flock on it). True when that cannot be told.
bool fileIsHeld(const FileIdentity& file);

}  // namespace kmx::client
