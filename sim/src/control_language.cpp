// The line-based control language of the simulator: one command per line,
// words separated by blanks, numbers in decimal or 0x-hexadecimal, byte
// strings as one run of hex digits ("-" for none).
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "kmx/sim/ut_model.h"
#include "kmx/sim/ut_simulator.h"
#include "nv_control.h"

namespace kmx::sim {
namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  std::string word;
  while (in >> word) out.push_back(word);
  return out;
}

bool number(const std::string& text, uint64_t max, uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || text[0] == '-' || v > max) return false;
  value = v;
  return true;
}

bool hexBytes(const std::string& text, std::vector<uint8_t>& out) {
  out.clear();
  if (text == "-") return true;
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    char pair[3] = {text[i], text[i + 1], 0};
    char* end = nullptr;
    unsigned long v = std::strtoul(pair, &end, 16);
    if (*end != '\0') return false;
    out.push_back(static_cast<uint8_t>(v));
  }
  return true;
}

std::string toHex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text.empty() ? "-" : text;
}

std::string rest(const std::vector<std::string>& w, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < w.size(); ++i) {
    if (i > from) text += ' ';
    text += w[i];
  }
  return text;
}

std::string imageText(const std::optional<FlashedImage>& image) {
  if (!image) return "none";
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " bytes=%" PRIu64 " crc32=0x%08" PRIx32 " start=0x%08" PRIx32, image->dataBytes,
                image->crc32, image->startAddress);
  return "\"" + image->header + "\"" + numbers;
}

std::string flashText(const FlashState& state) {
  std::string outcome;
  switch (state.lastImage) {
    case ImageOutcome::None: outcome = "none"; break;
    case ImageOutcome::Flashed: outcome = "ok"; break;
    case ImageOutcome::Failed: outcome = "error " + std::to_string(state.lastImageError); break;
    case ImageOutcome::Cancelled: outcome = "cancelled"; break;
    case ImageOutcome::LoaderRefused: outcome = "loader-refused"; break;
  }
  return "software " + imageText(state.software) + "; bootblock " + imageText(state.bootBlock) + "; last-image " +
         outcome;
}

bool onOff(const std::string& text, bool& value) {
  if (text == "on") value = true;
  else if (text == "off") value = false;
  else return false;
  return true;
}

}  // namespace

