#include "reply_wait.h"

#include "kmx/platform/last_error.h"
#include "kmx/platform/wait.h"

namespace kmx::client {
namespace {

// The first wait goes through the IPC library, which spins briefly before it
// blocks and so answers a quick reply sooner than a poll would. An ended
// peer is noticed after it at the latest.
constexpr int32_t kFirstWaitMs = 1;

}  // namespace

bool nothingQueued() {
  const uint32_t code = GetLastError() & IPC_ERR_CODE_MASK;
  return code == IPC_ERR_TIMEOUT || code == IPC_ERR_EMPTY;
}

Arrival peekNext(KMXIpc& channel, uint32_t mailbox, void* buffer, uint32_t length,
                 uint32_t* received, PeerWatch& peer) {
  const int32_t firstWait = peer.ended ? 0 : kFirstWaitMs;
  if (channel.ReceiveMsgPeek(mailbox, buffer, length, firstWait, received)) return Arrival::Ready;
  if (!nothingQueued()) return Arrival::Failed;

  const int fds[2] = {channel.WaitHandle(mailbox), peer.processFd};
  const std::size_t count = peer.processFd >= 0 ? 2 : 1;
  const int32_t slice = peer.gone ? kCheckSliceMs : -1;
  for (;;) {
    // The peer may have sent its last message just before it ended: look
    // at the queue before giving up on it.
    if (channel.ReceiveMsgPeek(mailbox, buffer, length, 0, received)) return Arrival::Ready;
    if (!nothingQueued()) return Arrival::Failed;
    if (peer.ended) return Arrival::PeerGone;

    const int ready = waitForAny(std::span<const int>(fds, count), slice);
    if (ready == kWaitFailed) return Arrival::Failed;
    if (ready == 1) peer.ended = true;
    if (ready == kWaitTimedOut && peer.gone && peer.gone()) peer.ended = true;
  }
}

}  // namespace kmx::client
