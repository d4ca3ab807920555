// IVexConnection and IVexConnectionExt: the link's settings, its start and
// end, the connection's finishing steps, and the client library callbacks.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "kmxclient.h"
#include "nv_loader.h"
#include "vx/com/error_info.h"
#include "vex_connection.h"

namespace vx::connect {

namespace {

constexpr uint32_t kLinkUp = 1;
constexpr uint32_t kLinkDown = 4;
constexpr uint32_t kAllLinkStates = 7;
constexpr uint8_t kServiceOperation = 6;
constexpr uint8_t kOpenSessionData[2] = {0x07, 0x01};
constexpr uint8_t kResetData[2] = {0x05, 0x00};
constexpr uint8_t kServiceLockRefused = 9;
constexpr uint8_t kAlertId = 0;
constexpr std::size_t kSpcCharacters = 7;
constexpr std::size_t kSpcBlockBytes = 50;

}  // namespace

CVexConnection::~CVexConnection() {
  closeInternally(false);
  std::lock_guard lock(sinkLock_);
  sink_.Reset();
}

bool CVexConnection::connected() {
  UINT flag = 0;
  return SUCCEEDED(IsConnected(&flag)) && flag != 0;
}

HRESULT CVexConnection::StartConnection() {
  // A second link would leave the first one open and calling back.
  if (connected() || connection_ != nullptr) return E_FAIL;
  void* connection = KMXCreateConnection(portName_.c_str(), static_cast<uint32_t>(speed_));
  if (connection == nullptr) return VEX_E_CREATE_CONNECTION;
  const UINT before = state_.load();
  uint32_t linkState = before;
  if (KMXOpenConnection(connection, static_cast<uint16_t>(timeoutSeconds_), &CVexConnection::onStateChange,
                        kAllLinkStates, &linkState, this) == 0) {
    KMXCloseHandle(connection);
    return E_FAIL;
  }
  connection_ = connection;
  ut_ = std::make_unique<nvdb::KmxUtAccess>(connection_);
  // A change the listening thread reported meanwhile is newer than the
  // state the open call answered with.
  UINT expected = before;
  state_.compare_exchange_strong(expected, linkState);
  return S_OK;
}

HRESULT CVexConnection::FinishConnecting(LPCWSTR pwzPassword) {
  if (pwzPassword == nullptr) return E_INVALIDARG;
  vx::com::SetErrorDescription({});
  return vx::com::NoThrow([&]() -> HRESULT {
    lastTypedSpc_.assign(pwzPassword, std::min(vx::com::WideLength(pwzPassword), kSpcCharacters));
    if (state_.load() != kLinkUp || connection_ == nullptr) return VEX_E_NOT_CONNECTED;

    UINT valid = 0;
    if (FAILED(SendSPCode(pwzPassword, &valid)) || valid == 0) return VEX_E_SPC_REJECTED;

    bool serviceLocked = false;
    const uint32_t selector = status_item::kServiceLock;
    KMXStatusRecord record{};
    if (KMXGetStatusData(connection_, 1, &selector, &record) != 0) {
      if (record.length == 2 && record.data != nullptr) {
        serviceLocked = *static_cast<const uint8_t*>(record.data) == kServiceLockRefused;
      }
      std::free(record.data);
    }
    if (KMXSendOprCmd(connection_, kServiceOperation, kOpenSessionData, sizeof kOpenSessionData, nullptr,
                      nullptr) == 0 ||
        serviceLocked) {
      return VEX_E_SESSION_REFUSED;
    }

    // A connection finished again (after a download) registers afresh.
    if (alertRegistration_ != nullptr) KMXCloseHandle(std::exchange(alertRegistration_, nullptr));
    lastGaspRegistration_ = KMXOpenNewLastGaspData(connection_, &CVexConnection::onLastGasp, this);
    if (lastGaspRegistration_ == nullptr) {
      dropLink();
      return E_FAIL;
    }
    alertRegistration_ = KMXOpenAlertData(connection_, kAlertId, &CVexConnection::onAlert, this);
    if (alertRegistration_ == nullptr) {
      KMXCloseHandle(std::exchange(lastGaspRegistration_, nullptr));
      dropLink();
      return E_FAIL;
    }
    if (!database_) database_ = std::make_unique<nvdb::NvDatabase>(nvdb::SymbolTable{}, std::vector<nvdb::NVItemInfo>{});
    return loadDatabase();
  });
}

HRESULT CVexConnection::loadDatabase() {
  nvdb::LoadOptions options;
  options.messagesEnabled = messagesEnabled_;
  options.progress = [this](const nvdb::LoadProgress& progress) {
    using Stage = nvdb::LoadProgress::Stage;
    const VexProgressStep step = progress.stage == Stage::SymbolInformation ? VEX_STEP_SYMBOL_INFORMATION
                                 : progress.stage == Stage::ItemTables      ? VEX_STEP_ITEM_TABLES
                                                                            : VEX_STEP_ITEM_DIMENSIONS;
    reportProgress(step, progress.done, progress.total);
  };
  std::string refusal;
  auto loaded = nvdb::loadNvDatabase(*ut_, options, &refusal);
  if (!loaded) {
    // The browser stays, empty: no path resolves until a load succeeds. A
    // catalogue beyond the database's budget says where it ran out.
    database_ = std::make_unique<nvdb::NvDatabase>(nvdb::SymbolTable{}, std::vector<nvdb::NVItemInfo>{});
    vx::com::SetErrorDescription(std::move(refusal));
    return VEX_E_NV_DATABASE;
  }
  database_ = std::move(loaded);
  return S_OK;
}

HRESULT CVexConnection::SetProgressSink(IVexProgressSink* sink) {
  progressSink_ = sink;
  return S_OK;
}

void CVexConnection::reportProgress(VexProgressStep step, uint64_t done, uint64_t total) {
  if (!progressSink_) return;
  constexpr uint64_t kMax = UINT32_MAX;
  progressSink_->Progress(step, static_cast<UI4>(std::min(done, kMax)), static_cast<UI4>(std::min(total, kMax)));
}

HRESULT CVexConnection::closeInternally(bool keepLink) {
  database_.reset();
  if (lastGaspRegistration_ != nullptr) {
    if (KMXCloseHandle(lastGaspRegistration_) == 0) return E_FAIL;
    lastGaspRegistration_ = nullptr;
  }
  if (alertRegistration_ != nullptr) {
    if (KMXCloseHandle(alertRegistration_) == 0) return E_FAIL;
    alertRegistration_ = nullptr;
  }
  if (keepLink || connection_ == nullptr) return S_OK;
  if (KMXCloseHandle(connection_) == 0) return E_FAIL;
  connection_ = nullptr;
  ut_.reset();
  state_.store(kLinkDown);
  return S_OK;
}

void CVexConnection::dropLink() {
  KMXCloseHandle(std::exchange(connection_, nullptr));
  ut_.reset();
  // Without a connection no state change can arrive any more.
  state_.store(kLinkDown);
}

HRESULT CVexConnection::CloseConnection() { return closeInternally(false); }

HRESULT CVexConnection::PrepareForDownload() { return closeInternally(true); }

HRESULT CVexConnection::GetSpeed(ComPortSpeedType* speed) {
  if (speed == nullptr) return E_INVALIDARG;
  *speed = speed_;
  return S_OK;
}

HRESULT CVexConnection::SetSpeed(ComPortSpeedType speed) {
  if (connected()) return E_FAIL;
  speed_ = speed;
  return S_OK;
}

HRESULT CVexConnection::GetComPort(ComPortType* port) {
  if (port == nullptr) return E_INVALIDARG;
  static constexpr const char* kNames[] = {"COM1", "COM2", "COM3", "COM4"};
  for (int i = 0; i < 4; ++i) {
    if (portName_ == kNames[i]) {
      *port = static_cast<ComPortType>(i + 1);
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT CVexConnection::SetComPort(ComPortType port) {
  if (connected()) return E_FAIL;
  const char* name = "COM1";
  if (port == COM_2) name = "COM2";
  if (port == COM_3) name = "COM3";
  if (port == COM_4) name = "COM4";
  portName_ = name;
  return S_OK;
}

HRESULT CVexConnection::GetTimeout(UINT* seconds) {
  if (seconds == nullptr) return E_INVALIDARG;
  *seconds = timeoutSeconds_;
  return S_OK;
}

HRESULT CVexConnection::SetTimeout(UINT seconds) {
  if (connected()) return E_FAIL;
  timeoutSeconds_ = seconds;
  return S_OK;
}

HRESULT CVexConnection::IsConnected(UINT* connected) {
  if (connected == nullptr) return E_INVALIDARG;
  *connected = connection_ != nullptr && state_.load() == kLinkUp && database_ != nullptr ? 1 : 0;
  return S_OK;
}

HRESULT CVexConnection::Advise(IVexAdviseConnectState* sink) {
  if (sink == nullptr) return E_INVALIDARG;
  std::lock_guard lock(sinkLock_);
  if (sink_) return E_FAIL;
  sink_ = sink;
  return S_OK;
}

HRESULT CVexConnection::UnAdvise() {
  vx::com::ComPtr<IVexAdviseConnectState> released;
  {
    std::lock_guard lock(sinkLock_);
    if (!sink_) return E_FAIL;
    released = std::move(sink_);
  }
  return S_OK;  // the sink is released here, outside the lock
}

HRESULT CVexConnection::GetKMXHandle(void** handle) {
  if (handle == nullptr) return E_INVALIDARG;
  *handle = connection_;
  return S_OK;
}

HRESULT CVexConnection::GetConnectionState(UINT* state) {
  if (state == nullptr) return E_INVALIDARG;
  *state = state_.load();
  return S_OK;
}

HRESULT CVexConnection::SendResetCmd() {
  if (connection_ == nullptr || state_.load() != kLinkUp) return E_FAIL;
  return KMXSendOprCmd(connection_, kServiceOperation, kResetData, sizeof kResetData, nullptr, nullptr) != 0
             ? S_OK
             : E_FAIL;
}

HRESULT CVexConnection::GetAvailableSpeeds(UINT* rates) {
  if (rates == nullptr) return E_INVALIDARG;
  *rates = 0;
  if (connected()) return E_FAIL;
  uint32_t mask = 0;
  if (KMXGetAvailableBaudRatesOnCOMPort(portName_.c_str(), &mask) == 0) return E_FAIL;
  *rates = mask;
  return S_OK;
}

HRESULT CVexConnection::GetLastTypedSPC(LPWSTR* spc) {
  if (spc == nullptr) return E_INVALIDARG;
  auto* block = static_cast<LPWSTR>(CoTaskMemAlloc(kSpcBlockBytes));
  if (block == nullptr) return E_OUTOFMEMORY;
  std::memset(block, 0, kSpcBlockBytes);
  std::copy_n(lastTypedSpc_.begin(), std::min(lastTypedSpc_.size(), kSpcCharacters), block);
  *spc = block;
  return S_OK;
}

HRESULT CVexConnection::GetComPortName(char* name) {
  if (name == nullptr) return E_INVALIDARG;
  std::memset(name, 0, kVexPortNameSize);
  std::memcpy(name, portName_.data(), std::min<std::size_t>(portName_.size(), kVexPortNameSize - 1));
  return S_OK;
}

HRESULT CVexConnection::SetComPortName(const char* name) {
  if (name == nullptr) return E_INVALIDARG;
  // Read no further than the terminator: the caller's text may be shorter
  // than the longest name. A name that leaves no room for one is refused.
  const std::size_t length = strnlen(name, kVexPortPathSize);
  if (length == kVexPortPathSize) return E_INVALIDARG;
  return vx::com::NoThrow([&] {
    portName_.assign(name, length);
    return S_OK;
  });
}

HRESULT CVexConnection::SetMessagesEnabled(UINT enabled) {
  messagesEnabled_ = enabled != 0;
  return S_OK;
}

vx::com::ComPtr<IVexAdviseConnectState> CVexConnection::currentSink() {
  std::lock_guard lock(sinkLock_);
  return sink_;
}

void CVexConnection::onStateChange(uint32_t linkState, void* self) {
  auto* connection = static_cast<CVexConnection*>(self);
  const uint32_t before = connection->state_.exchange(linkState);
  if (before == linkState) return;
  if (before == kLinkUp) connection->linkDrops_.fetch_add(1);
  if (auto sink = connection->currentSink()) sink->StateChange(linkState);
}

void CVexConnection::onLastGasp(uint32_t timeStampHigh, uint32_t timeStampLow, const char* text,
                                void* self) {
  auto* connection = static_cast<CVexConnection*>(self);
  if (auto sink = connection->currentSink()) {
    // The sink takes a writable text; it gets a copy of the record's.
    try {
      std::string message = text != nullptr ? text : "";
      sink->LastGasp(timeStampHigh, timeStampLow, message.data());
    } catch (const std::bad_alloc&) {
    }
  }
}

void CVexConnection::onAlert(uint32_t id, const void*, uint32_t, void* self) {
  auto* connection = static_cast<CVexConnection*>(self);
  if (auto sink = connection->currentSink()) sink->Alert(static_cast<UI1>(id));
}

}  // namespace vx::connect
