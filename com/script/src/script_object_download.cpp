// The script object's downloads: the checks and the hand-over of the link on
// the object's thread, the transfer on the run's worker.
#include <cstdio>

#include "readable_file.h"
#include "script_object.h"
#include "vx/download/software_file_check.h"
#include "vx/res/resource_library.h"

namespace vx::script {

using vx::download::CDownload;
using vx::download::TransferKind;
using vx::download::TransferResult;

namespace {

const char* stepName(TransferKind kind) {
  switch (kind) {
    case TransferKind::Loader: return "loader";
    case TransferKind::Software: return "software";
    case TransferKind::RamProgram: return "ram-program";
    case TransferKind::BootBlock: return "boot-block";
  }
  return "other";
}

// The worker's progress, carried to the object on the loop.
class PostedProgress final : public vx::download::ProgressSink {
 public:
  PostedProgress(LoopScheduler& loop, std::weak_ptr<ScriptObject> object) : loop_(loop), object_(std::move(object)) {}
  void progress(const vx::download::ProgressReport& report) override {
    loop_.post([object = object_, kind = report.kind, sent = report.sent, total = report.total] {
      if (auto self = object.lock()) self->downloadProgress(stepName(kind), sent, total);
    });
  }

 private:
  LoopScheduler& loop_;
  std::weak_ptr<ScriptObject> object_;
};

TransferKind transferKind(DownloadMethod method) {
  switch (method) {
    case DownloadMethod::Software: return TransferKind::Software;
    case DownloadMethod::BootBlock: return TransferKind::BootBlock;
    case DownloadMethod::RamProgram: return TransferKind::RamProgram;
  }
  return TransferKind::Software;
}

}  // namespace

HRESULT ScriptObject::downloadPrecheck(std::u16string_view file, std::string* file8) {
  UINT linkState = 0;
  if (download_ || !connection_ || FAILED(connection_->GetConnectionState(&linkState)) ||
      (linkState != kStateUp && linkState != kStateEstablishing)) {
    return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  }
  *file8 = vx::com::Utf16ToUtf8(file);
  if (std::string problem = regularFileProblem(*file8); !problem.empty()) {
    report(Message::FileNotOpened, DOWNLOAD_E_FILE);
    lastError_.detail = std::move(problem);
    return DOWNLOAD_E_FILE;
  }
  return S_OK;
}

// A download goes through its steps in one place: the checks, the safety
// copy and the hand-over of the link run on the object's thread (they hold
// up this object only); the loader and the image go out on the run's
// worker, which may be cancelled; its end comes back to downloadTransferred.
void ScriptObject::Download(DownloadMethod method, std::u16string_view file, DownloadDone done) {
  std::string file8;
  if (HRESULT hr = downloadPrecheck(file, &file8); FAILED(hr)) {
    done(hr);
    return;
  }
  if (method != DownloadMethod::RamProgram) {
    const auto kind =
        method == DownloadMethod::BootBlock ? vx::download::ImageKind::BootBlock : vx::download::ImageKind::Software;
    if (!vx::download::checkSoftwareFile(file8, kind).passed) {
      done(method == DownloadMethod::BootBlock ? report(Message::NotBootBlockFile, DOWNLOAD_E_NOT_BOOTBLOCK)
                                               : report(Message::NotSoftwareFile, DOWNLOAD_E_NOT_SOFTWARE));
      return;
    }
  }
  // New software may not keep every setting: they are saved first, when the
  // object has the UT's items (a link still establishing has none).
  lastSafetyCopy_.clear();
  if (method != DownloadMethod::RamProgram && safetyCopies_ && connected()) {
    if (HRESULT hr = saveSafetyCopy("download"); FAILED(hr)) {
      done(hr);
      return;
    }
  }
  // The link stays; the configuration object goes, the connection object
  // takes its download state, and the poll stops asking for the link's
  // state while the worker sends.
  stopPoll();
  partialDisconnect();
  const uint64_t id = ++lastDownloadId_;
  download_ = std::make_unique<DownloadRun>(id, method, std::move(file8), std::move(done));
  download_->engine.setPauses(downloadPauses_.first, downloadPauses_.second);
  void* link = nullptr;
  if (FAILED(connection_->GetKMXHandle(&link)) || link == nullptr) {
    endDownload(report(Message::NoLinkHandle, VEX_E_NOT_CONNECTED));
    return;
  }
  std::weak_ptr<ScriptObject> weak = weak_from_this();
  DownloadRun& run = *download_;
  run.worker = std::thread([&loop = loop_, &run, resources = resources_, link, weak, id] {
    TransferResult result = TransferResult::Done;
    PostedProgress progress(loop, weak);
    if (run.method != DownloadMethod::RamProgram) {
      static const vx::res::ResourceLibrary kNoResources;
      result = run.engine.sendLoader(link, resources ? *resources : kNoResources, &progress);
    }
    if (result == TransferResult::Done) {
      result = run.engine.sendFile(link, run.file, &progress, transferKind(run.method));
    }
    loop.post([weak, id, result] {
      if (auto self = weak.lock()) self->downloadTransferred(id, result);
    });
  });
}

void ScriptObject::downloadProgress(const char* step, uint64_t sent, uint64_t total) {
  if (download_) progress_->report("download", step, sent, total);
}

void ScriptObject::downloadTransferred(uint64_t id, TransferResult result) {
  if (!download_ || download_->id != id) return;
  download_->joinWorker();
  switch (result) {
    case TransferResult::Done: endDownload(S_OK); return;
    case TransferResult::LoaderMissing: endDownload(report(Message::LoaderMissing, DOWNLOAD_E_LOADER_MISSING)); return;
    case TransferResult::LinkFailed: {
      HRESULT hr = report(Message::XmodemFailed, DOWNLOAD_E_XMODEM);
      lastError_.detail = download_->engine.lastErrorText();
      if (const std::string advice = safetyCopyAdvice(); !advice.empty()) {
        lastError_.detail += (lastError_.detail.empty() ? "" : "; ") + advice;
      }
      endDownload(hr);
      return;
    }
    case TransferResult::Cancelled:
    case TransferResult::FileFailed: endDownload(E_FAIL); return;
  }
}

// Ends the run and answers its caller. The poll resumes and finishes the
// connection again with the remembered SPC once the link is up: after the
// UT restarts with new software, and equally after a download that failed
// while the UT stayed on the link, so the object is never left without its
// configuration.
void ScriptObject::endDownload(HRESULT hr) {
  DownloadDone done = std::move(download_->done);
  download_.reset();
  state_ = kStateDown;
  if (connection_) startPoll();
  done(hr);
}

void ScriptObject::cancelDownload() {
  if (!download_) return;
  download_->engine.requestCancel();
  download_->joinWorker();
  endDownload(DOWNLOAD_E_CANCELLED);
}

}  // namespace vx::script
