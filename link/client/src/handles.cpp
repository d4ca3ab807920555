#include "handles.h"

namespace kmx::client {
namespace {

// Tokens look like aligned addresses well above the null page, and step on
// for every handle ever given out.
constexpr uintptr_t kFirstToken = 0x10000;
constexpr uintptr_t kTokenStep = 16;

}  // namespace

HandleRegistry& HandleRegistry::instance() {
  // Never destroyed: handles stay usable in exit handlers and while other
  // threads are still running at exit.
  static HandleRegistry* registry = new HandleRegistry;
  return *registry;
}

void* HandleRegistry::add(std::shared_ptr<HandleObject> object) {
  std::lock_guard lock(mutex_);
  const uintptr_t token = kFirstToken + kTokenStep * next_++;
  object->handle_ = reinterpret_cast<void*>(token);
  objects_.emplace(token, std::move(object));
  return reinterpret_cast<void*>(token);
}

std::shared_ptr<HandleObject> HandleRegistry::find(void* handle) const {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
  return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<HandleObject> HandleRegistry::take(void* handle) {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == objects_.end()) return nullptr;
  auto object = std::move(it->second);
  objects_.erase(it);
  return object;
}

}  // namespace kmx::client
