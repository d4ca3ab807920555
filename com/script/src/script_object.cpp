#include "script_object.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "kmxclient.h"
#include "readable_file.h"
#include "vx/safety/safety_copy.h"
#include "vx/com/error_info.h"

namespace vx::script {
namespace {

using vx::com::ComPtr;

constexpr int kPollMs = 500;
constexpr int kPortWaitMs = 500;
constexpr int kPortRetryMs = 25;
constexpr int kLinkWaitPollMs = 50;
constexpr int kLinkFailurePauseMs = 4000;
constexpr int kSessionRetryPauseMs = 7000;

// What the client library said of a port it could not use, right after the
// connection object failed to create the connection on this thread; empty
// for every other failure.
std::string portProblem() {
  if (KMXGetLastError() != KMX_ERR_PORT_NOT_OPENED) return {};
  char text[512] = {};
  uint16_t length = sizeof text;
  KMXGetLastUTErrorInfo(text, &length);
  return text;
}

bool isAllowedRate(int32_t rate) {
  return rate == 9600 || rate == 19200 || rate == 38400 || rate == 57600 || rate == 115200;
}

std::string utf8(std::u16string_view text) { return vx::com::Utf16ToUtf8(text); }

}  // namespace

ScriptObject::ScriptObject(LoopScheduler& loop, PortClaims& claims, TextLookup texts,
                           std::shared_ptr<const vx::res::ResourceLibrary> resources)
    : loop_(loop), claims_(claims), texts_(std::move(texts)), resources_(std::move(resources)) {}

ScriptObject::~ScriptObject() {
  loop_.cancel(pendingWait_);
  // The worker uses the connection's link: it ends before the connection.
  download_.reset();
  fullDisconnect();
}

HRESULT ScriptObject::report(Message message, HRESULT hr) {
  lastError_ = ReportedError{hr, message, {}};
  return hr;
}

bool ScriptObject::connected() const {
  UINT flag = 0;
  // A running download has the link to itself.
  return !download_ && connection_ && SUCCEEDED(connection_->IsConnected(&flag)) && flag == 1;
}

// --- Connect ----------------------------------------------------------------------------

HRESULT ScriptObject::validateConnect(std::u16string_view port, int32_t baudRate, int32_t timeout,
                                      std::u16string_view spc, std::string* port8, std::u16string* spc16) {
  if (port.empty() || port.size() >= kVexPortPathSize || !isAllowedRate(baudRate) || (timeout != -1 && timeout != 0)) {
    return E_INVALIDARG;
  }
  const std::string spc8 = utf8(spc);
  if (spc8.empty() || spc8.size() > 6 || spc8.find_first_not_of("0123456789") != std::string::npos) {
    return report(Message::SpcInvalid, VEX_E_SPC_REJECTED);
  }
  if (pollTimer_ != LoopScheduler::kNoTimer || pendingConnect_ || download_) {
    return report(Message::AlreadyConnecting, SCRIPT_E_ALREADY_CONNECTING);
  }
  *port8 = utf8(port);
  *spc16 = std::u16string(spc);
  return S_OK;
}

void ScriptObject::Connect(std::u16string_view port, int32_t baudRate, int32_t timeout, std::u16string_view spc,
                           ConnectDone done) {
  std::string port8;
  std::u16string spc16;
  HRESULT hr = validateConnect(port, baudRate, timeout, spc, &port8, &spc16);
  if (FAILED(hr)) {
    done(hr, 0);
    return;
  }
  pendingConnect_ = std::make_shared<ConnectRequest>(
      ConnectRequest{std::move(port8), baudRate, timeout, std::move(spc16), std::move(done), 0});
  if (!exclusivePort_) {
    connectOnPort(pendingConnect_);
    return;
  }
  claimPort(pendingConnect_);
}

void ScriptObject::answerConnect(HRESULT hr, int16_t state) {
  std::shared_ptr<ConnectRequest> request = std::move(pendingConnect_);
  if (!request) return;
  // A connect that failed leaves the port to whoever asks next.
  if (FAILED(hr)) portClaim_.reset();
  request->done(hr, state);
}

// Tries for the port every few milliseconds on the loop, so that a wait
// for another process's object holds up no other client.
void ScriptObject::claimPort(const std::shared_ptr<ConnectRequest>& request) {
  switch (claims_.tryClaim(request->port, &portClaim_)) {
    case PortClaims::Result::Claimed: connectOnPort(request); return;
    case PortClaims::Result::Failed: answerConnect(E_OUTOFMEMORY, 0); return;
    case PortClaims::Result::Held: break;
  }
  if (request->waitedMs >= kPortWaitMs) {
    answerConnect(report(Message::PortHeld, SCRIPT_E_PORT_HELD), 0);
    return;
  }
  request->waitedMs += kPortRetryMs;
  pendingWait_ = loop_.after(kPortRetryMs, [self = shared_from_this(), request] {
    self->pendingWait_ = LoopScheduler::kNoTimer;
    self->claimPort(request);
  });
}

void ScriptObject::connectOnPort(const std::shared_ptr<ConnectRequest>& request) {
  HRESULT hr = startLink(request->port, request->baudRate);
  if (hr == VEX_E_CREATE_CONNECTION) {
    stopPoll();
    report(Message::LinkNotStarted, hr);
    // A port that does not exist or may not be opened is told at once, in
    // the client library's words; no link server is ending on it.
    if (std::string problem = portProblem(); !problem.empty()) {
      lastError_.detail = std::move(problem);
      answerConnect(hr, 0);
      return;
    }
    // The pause lets a link server that is just ending go before a retry.
    pendingWait_ = loop_.after(kLinkFailurePauseMs, [self = shared_from_this(), hr] {
      self->pendingWait_ = LoopScheduler::kNoTimer;
      self->lastError_ = ReportedError{hr, Message::LinkNotStarted, {}};
      self->answerConnect(hr, 0);
    });
    return;
  }
  if (FAILED(hr)) {
    answerConnect(hr, 0);
    return;
  }
  state_ = kStateDown;
  spc_ = request->spc;
  awaitLink(request);
}

// The link server answers the open at once; a caller that wants to wait
// for the UT (time-out -1) waits here, on the object's loop, where a
// Disconnect or the server's end can still stop the wait.
void ScriptObject::awaitLink(const std::shared_ptr<ConnectRequest>& request) {
  UINT linkState = kStateDown;
  if (FAILED(connection_->GetConnectionState(&linkState))) linkState = kStateDown;
  if (linkState != kStateUp) {
    if (request->timeout == -1) {
      pendingWait_ = loop_.after(kLinkWaitPollMs, [self = shared_from_this(), request] {
        self->pendingWait_ = LoopScheduler::kNoTimer;
        if (self->connection_) self->awaitLink(request);
      });
      return;
    }
    state_ = static_cast<int16_t>(linkState);
    answerConnect(S_OK, state_);
    return;
  }
  if (request->timeout == 0) {
    state_ = kStateUp;
    postFinish();
    answerConnect(S_OK, kStateEstablishing);
    return;
  }
  finishConnection([self = shared_from_this()](HRESULT finished) {
    if (SUCCEEDED(finished)) {
      self->state_ = kStateUp;
      self->answerConnect(S_OK, kStateUp);
      return;
    }
    if (finished == VEX_E_NV_DATABASE) {
      self->report(Message::FinishFailed, finished);
      self->lastError_.detail = vx::com::TakeErrorDescription();
    }
    if (finished == VEX_E_SESSION_REFUSED) self->report(Message::SessionRefused, finished);
    if (finished == VEX_E_SPC_REJECTED) self->report(Message::SpcInvalid, finished);
    self->stopPoll();
    self->answerConnect(finished, 0);
  });
}

HRESULT ScriptObject::startLink(const std::string& port, int32_t baudRate) {
  ComPtr<IVexConnectionExt> connection;
  HRESULT hr = vx::com::CreateInstance(CLSID_VexConnection, &connection);
  if (FAILED(hr)) return hr;
  connection_ = connection;
  hr = connection_->SetComPortName(port.c_str());
  if (FAILED(hr)) return hr;
  // Never a wait inside the link server's open: see awaitLink.
  connection_->SetTimeout(0);
  connection_->SetSpeed(static_cast<ComPortSpeedType>(baudRate));
  connection_->SetMessagesEnabled(0);
  ComPtr<IVexProgress> progress;
  if (SUCCEEDED(connection_.As(&progress))) progress->SetProgressSink(progress_.Get());
  startPoll();
  return connection_->StartConnection();
}

// --- the poll and the finish --------------------------------------------------------------

void ScriptObject::startPoll() {
  if (pollTimer_ == LoopScheduler::kNoTimer) {
    std::weak_ptr<ScriptObject> weak = weak_from_this();
    pollTimer_ = loop_.every(kPollMs, [weak] {
      if (auto self = weak.lock()) self->poll();
    });
  }
}

void ScriptObject::stopPoll() {
  loop_.cancel(pollTimer_);
  pollTimer_ = LoopScheduler::kNoTimer;
}

void ScriptObject::poll() {
  // A connect under way finishes the connection itself.
  if (pendingConnect_) return;
  UINT linkState = kStateDown;
  if (!connection_ || FAILED(connection_->GetConnectionState(&linkState))) linkState = kStateDown;
  if (linkState == kStateUp) {
    if (state_ == kStateUp) return;
    state_ = kStateUp;
    if (!finishPosted_) postFinish();
    return;
  }
  if (state_ == kStateUp) partialDisconnect();
  state_ = static_cast<int16_t>(linkState);
}

void ScriptObject::postFinish() {
  finishPosted_ = true;
  loop_.after(0, [self = shared_from_this()] {
    self->finishConnection([self](HRESULT) { self->finishPosted_ = false; });
  });
}

void ScriptObject::finishConnection(std::function<void(HRESULT)> done) {
  if (!connection_) {
    done(report(Message::NotConnected, VEX_E_NOT_CONNECTED));
    return;
  }
  finishAttempt(false, std::move(done));
}

void ScriptObject::finishAttempt(bool retried, std::function<void(HRESULT)> done) {
  if (!connection_) {
    // Disconnected while the retry waited.
    done(report(Message::NotConnected, VEX_E_NOT_CONNECTED));
    return;
  }
  HRESULT hr = S_OK;
  {
    ProgressRelay::Scope scope(*progress_, "connect");
    vx::com::SetErrorDescription({});
    hr = connection_->FinishConnecting(spc_.c_str());
  }
  if (hr == VEX_E_SESSION_REFUSED && !retried) {
    // The UT refuses a session while it is still busy starting up.
    pendingWait_ = loop_.after(kSessionRetryPauseMs, [self = shared_from_this(), done = std::move(done)]() mutable {
      self->pendingWait_ = LoopScheduler::kNoTimer;
      self->finishAttempt(true, std::move(done));
    });
    return;
  }
  if (FAILED(hr)) {
    fullDisconnect();
    done(hr);
    return;
  }

  moduleUt_ = false;
  trimodeUt_ = false;
  ComPtr<IVexVersionExt> version;
  if (SUCCEEDED(connection_.As(&version))) {
    UTMainModel model = UTM_UNKNOWN;
    version->UpdateAllItems();
    version->GetUTMainModel(&model);
    moduleUt_ = model == UTM_MODULE;
    trimodeUt_ = model == UTM_TRIMODE_PORTABLE;
  }
  HRESULT attached = attachConfiguration();
  if (FAILED(attached)) {
    fullDisconnect();
    done(attached);
    return;
  }
  done(hr);
}

HRESULT ScriptObject::attachConfiguration() {
  ComPtr<IUnknown> config;
  HRESULT hr = vx::com::CreateInstance(CLSID_UTConfig, &config);
  if (FAILED(hr)) return hr;
  ComPtr<IUTConfigAttach> attach;
  hr = config.As(&attach);
  if (FAILED(hr)) return hr;
  hr = attach->AttachConnection(connection_.Get());
  if (FAILED(hr)) return hr;
  config_ = config;
  attach_ = attach;
  unicodeUt_ = -1;
  return S_OK;
}

// --- disconnecting -------------------------------------------------------------------------

void ScriptObject::releaseConfiguration() {
  if (attach_) attach_->DetachConnection();
  attach_.Reset();
  config_.Reset();
  unicodeUt_ = -1;
}

void ScriptObject::fullDisconnect() {
  releaseConfiguration();
  if (connection_) connection_->CloseConnection();
  connection_.Reset();
  spc_.clear();
  portClaim_.reset();
  stopPoll();
  moduleUt_ = false;
  trimodeUt_ = false;
  state_ = kStateDown;
}

void ScriptObject::partialDisconnect() {
  releaseConfiguration();
  if (connection_) connection_->PrepareForDownload();
  moduleUt_ = false;
  trimodeUt_ = false;
}

HRESULT ScriptObject::Disconnect() {
  cancelDownload();
  loop_.cancel(pendingWait_);
  pendingWait_ = LoopScheduler::kNoTimer;
  if (pendingConnect_) {
    lastError_ = ReportedError{E_ABORT, Message::None, "Disconnect was called while the connect was under way"};
    answerConnect(E_ABORT, 0);
  }
  fullDisconnect();
  return S_OK;
}

// --- the other members of the frame ----------------------------------------------------------

HRESULT ScriptObject::ConnectionState(int16_t* state) const {
  if (state == nullptr) return E_INVALIDARG;
  if (!connection_) {
    *state = 0;
  } else if (finishPosted_ && state_ == kStateUp) {
    *state = kStateEstablishing;
  } else {
    *state = state_;
  }
  return S_OK;
}

HRESULT ScriptObject::ResetUT() {
  if (!connected()) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  connection_->SendResetCmd();
  return S_OK;
}

HRESULT ScriptObject::CommitChanges() {
  if (!connected() || !config_) return E_FAIL;
  ComPtr<IVexParams1> params;
  HRESULT hr = connection_.As(&params);
  if (FAILED(hr)) return hr;
  ComPtr<IGeneralSettings> general;
  hr = config_.As(&general);
  if (FAILED(hr)) return hr;
  // Every commit stamps the service programming date.
  general->SetServiceProgDateAsCurrent();
  hr = params->CommitChanges();
  return FAILED(hr) ? hr : S_OK;
}

HRESULT ScriptObject::IsChanged(int32_t* changed) {
  if (changed == nullptr) return E_INVALIDARG;
  if (!connected()) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  ComPtr<IVexParams1> params;
  HRESULT hr = connection_.As(&params);
  if (FAILED(hr)) return hr;
  UINT dirty = 0;
  hr = params->IsBrowserDirty(&dirty);
  if (FAILED(hr)) return hr;
  *changed = dirty != 0 ? 1 : 0;
  return S_OK;
}

bool ScriptObject::fileWritable(const std::string& path) const {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno != ENOENT) return false;
  fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(path.c_str());
  return true;
}

