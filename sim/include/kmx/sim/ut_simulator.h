// A simulated UT on a simulated serial line: the phone that tests, demos and
// benchmarks talk to. It serves a port in the port directory (a Unix
// SOCK_SEQPACKET socket that the serial driver opens like a tty, or a pty),
// speaks the framed link protocol and answers every command from a coherent
// model; faults can be switched on at any time. All methods are thread-safe:
// the simulator runs its own thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kmx/sim/nv_catalogue.h"
#include "kmx/sim/status_items.h"

namespace kmx::sim {

class UtModel;

struct SimulatorOptions {
  std::string portName = "UT1";  // entry in the port directory
  bool pty = false;              // serve a pty (no modem lines, no rate model)
  bool pacing = false;           // deliver bytes at the wire speed (10 bits a byte)
  // With pacing, how each end's UART hands received bytes over: 0 or 1,
  // each byte as it arrives; N, through an N-byte receive FIFO, as a PC's
  // serial port does (N bytes at a time, the rest after four quiet
  // character times; the UT also takes a frame at its closing flag).
  uint32_t uartFifoBytes = 0;
  bool trace = false;            // log what is received and sent
  std::function<void(const std::string&)> traceSink;  // default: standard error
  uint32_t seed = 1;             // for noise
  CatalogueVariant catalogue;    // the UT software's NV item catalogue
  uint64_t esn = kDefaultEsn;    // the ESN status item's eight bytes, as a number
};

struct SimulatorCounters {
  uint32_t framesReceived = 0;    // good request frames decoded
  uint32_t requestsApplied = 0;   // requests carried out (repeats excluded)
  uint32_t repeatsAnswered = 0;   // repeated requests answered from memory
  uint32_t responsesSent = 0;
  uint32_t unsolicitedSent = 0;
  uint32_t crcErrors = 0;         // damaged frames seen by the UT
  uint64_t bytesFromHost = 0;     // every byte the host sent on the line
  uint64_t bytesToHost = 0;       // every byte the UT sent on the line
  uint64_t lineOverruns = 0;      // of those, bytes lost because the host's port was full
  uint32_t restarts = 0;          // power cycles, RTS and operation resets
  uint32_t hostConnections = 0;
  uint32_t utRate = 9600;         // the rate the UT listens at
  uint32_t hostRate = 0;          // the rate the host last set (0: none yet)
  bool hostConnected = false;
  bool inLoader = false;
  uint32_t xmodemBlocks = 0;    // blocks accepted in the current transfer
  uint32_t xmodemNaks = 0;      // NAKs sent by the loader, in all
  uint32_t xmodemBlocksSeen = 0;  // good blocks received in the current transfer, repeats included
  bool cts = true;
  bool rts = false;
  bool dtr = false;
};

// One image the loader flashed: its S0 header text (after the address, up
// to the first NUL or unprintable byte, at most 39 characters), the number
// of data bytes of its S1/S2/S3 records, the CRC-32 (zlib's crc32) of those
// bytes in record order, and the start address of its S7/S8/S9 record (0
// when it has none).
struct FlashedImage {
  std::string header;
  uint64_t dataBytes = 0;
  uint32_t crc32 = 0;
  uint32_t startAddress = 0;
};

// How the last download that got past the loader program ended.
enum class ImageOutcome {
  None,           // no such download since the simulator started
  Flashed,        // the image checked out and was flashed
  Failed,         // the image did not check out (lastImageError says why)
  Cancelled,      // the loader cancelled the image transfer
  LoaderRefused,  // the loader program was refused: no image was taken
};

// The error of an image that is gzip-compressed but does not inflate; other
// errors are the S-record parser's (vx::download::SRecordError).
inline constexpr uint16_t kImageDoesNotInflate = 2100;

// What downloads have flashed: survives restarts and power cycles.
struct FlashState {
  std::optional<FlashedImage> software;   // nullopt: the factory software
  std::optional<FlashedImage> bootBlock;  // nullopt: the factory boot block
  ImageOutcome lastImage = ImageOutcome::None;
  uint16_t lastImageError = 0;  // with Failed
  uint32_t imagesFlashed = 0;   // software and boot-block images together
};

class UtSimulator {
 public:
  explicit UtSimulator(SimulatorOptions options = {});
  ~UtSimulator();
  UtSimulator(const UtSimulator&) = delete;
  UtSimulator& operator=(const UtSimulator&) = delete;

  // Creates the port and starts the simulator's thread. False with a reason
  // in lastError() when the port cannot be made.
  bool start();
  void stop();
  const std::string& lastError() const { return error_; }
  // The path of the port entry (socket or pty link).
  std::string portPath() const;

  // --- the serial line -------------------------------------------------------
  void setCts(bool on);              // CTS as the UT drives it (on while powered)
  void powerCycle(int offMs = 500);  // CTS off, restart after offMs, CTS on
  void setPacing(bool on);
  // While on, the UT takes nothing from the line (a receiver that has
  // stopped reading): what the host writes waits in its port until the
  // port is full, and goes on when the hold ends.
  void holdLine(bool on);
  void setNoise(double errorRatePerByte);  // bit flips in both directions

