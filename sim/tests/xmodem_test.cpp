// The UT's loader: software by Xmodem, a loader and then the image; a
// loader image makes the loader check the S-record image and flash it.
#include <zlib.h>

#include <cstring>
#include <numeric>

#include "kmx/sim/ut_commands.h"
#include "sim_fixture.h"

namespace kmx::sim::testing {
namespace {

constexpr uint8_t kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;

class Loader : public SimulatorTest {
 protected:
  // Reads raw bytes (the loader does not frame) until `count` came.
  std::vector<uint8_t> readRaw(std::size_t count, int timeoutMs = 3000) {
    return host->readRawBytes(count, timeoutMs);
  }
  static std::vector<uint8_t> block(uint8_t number, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b = {kStx, number, static_cast<uint8_t>(number ^ 0xFF)};
    b.insert(b.end(), data.begin(), data.end());
    b.resize(3 + 1024, 0x1A);
    uint8_t sum = 0;
    for (std::size_t i = 3; i < b.size(); ++i) sum = static_cast<uint8_t>(sum + b[i]);
    b.push_back(sum);
    return b;
  }
  // Sends `data` as one transfer until an answer is not ACK: returns that
  // answer (CAN CAN in full; empty when the start NAK did not come) and
  // counts the blocks acknowledged.
  std::vector<uint8_t> send(const std::vector<uint8_t>& data, std::size_t* acknowledged = nullptr) {
    if (acknowledged) *acknowledged = 0;
    if (readRaw(1) != std::vector<uint8_t>{kNak}) return {};
    auto answer = [&] {
      auto bytes = readRaw(1);
      if (bytes == std::vector<uint8_t>{kCan}) bytes.push_back(readRaw(1).empty() ? 0 : kCan);
      return bytes;
    };
    uint8_t number = 1;
    for (std::size_t at = 0; at < data.size(); at += 1024, ++number) {
      std::vector<uint8_t> part(data.begin() + static_cast<long>(at),
                                data.begin() + static_cast<long>(std::min(data.size(), at + 1024)));
      host->writeRaw(block(number, part));
      auto got = answer();
      if (got != std::vector<uint8_t>{kAck}) return got;
      if (acknowledged) ++*acknowledged;
    }
    host->writeRaw({kEot});
    return answer();
  }
  // One transfer of `data`; false when an answer was not as expected.
  bool transfer(const std::vector<uint8_t>& data) { return send(data) == std::vector<uint8_t>{kAck}; }
  bool restarted(uint32_t restarts) {
    return sim.waitUntil([&](const SimulatorCounters& c) { return !c.inLoader && c.restarts == restarts; }, 3000);
  }
  // The version number and text of the version block.
  std::pair<uint32_t, std::string> version() {
    Packet block = ask(ut_command::kVersion);
    if (block.payload.size() != 83) return {};
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | block.payload[39 + static_cast<std::size_t>(i)];
    return {number, std::string(reinterpret_cast<const char*>(&block.payload[43]))};
  }
};

// A loader image as the UT's RAM takes it: magic, format 1, payload length
// and its CRC-32, all little-endian, then the payload.
std::vector<uint8_t> loaderImage() {
  std::vector<uint8_t> payload(304);
  std::iota(payload.begin(), payload.end(), uint8_t{13});
  const auto crc = static_cast<uint32_t>(crc32(0, payload.data(), static_cast<uInt>(payload.size())));
  return cat({{'U', 'T', 'V', 'X', 'L', 'D', 'R', '1'}, le32(1), le32(static_cast<uint32_t>(payload.size())), le32(crc),
              payload});
}

// An ASCII S-record line: type, count, address of `addressBytes`, data, checksum.
std::string record(char type, int addressBytes, uint32_t address, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> body;
  for (int i = addressBytes - 1; i >= 0; --i) body.push_back(static_cast<uint8_t>(address >> (8 * i)));
  body.insert(body.end(), data.begin(), data.end());
  uint8_t sum = static_cast<uint8_t>(body.size() + 1);
  for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
  body.insert(body.begin(), static_cast<uint8_t>(body.size() + 1));
  body.push_back(static_cast<uint8_t>(~sum));
  std::string line = std::string("S") + type;
  char hex[3];
  for (uint8_t b : body) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line + "\r\n";
}

// An S-record file: the S0 header, `data` in S3 records of 32 bytes from
// 0x10000, an S7 start address.
std::vector<uint8_t> srecordFile(const std::string& header, const std::vector<uint8_t>& data, uint32_t start) {
  std::string text = record('0', 2, 0, std::vector<uint8_t>(header.begin(), header.end()));
  for (std::size_t at = 0; at < data.size(); at += 32) {
    std::vector<uint8_t> part(data.begin() + static_cast<long>(at),
                              data.begin() + static_cast<long>(std::min(data.size(), at + 32)));
    text += record('3', 4, static_cast<uint32_t>(0x10000 + at), part);
  }
  text += record('7', 4, start, {});
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> gzipped(const std::vector<uint8_t>& bytes) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())));
  stream.next_in = const_cast<Bytef*>(bytes.data());
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

