#include "client_entry.h"

#include <algorithm>
#include <cstring>

#include "kmx/platform/last_error.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"
#include "kmxipc.h"

namespace kmx::server {

ClientEntry::ClientEntry(uint64_t serial, uint32_t id, std::unique_ptr<KMXIpc> channel, ProcessWatch watch,
                         uint32_t baudRate)
    : requestedBaudRate(baudRate),
      serial_(serial),
      id_(id),
      channel_(std::move(channel)),
      watch_(std::move(watch)) {}

ClientEntry::~ClientEntry() { channel_->Close(); }

int ClientEntry::commandFd() const { return channel_->WaitHandle(kCtoSCmd); }

bool ClientEntry::receiveCommand() {
  uint32_t length = 0;
  if (!channel_->ReceiveMsg(kCtoSCmd, commandBuffer_.data(), static_cast<uint32_t>(commandBuffer_.size()), 0,
                            &length)) {
    // A signal without a message is cleared by the receive; anything else
    // means the channel cannot be used.
    noteFailure(IPC_ERR_EMPTY);
    return false;
  }
  commandLength_ = length;
  assemblyLength = 0;
  return true;
}

// A command too short to hold its id reads as id 0, which nothing handles.
uint32_t ClientEntry::commandId() const {
  return commandLength_ >= 4 ? proto::loadLe32(commandBuffer_.data()) : 0;
}

void ClientEntry::noteFailure(uint32_t harmless) {
  const uint32_t code = GetLastError() & IPC_ERR_CODE_MASK;
  if (code != harmless && code != IPC_ERR_TIMEOUT) channelBroken_ = true;
}

bool ClientEntry::reply(std::span<const uint8_t> message) {
  if (channel_->SendMsg(kStoCRsp, message.data(), static_cast<uint32_t>(message.size()))) return true;
  noteFailure(IPC_ERR_MAILBOX_FULL);
  return false;
}

void ClientEntry::finish(std::span<const uint8_t> message) {
  reply(message);
  backToIdle();
}

void ClientEntry::finishStatus(uint32_t status) {
  replyStatus(status);
  backToIdle();
}

void ClientEntry::finishGathered(std::span<const KMXBuffer> pieces) {
  if (!channel_->SendMsgV(kStoCRsp, pieces.data(), static_cast<uint32_t>(pieces.size()))) {
    noteFailure(IPC_ERR_MAILBOX_FULL);
  }
  backToIdle();
}

bool ClientEntry::replyStatus(uint32_t status) {
  uint8_t word[4];
  proto::storeLe32(word, status);
  return reply(word);
}

void ClientEntry::finishUtError(std::span<const uint8_t> response) {
  uint8_t message[msg::reply::kUtErrorSize] = {};
  proto::storeLe32(message, msg::kStatusUtRejected);
  if (response.size() >= 2) std::memcpy(&message[msg::reply::kUtErrorCode], response.data(), 2);
  if (response.size() > 2) {
    std::size_t length = std::min<std::size_t>(response.size() - 2, msg::reply::kUtErrorTextMax);
    std::memcpy(&message[msg::reply::kUtErrorText], response.data() + 2, length);
  }
  message[msg::reply::kUtErrorNulAt] = 0;
  finish(message);
}

bool ClientEntry::sendAsync(std::span<const KMXBuffer> pieces, uint32_t* error) {
  bool ok = channel_->SendMsgV(kCtoSAsync, pieces.data(), static_cast<uint32_t>(pieces.size()));
  if (!ok) {
    if (error != nullptr) *error = GetLastError();
    noteFailure(IPC_ERR_MAILBOX_FULL);
  }
  return ok;
}

}  // namespace kmx::server
