// The script object: one connection to a UT on a port, with the SPC of its
// last Connect, the UT configuration object attached once the connection
// is finished, and a poll that finishes it again when the UT comes back
// after a reset. Every member answers an HRESULT; a failure that carries a
// message records it for the caller's error reply.
//
// The object runs on its own loop's thread: its calls, its poll timer and
// its posted finish run there one at a time, so its state needs no lock.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download_run.h"
#include "loop_scheduler.h"
#include "port_claims.h"
#include "progress_relay.h"
#include "script_errors.h"
#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::res {
class ResourceLibrary;
}

namespace vx::script {

class ScriptObject : public std::enable_shared_from_this<ScriptObject> {
 public:
  // Link states as the connection object reports them.
  static constexpr int16_t kStateUp = 1;
  static constexpr int16_t kStateEstablishing = 2;
  static constexpr int16_t kStateDown = 4;

  using ConnectDone = std::function<void(HRESULT, int16_t state)>;
  // The resource library's text of a string number, when it has one.
  using TextLookup = std::function<std::optional<std::string>(uint32_t)>;

  // `resources` holds the loader program of software downloads (none: a
  // download that needs it fails).
  ScriptObject(LoopScheduler& loop, PortClaims& claims, TextLookup texts,
               std::shared_ptr<const vx::res::ResourceLibrary> resources = nullptr);
  ~ScriptObject();
  ScriptObject(const ScriptObject&) = delete;
  ScriptObject& operator=(const ScriptObject&) = delete;

  // Connect answers through `done`, possibly later: its failure paths wait
  // on the loop rather than holding it.
  void Connect(std::u16string_view port, int32_t baudRate, int32_t timeout, std::u16string_view spc,
               ConnectDone done);
  HRESULT Disconnect();
  HRESULT ConnectionState(int16_t* state) const;
  HRESULT ResetUT();
  HRESULT CommitChanges();
  HRESULT IsChanged(int32_t* changed);
  HRESULT SaveSettings(std::u16string_view settingsFile);
  HRESULT RestoreSettings(std::u16string_view settingsFile, std::u16string_view logFile, int32_t writeToPhone);
  HRESULT ScriptObjectVersion(std::u16string* text) const;
  HRESULT ExclusivePort(int32_t* exclusive) const;
  HRESULT SetExclusivePort(int32_t exclusive);
  // Whether a restore that writes to the UT and a software or boot-block
  // download first save the UT's settings to a safety copy (on unless
  // turned off), and where the last such copy went ("" for none).
  HRESULT SafetyCopies(int32_t* on) const;
  HRESULT SetSafetyCopies(int32_t on);
  HRESULT LastSafetyCopy(std::u16string* path) const;

  // Raw NV item access by path, for items no setting covers. Values are
  // text: decimal (signed for signed types) or 0x-hex numbers, or the
  // constant's name for an enumerated leaf. Writes are staged like the
  // settings' and reach the UT with CommitChanges.
  struct NvLeaf {
    std::string path;
    std::string type;
    std::string value;
    bool changed = false;
  };
  HRESULT NvItemNames(std::vector<std::string>* names);
  HRESULT NvLeaves(std::string_view item, std::vector<NvLeaf>* leaves);
  // The UT's items a restore of the backup file would find nothing for.
  HRESULT NvMissingFrom(std::string_view file, std::vector<std::string>* names);
  HRESULT NvRead(std::string_view path, std::string* type, std::string* value);
  HRESULT NvWrite(std::string_view path, std::string_view value);

  // SoftwareUpgrade, BootblockUpgrade and DownloadRAMProgram. The checks
  // run on the object's thread, the transfer on a worker; `done` is called
  // on the object's thread when the download has ended. The object stays
  // partially disconnected, and its poll finishes the connection again
  // when the UT comes back.
  using DownloadDone = std::function<void(HRESULT)>;
  void Download(DownloadMethod method, std::u16string_view file, DownloadDone done);
  bool downloading() const { return download_ != nullptr; }
  // A piece of the running download has reached the UT (from the worker,
  // through the loop).
  void downloadProgress(const char* step, uint64_t sent, uint64_t total);
  // Shortens the engine's pauses after the loader and the image (tests).
  void setDownloadPauses(std::chrono::milliseconds afterLoader, std::chrono::milliseconds afterImage) {
    downloadPauses_ = {afterLoader, afterImage};
  }

