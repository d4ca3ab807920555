#include "client_fixture.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "kmx/platform/process.h"
#include "kmx/platform/wait.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"
#include "kmx_messages.h"

namespace kmx::client::testing {

bool eventually(const std::function<bool()>& predicate, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool sleepsInSyscall(pid_t thread, std::initializer_list<long> syscalls) {
  std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/syscall");
  long number = -1;
  if (!(in >> number)) return false;
  for (long wanted : syscalls) {
    if (number == wanted) return true;
  }
  return false;
}

int queuedMessages(const std::string& ipcName, const char* mailbox) {
  void* ipc = IPC_open(ipcName.c_str(), 1000);
  if (ipc == nullptr) return -1;
  void* mbox = IPC_open_mailbox(mailbox, IPC_MODE_NONE, ipc);
  uint32_t queued = 0;
  const bool read = mbox != nullptr && IPC_mailbox_state(1, &mbox, nullptr, &queued, nullptr, nullptr, ipc) == 1;
  IPC_close(ipc);  // also closes the mailbox handle
  return read ? static_cast<int>(queued) : -1;
}

pid_t findServer(const std::string& runtimeDir) {
  const std::string wanted = "KMX_RUNTIME_DIR=" + runtimeDir;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return -1;
  pid_t found = -1;
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name != "kmxserver") continue;
    std::ifstream environ("/proc/" + pid + "/environ");
    std::string all((std::istreambuf_iterator<char>(environ)), std::istreambuf_iterator<char>());
    std::size_t at = 0;
    while (at < all.size()) {
      std::size_t end = all.find('\0', at);
      if (end == std::string::npos) end = all.size();
      if (all.compare(at, end - at, wanted) == 0) found = std::stoi(pid);
      at = end + 1;
    }
    if (found > 0) break;
  }
  closedir(proc);
  return found;
}

bool processEnds(pid_t pid, int timeoutMs) {
  ProcessWatch watch(pid);
  int fds[1] = {watch.fd()};
  return !watch.valid() || waitForAny(fds, timeoutMs) == 0;
}

std::vector<uint8_t> words(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> out;
  for (uint32_t v : values) proto::appendLe32(out, v);
  return out;
}

uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
  return bytes.size() >= offset + 4 ? proto::loadLe32(&bytes[offset]) : 0xFFFFFFFF;
}

namespace {
::testing::AssertionResult failure(bool failed, uint16_t error) {
  const uint16_t actual = KMXGetLastError();
  if (failed && actual == error) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (failed ? "failed" : "succeeded") << " with error " << actual << " ("
                                       << KMXGetErrorDesc(actual) << "), not " << error;
}
}  // namespace

::testing::AssertionResult failedWith(int result, uint16_t error) { return failure(result == 0, error); }
::testing::AssertionResult failedWith(void* handle, uint16_t error) { return failure(handle == nullptr, error); }

// --- ClientTest -----------------------------------------------------------------

void ClientTest::TearDown() {
  const pid_t running = server();
  for (void* handle : connections) KMXCloseHandle(handle);  // 0 for those already closed
  connections.clear();
  if (running > 0 && !processEnds(running, 10000)) {
    ADD_FAILURE() << "the server did not end after its clients went";
    kill(running, SIGKILL);
  }
}

void* ClientTest::connect(uint32_t baudRate) {
  void* handle = KMXCreateConnection("UT1", baudRate);
  if (handle != nullptr) connections.push_back(handle);
  return handle;
}

void* ClientTest::connectUp(uint32_t mask) {
  void* handle = connect();
  EXPECT_NE(handle, nullptr) << KMXGetErrorDesc(KMXGetLastError());
  uint32_t state = 0;
  EXPECT_EQ(KMXOpenConnection(handle, 10, nullptr, mask, &state, nullptr), 1);
  EXPECT_EQ(state, KMX_LINK_UP) << "the link did not come up";
  return handle;
}

// --- FakeServer -------------------------------------------------------------------

FakeServer::FakeServer(Answer answer, std::vector<uint8_t> connectionReply)
    : FakeServer(std::move(answer), 0) {
  std::lock_guard lock(mutex_);
  connectionReply_ = std::move(connectionReply);
}

FakeServer::FakeServer(Answer answer, uint32_t connectionStatus)
    : answer_(std::move(answer)), connectionStatus_(connectionStatus) {
  connectionChannel_ = std::make_unique<KMXIpc>(connectionChannelName(kDevice).c_str(),
                                                kConnectionChannelServer);
  if (!connectionChannel_->Create()) ADD_FAILURE() << "the fake server's channel was not made";
  thread_ = std::thread([this] { run(); });
}

FakeServer::~FakeServer() {
  stop_ = true;
  thread_.join();
}

bool FakeServer::sendAsync(const std::vector<uint8_t>& message) {
  std::lock_guard lock(mutex_);
  return client_ && client_->SendMsg(kCtoSAsync, message.data(), static_cast<uint32_t>(message.size()));
}

std::vector<std::vector<uint8_t>> FakeServer::commands() {
  std::lock_guard lock(mutex_);
  return commands_;
}

void FakeServer::run() {
  uint8_t buffer[msg::kMaxMessage];
  while (!stop_) {
    int fds[2] = {connectionChannel_->WaitHandle(kConnMbox), -1};
    {
      std::lock_guard lock(mutex_);
      if (client_) fds[1] = client_->WaitHandle(kCtoSCmd);
    }
    const int ready = waitForAny(std::span<const int>(fds, fds[1] >= 0 ? 2 : 1), 20);
    uint32_t length = 0;
    if (ready == 0 && connectionChannel_->ReceiveMsg(kConnMbox, buffer, sizeof buffer, 0, &length)) {
      const uint32_t id = proto::loadLe32(&buffer[msg::conn_request::kClientId]);
      auto channel = std::make_unique<KMXIpc>(clientChannelName(kDevice, id).c_str(), kClientChannelServer);
      if (!channel->Open()) continue;
      // Taken in before the reply, so that a test can send to it at once.
      std::lock_guard lock(mutex_);
      client_ = std::move(channel);
      auto reply = !connectionReply_.empty()
                       ? connectionReply_
                       : words({msg::conn_reply::kKindValue, connectionStatus_, static_cast<uint32_t>(getpid())});
      client_->SendMsg(kStoCRsp, reply.data(), static_cast<uint32_t>(reply.size()));
    } else if (ready == 1 && client_->ReceiveMsg(kCtoSCmd, buffer, sizeof buffer, 0, &length)) {
      std::vector<uint8_t> command(buffer, buffer + length);
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(command);
      }
      std::vector<uint8_t> reply =
          wordAt(command, 0) == msg::kCmdClose ? words({msg::kStatusOk}) : answer_(command);
      if (!reply.empty()) client_->SendMsg(kStoCRsp, reply.data(), static_cast<uint32_t>(reply.size()));
    }
  }
}

}  // namespace kmx::client::testing
