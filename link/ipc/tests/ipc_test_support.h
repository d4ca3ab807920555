// Shared pieces of the IPC tests: a fixture with a private runtime directory,
// last-error helpers, and a raw view of an IPC object's shared block.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "kmx/platform/last_error.h"
#include "kmx/platform/named_event.h"
#include "kmx/platform/shared_memory.h"
#include "kmx/testing/runtime_sandbox.h"
#include "kmxipc.h"

namespace kmx::ipc_test {

// The library code of the current last-error value.
inline uint32_t lastCode() { return GetLastError() & IPC_ERR_CODE_MASK; }

// The bytes of an IPC object's block, mapped a second time: lets a test read
// the cross-process layout and scribble on it like a faulty process would.
class RawBlock {
 public:
  explicit RawBlock(const std::string& name) : shm_(SharedMemory::open(name)) {}
  bool valid() const { return shm_ != nullptr; }
  std::size_t size() const { return shm_->size(); }
  uint32_t u32(uint32_t offset) const {
    uint32_t value;
    std::memcpy(&value, bytes() + offset, sizeof value);
    return value;
  }
  void setU32(uint32_t offset, uint32_t value) {
    std::memcpy(bytes() + offset, &value, sizeof value);
  }
  std::string str(uint32_t offset) const {
    return std::string(reinterpret_cast<const char*>(bytes() + offset));
  }
  std::string bytesAt(uint32_t offset, uint32_t length) const {
    return std::string(reinterpret_cast<const char*>(bytes() + offset), length);
  }
  // Number of elements on a list whose links sit at `nextField` within each
  // element, starting from the header field `headField` (stops at `limit`).
  uint32_t listLength(uint32_t headField, uint32_t nextField, uint32_t limit = 1000) const {
    uint32_t count = 0;
    for (uint32_t e = u32(headField); e != 0 && count < limit; e = u32(e + nextField)) ++count;
    return count;
  }

 private:
  uint8_t* bytes() const { return static_cast<uint8_t*>(shm_->data()); }
  std::unique_ptr<SharedMemory> shm_;
};

class IpcTest : public ::testing::Test {
 protected:
  testing::RuntimeSandbox sandbox_;
};

}  // namespace kmx::ipc_test
