#include "vx/download/download_engine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "kmxclient.h"
#include "vx/res/resource_library.h"

namespace vx::download {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kXmodemEnter = 0;
constexpr int32_t kXmodemSend = 1;
constexpr int32_t kXmodemAbandon = 2;
constexpr uint32_t kPieceOfImage = 0;
constexpr uint32_t kEndOfImage = 1;
constexpr auto kErrorLockWait = std::chrono::milliseconds(3000);

}  // namespace

HRESULT CDownload::resultCode(TransferResult result) {
  switch (result) {
    case TransferResult::Done: return S_OK;
    case TransferResult::Cancelled: return DOWNLOAD_E_CANCELLED;
    case TransferResult::LoaderMissing: return DOWNLOAD_E_LOADER_MISSING;
    case TransferResult::LinkFailed: return DOWNLOAD_E_XMODEM;
    case TransferResult::FileFailed: return E_FAIL;
  }
  return E_FAIL;
}

void CDownload::setPauses(std::chrono::milliseconds afterLoader, std::chrono::milliseconds afterImage) {
  afterLoader_ = afterLoader;
  afterImage_ = afterImage;
}

// --- the link error -----------------------------------------------------------------------

void CDownload::captureLinkError() {
  // The error is the calling thread's: read it before anything else.
  const uint16_t code = KMXGetLastError();
  std::string text;
  if (code == KMX_ERR_UT_ERROR) {
    char buffer[kMaxErrorText + 1] = {};
    uint16_t length = sizeof buffer;
    KMXGetLastUTErrorInfo(buffer, &length);
    text.assign(buffer, ::strnlen(buffer, kMaxErrorText));
  } else if (const char* description = KMXGetErrorDesc(code); description != nullptr) {
    text.assign(description, ::strnlen(description, kMaxErrorText));
  }
  std::unique_lock lock(errorMutex_, std::defer_lock);
  if (!lock.try_lock_for(kErrorLockWait)) return;
  lastError_ = code;
  errorText_ = std::move(text);
}

uint16_t CDownload::lastLinkError() const {
  std::unique_lock lock(errorMutex_, std::defer_lock);
  return lock.try_lock_for(kErrorLockWait) ? lastError_ : 0;
}

std::string CDownload::lastErrorText() const {
  std::unique_lock lock(errorMutex_, std::defer_lock);
  return lock.try_lock_for(kErrorLockWait) ? errorText_ : std::string();
}

// --- cancel -------------------------------------------------------------------------------

void CDownload::requestCancel() {
  std::lock_guard lock(cancelMutex_);
  cancel_ = true;
  cancelled_.notify_all();
  // The only link call made from another thread: it ends the step the
  // transferring thread waits in.
  if (activeLink_ != nullptr) KMXCancelXmodemBlockingCall(activeLink_);
}

void CDownload::pauseUnlessCancelled(std::chrono::milliseconds pause) {
  std::unique_lock lock(cancelMutex_);
  cancelled_.wait_for(lock, pause, [this] { return cancel_; });
}

bool CDownload::cancelRequested() const {
  std::lock_guard lock(cancelMutex_);
  return cancel_;
}

// --- the block loop -----------------------------------------------------------------------

bool CDownload::enterXmodem(void* link) {
  if (KMXXmodemCmd(link, kXmodemEnter, 0, 0, nullptr) != 0) return true;
  captureLinkError();
  return false;
}

