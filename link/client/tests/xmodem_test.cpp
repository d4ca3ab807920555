// A software download through the public API: KMXXmodemCmd to the simulated
// UT's loader, and a waiting step cancelled from another thread.
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "client_fixture.h"
#include "kmx_channels.h"

namespace kmx::client::testing {
namespace {

class XmodemApi : public ClientTest {};

TEST_F(XmodemApi, ALoaderAndAnImageGoDownThroughTheApi) {
  void* connection = connectUp();
  sim.setTransfersPerDownload(2);
  std::vector<uint8_t> loader(2049), image(6000);
  std::iota(loader.begin(), loader.end(), uint8_t{1});
  std::iota(image.begin(), image.end(), uint8_t{9});
  for (const auto* data : {&loader, &image}) {
    ASSERT_EQ(KMXXmodemCmd(connection, 0, 0, 0, nullptr), 1) << KMXGetLastError();
    // A step carries at most 4348 bytes.
    for (std::size_t at = 0; at < data->size(); at += 4000) {
      const bool last = at + 4000 >= data->size();
      const auto length = static_cast<uint32_t>(std::min<std::size_t>(4000, data->size() - at));
      ASSERT_EQ(KMXXmodemCmd(connection, 1, last ? 1 : 0, length, data->data() + at), 1) << KMXGetLastError();
    }
  }
  auto received = sim.receivedTransfers();
  ASSERT_EQ(received.size(), 2u);
  loader.resize(3072, 0x1A);
  image.resize(6144, 0x1A);
  EXPECT_EQ(received[0], loader);
  EXPECT_EQ(received[1], image);
  EXPECT_TRUE(failedWith(KMXXmodemCmd(connection, 1, 1, 0, nullptr), KMX_ERR_XMODEM_NOT_ACTIVE));
}

TEST_F(XmodemApi, AWaitingStepIsCancelledFromAnotherThread) {
  void* connection = connectUp();
  sim.xmodemNeverStart(true);
  int result = -1;
  uint16_t error = 0;
  std::atomic<pid_t> waiter{0};
  std::thread waiting([&] {
    waiter = gettid();
    result = KMXXmodemCmd(connection, 0, 0, 0, nullptr);
    error = KMXGetLastError();
  });
  // The step is waiting once its thread sleeps in the wait for the reply
  // (so the command went out) and the server has taken the command.
  ASSERT_TRUE(eventually([&] {
    return waiter != 0 && sleepsInSyscall(waiter, {SYS_poll, SYS_ppoll}) &&
           queuedMessages(clientChannelName("UT1", 0), "CtoSCmd") == 0;
  }));
  EXPECT_EQ(KMXCancelXmodemBlockingCall(connection), 1) << KMXGetLastError();
  waiting.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(error, KMX_ERR_XMODEM_CANCELLED);
  // The connection goes on: its next command is answered as usual.
  uint8_t version[83];
  EXPECT_TRUE(eventually([&] { return KMXGetKMXVersionInfo(connection, version) == 1; }, 15000));
}

}  // namespace
}  // namespace kmx::client::testing
