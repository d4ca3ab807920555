// Waiting, outside the object's mutex, until one of several mailboxes holds
// a message.
#pragma once

#include <cstdint>

#include "handles.h"

namespace kmx::ipc {

// Waits until one of the mailboxes holds a message and returns its index, or
// returns -1 with *error set. A mailbox's event is signalled exactly while its
// queue is non-empty, so checking the counts first (and spinning briefly)
// gives the same answer as poll() without a system call.
int awaitMailbox(const IpcHandle& ipc, uint32_t n, void* const* mboxes, int32_t timeout,
                 uint32_t* error);

}  // namespace kmx::ipc
