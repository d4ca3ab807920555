#include "port_claims.h"

#include "kmx/io/port_name.h"
#include "kmx/platform/named_mutex.h"

namespace vx::script {

PortClaim::PortClaim(PortClaims& owner, std::string key, std::unique_ptr<kmx::NamedMutex> mutex)
    : owner_(owner), key_(std::move(key)), mutex_(std::move(mutex)) {}

PortClaim::~PortClaim() {
  mutex_->unlock();
  std::lock_guard lock(owner_.mutex_);
  owner_.held_.erase(key_);
}

std::string PortClaims::mutexName(std::string_view port) { return kmx::io::exclusiveClaimName(port); }

PortClaims::Result PortClaims::tryClaim(std::string_view port, std::unique_ptr<PortClaim>* claim) {
  std::string key = mutexName(port);
  std::unique_ptr<PortClaim> made;
  {
    std::lock_guard lock(mutex_);
    if (held_.count(key) != 0) return Result::Held;
    auto mutex = kmx::NamedMutex::create(key);
    if (!mutex) return Result::Failed;
    switch (mutex->lock(0)) {
      case kmx::NamedMutex::LockResult::Acquired:
      case kmx::NamedMutex::LockResult::Abandoned: break;
      case kmx::NamedMutex::LockResult::TimedOut: return Result::Held;
      case kmx::NamedMutex::LockResult::Failed: return Result::Failed;
    }
    held_.insert(key);
    made.reset(new PortClaim(*this, std::move(key), std::move(mutex)));
  }
  // A claim this replaces is let go outside the lock its end takes.
  *claim = std::move(made);
  return Result::Claimed;
}

}  // namespace vx::script
