// Exclusive use of a port between script objects: the named mutex
// "VEX_" + port, shared by every process of the user, plus a record of the
// ports this process holds, because the named mutex is recursive and would
// let a second object of the same process in.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace kmx {
class NamedMutex;
}

namespace vx::script {

class PortClaims;

// Held while a script object has its port to itself; released at its end.
class PortClaim {
 public:
  ~PortClaim();
  PortClaim(const PortClaim&) = delete;
  PortClaim& operator=(const PortClaim&) = delete;

 private:
  friend class PortClaims;
  PortClaim(PortClaims& owner, std::string key, std::unique_ptr<kmx::NamedMutex> mutex);
  PortClaims& owner_;
  std::string key_;
  std::unique_ptr<kmx::NamedMutex> mutex_;
};

class PortClaims {
 public:
  enum class Result { Claimed, Held, Failed };

  // The mutex name for a port, one for every name of one device (see
  // kmx::io::exclusiveClaimName), shared with the service tool.
  static std::string mutexName(std::string_view port);

  // One attempt without waiting; the caller retries on its event loop, so
  // that waiting for the port holds up no other client. Objects call it
  // from their own threads.
  Result tryClaim(std::string_view port, std::unique_ptr<PortClaim>* claim);

 private:
  friend class PortClaim;
  std::mutex mutex_;  // guards held_
  std::set<std::string> held_;
};

}  // namespace vx::script