TEST_F(Loader, DownloadIsALoaderThenTheImageAfterWhichTheUtRestarts) {
  ASSERT_EQ(ask(ut_command::kStartDownload).type, 1);
  std::vector<uint8_t> loader(1500), image(3000);
  std::iota(loader.begin(), loader.end(), uint8_t{0});
  std::iota(image.begin(), image.end(), uint8_t{7});
  ASSERT_TRUE(transfer(loader));
  ASSERT_TRUE(transfer(image));
  ASSERT_TRUE(sim.waitUntil([](const SimulatorCounters& c) { return !c.inLoader && c.restarts == 1; }, 2000));
  auto received = sim.receivedTransfers();
  ASSERT_EQ(received.size(), 2u);
  ASSERT_EQ(received[1].size(), 3072u) << "three blocks";
  EXPECT_TRUE(std::equal(image.begin(), image.end(), received[1].begin()));
  EXPECT_EQ(received[1].back(), 0x1A) << "padding kept";
  EXPECT_EQ(ask(ut_command::kSync).type, 1) << "framed again at 9600";
}

TEST_F(Loader, BadBlocksAreRefusedAndFaultsDoWhatTheySay) {
  sim.enterLoader();
  ASSERT_EQ(readRaw(1), std::vector<uint8_t>{kNak});
  auto good = block(1, {1, 2, 3});
  auto bad = good;
  bad[10] ^= 0xFF;
  host->writeRaw(bad);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kNak});
  sim.xmodemRefuseBlocks(1);
  host->writeRaw(good);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kNak});
  host->writeRaw(good);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kAck});
  host->writeRaw(good);
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kAck}) << "a repeated block is acknowledged, not stored";
  sim.xmodemCancel();
  host->writeRaw(block(2, {4}));
  EXPECT_EQ(readRaw(2), (std::vector<uint8_t>{kCan, kCan}));
  EXPECT_EQ(sim.counters().xmodemBlocks, 0u) << "a new transfer is awaited";

  sim.xmodemSilentAfterEot(true);
  sim.xmodemNeverStart(true);
  sim.enterLoader();
  EXPECT_TRUE(readRaw(1, 1500).empty()) << "no NAK to start";
  host->writeRaw(block(1, {9}));
  EXPECT_EQ(readRaw(1), std::vector<uint8_t>{kAck});
  host->writeRaw({kEot});
  EXPECT_TRUE(readRaw(1, 500).empty()) << "silent after EOT";
}

TEST_F(Loader, ALoaderImageThenAGoodImageFlashesTheSoftwareGzippedOrNot) {
  std::vector<uint8_t> data(5000);
  std::iota(data.begin(), data.end(), uint8_t{3});
  const uint32_t crc = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  ASSERT_EQ(ask(ut_command::kStartDownload).type, 1);
  ASSERT_TRUE(transfer(loaderImage()));
  EXPECT_TRUE(sim.counters().inLoader) << "the loader program waits for the image";
  ASSERT_TRUE(transfer(srecordFile("UT 5.0.1 (build 77)", data, 0x10000)));
  ASSERT_TRUE(restarted(1));
  EXPECT_EQ(version(), std::make_pair(0x00050001u, std::string("UT 5.0.1 (build 77)")));
  EXPECT_EQ(sim.control("flashed"), "software \"UT 5.0.1 (build 77)\" bytes=5000 crc32=" + hex32(crc) +
                                        " start=0x00010000; bootblock none; last-image ok");

  // The same data compressed, under a header with more than the version
  // block holds: the text is cut, the number is the first triple.
  sim.enterLoader();
  ASSERT_TRUE(transfer(loaderImage()));
  const std::string header = "Rel 12.3 of UT 6.10.200, 2027-01-05, 0123456789ABCDEF";
  ASSERT_TRUE(transfer(gzipped(srecordFile(header, data, 0))));
  ASSERT_TRUE(restarted(2));
  EXPECT_EQ(version(), std::make_pair(0x00060AC8u, header.substr(0, 39)));
  FlashState flashed = sim.flashState();
  ASSERT_TRUE(flashed.software.has_value());
  EXPECT_EQ(flashed.software->header, header.substr(0, 39));
  EXPECT_EQ(flashed.software->dataBytes, 5000u);
  EXPECT_EQ(flashed.software->crc32, crc);
  EXPECT_EQ(flashed.software->startAddress, 0u);
  EXPECT_EQ(flashed.imagesFlashed, 2u);
  EXPECT_EQ(sim.receivedTransfers().size(), 2u) << "the loader and the image, as sent";
}

