// Writing the connection's files: in place, staged when the system's
// directories are closed to the user, never over someone else's file, and
// in a form pppd itself accepts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "entry_formats.h"
#include "file_override.h"
#include "peer_writer.h"

namespace fs = std::filesystem;
using namespace obnet;

namespace {

const DnsAddresses kDns{{10, 1, 2, 3}, {10, 4, 5, 6}};

std::string slurp(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

unsigned modeOf(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

class PeerWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/obnetmodem-root-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    target_.root = root_.string();
    target_.stagingParent = (root_ / "staging").string();
    fs::create_directories(target_.stagingParent);
  }
  void TearDown() override {
    fs::permissions(root_, fs::perms::owner_all);
    fs::remove_all(root_);
  }
  fs::path at(const std::string& systemPath) const { return root_ / fs::path(systemPath).relative_path(); }

  fs::path root_;
  PeerTarget target_;
  PeerPaths paths_;
};

TEST_F(PeerWriter, WritesPeerChatAndHookWithTheirModes) {
  PeerWriteResult result = writePeer("/dev/ttyUSB0", kDns, target_);
  ASSERT_EQ(result.status, PeerWriteResult::Status::Written) << result.detail;
  EXPECT_EQ(slurp(at(paths_.peerFile)),
            peerFileText({"/dev/ttyUSB0", kDns, "/etc/chatscripts/ob-packet-data"}));
  EXPECT_EQ(slurp(at(paths_.chatFile)), chatScriptText());
  EXPECT_EQ(slurp(at(paths_.dnsHook)), dnsHookText(kDns));
  EXPECT_EQ(modeOf(at(paths_.peerFile)), 0640u);
  EXPECT_EQ(modeOf(at(paths_.chatFile)), 0640u);
  EXPECT_EQ(modeOf(at(paths_.dnsHook)), 0755u);
  // No temporary file is left beside them.
  for (auto& entry : fs::recursive_directory_iterator(root_))
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(PeerWriter, RewritingReplacesOnlyItsOwnFiles) {
  ASSERT_EQ(writePeer("/dev/ttyUSB0", kDns, target_).status, PeerWriteResult::Status::Written);
  // Server-assigned name servers now: our hook goes, the peer is rewritten.
  ASSERT_EQ(writePeer("/dev/ttyACM0", std::nullopt, target_).status,
            PeerWriteResult::Status::Written);
  EXPECT_FALSE(fs::exists(at(paths_.dnsHook)));
  EXPECT_NE(slurp(at(paths_.peerFile)).find("\"/dev/ttyACM0\""), std::string::npos);

  // Someone else's hook of that name stays, and so does everything else.
  std::ofstream(at(paths_.dnsHook)) << "#!/bin/sh\necho theirs\n";
  ASSERT_EQ(writePeer("/dev/ttyS0", std::nullopt, target_).status,
            PeerWriteResult::Status::Written);
  EXPECT_EQ(slurp(at(paths_.dnsHook)), "#!/bin/sh\necho theirs\n");
}

TEST_F(PeerWriter, AForeignFileStopsTheWriteBeforeAnythingChanges) {
  fs::create_directories(at(paths_.chatFile).parent_path());
  std::ofstream(at(paths_.chatFile)) << "'' ATZ\n";
  PeerWriteResult result = writePeer("/dev/ttyUSB0", kDns, target_);
  EXPECT_EQ(result.status, PeerWriteResult::Status::Failed);
  EXPECT_NE(result.detail.find("not written by this wizard"), std::string::npos);
  EXPECT_EQ(slurp(at(paths_.chatFile)), "'' ATZ\n");
  EXPECT_FALSE(fs::exists(at(paths_.peerFile)));
  EXPECT_FALSE(fs::exists(at(paths_.dnsHook)));
}

TEST_F(PeerWriter, BadPortFailsWithItsReason) {
  PeerWriteResult result = writePeer("", std::nullopt, target_);
  EXPECT_EQ(result.status, PeerWriteResult::Status::Failed);
  EXPECT_NE(result.detail.find("not a device path"), std::string::npos);
  EXPECT_FALSE(fs::exists(at(paths_.peerFile)));
}

TEST_F(PeerWriter, ClosedDirectoryStagesTheFilesAndSaysWhatToRun) {
  fs::create_directories(at(paths_.peerFile).parent_path());
  fs::create_directories(at(paths_.chatFile).parent_path());
  fs::create_directories(at(paths_.dnsHook).parent_path());
  for (auto dir : {"etc/ppp/peers", "etc/chatscripts", "etc/ppp/ip-up.d"})
    fs::permissions(root_ / dir, fs::perms::owner_read | fs::perms::owner_exec);
  PeerWriteResult result;
  {
    obnet::testing::WithoutFileOverride asUser;
    if (!asUser.active()) GTEST_SKIP() << "cannot give up root's file permission override";
    result = writePeer("/dev/ttyUSB0", kDns, target_);
  }
  for (auto dir : {"etc/ppp/peers", "etc/chatscripts", "etc/ppp/ip-up.d"})
    fs::permissions(root_ / dir, fs::perms::owner_all);
  ASSERT_EQ(result.status, PeerWriteResult::Status::Staged) << result.detail;
  fs::path stage = result.stagingDir;
  EXPECT_EQ(stage.parent_path(), fs::path(target_.stagingParent));
  EXPECT_EQ(slurp(stage / "etc/ppp/peers/ob-packet-data"),
            peerFileText({"/dev/ttyUSB0", kDns, "/etc/chatscripts/ob-packet-data"}));
  std::string s = stage.string(), r = root_.string();
  EXPECT_EQ(result.command,
            "sudo install -D -m 755 " + s + "/etc/ppp/ip-up.d/0000ob-packet-data-dns " + r +
                "/etc/ppp/ip-up.d/0000ob-packet-data-dns && "
                "sudo install -D -m 640 " + s + "/etc/chatscripts/ob-packet-data " + r +
                "/etc/chatscripts/ob-packet-data && "
                "sudo install -D -m 640 " + s + "/etc/ppp/peers/ob-packet-data " + r +
                "/etc/ppp/peers/ob-packet-data");
  EXPECT_FALSE(fs::exists(at(paths_.peerFile)));

  // The command does what it says.
  std::string run = result.command;
  for (std::size_t pos = run.find("sudo "); pos != std::string::npos; pos = run.find("sudo ", pos))
    run.erase(pos, 5);
  ASSERT_EQ(std::system(run.c_str()), 0) << run;
  EXPECT_TRUE(writtenByWizard(at(paths_.peerFile)));
  EXPECT_EQ(modeOf(at(paths_.dnsHook)), 0755u);
}

TEST_F(PeerWriter, AFileThatCannotBeReadIsNotReplaced) {
  fs::create_directories(at(paths_.peerFile).parent_path());
  std::ofstream(at(paths_.peerFile)) << "secret\n";
  fs::permissions(at(paths_.peerFile), fs::perms::none);
  PeerWriteResult result;
  {
    obnet::testing::WithoutFileOverride asUser;
    if (!asUser.active()) GTEST_SKIP() << "cannot give up root's file permission override";
    result = writePeer("/dev/ttyUSB0", std::nullopt, target_);
  }
  fs::permissions(at(paths_.peerFile), fs::perms::owner_read);
  ASSERT_EQ(result.status, PeerWriteResult::Status::Staged) << result.detail;
  EXPECT_EQ(slurp(at(paths_.peerFile)), "secret\n");
  EXPECT_NE(result.command.find("--backup=numbered -m 640 " + result.stagingDir +
                                "/etc/ppp/peers/ob-packet-data " + at(paths_.peerFile).string()),
            std::string::npos)
      << result.command;
}

// pppd reads the written peer file as its own options.
class PppdParse : public PeerWriter {
 protected:
  struct Outcome {
    int status;
    std::string output;
  };
  static Outcome pppd(const fs::path& file) {
    std::string command = "/usr/sbin/pppd file '" + file.string() + "' dryrun 2>&1";
    Outcome outcome{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) outcome.output += buffer.data();
    int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
  }
  // pppd ends with 4 when the kernel has no PPP support (no /dev/ppp, as in
  // a container), which it checks only after every option has been read.
  static bool accepted(const Outcome& o) {
    return o.status == 0 || (o.status == 4 && o.output.find("/dev/ppp") != std::string::npos);
  }
  void SetUp() override {
    PeerWriter::SetUp();
    if (::access("/usr/sbin/pppd", X_OK) != 0)
      GTEST_SKIP() << "/usr/sbin/pppd is not installed or not executable by this user "
                      "(install ppp; run as root or as a member of the dip group)";
  }
};

TEST_F(PppdParse, AcceptsTheWrittenPeerFile) {
  // pppd takes a device name only for a character device that exists.
  for (const DnsChoice& dns : {DnsChoice{}, DnsChoice{kDns}}) {
    ASSERT_EQ(writePeer("/dev/null", dns, target_).status, PeerWriteResult::Status::Written);
    Outcome outcome = pppd(at(paths_.peerFile));
    EXPECT_TRUE(accepted(outcome)) << "status " << outcome.status << ": " << outcome.output;
  }
  // The same check refuses a file that pppd cannot read.
  std::ofstream(at(paths_.peerFile), std::ios::app) << "no-such-option\n";
  Outcome broken = pppd(at(paths_.peerFile));
  EXPECT_FALSE(accepted(broken)) << broken.output;
  EXPECT_NE(broken.output.find("no-such-option"), std::string::npos) << broken.output;
}

}  // namespace