  // --- faults ------------------------------------------------------------------
  void setSilent(bool on);                        // answer nothing at all
  void setSilentFor(uint8_t command, bool on);    // ignore one command code
  void silenceNext(uint32_t requests);            // ignore the next N requests
  void loseResponses(uint32_t count);             // carry out, but lose the answer
  void rejectCommand(uint8_t command, uint16_t errorCode, const std::string& text);
  void clearRejection(uint8_t command);
  void badVersionLength(uint32_t times, uint32_t length = 82);

  // --- software download ----------------------------------------------------
  // The UT goes to its loader (as after the download command): it leaves the
  // framed link and waits for Xmodem transfers. When the first transfer is a
  // valid loader image, the loader program runs and takes one more transfer,
  // the software image (S-records, maybe gzip-compressed): a good one is
  // flashed (see flashState(); software sets the version block's version),
  // a bad one is not, and the UT restarts either way. A first transfer that
  // starts like a loader image but does not check out is refused (CAN CAN
  // in answer to its EOT) and the UT restarts. Any other first transfer
  // starts a download of `transfersPerDownload` plain transfers, kept as
  // they came. After the download the UT restarts and comes back on the
  // framed link at 9600.
  void enterLoader();
  void setLoaderRate(uint32_t rate);  // 0: the loader listens at the host's rate
  void setTransfersPerDownload(uint32_t transfers);
  void xmodemNeverStart(bool on);
  void xmodemRefuseBlocks(uint32_t count);
  void xmodemCancel();
  void xmodemSilentAfterEot(bool on);
  void xmodemNakEots(uint32_t count);
  // Takes the next block but answers it with `bytes` (for example ACK and NAK
  // together).
  void xmodemAnswerNextBlock(const std::vector<uint8_t>& bytes);
  // The data of the transfers completed since the loader was entered (SUB
  // padding included).
  std::vector<std::vector<uint8_t>> receivedTransfers() const;
  // Download faults, standing until switched off. Refuse the loader: the
  // first transfer of a download, whatever it holds, is answered CAN CAN at
  // its EOT and the UT restarts.
  void downloadRefuseLoader(bool on);
  // Cancel the image: the block after `goodBlocks` accepted blocks of the
  // image is answered CAN CAN and the UT restarts with its old software (0: off).
  void downloadCancelImage(uint32_t goodBlocks);
  // The loader program never asks for the image: the UT stays in the loader
  // until it is reset or power-cycled.
  void downloadImageNeverStarts(bool on);
  FlashState flashState() const;

  // --- unsolicited output --------------------------------------------------------
  void startLogStream(uint8_t id, double perSecond, uint32_t dataSize = 16, uint32_t gapEvery = 0);
  void stopLogStream(uint8_t id);
  void sendAlert(uint8_t id, const std::vector<uint8_t>& data);
  // Plug-in data goes out only for an id the host enabled, unless forced.
  void sendPluginData(uint8_t id, const std::vector<uint8_t>& data, bool force = false);
  void sendLastGasp(bool newForm, const std::string& file, uint16_t line, const std::string& format,
                    uint32_t arg0 = 0, uint32_t arg1 = 0, uint32_t arg2 = 0);
  // Sends one raw unsolicited packet of any type, for host robustness tests.
  void sendRawPacket(uint8_t type, const std::vector<uint8_t>& payload);

  // --- the NV item catalogue ------------------------------------------------------
  // Installs the catalogue of one UT software variant: symbol information,
  // item tables, main model and every NV item at its initial values. False,
  // with the reason in lastError(), when the variant cannot be built.
  bool setCatalogue(const CatalogueVariant& variant);
  std::shared_ptr<const NvCatalogue> catalogue() const;
  std::vector<CatalogueItem> catalogueItems() const;
  // The bytes of one item element; nullopt when there is no such element or
  // it holds no value.
  std::optional<std::vector<uint8_t>> nvBytes(uint16_t number, uint16_t index) const;
  // A leaf's value by dotted path (NvCatalogue::locate), signed types
  // sign-extended; nullopt with the reason in `error`.
  std::optional<int64_t> nvValue(const std::string& path, std::string* error = nullptr) const;
  // Stores a leaf's value; the element then holds a value, as after an NV
  // write. Refuses a value that does not fit the leaf.
  bool setNvValue(const std::string& path, int64_t value, std::string* error = nullptr);

  // --- the model -------------------------------------------------------------------
  void setStatusRecordsPerResponse(uint32_t n);     // 0: all records in one response
  void setLogStatusRecordsPerResponse(uint32_t n);
  // Runs `f` on the model with the simulator's lock held.
  void withModel(const std::function<void(UtModel&)>& f);

  SimulatorCounters counters() const;
  // Good request frames received with this command code (repeats included).
  uint32_t framesReceived(uint8_t command) const;
  // Waits (polling) until `predicate(counters())` holds; false on time-out.
  bool waitUntil(const std::function<bool(const SimulatorCounters&)>& predicate, int timeoutMs);

  // Carries out one line of the control language (see utsim --help) and
  // returns its answer ("ok", a value, or "error: ...").
  std::string control(const std::string& line);
  static const char* controlHelp();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
  std::string error_;
};

}  // namespace kmx::sim
