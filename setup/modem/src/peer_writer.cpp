#include "peer_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "entry_formats.h"

namespace obnet {

namespace fs = std::filesystem;

namespace {

struct FileJob {
  std::string systemPath;  // where it belongs
  std::string text;        // empty with remove set: take our old file away
  mode_t mode = 0644;
  bool remove = false;
};

// What is at a target before anything is written.
enum class Found { Nothing, Ours, Foreign, Unknown };

Found inspect(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? Found::Nothing : Found::Unknown;
  if (!S_ISREG(st.st_mode)) return Found::Foreign;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Found::Unknown;
  ::close(fd);
  return writtenByWizard(path) ? Found::Ours : Found::Foreign;
}

bool isPermissionError(int err) { return err == EACCES || err == EPERM || err == EROFS; }

// A failure with the errno that caused it.
struct WriteError {
  int error;
  std::string what;
};

// Writes text to path through a temporary file in the same directory, so
// that readers see the old file or the new one, never a part.
std::optional<WriteError> writeAtomically(const std::string& path, const std::string& text,
                                          mode_t mode) {
  fs::path target(path);
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (ec) return WriteError{ec.value(), "cannot create " + target.parent_path().string()};
  // Appended, not chained with operator+: GCC 12 takes that chain for an
  // overlapping copy (-Wrestrict) in optimised builds.
  std::string hidden = ".";
  hidden.append(target.filename().string()).append(".XXXXXX");
  std::string temp = (target.parent_path() / hidden).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return WriteError{errno, "cannot write in " + target.parent_path().string()};
  auto fail = [&](const std::string& what) {
    int err = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return WriteError{err, what + " " + path};
  };
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) return fail("cannot write");
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return WriteError{err, "cannot write " + path};
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return WriteError{err, "cannot replace " + path};
  }
  return std::nullopt;
}

std::string under(const std::string& root, const std::string& systemPath) {
  if (root.empty() || root == "/") return systemPath;
  return (fs::path(root) / fs::path(systemPath).relative_path()).string();
}

// A word as a POSIX shell reads it.
std::string shellWord(const std::string& word) {
  bool plain = !word.empty();
  for (char c : word)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+:@%,=", c) != nullptr))
      plain = false;
  if (plain) return word;
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::string octalMode(mode_t mode) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%o", static_cast<unsigned>(mode));
  return buffer;
}

}  // namespace

bool writtenByWizard(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  for (int i = 0; i < 2 && std::getline(in, line); ++i)
    if (line.rfind(kOwnerMarker, 0) == 0) return true;
  return false;
}

PeerWriteResult writePeer(const std::string& port, const DnsChoice& dns, const PeerTarget& target) {
  PeerWriteResult result;
  std::vector<FileJob> jobs;
  try {
    // The hook first and the peer file last: the peer never names a chat
    // script or relies on a hook that is not there yet.
    if (dns)
      jobs.push_back({target.paths.dnsHook, dnsHookText(*dns), 0755, false});
    else
      jobs.push_back({target.paths.dnsHook, {}, 0, true});
    jobs.push_back({target.paths.chatFile, chatScriptText(), 0640, false});
    jobs.push_back(
        {target.paths.peerFile, peerFileText({port, dns, target.paths.chatFile}), 0640, false});
  } catch (const std::invalid_argument& e) {
    result.detail = e.what();
    return result;
  }

  // Nothing is written while any target belongs to someone else.
  std::vector<Found> found;
  for (auto& job : jobs) {
    std::string path = under(target.root, job.systemPath);
    found.push_back(inspect(path));
    if (found.back() == Found::Foreign && !job.remove) {
      result.detail = path + " already exists and was not written by this wizard; it was left as it is.";
      return result;
    }
  }

  bool denied = false;
  for (std::size_t i = 0; i < jobs.size() && !denied; ++i) {
    std::string path = under(target.root, jobs[i].systemPath);
    if (jobs[i].remove) {
      if (found[i] != Found::Ours) continue;
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        if (!isPermissionError(errno)) {
          result.detail = "cannot remove " + path + ": " + std::strerror(errno);
          return result;
        }
        denied = true;
      }
      continue;
    }
    if (found[i] == Found::Unknown) {
      // What cannot be looked at is not replaced here; the staged command
      // keeps it as a backup.
      denied = true;
      break;
    }
    if (auto error = writeAtomically(path, jobs[i].text, jobs[i].mode)) {
      if (!isPermissionError(error->error)) {
        result.detail = error->what + ": " + std::strerror(error->error);
        return result;
      }
      denied = true;
      break;
    }
    result.written.push_back(path);
  }
  if (!denied) {
    result.status = PeerWriteResult::Status::Written;
    return result;
  }

  // Not allowed to write there: prepare everything in a fresh directory of
  // our own and say exactly what puts it in place.
  std::string parent = target.stagingParent;
  if (parent.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string stage = (fs::path(parent) / "obnetmodem-XXXXXX").string();
  if (::mkdtemp(stage.data()) == nullptr) {
    result.detail = "cannot create a directory in " + parent + ": " + std::strerror(errno);
    return result;
  }
  result.stagingDir = stage;
  std::vector<std::string> steps;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    std::string dest = under(target.root, jobs[i].systemPath);
    if (jobs[i].remove) {
      if (found[i] == Found::Ours) steps.push_back("sudo rm -f " + shellWord(dest));
      continue;
    }
    std::string staged = under(stage, jobs[i].systemPath);
    if (auto error = writeAtomically(staged, jobs[i].text, jobs[i].mode)) {
      result.detail = error->what + ": " + std::strerror(error->error);
      result.stagingDir.clear();
      return result;
    }
    result.written.push_back(staged);
    // A target that could not be looked at is kept as a numbered backup.
    std::string step = "sudo install -D ";
    if (found[i] == Found::Unknown) step += "--backup=numbered ";
    step += "-m " + octalMode(jobs[i].mode) + " " + shellWord(staged) + " " + shellWord(dest);
    steps.push_back(step);
  }
  for (auto& step : steps) {
    if (!result.command.empty()) result.command += " && ";
    result.command += step;
  }
  result.status = PeerWriteResult::Status::Staged;
  return result;
}

}  // namespace obnet