HRESULT ScriptObject::SaveSettings(std::u16string_view settingsFile) {
  if (settingsFile.empty()) return E_INVALIDARG;
  const std::string path = utf8(settingsFile);
  if (!fileWritable(path)) return E_INVALIDARG;
  if (!connected()) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  ComPtr<IVexFile> file;
  if (FAILED(connection_.As(&file))) return report(Message::InterfaceMissing, SCRIPT_E_NO_INTERFACE);
  // The backup is written under a temporary name and renamed into place only
  // when every item was read over a link that stayed up, so a failed save
  // leaves an earlier file of this name as it was.
  HRESULT hr = S_OK;
  {
    ProgressRelay::Scope scope(*progress_, "save");
    hr = file->WriteNVToFile(path.c_str());
  }
  if (FAILED(hr) && (hr == VEX_E_NOT_CONNECTED || !connected())) {
    return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  }
  return hr;
}

HRESULT ScriptObject::RestoreSettings(std::u16string_view settingsFile, std::u16string_view logFile,
                                      int32_t writeToPhone) {
  const I4 write = writeToPhone != 0 ? 1 : 0;
  if (settingsFile.empty() || logFile.empty()) return E_INVALIDARG;
  const std::string settings = utf8(settingsFile);
  const std::string log = utf8(logFile);
  if (std::string problem = regularFileProblem(settings); !problem.empty()) {
    lastError_ = ReportedError{E_INVALIDARG, Message::None, std::move(problem)};
    return E_INVALIDARG;
  }
  if (!fileWritable(log)) return E_INVALIDARG;
  if (!connected()) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  ComPtr<IVexFile> file;
  if (FAILED(connection_.As(&file))) return report(Message::InterfaceMissing, SCRIPT_E_NO_INTERFACE);
  // Only a report this restore made may go when it fails; a file the
  // caller had under that name is theirs.
  const bool logExisted = ::access(log.c_str(), F_OK) == 0;
  lastSafetyCopy_.clear();
  if (write != 0 && safetyCopies_) {
    if (HRESULT hr = saveSafetyCopy("restore"); FAILED(hr)) return hr;
  }
  HRESULT hr = S_OK;
  {
    ProgressRelay::Scope scope(*progress_, "restore");
    hr = file->ReadNVFromFile(settings.c_str(), log.c_str(), write);
  }
  std::string why = vx::com::TakeErrorDescription();
  const bool linkLost = !connected();
  if (linkLost && !lastSafetyCopy_.empty()) {
    // Cut short: the report tells what reached the UT, the copy what it held.
    const bool reported = SUCCEEDED(hr);
    if (!reported && !logExisted) ::unlink(log.c_str());
    report(Message::NotConnected, VEX_E_NOT_CONNECTED);
    lastError_.detail = "the restore was cut short; " + (reported ? log + " lists the items written; " : std::string()) +
                        safetyCopyAdvice();
    return VEX_E_NOT_CONNECTED;
  }
  if ((FAILED(hr) || linkLost) && !logExisted) ::unlink(log.c_str());
  if (linkLost) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  if (hr == VEX_E_OTHER_MODEL) return report(Message::RestoreFailed, hr);
  if (FAILED(hr)) lastError_ = ReportedError{hr, Message::None, std::move(why)};
  return hr;
}

