// The script object's downloads over a simulated UT: the checks that refuse
// a file before the link is touched, a missing loader, a RAM program, and a
// disconnect that cancels a running transfer. After each the object
// finishes its connection again by itself.
#include <zlib.h>

#include <filesystem>

#include "../download/tests/image_files.h"
#include "member_fixture.h"
#include "vx/download/download_engine.h"

namespace vx::script::testing {
namespace {

using namespace vx::download::testing;

class DownloadMembers : public ScriptMembersTest {
 protected:
  std::shared_ptr<const vx::res::ResourceLibrary> resources() const override {
    return std::make_shared<vx::res::ResourceLibrary>(vx::res::ResourceLibrary::load(vx::res::kEnglishLibrary));
  }
  void SetUp() override {
    ScriptMembersTest::SetUp();
    object->setDownloadPauses(std::chrono::milliseconds(0), std::chrono::milliseconds(0));
  }
  std::string path(const std::string& name) const { return sandbox.runtimeDir() + "/" + name; }

  // Runs a download to its end on the loop; its result.
  HRESULT download(DownloadMethod method, const std::string& file, int timeoutMs = 60000) {
    bool answered = false;
    HRESULT result = S_FALSE;
    object->Download(method, vx::com::Utf8ToUtf16(file), [&](HRESULT hr) {
      answered = true;
      result = hr;
    });
    EXPECT_TRUE(loop.runUntil([&] { return answered; }, timeoutMs));
    return result;
  }

