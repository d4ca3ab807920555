// The UT session and the thread it lives on. The connection object and the
// configuration object are apartment-threaded: both are created, used and
// released on the session's own thread, so long UT work never holds up the
// window. The window hands work to that thread and hears of the result on
// its own thread through queued calls.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "vxconnect.h"
#include "vxutconfig.h"

namespace kmx {
class NamedMutex;
}

namespace utvex {

// The link states of the connection object: 1 up, 2 being established.
inline constexpr UINT kLinkUp = 1;
inline constexpr UINT kLinkEstablishing = 2;

// The name of the per-port mutex, one for every name of one device, the
// same name the script server takes, so the tool and scripts keep off each
// other's port whatever they call it.
std::string portMutexName(const std::string& port);

// What a connect attempt asks for.
struct ConnectRequest {
  std::string port;
  int baudRate = 115200;
  int timeoutSeconds = 0;        // handed to the connection object
  int waitForLinkMs = 30000;     // how long to wait for the link to come up
  std::u16string spc = u"000000";
};

enum class ConnectOutcome {
  Connected,
  AlreadyConnected,
  PortInUse,        // another instance holds the port's mutex
  CreateFailed,     // 61216
  PortNameFailed,   // 61217
  SettingsFailed,   // 61218
  StartFailed,      // 61219
  LinkServerFailed, // 61592
  NoAnswer,         // the link did not come up in time
  FinishFailed,     // the session or NV database load failed (hr)
  AttachFailed,     // the configuration object could not be attached
  Cancelled,
};

// What the session is connected to, as the session itself knows it: the
// window shows this and nothing else, so that it names the UT and port the
// session is on whatever step brought it there (Connect, the swap wizard).
struct UtState {
  bool connected = false;
  QString port;
  int baudRate = 0;
  UINT linkState = 0;
  UTMainModel mainModel = UTM_UNKNOWN;
  QString model, esn, software, warrantyDateCode;
};

struct ConnectResult {
  ConnectOutcome outcome = ConnectOutcome::Connected;
  HRESULT hr = S_OK;
  UtState state;  // the UT connected to, for the window
  QString why;    // the client library's reason when the port was refused
};

// A safety copy of the UT's settings, made before the tool writes to it.
struct SafetyCopy {
  bool saved = false;
  std::string path;   // the copy, when saved
  std::string error;  // why it was not, when not
};

// Lives on the session thread only.
class Session {
 public:
  // Hears, on the session thread, of the progress the connection object
  // reports while it loads the NV database, saves and restores.
  using ProgressCallback = std::function<void(VexProgressStep step, UI4 done, UI4 total)>;
  explicit Session(ProgressCallback onProgress = {});
  ~Session();
  ConnectResult connect(const ConnectRequest& request, const std::atomic<bool>& cancel);
  // keepLink: PrepareForDownload instead of CloseConnection; the port stays claimed.
  void disconnect(bool keepLink);

  // A connection object exists and reports state 1 or 2.
  bool linkAlive() const;
  UINT linkState() const;
  IVexConnectionExt* connection() const { return connection_.Get(); }
  IUnknown* config() const { return config_.Get(); }
  template <class I>
  vx::com::ComPtr<I> connectionAs() const {
    vx::com::ComPtr<I> out;
    if (connection_) connection_.As(&out);
    return out;
  }
  template <class I>
  vx::com::ComPtr<I> configAs() const {
    vx::com::ComPtr<I> out;
    if (config_) config_.As(&out);
    return out;
  }
  const std::string& port() const { return port_; }
  // Saves the connected UT's settings to a new safety copy (the shared
  // folder and naming of the suite's safety copies), readable by the user
  // alone.
  SafetyCopy saveSafetyCopy();
  // The connected UT and its port; `connected` is false when there is none
  // or its link is down.
  UtState state() const;

 private:
  vx::com::ComPtr<IVexConnectionExt> connection_;
  vx::com::ComPtr<IUnknown> config_;
  vx::com::ComPtr<IUTConfigAttach> attach_;
  std::unique_ptr<kmx::NamedMutex> portMutex_;
  std::string port_;
  int baudRate_ = 0;
  vx::com::ComPtr<IVexProgressSink> progressSink_;
};

// The session's thread. Owned by the main window, on the GUI thread.
class SessionThread : public QObject {
  Q_OBJECT
 public:
  SessionThread();
  ~SessionThread() override;

  // Runs `job` on the session thread, then `done` with its result on this
  // object's (the GUI) thread, unless `receiver` is gone by then.
  template <class R>
  void run(QObject* receiver, std::function<R(Session&)> job, std::function<void(R)> done) {
    QPointer<QObject> guard(receiver);
    post([this, guard, job = std::move(job), done = std::move(done)](Session& session) {
      auto result = std::make_shared<R>(job(session));
      QMetaObject::invokeMethod(this, [guard, done, result] {
        if (guard) done(*result);
      }, Qt::QueuedConnection);
    });
  }
  // Runs `job` on the session thread and waits for it (for tests and for the
  // end of the program).
  void runAndWait(const std::function<void(Session&)>& job);

  // Asks a running connect to stop waiting (from any thread).
  void cancelConnect() { cancel_ = true; }
  const std::atomic<bool>& cancelFlag() const { return cancel_; }
  void clearCancel() { cancel_ = false; }

 signals:
  // Sent from the session thread (queued to receivers on other threads):
  // `done` of `total` of a step of the work under way.
  void progress(int step, quint32 done, quint32 total);

 private:
  void post(std::function<void(Session&)> job);

  QThread thread_;
  QObject* context_ = nullptr;  // lives on thread_
  std::unique_ptr<Session> session_;
  std::atomic<bool> cancel_{false};
};

// A task-allocated text, taken and freed.
QString takeText(LPWSTR text);

class Texts;
// What a message about a write that did not finish adds: where the UT's
// earlier settings are, and the command that puts them back.
QString safetyCopyNote(const Texts& texts, const std::string& path);

}  // namespace utvex
