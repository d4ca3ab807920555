#include "wire_client.h"

#include <unistd.h>

#include "kmx/platform/named_mutex.h"
#include "kmx/platform/process.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"
#include "kmx_messages.h"

namespace kmx::server::wire {

void appendWord(std::vector<uint8_t>& out, uint32_t value) { proto::appendLe32(out, value); }

std::vector<uint8_t> words(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> out;
  for (uint32_t v : values) appendWord(out, v);
  return out;
}

uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
  return bytes.size() >= offset + 4 ? proto::loadLe32(&bytes[offset]) : 0xFFFFFFFF;
}

WireClient::WireClient(const std::string& device, const std::string& serverPath, uint32_t baudRate,
                       uint32_t clientId)
    : device_(device) {
  for (uint32_t id = clientId == kAutoId ? 0 : clientId; id < 1000; ++id) {
    auto channel = std::make_unique<KMXIpc>(clientChannelName(device, id).c_str(), kClientChannelClient);
    if (channel->Create()) {
      channel_ = std::move(channel);
      clientId = id;
      break;
    }
    if (clientId != kAutoId) return;
  }
  if (!channel_) return;

  auto mutex = NamedMutex::create("KMX_NEW_CONNECTION_MUTEX");
  if (!mutex || mutex->lock(5000) == NamedMutex::LockResult::TimedOut) return;
  KMXIpc connection(connectionChannelName(device).c_str(), kConnectionChannelClient);
  bool created = connection.Create();
  if (!created) connection.Open();
  std::vector<uint8_t> request = words({0, clientId, baudRate, static_cast<uint32_t>(getpid())});
  connection.SendMsg(kConnMbox, request.data(), static_cast<uint32_t>(request.size()));
  mutex->unlock();
  // The server's start-up lines go to a log beside its named objects, not
  // into the test's output.
  if (created) startDetached(serverPath, {device}, runtimeDir() + "/kmxserver-" + device + ".log");

  uint8_t reply[msg::kMaxMessage];
  uint32_t length = 0;
  if (channel_->ReceiveMsg(kStoCRsp, reply, sizeof reply, 20000, &length) && length == 12) {
    status_ = static_cast<int>(proto::loadLe32(reply + 4));
    serverPid_ = static_cast<pid_t>(proto::loadLe32(reply + 8));
  }
}

WireClient::~WireClient() = default;

bool WireClient::send(const std::vector<uint8_t>& request) {
  return channel_ && channel_->SendMsg(kCtoSCmd, request.data(), static_cast<uint32_t>(request.size()));
}

std::vector<uint8_t> WireClient::awaitReply(int timeoutMs) {
  std::vector<uint8_t> reply(msg::kMaxMessage);
  uint32_t length = 0;
  if (!channel_ || !channel_->ReceiveMsg(kStoCRsp, reply.data(), static_cast<uint32_t>(reply.size()), timeoutMs, &length))
    return {};
  reply.resize(length);
  return reply;
}

std::vector<uint8_t> WireClient::command(const std::vector<uint8_t>& request, int timeoutMs) {
  if (!send(request)) return {};
  return awaitReply(timeoutMs);
}

uint32_t WireClient::status(const std::vector<uint8_t>& reply) const { return wordAt(reply, 0); }

int WireClient::openConnection(uint16_t timeoutSeconds, uint32_t mask, int waitMs) {
  std::vector<uint8_t> request = words({msg::kCmdOpenConnection, timeoutSeconds, mask});
  auto reply = command(request, waitMs);
  if (reply.size() != 12 || wordAt(reply, 0) != 0) return -1;
  return static_cast<int>(wordAt(reply, 8));
}

bool WireClient::nextAsync(AsyncMessage& message, int timeoutMs) {
  std::vector<uint8_t> bytes(msg::kMaxMessage);
  uint32_t length = 0;
  if (!channel_ || !channel_->ReceiveMsg(kCtoSAsync, bytes.data(), static_cast<uint32_t>(bytes.size()), timeoutMs, &length))
    return false;
  if (length < 12) return false;
  message.type = proto::loadLe32(&bytes[4]);
  message.id = proto::loadLe32(&bytes[8]);
  message.payload.assign(bytes.begin() + 12, bytes.begin() + length);
  return true;
}

void WireClient::close() {
  command(words({msg::kCmdClose}), 5000);
  channel_.reset();
}

}  // namespace kmx::server::wire
