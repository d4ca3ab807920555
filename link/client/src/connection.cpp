#include "connection.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "errors.h"
#include "kmx/platform/last_error.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"
#include "kmx_messages.h"
#include "kmxclient.h"

namespace kmx::client {
namespace {

// The client error of a reply status other than 0 and 30.
uint16_t errorOfStatus(uint32_t status) {
  switch (status) {
    case msg::kStatusUtReplyUnusable: return KMX_ERR_UT_RESPONSE_UNUSABLE;
    case msg::kStatusNoUtReply: return KMX_ERR_UT_TIMEOUT;
    case msg::kStatusLinkDown: return KMX_ERR_LINK_DOWN;
    case msg::kStatusLinkNotMade: return KMX_ERR_LINK_NOT_MADE;
    case msg::kStatusFailed: return KMX_ERR_REQUEST_FAILED;
    case msg::kStatusReplyTooBig: return KMX_ERR_UT_RESPONSE_TOO_BIG;
    case msg::kStatusBadBaudRate: return KMX_ERR_INVALID_BAUD_RATE;
    case msg::kStatusXmodemStartFailed: return KMX_ERR_XMODEM_INIT;
    case msg::kStatusXmodemFailed: return KMX_ERR_XMODEM_TRANSMISSION;
    case msg::kStatusXmodemCancelledByUt: return KMX_ERR_XMODEM_UT_CANCELLED;
    case msg::kStatusNotInXmodem: return KMX_ERR_XMODEM_NOT_ACTIVE;
    case msg::kStatusXmodemBadState: return KMX_ERR_XMODEM_STATE;
    case msg::kStatusNotXmodemOwner: return KMX_ERR_XMODEM_NOT_OWNER;
    case msg::kStatusXmodemOther: return KMX_ERR_XMODEM_OTHER;
    case msg::kStatusAlreadyInXmodem: return KMX_ERR_XMODEM_ALREADY;
    case msg::kStatusBadReplySize: return KMX_ERR_UT_RESPONSE_SIZE;
    case msg::kStatusXmodemCancelled: return KMX_ERR_XMODEM_CANCELLED;
    default: return KMX_ERR_UNKNOWN_RESPONSE;
  }
}

}  // namespace

Connection::Connection(std::unique_ptr<KMXIpc> channel, pid_t serverPid)
    : HandleObject(Kind::Connection), channel_(std::move(channel)) {
  if (serverPid > 0) {
    server_ = ProcessWatch(serverPid);
    // No such process: the server ended before it could be watched.
    peer_.ended = !server_.valid() && (GetLastError() & 0xFFFF) == ESRCH;
    peer_.processFd = server_.fd();
  }
  asyncFd_ = channel_->WaitHandle(kCtoSAsync);
}

Connection::~Connection() { closeChannel(); }

void Connection::closeChannel() {
  std::lock_guard lock(channelMutex_);
  if (channel_) channel_->Close();
  asyncFd_ = -1;
}

bool Connection::sendCancel() {
  std::lock_guard lock(channelMutex_);
  uint8_t request[4];
  proto::storeLe32(request, msg::kCmdCancelXmodem);
  return channel_->SendMsg(kCtoSCmd, request, sizeof request);
}

bool Connection::receiveAsync(uint8_t* buffer, uint32_t capacity, uint32_t* length) {
  return channel_->ReceiveMsg(kCtoSAsync, buffer, capacity, 0, length);
}

void Connection::discardReply() {
  uint8_t scratch[msg::kMaxMessage];
  channel_->ReceiveMsg(kStoCRsp, scratch, sizeof scratch, 0, nullptr);
}

bool Connection::exchange(Form form, std::span<const KMXBuffer> request,
                          std::span<KMXBuffer> reply) {
  const uint16_t receiveError = form == Form::C ? KMX_ERR_IPC_RECEIVEV : KMX_ERR_IPC_RECEIVE;
  auto fail = [&](uint16_t code) {
    if (code != 0) setError(code);
    discardReply();
    return false;
  };

  const bool sent =
      form == Form::A
          ? channel_->SendMsg(kCtoSCmd, request[0].data, request[0].length)
          : channel_->SendMsgV(kCtoSCmd, request.data(), static_cast<uint32_t>(request.size()));
  if (!sent) return fail(form == Form::A ? KMX_ERR_IPC_SEND : KMX_ERR_IPC_SENDV);

  uint8_t head[4];
  uint32_t got = 0;
  switch (peekNext(*channel_, kStoCRsp, head, sizeof head, &got, peer_)) {
    case Arrival::Ready: break;
    // The server has ended: no reply will come.
    case Arrival::PeerGone: return fail(receiveError);
    case Arrival::Failed: return fail(KMX_ERR_IPC_PEEK);
  }
  if (got < sizeof head) return fail(KMX_ERR_INVALID_RESPONSE);

  const uint32_t status = proto::loadLe32(head);
  if (status == msg::kStatusOk) {
    bool received = false;
    if (form == Form::C) {
      received = channel_->ReceiveMsgV(kStoCRsp, reply.data(), static_cast<uint32_t>(reply.size()), 0);
    } else {
      uint32_t length = 0;
      received = channel_->ReceiveMsg(kStoCRsp, reply[0].data, reply[0].length, 0, &length);
      reply[0].length = length;
    }
    return received || fail(receiveError);
  }

  if (status == msg::kStatusUtRejected) {
    uint8_t utError[msg::reply::kUtErrorSize];
    uint32_t length = 0;
    if (!channel_->ReceiveMsg(kStoCRsp, utError, sizeof utError, 0, &length)) {
      return fail(KMX_ERR_IPC_RECEIVE);
    }
    if (length == msg::reply::kUtErrorSize) {
      utError[msg::reply::kUtErrorNulAt] = 0;
      const char* text = reinterpret_cast<const char*>(&utError[msg::reply::kUtErrorText]);
      const std::size_t textLength =
          strnlen(text, msg::reply::kUtErrorNulAt - msg::reply::kUtErrorText);
      setUtError(static_cast<int16_t>(proto::loadLe16(&utError[msg::reply::kUtErrorCode])),
                 std::string(text, textLength));
    } else {
      setUtError(0, std::nullopt);
    }
    return fail(0);
  }
  return fail(errorOfStatus(status));
}

}  // namespace kmx::client