const char* UtSimulator::controlHelp() {
  return
      "Control commands (one per line; numbers decimal or 0x..; bytes as hex digits, - for none):\n"
      "  cts on|off                      drive the CTS line\n"
      "  power-cycle [ms]                power off for ms (default 500), restart at 9600\n"
      "  pacing on|off                   deliver bytes at the wire speed\n"
      "  noise <rate>                    flip a bit in this fraction of bytes (0 to 1)\n"
      "  silent on|off                   answer no request at all\n"
      "  silent-code <code> on|off       ignore requests with this command code\n"
      "  silence-next <n>                ignore the next n requests\n"
      "  lose-responses <n>              carry out the next n requests but lose their answers\n"
      "  reject <code> <error> <text>    reject a command code with an error code and text\n"
      "  accept <code>                   stop rejecting a command code\n"
      "  bad-version <times> [length]    answer the version request with a wrong length\n"
      "  log <id> <per-second> [size] [gap-every]   start a log stream\n"
      "  log-stop <id>                   stop a log stream\n"
      "  alert <id> <bytes>              send an alert\n"
      "  plugin <id> <bytes> [force]     send plug-in data (only to an enabled id unless forced)\n"
      "  lastgasp old|new <file> <line> <format>    send a last gasp record\n"
      "  raw <type> <bytes>              send an unsolicited packet of any type\n"
      "  status-split <n>                at most n status records per response (0: all)\n"
      "  logstatus-split <n>             at most n log status records per response (0: all)\n"
      "  catalogue [default] [model <byte>] [unicode on|off] [name-length 12|33] [sms old|new]\n"
      "            [directory old|new] [symbols none|full] [descriptors short|full]\n"
      "            [hostile-list none|inactive|dimension] [item-flags <name>=<flags>]...\n"
      "                                  install the NV item catalogue of a UT software variant,\n"
      "                                  changed from the current one (or the default); every NV\n"
      "                                  item goes back to its initial value. Without settings:\n"
      "                                  print the current variant. model: the main model byte\n"
      "                                  (0xc9 tri-mode portable, 0xca single-mode portable,\n"
      "                                  0xcb analog fixed, 0xcc digital fixed, 0xcd module);\n"
      "                                  unicode: 16-bit names; name-length: service provider\n"
      "                                  names; sms old: the old message layout; directory old:\n"
      "                                  no display copy of the directory number; symbols none:\n"
      "                                  symbol information of size 0; descriptors short: the\n"
      "                                  descriptor table misses the last three names' fields;\n"
      "                                  hostile-list: a hostile UT's list after every item, of\n"
      "                                  65535-byte arrays: inactive, 50 elements without a value\n"
      "                                  (NV_HUGE_INACTIVE_LIST_I); dimension, the list dimension\n"
      "                                  65535 (NV_HUGE_DIMENSION_LIST_I)\n"
      "                                  item-flags: the descriptor table's flags of one item\n"
      "                                  (repeat it for more; default: the catalogue's 0, 2 or 4)\n"
      "  nv get <path>                   print an NV value by path, e.g.\n"
      "                                  NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[0]\n"
      "                                  (a leaf: its number, and an enum's constant; a node: hex)\n"
      "  nv set <path> <value>           set a leaf: a number, 'c', or an enum constant's name\n"
      "  nv item <name|number>           print an item's number, type, size, list dimension,\n"
      "                                  presence, flags and descriptor\n"
      "  nv items | nv entries           the names of the item table | the item entries a host makes\n"
      "  nv paths <entry>                the leaf paths of an item entry, in tree order\n"
      "  nv-define <item> <size> <dim>   define an NV item (dim 0: single item)\n"
      "  nv-set <item> <index> <bytes>   write an NV item element (raw bytes, by number)\n"
      "  nv-inactive <item> <index>      make an NV item element inactive\n"
      "  nv-get <item> <index>           print an NV item element\n"
      "  status-set <item> <bytes>       set a status item's answer\n"
      "  spc <code> | password <text>    set the service programming code or security password\n"
      "  loader                          go to the loader and wait for software by Xmodem: a\n"
      "                                  valid loader image as first transfer runs the loader\n"
      "                                  program, which takes the S-record image (maybe gzip)\n"
      "                                  next and flashes it when it checks out; a first transfer\n"
      "                                  starting like a loader image that does not check out is\n"
      "                                  refused (CAN CAN); anything else starts a plain download\n"
      "  loader-rate <rate>              the loader's rate (0: it finds the host's rate)\n"
      "  transfers <n>                   Xmodem transfers in one plain download (default 2)\n"
      "  xmodem never-start on|off       the loader sends no NAK to start\n"
      "  xmodem refuse <n>               refuse the next n good blocks with NAK\n"
      "  xmodem cancel                   answer the next block with CAN CAN\n"
      "  xmodem silent-after-eot on|off  do not acknowledge the end of a transfer\n"
      "  download refuse-loader on|off   answer the EOT of a download's first transfer with\n"
      "                                  CAN CAN and restart with the old software\n"
      "  download cancel-image <blocks>  answer the image block after this many accepted ones\n"
      "                                  with CAN CAN and restart with the old software (0: off)\n"
      "  download image-never-starts on|off   the loader program never asks for the image\n"
      "  flashed                         print what downloads flashed, one line:\n"
      "                                  software <image>; bootblock <image>; last-image <outcome>\n"
      "                                  image: none (the factory one) or \"<S0 header>\"\n"
      "                                  bytes=<data bytes> crc32=0x<8 hex> start=0x<8 hex>\n"
      "                                  outcome: none, ok, error <code> (an S-record error, or\n"
      "                                  2100: does not inflate), cancelled or loader-refused\n"
      "  counters                        print the simulator's counters\n";
}