  // The prologue of every settings member: connected with a configuration
  // object, not a module UT where the member refuses one, the interface
  // `I` available; then `call(I&)`, whose failure is the setting's.
  template <class I, class Call>
  HRESULT settings(bool refusesModule, Call&& call) {
    if (!connected() || !config_) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
    if (refusesModule && moduleUt_) return report(Message::SettingFailed, VEX_E_NO_DATA);
    vx::com::ComPtr<I> settings;
    if (FAILED(config_.As(&settings))) return report(Message::InterfaceMissing, SCRIPT_E_NO_INTERFACE);
    if (FAILED(call(*settings.Get()))) return report(Message::SettingFailed, VEX_E_NO_DATA);
    return S_OK;
  }

  // The prologue of the identity members: the version interface's getter,
  // refreshed and tried once more when it has no data. Other failures of
  // the getter come back as they are, without a message.
  using VersionCall = std::function<HRESULT(IVexVersionExt&)>;
  HRESULT version(const VersionCall& call);

  // Hears, on the loop's thread, of the progress of Connect's NV database
  // load, SaveSettings, RestoreSettings and downloads.
  void setProgressListener(ProgressRelay::Listener listener) { progress_->setListener(std::move(listener)); }

  // Records a failure with its message and answers its HRESULT.
  HRESULT report(Message message, HRESULT hr);
  const ReportedError& lastError() const { return lastError_; }
  void clearError() { lastError_ = {}; }

  bool moduleUt() const { return moduleUt_; }
  bool trimodeUt() const { return trimodeUt_; }
  // Whether the UT keeps names in Unicode (otherwise in its code page).
  bool unicodeUt();

 private:
  struct ConnectRequest {
    std::string port;
    int32_t baudRate;
    int32_t timeout;
    std::u16string spc;
    ConnectDone done;
    int waitedMs;
  };

  bool connected() const;
  HRESULT validateConnect(std::u16string_view port, int32_t baudRate, int32_t timeout, std::u16string_view spc,
                          std::string* port8, std::u16string* spc16);
  void claimPort(const std::shared_ptr<ConnectRequest>& request);
  void connectOnPort(const std::shared_ptr<ConnectRequest>& request);
  HRESULT startLink(const std::string& port, int32_t baudRate);
  void awaitLink(const std::shared_ptr<ConnectRequest>& request);
  // Answers the connect under way, if any, once.
  void answerConnect(HRESULT hr, int16_t state);
  void startPoll();
  void stopPoll();
  void poll();
  void postFinish();
  // Finishes the connection with the remembered SPC; answers through `done`
  // because a refused session is tried again after a pause.
  void finishConnection(std::function<void(HRESULT)> done);
  void finishAttempt(bool retried, std::function<void(HRESULT)> done);
  HRESULT attachConfiguration();
  void fullDisconnect();
  void partialDisconnect();
  void releaseConfiguration();
  bool fileWritable(const std::string& path) const;
  // Saves the UT's settings to a new safety copy before `what` writes to it.
  HRESULT saveSafetyCopy(const char* what);
  // What a caller whose job the link lost is told of the copy.
  std::string safetyCopyAdvice() const;
  HRESULT downloadPrecheck(std::u16string_view file, std::string* file8);
  void downloadTransferred(uint64_t id, vx::download::TransferResult result);
  void endDownload(HRESULT hr);
  void cancelDownload();

  LoopScheduler& loop_;
  PortClaims& claims_;
  TextLookup texts_;
  vx::com::ComPtr<IVexConnectionExt> connection_;
  vx::com::ComPtr<IUnknown> config_;
  vx::com::ComPtr<IUTConfigAttach> attach_;
  std::u16string spc_;
  int16_t state_ = kStateDown;
  bool finishPosted_ = false;
  std::shared_ptr<ConnectRequest> pendingConnect_;  // the connect under way
  LoopScheduler::TimerId pollTimer_ = LoopScheduler::kNoTimer;
  LoopScheduler::TimerId pendingWait_ = LoopScheduler::kNoTimer;
  std::unique_ptr<PortClaim> portClaim_;
  bool exclusivePort_ = false;
  bool safetyCopies_ = true;
  std::string lastSafetyCopy_;
  bool moduleUt_ = false;
  bool trimodeUt_ = false;
  int unicodeUt_ = -1;  // unknown until asked
  ReportedError lastError_;
  std::shared_ptr<const vx::res::ResourceLibrary> resources_;
  std::unique_ptr<DownloadRun> download_;
  uint64_t lastDownloadId_ = 0;
  std::pair<std::chrono::milliseconds, std::chrono::milliseconds> downloadPauses_{1000, 500};
  vx::com::ComPtr<ProgressRelay> progress_ = vx::com::Make<ProgressRelay>();
};

}  // namespace vx::script