HRESULT ScriptObject::saveSafetyCopy(const char* what) {
  ComPtr<IVexFile> file;
  ComPtr<IVexVersion> version;
  if (FAILED(connection_.As(&file)) || FAILED(connection_.As(&version))) {
    return report(Message::InterfaceMissing, SCRIPT_E_NO_INTERFACE);
  }
  LPWSTR esn = nullptr;
  std::string esnText;
  if (SUCCEEDED(version->GetESN(&esn)) && esn != nullptr) esnText = vx::com::Utf16ToUtf8(esn);
  CoTaskMemFree(esn);
  std::string error;
  const auto path = vx::safety::newSafetyCopyPath(esnText, std::time(nullptr), &error);
  HRESULT hr = E_FAIL;
  if (path) {
    ProgressRelay::Scope scope(*progress_, "safety-copy");
    hr = file->WriteNVToFile(path->c_str());
    if (FAILED(hr)) {
      error = *path + ": could not be written";
    } else if (!vx::safety::makePrivate(*path, &error)) {
      hr = E_ACCESSDENIED;
    }
  }
  if (hr == VEX_E_NOT_CONNECTED || !connected()) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  if (FAILED(hr)) {
    lastError_ = ReportedError{hr, Message::None,
                               "the UT's settings could not be saved before the " + std::string(what) + " (" + error +
                                   "); nothing was written to the UT (turn SafetyCopies off to go on without a copy)"};
    return hr;
  }
  lastSafetyCopy_ = *path;
  return S_OK;
}

