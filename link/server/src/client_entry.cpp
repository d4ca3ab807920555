#include "client_entry.h"

#include <algorithm>
#include <cstring>

#include "kmx/platform/last_error.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"

namespace kmx::server {

ClientEntry::ClientEntry(uint32_t id, std::unique_ptr<KMXIpc> channel, ProcessWatch watch,
                         uint32_t baudRate)
    : requestedBaudRate(baudRate), id_(id), channel_(std::move(channel)), watch_(std::move(watch)) {}

ClientEntry::~ClientEntry() { channel_->Close(); }

int ClientEntry::commandFd() const { return channel_->WaitHandle(kCtoSCmd); }

bool ClientEntry::receiveCommand() {
  uint32_t length = 0;
  if (!channel_->ReceiveMsg(kCtoSCmd, commandBuffer_.data(), static_cast<uint32_t>(commandBuffer_.size()), 0,
                            &length)) {
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

bool ClientEntry::reply(std::span<const uint8_t> message) {
  return channel_->SendMsg(kStoCRsp, message.data(), static_cast<uint32_t>(message.size()));
}

bool ClientEntry::replyStatus(uint32_t status) {
  uint8_t word[4];
  proto::storeLe32(word, status);
  return reply(word);
}

bool ClientEntry::replyGathered(std::span<const KMXBuffer> pieces) {
  return channel_->SendMsgV(kStoCRsp, pieces.data(), static_cast<uint32_t>(pieces.size()));
}

bool ClientEntry::replyUtError(std::span<const uint8_t> response) {
  uint8_t message[msg::reply::kUtErrorSize] = {};
  proto::storeLe32(message, msg::kStatusUtRejected);
  if (response.size() >= 2) std::memcpy(&message[msg::reply::kUtErrorCode], response.data(), 2);
  if (response.size() > 2) {
    std::size_t length = std::min<std::size_t>(response.size() - 2, msg::reply::kUtErrorTextMax);
    std::memcpy(&message[msg::reply::kUtErrorText], response.data() + 2, length);
  }
  message[msg::reply::kUtErrorNulAt] = 0;
  return reply(message);
}

bool ClientEntry::sendAsync(std::span<const KMXBuffer> pieces, uint32_t* error) {
  bool ok = channel_->SendMsgV(kCtoSAsync, pieces.data(), static_cast<uint32_t>(pieces.size()));
  if (!ok && error != nullptr) *error = GetLastError();
  return ok;
}

}  // namespace kmx::server