std::string UtSimulator::control(const std::string& line) {
  auto w = words(line);
  if (w.empty() || w[0][0] == '#') return "ok";
  const std::string& cmd = w[0];
  uint64_t a = 0, b = 0, c = 0, d = 0;
  bool flag = false;
  std::vector<uint8_t> bytes;
  const std::string usage = "error: usage: see help";

  if (cmd == "help") return controlHelp();
  if (auto answer = catalogueControl(*this, w)) return *answer;
  if (cmd == "cts" && w.size() == 2 && onOff(w[1], flag)) {
    setCts(flag);
  } else if (cmd == "power-cycle" && w.size() <= 2) {
    if (w.size() == 2 && !number(w[1], 600000, a)) return usage;
    powerCycle(w.size() == 2 ? static_cast<int>(a) : 500);
  } else if (cmd == "pacing" && w.size() == 2 && onOff(w[1], flag)) {
    setPacing(flag);
  } else if (cmd == "noise" && w.size() == 2) {
    char* end = nullptr;
    double rate = std::strtod(w[1].c_str(), &end);
    if (*end != '\0' || rate < 0 || rate > 1) return "error: noise rate must be between 0 and 1";
    setNoise(rate);
  } else if (cmd == "silent" && w.size() == 2 && onOff(w[1], flag)) {
    setSilent(flag);
  } else if (cmd == "silent-code" && w.size() == 3 && number(w[1], 255, a) && onOff(w[2], flag)) {
    setSilentFor(static_cast<uint8_t>(a), flag);
  } else if (cmd == "silence-next" && w.size() == 2 && number(w[1], UINT32_MAX, a)) {
    silenceNext(static_cast<uint32_t>(a));
  } else if (cmd == "lose-responses" && w.size() == 2 && number(w[1], UINT32_MAX, a)) {
    loseResponses(static_cast<uint32_t>(a));
  } else if (cmd == "reject" && w.size() >= 3 && number(w[1], 255, a) && number(w[2], 0xFFFF, b)) {
    rejectCommand(static_cast<uint8_t>(a), static_cast<uint16_t>(b), rest(w, 3));
  } else if (cmd == "accept" && w.size() == 2 && number(w[1], 255, a)) {
    clearRejection(static_cast<uint8_t>(a));
  } else if (cmd == "bad-version" && (w.size() == 2 || w.size() == 3) && number(w[1], UINT32_MAX, a)) {
    if (w.size() == 3 && !number(w[2], 4096, b)) return usage;
    badVersionLength(static_cast<uint32_t>(a), w.size() == 3 ? static_cast<uint32_t>(b) : 82);
  } else if (cmd == "log" && w.size() >= 3 && w.size() <= 5 && number(w[1], kLogIds - 1, a)) {
    char* end = nullptr;
    double perSecond = std::strtod(w[2].c_str(), &end);
    if (*end != '\0' || perSecond <= 0 || perSecond > 10000) return "error: rate must be 0 < r <= 10000";
    c = 16;
    if (w.size() >= 4 && !number(w[3], 4096, c)) return usage;
    if (w.size() == 5 && !number(w[4], UINT32_MAX, d)) return usage;
    startLogStream(static_cast<uint8_t>(a), perSecond, static_cast<uint32_t>(c), static_cast<uint32_t>(d));
  } else if (cmd == "log-stop" && w.size() == 2 && number(w[1], kLogIds - 1, a)) {
    stopLogStream(static_cast<uint8_t>(a));
  } else if (cmd == "alert" && w.size() == 3 && number(w[1], 255, a) && hexBytes(w[2], bytes)) {
    sendAlert(static_cast<uint8_t>(a), bytes);
  } else if (cmd == "plugin" && (w.size() == 3 || (w.size() == 4 && w[3] == "force")) &&
             number(w[1], 255, a) && hexBytes(w[2], bytes)) {
    sendPluginData(static_cast<uint8_t>(a), bytes, w.size() == 4);
  } else if (cmd == "lastgasp" && w.size() >= 5 && (w[1] == "old" || w[1] == "new") &&
             number(w[3], 0xFFFF, a)) {
    sendLastGasp(w[1] == "new", w[2], static_cast<uint16_t>(a), rest(w, 4));
  } else if (cmd == "raw" && w.size() == 3 && number(w[1], 255, a) && hexBytes(w[2], bytes)) {
    sendRawPacket(static_cast<uint8_t>(a), bytes);
  } else if (cmd == "status-split" && w.size() == 2 && number(w[1], 255, a)) {
    setStatusRecordsPerResponse(static_cast<uint32_t>(a));
  } else if (cmd == "logstatus-split" && w.size() == 2 && number(w[1], 255, a)) {
    setLogStatusRecordsPerResponse(static_cast<uint32_t>(a));
  } else if (cmd == "nv-define" && w.size() == 4 && number(w[1], 0xFFFF, a) && number(w[2], 4096, b) &&
             number(w[3], 0xFFFF, c)) {
    withModel([&](UtModel& m) { m.nv.define(static_cast<uint16_t>(a), static_cast<uint16_t>(b), static_cast<uint16_t>(c)); });
  } else if (cmd == "nv-set" && w.size() == 4 && number(w[1], 0xFFFF, a) && number(w[2], 0xFFFF, b) &&
             hexBytes(w[3], bytes)) {
    NvStatus status = NvStatus::Done;
    withModel([&](UtModel& m) { status = m.nv.write(static_cast<uint16_t>(a), static_cast<uint16_t>(b), bytes); });
    if (status != NvStatus::Done) return "error: " + nvStatusText(status);
  } else if (cmd == "nv-inactive" && w.size() == 3 && number(w[1], 0xFFFF, a) && number(w[2], 0xFFFF, b)) {
    NvStatus status = NvStatus::Done;
    withModel([&](UtModel& m) { status = m.nv.setActive(static_cast<uint16_t>(a), static_cast<uint16_t>(b), false); });
    if (status != NvStatus::Done) return "error: " + nvStatusText(status);
  } else if (cmd == "nv-get" && w.size() == 3 && number(w[1], 0xFFFF, a) && number(w[2], 0xFFFF, b)) {
    NvStatus status = NvStatus::Done;
    withModel([&](UtModel& m) { status = m.nv.read(static_cast<uint16_t>(a), static_cast<uint16_t>(b), bytes); });
    return status == NvStatus::Done ? toHex(bytes) : "error: " + nvStatusText(status);
  } else if (cmd == "status-set" && w.size() == 3 && number(w[1], 0xFFFF, a) && hexBytes(w[2], bytes)) {
    withModel([&](UtModel& m) { m.status.set(static_cast<uint16_t>(a), bytes); });
  } else if (cmd == "spc" && w.size() == 2) {
    withModel([&](UtModel& m) { m.serviceProgrammingCode = w[1]; });
  } else if (cmd == "password" && w.size() == 2) {
    withModel([&](UtModel& m) { m.securityPassword = w[1]; });
  } else if (cmd == "loader" && w.size() == 1) {
    enterLoader();
  } else if (cmd == "loader-rate" && w.size() == 2 && number(w[1], 115200, a)) {
    setLoaderRate(static_cast<uint32_t>(a));
  } else if (cmd == "transfers" && w.size() == 2 && number(w[1], 16, a)) {
    setTransfersPerDownload(static_cast<uint32_t>(a));
  } else if (cmd == "xmodem" && w.size() == 3 && w[1] == "never-start" && onOff(w[2], flag)) {
    xmodemNeverStart(flag);
  } else if (cmd == "xmodem" && w.size() == 3 && w[1] == "refuse" && number(w[2], UINT32_MAX, a)) {
    xmodemRefuseBlocks(static_cast<uint32_t>(a));
  } else if (cmd == "xmodem" && w.size() == 2 && w[1] == "cancel") {
    xmodemCancel();
  } else if (cmd == "xmodem" && w.size() == 3 && w[1] == "silent-after-eot" && onOff(w[2], flag)) {
    xmodemSilentAfterEot(flag);
  } else if (cmd == "download" && w.size() == 3 && w[1] == "refuse-loader" && onOff(w[2], flag)) {
    downloadRefuseLoader(flag);
  } else if (cmd == "download" && w.size() == 3 && w[1] == "cancel-image" && number(w[2], UINT32_MAX, a)) {
    downloadCancelImage(static_cast<uint32_t>(a));
  } else if (cmd == "download" && w.size() == 3 && w[1] == "image-never-starts" && onOff(w[2], flag)) {
    downloadImageNeverStarts(flag);
  } else if (cmd == "flashed" && w.size() == 1) {
    return flashText(flashState());
  } else if (cmd == "counters" && w.size() == 1) {
    SimulatorCounters k = counters();
    std::ostringstream out;
    out << "frames=" << k.framesReceived << " applied=" << k.requestsApplied
        << " repeats=" << k.repeatsAnswered << " responses=" << k.responsesSent
        << " unsolicited=" << k.unsolicitedSent << " crc-errors=" << k.crcErrors
        << " overruns=" << k.lineOverruns
        << " restarts=" << k.restarts << " connections=" << k.hostConnections
        << " ut-rate=" << k.utRate << " host-rate=" << k.hostRate
        << " host=" << (k.hostConnected ? "yes" : "no") << " cts=" << (k.cts ? "on" : "off")
        << " rts=" << (k.rts ? "on" : "off") << " dtr=" << (k.dtr ? "on" : "off")
        << " loader=" << (k.inLoader ? "yes" : "no") << " xmodem-blocks=" << k.xmodemBlocks;
    return out.str();
  } else {
    return "error: unknown or malformed command: " + line;
  }
  return "ok";
}

}  // namespace kmx::sim