std::string ScriptObject::safetyCopyAdvice() const {
  if (lastSafetyCopy_.empty()) return {};
  return "the UT's settings from before are in " + lastSafetyCopy_ + " (" +
         vx::safety::restoreCommand(lastSafetyCopy_) + " puts them back)";
}

HRESULT ScriptObject::SafetyCopies(int32_t* on) const {
  if (on == nullptr) return E_INVALIDARG;
  *on = safetyCopies_ ? 1 : 0;
  return S_OK;
}

HRESULT ScriptObject::SetSafetyCopies(int32_t on) {
  safetyCopies_ = on != 0;
  return S_OK;
}

HRESULT ScriptObject::LastSafetyCopy(std::u16string* path) const {
  if (path == nullptr) return E_INVALIDARG;
  *path = vx::com::Utf8ToUtf16(lastSafetyCopy_);
  return S_OK;
}

HRESULT ScriptObject::ScriptObjectVersion(std::u16string* text) const {
  if (text == nullptr) return E_INVALIDARG;
  std::optional<std::string> version = texts_ ? texts_(kVersionTextNumber) : std::nullopt;
  *text = vx::com::Utf8ToUtf16(version.value_or(""));
  return S_OK;
}

HRESULT ScriptObject::ExclusivePort(int32_t* exclusive) const {
  if (exclusive == nullptr) return E_INVALIDARG;
  *exclusive = exclusivePort_ ? 1 : 0;
  return S_OK;
}

