// IVexFile: NV backup files saved from and restored into the connected UT.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <utility>

#include "vx/com/error_info.h"

#include "nv_backup_writer.h"
#include "nv_converters.h"
#include "nv_file_info.h"
#include "nv_file_reader.h"
#include "nv_restore.h"
#include "task_text.h"
#include "vex_connection.h"

namespace vx::connect {

namespace {

// Writes a whole file under a temporary name beside it, syncs it and renames
// it into place: a file that exists is complete, even after a power loss,
// and a failure leaves whatever was there before. A file saved over keeps
// its mode; a new one is the user's alone (backups hold the lock codes).
bool writeFileAtomically(const std::string& path, const std::string& text) {
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0600;
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  bool written = fchmod(fd, mode) == 0;
  for (std::size_t at = 0; written && at < text.size();) {
    const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) at += static_cast<std::size_t>(n);
  }
  written = written && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself is only durable once the directory is.
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

// What a file can be tested for before the work starts: that it can be
// created or replaced where it is to go.
bool canCreate(const std::string& path) {
  std::string probe = path + ".XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::u16string wide(const char* text) { return vx::com::Utf8ToUtf16(text); }

// The sections a restore of a backup's text works on. The text must parse as
// it is, so that a fault is told at the file's own line; the converters then
// rewrite a whole, good file. Nullopt with the reason in `why`, and the
// reader's own report line in `parseReport` when the reader refused it.
std::optional<std::vector<backup::NVFileSection>> restorableSections(std::string text, bool newSmsLayout,
                                                                      std::string& why,
                                                                      std::string* parseReport = nullptr) {
  try {
    backup::parseNvFile(text);
    if (!backup::convertForRestore(text, newSmsLayout, &why)) return std::nullopt;
    return backup::parseNvFile(text);
  } catch (const backup::CNVFileParsingException& error) {
    why = error.description();
    if (parseReport != nullptr) *parseReport = error.report();
    return std::nullopt;
  }
}

}  // namespace

void CVexConnection::reportMessage(const std::string& text) const {
  if (messagesEnabled_) std::fprintf(stderr, "%s\n", text.c_str());
}

HRESULT CVexConnection::utModelText(std::string& model) {
  if (FAILED(UpdateAllItems())) return E_FAIL;
  LPWSTR text = nullptr;
  const HRESULT hr = GetUTModel(&text);
  if (FAILED(hr)) return hr == VEX_E_NO_DATA ? hr : E_FAIL;
  model = vx::com::Utf16ToUtf8(text);
  CoTaskMemFree(text);
  return S_OK;
}

HRESULT CVexConnection::ReadNVFileInfo(const char* szFilename, UI2* pusNrVer, UI4* pulVer, LPWSTR* ppszUtModel) {
  if (szFilename == nullptr || pusNrVer == nullptr || pulVer == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    std::string text;
    if (!backup::readFileText(szFilename, text)) return E_FAIL;
    const auto info = backup::parseNvFileInfo(text);
    if (!info) return E_FAIL;
    if (ppszUtModel != nullptr) {
      if (FAILED(wideText(vx::com::Utf8ToUtf16(info->model), ppszUtModel))) return E_OUTOFMEMORY;
    }
    *pusNrVer = info->nrVersion;
    *pulVer = info->version;
    return S_OK;
  });
}

HRESULT CVexConnection::WriteNVToFile(const char* szFilename) {
  if (szFilename == nullptr) return E_INVALIDARG;
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  return vx::com::NoThrow([&]() -> HRESULT {
    std::string model;
    UI4 nrVersion = 0;
    UI4 version = 0;
    if (FAILED(utModelText(model)) || FAILED(readNvValue(u"NV_NR_VER_NO_I.T_USHORT", &nrVersion)) ||
        FAILED(readNvValue(u"NV_VER_NO_I.T_ULONG", &version))) {
      return E_FAIL;
    }
    const uint32_t dropsBefore = linkDrops_.load();
    std::string text = backup::nvFileHeader(model, nrVersion, version);
    backup::writeNvSections(*database_, *ut_, text, [this](std::size_t done, std::size_t total) {
      reportProgress(VEX_STEP_SAVE_ITEMS, done, total);
    });
    // Items read while the link was down are marked unreadable: such a file
    // is no backup, and it must not replace an earlier good one.
    if (linkDrops_.load() != dropsBefore) return VEX_E_NOT_CONNECTED;
    if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
    return writeFileAtomically(szFilename, text) ? S_OK : E_FAIL;
  });
}

HRESULT CVexConnection::ReadNVFromFile(const char* szFilename, const char* szLogFilename, I4 ActuallyUpdatePhone) {
  if (szFilename == nullptr || szLogFilename == nullptr) return E_INVALIDARG;
  vx::com::SetErrorDescription({});
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  // A file that cannot be restored says why, for the person who chose it.
  auto refuse = [](std::string why) {
    vx::com::SetErrorDescription(std::move(why));
    return E_FAIL;
  };
  return vx::com::NoThrow([&]() -> HRESULT {
    std::string text;
    if (!backup::readFileText(szFilename, text)) {
      return refuse(std::string(szFilename) + ": cannot be read, or is larger than " +
                    std::to_string(backup::kMaxBackupFileSize >> 20) + " MiB");
    }
    const auto info = backup::parseNvFileInfo(text);
    if (!info) return refuse("not an NV backup file: its first lines are no backup header");
    std::string utModel;
    if (HRESULT hr = utModelText(utModel); FAILED(hr)) return hr;
    if (info->model != utModel) return VEX_E_OTHER_MODEL;
    if (!canCreate(szLogFilename)) return refuse(std::string(szLogFilename) + ": the report cannot be written there");

    UI4 ignored = 0;
    const bool newSmsLayout =
        SUCCEEDED(readNvValue(wide("NV_SMS_MSGS_2_0.sms_dm_msg_type.nv_msg_hdr.status"), &ignored)) ||
        SUCCEEDED(readNvValue(wide("NV_SMS_MSGS_2_0[0].sms_dm_msg_type.nv_msg_hdr.status"), &ignored));
    std::string why;
    std::string parseReport;
    const auto sections = restorableSections(std::move(text), newSmsLayout, why, &parseReport);
    if (!sections) {
      if (!parseReport.empty()) reportMessage(parseReport);
      return refuse(why);
    }
    backup::NvRestore restore(*database_, *ut_, *ut_, ActuallyUpdatePhone != 0);
    const backup::RestoreReport report = restore.run(*sections, [this](std::size_t done, std::size_t total) {
      reportProgress(VEX_STEP_RESTORE_ITEMS, done, total);
    });
    if (!writeFileAtomically(szLogFilename, report.text())) {
      return refuse(std::string(szLogFilename) + ": the report could not be written");
    }
    return S_OK;
  });
}

HRESULT CVexConnection::GetItemsMissingFrom(const char* szFilename, LPWSTR* names) {
  if (szFilename == nullptr || names == nullptr) return E_INVALIDARG;
  vx::com::SetErrorDescription({});
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  return vx::com::NoThrow([&]() -> HRESULT {
    std::string text;
    if (!backup::readFileText(szFilename, text)) {
      vx::com::SetErrorDescription(std::string(szFilename) + ": cannot be read");
      return E_FAIL;
    }
    // The converters add sections (display copies), never take them away;
    // the SMS layout changes paths only.
    std::string why;
    const auto sections = restorableSections(std::move(text), true, why);
    if (!sections) {
      vx::com::SetErrorDescription(std::move(why));
      return E_FAIL;
    }
    std::string lines;
    for (const std::string& name : backup::itemsMissingFrom(*database_, *sections)) lines += name + '\n';
    LPWSTR result = vx::com::CoTaskMemStrDupUtf8(lines);
    if (result == nullptr) return E_OUTOFMEMORY;
    *names = result;
    return S_OK;
  });
}

}  // namespace vx::connect
