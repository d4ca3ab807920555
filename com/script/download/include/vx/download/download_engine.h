// The download engine: sends the loader program and a software image to the
// UT through the link server's Xmodem mode, in pieces of 4096 bytes, and
// keeps the link error of a failed step.
//
// Two forms. The synchronous pair (sendLoader, sendFile) runs on the
// caller's thread; the progress form (softwareUpgrade, ramProgram) also
// runs on the caller's thread (a front end's worker), reports each piece to
// a ProgressSink and stops when another thread calls requestCancel().
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "vx/com/types.h"
#include "vx/download/transfer_progress.h"

namespace vx::res {
class ResourceLibrary;
}

// The download's own failure codes.
inline constexpr HRESULT DOWNLOAD_E_LOADER_MISSING = vx::com::detail::hr(0x80040304u);
inline constexpr HRESULT DOWNLOAD_E_XMODEM = vx::com::detail::hr(0x80040305u);
inline constexpr HRESULT DOWNLOAD_E_CANCELLED = vx::com::detail::hr(0x80040306u);
inline constexpr HRESULT DOWNLOAD_E_FILE = vx::com::detail::hr(0x8004032Eu);
inline constexpr HRESULT DOWNLOAD_E_NOT_SOFTWARE = vx::com::detail::hr(0x8004032Fu);
inline constexpr HRESULT DOWNLOAD_E_NOT_BOOTBLOCK = vx::com::detail::hr(0x80040330u);

namespace vx::download {

// How a transfer ended.
enum class TransferResult : int {
  Done = 0,
  Cancelled = 1,
  LoaderMissing = 2,  // the resource library has no loader program
  LinkFailed = 3,     // an Xmodem step failed; the link error is kept
  FileFailed = 4,     // the image could not be read
};

// Hears of a progress-form transfer, on the transferring thread.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // After each piece the UT has taken; not called once a cancel is asked.
  virtual void progress(const ProgressReport& report) = 0;
};

class CDownload {
 public:
  static constexpr uint32_t kLoaderResourceId = 176;
  static constexpr const char* kLoaderResourceType = "FLASH";
  static constexpr std::size_t kPieceBytes = 4096;
  static constexpr std::size_t kMaxErrorText = 511;

  CDownload() = default;
  virtual ~CDownload() = default;
  CDownload(const CDownload&) = delete;
  CDownload& operator=(const CDownload&) = delete;

  // Progress form. A software (or, with `bootBlock`, boot-block) upgrade:
  // the loader from `resources`, then the image. Answers S_OK, or the
  // HRESULT of the first result that was not Done (see resultCode).
  virtual HRESULT softwareUpgrade(void* link, const std::string& file, bool bootBlock,
                                  const vx::res::ResourceLibrary& resources, ProgressSink& sink);
  // A program for the UT's RAM, sent without a loader.
  virtual HRESULT ramProgram(void* link, const std::string& file, ProgressSink& sink);

  // Synchronous form: the loader, then a pause for it to start. `sink`
  // (optional) hears of each piece as the progress form's does.
  TransferResult sendLoader(void* link, const vx::res::ResourceLibrary& resources, ProgressSink* sink = nullptr);
  // The image file, then a pause for the UT to take it; `kind` only names
  // the transfer in the progress reports.
  TransferResult sendFile(void* link, const std::string& file, ProgressSink* sink = nullptr,
                          TransferKind kind = TransferKind::Software);

  // From any thread: stops a running transfer after its current step (the
  // UT is told to abandon it) and makes later pieces stop at once.
  void requestCancel();
  bool cancelRequested() const;

  // The link error of the last failed step: its code, and its text (the
  // UT's own text when the UT refused).
  uint16_t lastLinkError() const;
  std::string lastErrorText() const;

  // The HRESULT of a progress-form result: Done S_OK, Cancelled 0x80040306,
  // LoaderMissing 0x80040304, LinkFailed 0x80040305, FileFailed E_FAIL.
  static HRESULT resultCode(TransferResult result);

  // The pauses after a loader and after an image; tests shorten them.
  void setPauses(std::chrono::milliseconds afterLoader, std::chrono::milliseconds afterImage);

 private:
  using Reader = std::function<std::size_t(std::span<uint8_t>)>;  // 0: no more

  TransferResult sendSource(void* link, uint64_t total, const Reader& read, TransferKind kind, ProgressSink* sink);
  TransferResult sendOpenFile(void* link, const std::string& file, TransferKind kind, ProgressSink* sink);
  TransferResult sendLoaderBytes(void* link, const vx::res::ResourceLibrary& resources, ProgressSink* sink);
  bool enterXmodem(void* link);
  // Waits `pause`, or less when a cancel comes.
  void pauseUnlessCancelled(std::chrono::milliseconds pause);
  void captureLinkError();

  std::chrono::milliseconds afterLoader_{1000};
  std::chrono::milliseconds afterImage_{500};

  // The link error of the last failed step; the worker and a canceller must
  // not mix their texts.
  mutable std::timed_mutex errorMutex_;
  uint16_t lastError_ = 0;
  std::string errorText_;

  mutable std::mutex cancelMutex_;
  std::condition_variable cancelled_;
  bool cancel_ = false;
  void* activeLink_ = nullptr;  // the link a transfer runs on, for the cancel
};

}  // namespace vx::download
