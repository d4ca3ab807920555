#include "ut_session.h"

#include <QSemaphore>
#include <array>
#include <chrono>
#include <ctime>
#include <thread>

#include "kmx/io/port_name.h"
#include "kmx/platform/named_mutex.h"
#include "kmxclient.h"
#include "text_ids.h"
#include "texts.h"
#include "vx/com/error_info.h"
#include "vx/safety/safety_copy.h"

namespace utvex {

using vx::com::ComPtr;

namespace {
constexpr int kPortWaitMs = 500;
constexpr int kLinkPollMs = 50;

// The connection object's progress, handed on to the session's callback.
class ProgressForwarder final : public vx::com::Implements<IVexProgressSink> {
 public:
  explicit ProgressForwarder(Session::ProgressCallback callback) : callback_(std::move(callback)) {}
  HRESULT Progress(VexProgressStep step, UI4 done, UI4 total) override {
    if (callback_) callback_(step, done, total);
    return S_OK;
  }

 private:
  Session::ProgressCallback callback_;
};
}  // namespace

Session::Session(ProgressCallback onProgress)
    : progressSink_(vx::com::Make<ProgressForwarder>(std::move(onProgress))) {}

std::string portMutexName(const std::string& port) { return kmx::io::exclusiveClaimName(port); }

QString takeText(LPWSTR text) {
  if (text == nullptr) return {};
  QString copy = QString::fromUtf16(text);
  CoTaskMemFree(text);
  return copy;
}

QString safetyCopyNote(const Texts& texts, const std::string& path) {
  return texts.format(text::kSafetyCopyWhere, {QString::fromStdString(path),
                                              QString::fromStdString(vx::safety::restoreCommand(path))});
}

Session::~Session() { disconnect(false); }

UINT Session::linkState() const {
  UINT state = 0;
  if (!connection_ || FAILED(connection_->GetConnectionState(&state))) return 0;
  return state;
}

bool Session::linkAlive() const {
  const UINT state = linkState();
  return state == kLinkUp || state == kLinkEstablishing;
}

ConnectResult Session::connect(const ConnectRequest& request, const std::atomic<bool>& cancel) {
  ConnectResult result;
  if (linkAlive()) {
    result.outcome = ConnectOutcome::AlreadyConnected;
    return result;
  }
  disconnect(false);

  // The port's mutex, waited for at most 500 ms: held by another instance,
  // the port is refused.
  auto mutex = kmx::NamedMutex::create(portMutexName(request.port));
  if (!mutex || mutex->lock(kPortWaitMs) == kmx::NamedMutex::LockResult::TimedOut) {
    result.outcome = ConnectOutcome::PortInUse;
    return result;
  }
  portMutex_ = std::move(mutex);
  port_ = request.port;
  baudRate_ = request.baudRate;

  auto fail = [&](ConnectOutcome outcome, HRESULT hr) {
    disconnect(false);
    result.outcome = outcome;
    result.hr = hr;
    return result;
  };

  HRESULT hr = vx::com::CreateInstance(CLSID_VexConnection, &connection_);
  if (FAILED(hr)) return fail(ConnectOutcome::CreateFailed, hr);
  hr = connection_->SetComPortName(request.port.c_str());
  if (FAILED(hr)) return fail(ConnectOutcome::PortNameFailed, hr);
  connection_->SetMessagesEnabled(0);
  hr = connection_->SetTimeout(static_cast<UINT>(request.timeoutSeconds));
  if (SUCCEEDED(hr)) hr = connection_->SetSpeed(static_cast<ComPortSpeedType>(request.baudRate));
  if (FAILED(hr)) return fail(ConnectOutcome::SettingsFailed, hr);
  if (auto reports = connectionAs<IVexProgress>()) reports->SetProgressSink(progressSink_.Get());
  hr = connection_->StartConnection();
  if (hr == VEX_E_CREATE_CONNECTION) {
    // The client library refuses a port that does not exist or may not be
    // opened at once and says why (error 44); that is the engineer's answer,
    // not a 30 s wait for a UT that cannot answer.
    if (KMXGetLastError() == 44) {
      std::array<char, 512> text{};
      uint16_t length = static_cast<uint16_t>(text.size());
      KMXGetLastUTErrorInfo(text.data(), &length);
      result.why = QString::fromUtf8(text.data()).trimmed();
    }
    return fail(ConnectOutcome::LinkServerFailed, hr);
  }
  if (FAILED(hr)) return fail(ConnectOutcome::StartFailed, hr);

  // The link comes up on the client library's thread; wait for it here, off
  // the window's thread, so that the window can offer a cancel.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(request.waitForLinkMs);
  while (linkState() != kLinkUp) {
    if (cancel) return fail(ConnectOutcome::Cancelled, E_ABORT);
    if (std::chrono::steady_clock::now() > deadline) return fail(ConnectOutcome::NoAnswer, VEX_E_NOT_CONNECTED);
    std::this_thread::sleep_for(std::chrono::milliseconds(kLinkPollMs));
  }
  hr = connection_->FinishConnecting(request.spc.c_str());
  if (FAILED(hr)) return fail(ConnectOutcome::FinishFailed, hr);

  hr = vx::com::CreateInstance(CLSID_UTConfig, &config_);
  if (SUCCEEDED(hr)) hr = config_.As(&attach_);
  if (SUCCEEDED(hr)) hr = attach_->AttachConnection(connection_.Get());
  if (FAILED(hr)) return fail(ConnectOutcome::AttachFailed, hr);

  result.state = state();
  return result;
}

UtState Session::state() const {
  UtState state;
  auto version = connectionAs<IVexVersionExt>();
  state.linkState = linkState();
  if (!version || !linkAlive()) return state;
  state.connected = true;
  state.port = QString::fromStdString(port_);
  state.baudRate = baudRate_;
  // The version data is read from the UT once per connection.
  version->UpdateAllItems();
  LPWSTR model = nullptr, esn = nullptr, software = nullptr, wdc = nullptr;
  version->GetUTModel(&model);
  version->GetESN(&esn);
  version->GetUTFirmwareRev(&software);
  version->GetWarrantyDateCode(&wdc);
  if (FAILED(version->GetUTMainModel(&state.mainModel))) state.mainModel = UTM_UNKNOWN;
  state.model = takeText(model).simplified();
  state.esn = takeText(esn).simplified();
  state.software = takeText(software).simplified();
  state.warrantyDateCode = takeText(wdc).simplified();
  return state;
}

SafetyCopy Session::saveSafetyCopy() {
  SafetyCopy copy;
  auto file = connectionAs<IVexFile>();
  auto version = connectionAs<IVexVersion>();
  if (!file || !version || !linkAlive()) {
    copy.error = hex8(VEX_E_NOT_CONNECTED).toStdString();
    return copy;
  }
  LPWSTR esn = nullptr;
  const HRESULT esnHr = version->GetESN(&esn);
  const QString esnText = takeText(esn).simplified();
  const auto path = vx::safety::newSafetyCopyPath(SUCCEEDED(esnHr) ? esnText.toStdString() : std::string(),
                                                  std::time(nullptr), &copy.error);
  if (!path) return copy;
  vx::com::TakeErrorDescription();  // an earlier call's, not this one's
  const HRESULT hr = file->WriteNVToFile(path->c_str());
  if (FAILED(hr)) {
    // The connection object says why when it knows (a file it could not
    // make); a lost link has the code alone.
    const std::string why = vx::com::TakeErrorDescription();
    copy.error = *path + ": " + (why.empty() ? hex8(hr).toStdString() : why);
    return copy;
  }
  if (!vx::safety::makePrivate(*path, &copy.error)) return copy;
  copy.saved = true;
  copy.path = *path;
  return copy;
}

void Session::disconnect(bool keepLink) {
  if (attach_) attach_->DetachConnection();
  attach_.Reset();
  config_.Reset();
  if (connection_) {
    if (keepLink) {
      connection_->PrepareForDownload();
      return;
    }
    connection_->CloseConnection();
  }
  connection_.Reset();
  if (portMutex_) portMutex_->unlock();
  portMutex_.reset();
  port_.clear();
  baudRate_ = 0;
}

SessionThread::SessionThread() {
  thread_.setObjectName(QStringLiteral("ut-session"));
  context_ = new QObject;
  context_->moveToThread(&thread_);
  thread_.start();
  // The session object is made on its own thread, where it is also ended.
  QSemaphore made;
  QMetaObject::invokeMethod(context_, [this, &made] {
    session_ = std::make_unique<Session>([this](VexProgressStep step, UI4 done, UI4 total) {
      emit progress(static_cast<int>(step), done, total);
    });
    made.release();
  }, Qt::QueuedConnection);
  made.acquire();
}

SessionThread::~SessionThread() {
  cancel_ = true;
  QSemaphore ended;
  QMetaObject::invokeMethod(context_, [this, &ended] {
    session_.reset();
    delete context_;
    context_ = nullptr;
    ended.release();
  }, Qt::QueuedConnection);
  ended.acquire();
  thread_.quit();
  thread_.wait();
}

void SessionThread::post(std::function<void(Session&)> job) {
  QMetaObject::invokeMethod(context_, [this, job = std::move(job)] { job(*session_); }, Qt::QueuedConnection);
}

void SessionThread::runAndWait(const std::function<void(Session&)>& job) {
  QSemaphore done;
  QMetaObject::invokeMethod(context_, [this, &job, &done] {
    if (session_) job(*session_);
    done.release();
  }, Qt::QueuedConnection);
  done.acquire();
}

}  // namespace utvex
