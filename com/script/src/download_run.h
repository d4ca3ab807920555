// One download of a script object while its loader and image go out: the
// engine and the worker thread that sends them. The run ends by being
// destroyed, which cancels the transfer and joins its worker.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "vx/com/types.h"
#include "vx/download/download_engine.h"

namespace vx::script {

enum class DownloadMethod { Software, BootBlock, RamProgram };

struct DownloadRun {
  DownloadRun(uint64_t runId, DownloadMethod what, std::string path, std::function<void(HRESULT)> whenDone)
      : id(runId), method(what), file(std::move(path)), done(std::move(whenDone)) {}
  ~DownloadRun() {
    engine.requestCancel();
    joinWorker();
  }
  DownloadRun(const DownloadRun&) = delete;
  DownloadRun& operator=(const DownloadRun&) = delete;

  void joinWorker() {
    if (worker.joinable()) worker.join();
  }

  const uint64_t id;  // tells this run's posted end from a later run's
  const DownloadMethod method;
  const std::string file;
  std::function<void(HRESULT)> done;
  vx::download::CDownload engine;
  std::thread worker;
};

}  // namespace vx::script