TransferResult CDownload::sendSource(void* link, uint64_t total, const Reader& read, TransferKind kind,
                                     ProgressSink* sink) {
  {
    std::lock_guard lock(cancelMutex_);
    if (cancel_) return TransferResult::Cancelled;
  }
  if (!enterXmodem(link)) return TransferResult::LinkFailed;
  {
    std::lock_guard lock(cancelMutex_);
    activeLink_ = link;
  }
  struct ActiveLinkReset {
    CDownload& engine;
    ~ActiveLinkReset() {
      std::lock_guard lock(engine.cancelMutex_);
      engine.activeLink_ = nullptr;
    }
  } activeLinkReset{*this};

  // A cancelled step is abandoned on the UT's side too; a failed one is
  // left as it is, with its error kept.
  auto abandon = [&] {
    KMXXmodemCmd(link, kXmodemAbandon, 0, 0, nullptr);
    return TransferResult::Cancelled;
  };
  const Clock::time_point start = Clock::now();
  std::vector<uint8_t> piece(kPieceBytes);
  uint64_t sent = 0;
  while (sent < total) {
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(kPieceBytes, total - sent));
    const std::size_t got = read(std::span<uint8_t>(piece.data(), want));
    if (got == 0) {
      abandon();
      return TransferResult::FileFailed;
    }
    if (KMXXmodemCmd(link, kXmodemSend, kPieceOfImage, static_cast<uint32_t>(got), piece.data()) == 0) {
      if (cancelRequested()) return abandon();
      captureLinkError();
      return TransferResult::LinkFailed;
    }
    sent += got;
    if (cancelRequested()) return abandon();
    if (sink != nullptr) {
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      sink->progress(progressAt(kind, total, sent, elapsed));
    }
  }
  if (KMXXmodemCmd(link, kXmodemSend, kEndOfImage, 0, nullptr) == 0) {
    if (cancelRequested()) return abandon();
    captureLinkError();
    return TransferResult::LinkFailed;
  }
  return TransferResult::Done;
}

TransferResult CDownload::sendLoaderBytes(void* link, const vx::res::ResourceLibrary& resources, ProgressSink* sink) {
  const auto loader = resources.binary(kLoaderResourceType, kLoaderResourceId);
  if (!loader || loader->empty()) return TransferResult::LoaderMissing;
  std::span<const uint8_t> rest = *loader;
  auto read = [&](std::span<uint8_t> into) {
    const std::size_t n = std::min(into.size(), rest.size());
    std::memcpy(into.data(), rest.data(), n);
    rest = rest.subspan(n);
    return n;
  };
  return sendSource(link, loader->size(), read, TransferKind::Loader, sink);
}

TransferResult CDownload::sendOpenFile(void* link, const std::string& file, TransferKind kind, ProgressSink* sink) {
  std::ifstream in(file, std::ios::binary);
  struct stat info {};
  if (!in || ::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return TransferResult::FileFailed;
  auto read = [&](std::span<uint8_t> into) {
    in.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
    return static_cast<std::size_t>(in.gcount());
  };
  return sendSource(link, static_cast<uint64_t>(info.st_size), read, kind, sink);
}

// --- the synchronous form -------------------------------------------------------------------

TransferResult CDownload::sendLoader(void* link, const vx::res::ResourceLibrary& resources, ProgressSink* sink) {
  const TransferResult result = sendLoaderBytes(link, resources, sink);
  // The loader needs a moment to start before it asks for the image.
  if (result == TransferResult::Done) pauseUnlessCancelled(afterLoader_);
  return result;
}

TransferResult CDownload::sendFile(void* link, const std::string& file, ProgressSink* sink, TransferKind kind) {
  std::ifstream probe(file, std::ios::binary);
  if (!probe) {
    pauseUnlessCancelled(afterImage_);
    return TransferResult::FileFailed;
  }
  probe.close();
  const TransferResult result = sendOpenFile(link, file, kind, sink);
  if (result == TransferResult::Done) pauseUnlessCancelled(afterImage_);
  return result;
}

// --- the progress form ----------------------------------------------------------------------

HRESULT CDownload::softwareUpgrade(void* link, const std::string& file, bool bootBlock,
                                   const vx::res::ResourceLibrary& resources, ProgressSink& sink) {
  TransferResult result = sendLoaderBytes(link, resources, &sink);
  if (result != TransferResult::Done) return resultCode(result);
  pauseUnlessCancelled(afterLoader_);
  result = sendOpenFile(link, file, bootBlock ? TransferKind::BootBlock : TransferKind::Software, &sink);
  if (result == TransferResult::Done) pauseUnlessCancelled(afterImage_);
  return resultCode(result);
}

HRESULT CDownload::ramProgram(void* link, const std::string& file, ProgressSink& sink) {
  return resultCode(sendOpenFile(link, file, TransferKind::RamProgram, &sink));
}

}  // namespace vx::download