TEST_F(Loader, ABadImageChangesNothingAndABootBlockOnlyTheBootBlock) {
  auto image = srecordFile("UT 9.9.9", std::vector<uint8_t>(100, 0x55), 0);
  const std::size_t secondRecord = std::string(image.begin(), image.end()).find("S3", 4);
  image[secondRecord + 20] = image[secondRecord + 20] == '0' ? '1' : '0';  // a data digit: checksum off
  sim.enterLoader();
  ASSERT_TRUE(transfer(loaderImage()));
  ASSERT_TRUE(transfer(image));
  ASSERT_TRUE(restarted(1));
  EXPECT_EQ(version(), std::make_pair(0x00040201u, std::string("UT 4.2.1")));
  EXPECT_EQ(sim.control("flashed"), "software none; bootblock none; last-image error 2002");

  sim.enterLoader();
  ASSERT_TRUE(transfer(loaderImage()));
  ASSERT_TRUE(transfer(gzipped(srecordFile("utbootbloc 2.0.0", {1, 2, 3, 4}, 0x200))));
  ASSERT_TRUE(restarted(2));
  EXPECT_EQ(version(), std::make_pair(0x00040201u, std::string("UT 4.2.1")));
  const uint8_t four[] = {1, 2, 3, 4};
  EXPECT_EQ(sim.control("flashed"), "software none; bootblock \"utbootbloc 2.0.0\" bytes=4 crc32=" +
                                        hex32(static_cast<uint32_t>(crc32(0, four, 4))) +
                                        " start=0x00000200; last-image ok");
}

TEST_F(Loader, AnImageCutAtARecordBoundaryIsRefused) {
  const auto whole = srecordFile("UT 9.9.9", std::vector<uint8_t>(8192, 0x5A), 0);
  const std::string text(whole.begin(), whole.end());
  std::size_t sixtyLines = 0;
  for (int line = 0; line < 60; ++line) sixtyLines = text.find('\n', sixtyLines) + 1;
  sim.enterLoader();
  ASSERT_TRUE(transfer(loaderImage()));
  ASSERT_TRUE(transfer(std::vector<uint8_t>(text.begin(), text.begin() + static_cast<long>(sixtyLines))));
  ASSERT_TRUE(restarted(1));
  EXPECT_EQ(version(), std::make_pair(0x00040201u, std::string("UT 4.2.1")));
  EXPECT_EQ(sim.control("flashed"), "software none; bootblock none; last-image error 2008");
  EXPECT_EQ(sim.flashState().imagesFlashed, 0u);
}

TEST_F(Loader, TheLoaderIsRefusedTheImageCancelledOrNeverAskedFor) {
  const auto software = srecordFile("UT 7.0.0", std::vector<uint8_t>(3000, 0xA5), 0);
  EXPECT_EQ(sim.control("download refuse-loader on"), "ok");
  sim.enterLoader();
  EXPECT_EQ(send(loaderImage()), (std::vector<uint8_t>{kCan, kCan})) << "the EOT is refused";
  ASSERT_TRUE(restarted(1));
  EXPECT_EQ(sim.flashState().lastImage, ImageOutcome::LoaderRefused);
  sim.downloadRefuseLoader(false);
  auto damaged = loaderImage();
  damaged[30] ^= 1;
  sim.enterLoader();
  EXPECT_EQ(send(damaged), (std::vector<uint8_t>{kCan, kCan})) << "a loader image that does not check out";
  ASSERT_TRUE(restarted(2));

  EXPECT_EQ(sim.control("download cancel-image 2"), "ok");
  sim.enterLoader();
  ASSERT_TRUE(transfer(loaderImage()));
  std::size_t acknowledged = 0;
  EXPECT_EQ(send(software, &acknowledged), (std::vector<uint8_t>{kCan, kCan}));
  EXPECT_EQ(acknowledged, 2u);
  ASSERT_TRUE(restarted(3));
  EXPECT_EQ(sim.control("flashed"), "software none; bootblock none; last-image cancelled");
  EXPECT_EQ(version().second, "UT 4.2.1");
  sim.downloadCancelImage(0);

  EXPECT_EQ(sim.control("download image-never-starts on"), "ok");
  sim.enterLoader();
  ASSERT_TRUE(transfer(loaderImage()));
  EXPECT_TRUE(readRaw(1, 2500).empty()) << "no NAK for the image";
  EXPECT_TRUE(sim.counters().inLoader);
  sim.downloadImageNeverStarts(false);
  sim.powerCycle(100);
  ASSERT_TRUE(restarted(4));
  EXPECT_EQ(sim.control("flashed"), "software none; bootblock none; last-image cancelled") << "nothing since";
}

TEST_F(Loader, ALoaderAtAFixedRateIgnoresAnotherRate) {
  sim.setLoaderRate(115200);
  sim.enterLoader();
  auto garbage = readRaw(1, 1500);
  EXPECT_NE(garbage, std::vector<uint8_t>{kNak}) << "at 9600 the NAK is garbled";
  ASSERT_TRUE(host->setRate(115200));
  EXPECT_EQ(readRaw(1, 1500), std::vector<uint8_t>{kNak});
}

}  // namespace
}  // namespace kmx::sim::testing