  // The object has its configuration again: a setting reads.
  bool settingsWorkAgain() {
    return loop.runUntil([&] { return call("get_NoServiceTimeUntilSleep").first == S_OK; }, 30000);
  }
};

TEST_F(DownloadMembers, FilesAreRefusedBeforeTheLinkIsTouched) {
  const auto data = randomBytes(2000);
  const std::string software = makeImage(sandbox.runtimeDir(), "sw.s3", data, "UT 5.0.1");
  const std::string boot = makeImage(sandbox.runtimeDir(), "bb.s3", data, "utbootbloc 3");
  writeFile(path("broken.s3"), readFile(software).replace(4, 1, "G"));
  ASSERT_FALSE(software.empty());
  ASSERT_FALSE(boot.empty());

  EXPECT_EQ(download(DownloadMethod::Software, boot), DOWNLOAD_E_NOT_SOFTWARE);
  EXPECT_EQ(object->lastError().message, Message::NotSoftwareFile);
  EXPECT_EQ(download(DownloadMethod::BootBlock, software), DOWNLOAD_E_NOT_BOOTBLOCK);
  EXPECT_EQ(object->lastError().message, Message::NotBootBlockFile);
  EXPECT_EQ(download(DownloadMethod::Software, path("broken.s3")), DOWNLOAD_E_NOT_SOFTWARE);
  EXPECT_EQ(download(DownloadMethod::Software, path("missing.s3")), DOWNLOAD_E_FILE);
  EXPECT_EQ(object->lastError().message, Message::FileNotOpened);
  EXPECT_EQ(download(DownloadMethod::RamProgram, ""), DOWNLOAD_E_FILE);
  EXPECT_EQ(sim->counters().xmodemBlocksSeen, 0u);
  EXPECT_FALSE(sim->counters().inLoader);
  // The object kept its configuration throughout.
  EXPECT_EQ(status("get_NoServiceTimeUntilSleep"), S_OK);

  object->Disconnect();
  EXPECT_EQ(download(DownloadMethod::Software, software), VEX_E_NOT_CONNECTED);
  EXPECT_EQ(object->lastError().message, Message::NotConnected);
}

TEST_F(DownloadMembers, RamProgramArrivesAndTheObjectFinishesAgain) {
  sim->setTransfersPerDownload(1);
  const auto program = randomBytes(5000);
  writeFile(path("ram.bin"), program);
  EXPECT_EQ(download(DownloadMethod::RamProgram, path("ram.bin")), S_OK);
  // Members wait while the object is partially disconnected, then work again.
  EXPECT_TRUE(settingsWorkAgain());
  const auto transfers = sim->receivedTransfers();
  ASSERT_EQ(transfers.size(), 1u);
  ASSERT_GE(transfers[0].size(), program.size());
  EXPECT_TRUE(std::equal(program.begin(), program.end(), transfers[0].begin()));
}

TEST_F(DownloadMembers, DisconnectCancelsARunningTransfer) {
  const std::string image = makeImage(sandbox.runtimeDir(), "big.s3", randomBytes(600000), "UT 5.0.1");
  bool answered = false;
  HRESULT result = S_FALSE;
  object->Download(DownloadMethod::Software, vx::com::Utf8ToUtf16(image), [&](HRESULT hr) {
    answered = true;
    result = hr;
  });
  // Well into the image: the loader is a couple of blocks.
  ASSERT_TRUE(loop.runUntil([&] { return sim->counters().xmodemBlocks > 20; }, 60000));
  EXPECT_EQ(object->Disconnect(), S_OK);
  EXPECT_TRUE(answered);
  EXPECT_EQ(result, DOWNLOAD_E_CANCELLED);
  int16_t state = -1;
  EXPECT_EQ(object->ConnectionState(&state), S_OK);
  EXPECT_EQ(state, 0);
}

TEST_F(DownloadMembers, UpgradesFlashTheUtAndItsFaultsKeepTheOldSoftware) {
  const auto data = randomBytes(30000);
  const std::string software = gzipCopy(makeImage(sandbox.runtimeDir(), "sw.s3", data, "UT 5.0.1 gz"));
  const std::string boot = makeImage(sandbox.runtimeDir(), "bb.s2", data, "utbootbloc 7.7", 3);
  ASSERT_FALSE(software.empty());

  EXPECT_EQ(download(DownloadMethod::Software, software), S_OK);
  ASSERT_TRUE(settingsWorkAgain());
  auto flash = sim->flashState();
  ASSERT_TRUE(flash.software.has_value()) << "the compressed image was flashed";
  EXPECT_EQ(flash.software->header, "UT 5.0.1 gz");
  EXPECT_EQ(flash.software->dataBytes, data.size());
  EXPECT_EQ(flash.software->crc32, crc32(0, data.data(), static_cast<uInt>(data.size())));

  EXPECT_EQ(download(DownloadMethod::BootBlock, boot), S_OK);
  ASSERT_TRUE(settingsWorkAgain());
  flash = sim->flashState();
  ASSERT_TRUE(flash.bootBlock.has_value());
  EXPECT_EQ(flash.bootBlock->header, "utbootbloc 7.7");
  EXPECT_EQ(flash.software->header, "UT 5.0.1 gz") << "a boot block leaves the software alone";

  // Each fault fails the Xmodem step, with the link's own words kept, and
  // the UT keeps what it had.
  const std::string other = makeImage(sandbox.runtimeDir(), "other.s3", data, "UT 9.9.9");
  sim->downloadRefuseLoader(true);
  EXPECT_EQ(download(DownloadMethod::Software, other), DOWNLOAD_E_XMODEM);
  EXPECT_EQ(object->lastError().message, Message::XmodemFailed);
  EXPECT_FALSE(object->lastError().detail.empty());
  sim->downloadRefuseLoader(false);
  ASSERT_TRUE(settingsWorkAgain());

  sim->downloadCancelImage(3);
  EXPECT_EQ(download(DownloadMethod::Software, other), DOWNLOAD_E_XMODEM);
  sim->downloadCancelImage(0);
  ASSERT_TRUE(settingsWorkAgain());
  EXPECT_EQ(sim->flashState().lastImage, kmx::sim::ImageOutcome::Cancelled);
  EXPECT_EQ(sim->flashState().software->header, "UT 5.0.1 gz");
}

class DownloadWithoutLoader : public DownloadMembers {
 protected:
  std::shared_ptr<const vx::res::ResourceLibrary> resources() const override { return nullptr; }
};

TEST_F(DownloadWithoutLoader, FailsAndTheObjectFinishesAgain) {
  const std::string software = makeImage(sandbox.runtimeDir(), "sw.s3", randomBytes(2000), "UT 5.0.1");
  EXPECT_EQ(download(DownloadMethod::Software, software), DOWNLOAD_E_LOADER_MISSING);
  EXPECT_EQ(object->lastError().message, Message::LoaderMissing);
  EXPECT_EQ(sim->counters().xmodemBlocksSeen, 0u);
  EXPECT_TRUE(settingsWorkAgain()) << "the UT never left the link: the object must not stay without its settings";
}

}  // namespace
}  // namespace vx::script::testing