HRESULT ScriptObject::SetExclusivePort(int32_t exclusive) {
  exclusivePort_ = exclusive != 0;
  return S_OK;
}

// --- what the settings members share -------------------------------------------------------

HRESULT ScriptObject::version(const VersionCall& call) {
  if (!connected() || !config_) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  ComPtr<IVexVersionExt> version;
  if (FAILED(connection_.As(&version))) return report(Message::InterfaceMissing, SCRIPT_E_NO_INTERFACE);
  HRESULT hr = call(*version.Get());
  if (hr == VEX_E_NO_DATA) {
    HRESULT refreshed = version->UpdateAllItems();
    if (refreshed == VEX_E_STATUS_REQUEST) return report(Message::VersionRefreshFailed, refreshed);
    hr = call(*version.Get());
    if (hr == VEX_E_NO_DATA) return report(Message::SettingFailed, hr);
  }
  return hr;
}

bool ScriptObject::unicodeUt() {
  if (unicodeUt_ < 0) {
    ComPtr<IUISettings_1_3> ui;
    int32_t unicode = 0;
    if (config_ && SUCCEEDED(config_.As(&ui)) && SUCCEEDED(ui->IsPhoneUnicode(&unicode))) {
      unicodeUt_ = unicode != 0 ? 1 : 0;
    } else {
      return false;
    }
  }
  return unicodeUt_ == 1;
}

}  // namespace vx::script
