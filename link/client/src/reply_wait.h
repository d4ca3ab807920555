// Waiting for the next message of a mailbox without a time limit, but not
// for a peer that has ended: the wait also watches the server's process
// (a pidfd), or, where no process is known yet, asks a check every slice.
#pragma once

#include <cstdint>
#include <functional>

#include "kmx_ipc.h"

namespace kmx::client {

enum class Arrival {
  Ready,     // a message is queued; its head was peeked
  PeerGone,  // the peer has ended and nothing is queued
  Failed,    // the IPC library failed (its code is in the last-error value)
};

struct PeerWatch {
  int processFd = -1;    // readable once the peer's process has ended; -1: none
  bool ended = false;    // the peer is already known to have ended
  // Called every kCheckSliceMs while nothing arrives; true when the peer
  // is gone. Empty: no check.
  std::function<bool()> gone;
};

inline constexpr int32_t kCheckSliceMs = 100;

// Peeks at most `length` bytes of the next message on `mailbox` into
// `buffer` (*received gets their number), waiting as described above.
Arrival peekNext(KMXIpc& channel, uint32_t mailbox, void* buffer, uint32_t length,
                 uint32_t* received, PeerWatch& peer);

// True when the last-error value says a receive found nothing queued.
bool nothingQueued();

}  // namespace kmx::client
