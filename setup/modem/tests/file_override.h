// Lets a test that runs as root see permission errors: root's capability to
// override file permissions is taken out of the thread's effective set while
// an object of this class lives, and given back afterwards.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace obnet::testing {

class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    if (::geteuid() != 0) {
      active_ = true;  // an ordinary user has no override to give up
      return;
    }
    if (!get(saved_)) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) |
                              (1u << CAP_FOWNER));
    active_ = set(reduced);
    restore_ = active_;
  }
  ~WithoutFileOverride() {
    if (restore_) set(saved_);
  }
  WithoutFileOverride(const WithoutFileOverride&) = delete;
  WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

  // Whether permission bits now apply to this thread.
  bool active() const { return active_; }

 private:
  static bool get(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
  }
  static bool set(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
  }

  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
  bool restore_ = false;
};

}  // namespace obnet::testing
