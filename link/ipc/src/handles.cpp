#include "handles.h"

namespace kmx::ipc {

Registry& Registry::instance() {
  // Never destroyed: handles may be closed from static destructors of callers.
  static Registry* registry = new Registry;
  return *registry;
}

IpcHandle* Registry::findIpc(const void* p) const {
  if (p == nullptr || live_.find(p) == live_.end()) return nullptr;
  auto* ipc = static_cast<IpcHandle*>(const_cast<void*>(p));
  return ipc->marker == kIpcMarker ? ipc : nullptr;
}

MailboxHandle* Registry::findMailbox(const void* p) const {
  if (p == nullptr || live_.find(p) == live_.end()) return nullptr;
  auto* mbox = static_cast<MailboxHandle*>(const_cast<void*>(p));
  return mbox->marker == kMailboxMarker ? mbox : nullptr;
}

void Registry::add(IpcHandle* ipc) { live_.insert(ipc); }

void Registry::add(MailboxHandle* mbox) {
  live_.insert(mbox);
  IpcHandle* owner = mbox->owner;
  mbox->prev = nullptr;
  mbox->next = owner->mailboxes;
  if (owner->mailboxes != nullptr) owner->mailboxes->prev = mbox;
  owner->mailboxes = mbox;
}

MailboxHandle* Registry::remove(IpcHandle* ipc) {
  live_.erase(ipc);
  MailboxHandle* list = ipc->mailboxes;
  ipc->mailboxes = nullptr;
  for (MailboxHandle* m = list; m != nullptr; m = m->next) live_.erase(m);
  return list;
}

void Registry::remove(MailboxHandle* mbox) {
  live_.erase(mbox);
  if (mbox->prev != nullptr) {
    mbox->prev->next = mbox->next;
  } else {
    mbox->owner->mailboxes = mbox->next;
  }
  if (mbox->next != nullptr) mbox->next->prev = mbox->prev;
  mbox->prev = mbox->next = nullptr;
}

}  // namespace kmx::ipc
