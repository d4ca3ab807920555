// The process's KMX handles. A handle is an opaque token that names one
// library object of one of six kinds; tokens are never reused, so a closed or
// foreign handle is told apart from a live one by a lookup alone, without
// touching what it points to.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace kmx::client {

enum class Kind : int {
  Plugin = 0,
  Log = 1,
  StateChange = 2,
  LastGasp = 3,
  Alert = 4,
  Connection = 5,
};
inline constexpr int kRegistrationKinds = 5;

class HandleObject {
 public:
  explicit HandleObject(Kind kind) : kind_(kind) {}
  virtual ~HandleObject() = default;
  HandleObject(const HandleObject&) = delete;
  HandleObject& operator=(const HandleObject&) = delete;

  Kind kind() const { return kind_; }
  // The token the registry gave this object (null before it was added).
  void* handle() const { return handle_; }

 private:
  friend class HandleRegistry;
  Kind kind_;
  void* handle_ = nullptr;
};

class HandleRegistry {
 public:
  static HandleRegistry& instance();

  // Gives the object a fresh token and keeps it alive until it is taken out.
  void* add(std::shared_ptr<HandleObject> object);
  // The live object of this token, or null.
  std::shared_ptr<HandleObject> find(void* handle) const;
  // Removes the token and returns its object (null when it was not there),
  // so that of two threads closing one handle, one does the work.
  std::shared_ptr<HandleObject> take(void* handle);

  template <class T>
  std::shared_ptr<T> findAs(void* handle, Kind kind) const {
    auto object = find(handle);
    if (!object || object->kind() != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
  }

 private:
  HandleRegistry() = default;

  mutable std::mutex mutex_;
  std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects_;
  uintptr_t next_ = 0;
};

}  // namespace kmx::client
