#include "kmx/sim/ut_simulator.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "async_output.h"
#include "command_processor.h"
#include "faults.h"
#include "host_port.h"
#include "kmx/platform/runtime_dir.h"
#include "line_noise.h"
#include "link_endpoint.h"
#include "paced_queue.h"
#include "kmx/sim/ut_model.h"
#include "software_image.h"
#include "vexres_loader_image.h"
#include "xmodem_receiver.h"

namespace kmx::sim {
namespace {

constexpr uint32_t kPowerUpRate = 9600;
constexpr int64_t kRtsResetUs = 3'000'000;  // RTS held off this long resets the UT
constexpr int kMaxPollMs = 50;

int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string hex(std::span<const uint8_t> bytes) {
  std::string text;
  char part[4];
  for (std::size_t i = 0; i < bytes.size() && i < 64; ++i) {
    std::snprintf(part, sizeof part, "%02x ", bytes[i]);
    text += part;
  }
  if (bytes.size() > 64) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

}  // namespace

// Everything below runs under `mutex`: the simulator thread takes it for each
// round of its loop, and every public method takes it to change the state.
class UtSimulator::Impl {
 public:
  explicit Impl(SimulatorOptions options)
      : options_(std::move(options)),
        noise_(options_.seed),
        endpoint_(processor_, faults_, [this](std::span<const uint8_t> frame) { transmit(frame); }),
        port_(HostPort::Events{
            [this] { ++hostConnections_; },
            [this] { endpoint_.reset(); },
            [this](std::span<const uint8_t> bytes) { fromHost(bytes); },
            [this](bool rts, bool dtr) { setHostLines(rts, dtr); },
            [this](uint32_t rate) {
              hostRate_ = rate;
              if (inLoader_ && loaderRate_ == 0) utRate_ = rate;  // the loader finds the host's rate
            }}) {
    pacing_ = options_.pacing;
    toHost_.setFifo(options_.uartFifoBytes, false);
    toUt_.setFifo(options_.uartFifoBytes, true);
    model_.status.setEsn(4, options_.esn);
    if (!(options_.catalogue == CatalogueVariant{})) {
      std::string error;
      if (!installCatalogue(options_.catalogue, error)) trace("catalogue: " + error);
    }
    endpoint_.setAfterResponse([this](const CommandOutcome& outcome) { afterResponse(outcome); });
    if (options_.trace) {
      endpoint_.setTrace([this](const char* direction, std::span<const uint8_t> packet) {
        trace(std::string(direction) + " " + hex(packet));
      });
    }
  }

  ~Impl() { stop(); }

  bool start(std::string& error) {
    std::string dir = portDir();
    if (dir.empty()) {
      error = "no port directory";
      return false;
    }
    if (!port_.open(dir, options_.portName, options_.pty, error)) return false;
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
      error = "eventfd failed";
      return false;
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
  }

  void stop() {
    {
      std::lock_guard lock(mutex);
      if (!running_) return;
      running_ = false;
    }
    wake();
    if (thread_.joinable()) thread_.join();
    port_.close();
    if (wakeFd_ >= 0) close(wakeFd_);
    wakeFd_ = -1;
  }

  // Runs `f` under the lock, then wakes the loop so the change takes effect.
  template <class F>
  void locked(F&& f) {
    {
      std::lock_guard lock(mutex);
      f();
    }
    wake();
  }

  void wake() {
    if (wakeFd_ >= 0) {
      uint64_t one = 1;
      (void)!write(wakeFd_, &one, sizeof one);
    }
  }

  std::string portPath() const { return port_.path(); }

  // --- state changed by the public methods (caller holds the mutex) ----------

  void setCtsWanted(bool on) {
    ctsWanted_ = on;
    updateCts();
  }

  static constexpr int64_t kRebootUs = 300'000;

  void powerCycle(int offMs) {
    powered_ = false;
    powerOnAtUs_ = nowUs() + static_cast<int64_t>(offMs) * 1000;
    toUt_.clear();
    toHost_.clear();
    updateCts();
  }

  void sendUnsolicited(const UnsolicitedPacket& packet) {
    if (powered_ && !inLoader_) endpoint_.sendUnsolicited(packet);
  }

  void enterLoader() {
    trace("loader: waiting for software");
    inLoader_ = true;
    awaitingImage_ = false;
    transfers_.clear();
    if (loaderRate_ != 0) {
      utRate_ = loaderRate_;
    } else if (hostRate_ != 0) {
      utRate_ = hostRate_;
    }
    endpoint_.reset();
    xmodem_.start(nowUs() / 1000, transferPlan());
  }

  std::vector<std::vector<uint8_t>> transfers() const { return transfers_; }

  // A download fault changed: the transfer under way follows it at once.
  void downloadFaultsChanged() {
    if (inLoader_ && xmodem_.active()) xmodem_.setPlan(transferPlan());
  }

  SimulatorCounters counters() const {
    SimulatorCounters c;
    c.framesReceived = endpoint_.framesReceived();
    c.requestsApplied = endpoint_.requestsApplied();
    c.repeatsAnswered = endpoint_.repeatsAnswered();
    c.responsesSent = endpoint_.responsesSent();
    c.unsolicitedSent = endpoint_.unsolicitedSent();
    c.crcErrors = endpoint_.stats().crcErrors;
    c.bytesFromHost = bytesFromHost_;
    c.bytesToHost = bytesToHost_;
    c.lineOverruns = port_.overruns();
    c.restarts = restarts_;
    c.hostConnections = hostConnections_;
    c.utRate = utRate_;
    c.hostRate = hostRate_;
    c.hostConnected = port_.hostConnected();
    c.cts = powered_ && ctsWanted_;
    c.rts = rts_;
    c.dtr = dtr_;
    c.inLoader = inLoader_;
    c.xmodemBlocks = xmodem_.blocksAccepted();
    c.xmodemNaks = xmodem_.naksSent();
    c.xmodemBlocksSeen = xmodem_.blocksSeen();
    return c;
  }

  uint32_t framesReceived(uint8_t command) const { return endpoint_.framesReceived(command); }

  bool installCatalogue(const CatalogueVariant& variant, std::string& error) {
    auto built = NvCatalogue::build(variant, error);
    if (!built) return false;
    built->install(model_);
    return true;
  }

  mutable std::mutex mutex;
  SimulatorOptions options_;
  UtModel model_;
  CommandProcessor processor_{model_};
  Faults faults_;
  AsyncOutput async_;
  LineNoise noise_;
  bool pacing_ = false;
  bool lineHeld_ = false;
  XmodemFaults xmodemFaults_;
  uint32_t loaderRate_ = 0;
  uint32_t transfersPerDownload_ = 2;
  bool refuseLoader_ = false;
  uint32_t cancelImageAfter_ = 0;
  bool imageNeverStarts_ = false;
  FlashState flash_;

 private:
  void run() {
    // The default 50 us timer slack would make every paced wake late; a
    // paced line must deliver its last byte when the wire would.
    prctl(PR_SET_TIMERSLACK, 1UL);
    for (;;) {
      pollfd fds[3];
      nfds_t count = 0;
      int64_t timeoutUs = kMaxPollMs * 1000;
      {
        std::lock_guard lock(mutex);
        if (!running_) return;
        fds[count++] = pollfd{wakeFd_, POLLIN, 0};
        if (port_.listenFd() >= 0) fds[count++] = pollfd{port_.listenFd(), POLLIN, 0};
        // Input unless the UT has stopped taking it; room for output while
        // bytes wait for the host.
        const short events = static_cast<short>((lineHeld_ ? 0 : POLLIN) | (port_.dataWaiting() ? POLLOUT : 0));
        if (port_.connectionFd() >= 0 && events != 0) fds[count++] = pollfd{port_.connectionFd(), events, 0};
        timeoutUs = nextTimeoutUs();
      }
      // Microsecond waits: a paced line delivers each byte when it is due,
      // not up to a millisecond later, so round trips keep the wire's time.
      const timespec timeout{static_cast<time_t>(timeoutUs / 1'000'000),
                             static_cast<long>(timeoutUs % 1'000'000) * 1000};
      ppoll(fds, count, &timeout, nullptr);
      std::lock_guard lock(mutex);
      if (!running_) return;
      for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == wakeFd_) {
          uint64_t value;
          (void)!read(wakeFd_, &value, sizeof value);
        } else if (fds[i].fd == port_.listenFd()) {
          port_.onListenReadable();
        } else if (fds[i].fd == port_.connectionFd()) {
          const bool hungUp = (fds[i].revents & (POLLHUP | POLLERR)) != 0;
          // Not read when the hold began during the wait.
          if ((fds[i].events & POLLIN) != 0 && !lineHeld_) port_.onConnectionReadable();
          if ((fds[i].events & POLLOUT) != 0 && fds[i].fd == port_.connectionFd() &&
              ((fds[i].revents & POLLOUT) != 0 || hungUp))
            port_.onConnectionWritable(hungUp);
        }
      }
      tick(nowUs());
    }
  }

  int64_t nextTimeoutUs() {
    int64_t now = nowUs();
    int64_t next = now + kMaxPollMs * 1000;
    auto consider = [&](int64_t when) {
      if (when >= 0 && when < next) next = when;
    };
    consider(toUt_.nextReadyUs(pacing_, utRate_));
    consider(toHost_.nextReadyUs(pacing_, utRate_));
    if (!powered_) consider(powerOnAtUs_);
    if (!rts_ && !rtsResetDone_ && port_.hostConnected()) consider(rtsOffSinceUs_ + kRtsResetUs);
    if (nextLogDueMs_ >= 0) consider(nextLogDueMs_ * 1000);
    if (xmodem_.nextDueMs() >= 0) consider(xmodem_.nextDueMs() * 1000);
    return std::max<int64_t>(0, next - now);
  }

  void tick(int64_t now) {
    if (!powered_ && now >= powerOnAtUs_) {
      powered_ = true;
      restart();
      updateCts();
    }
    if (!rts_ && !rtsResetDone_ && port_.hostConnected() && now - rtsOffSinceUs_ >= kRtsResetUs) {
      rtsResetDone_ = true;
      trace("RTS held off: reset");
      restart();
    }
    auto received = toUt_.take(now, pacing_, utRate_);
    if (!received.empty() && powered_) {
      if (inLoader_) {
        loaderReceive(received, now);
      } else {
        endpoint_.receive(received);
      }
    }
    if (powered_ && inLoader_) sendRaw(xmodem_.tick(now / 1000, xmodemFaults_));
    if (powered_ && !inLoader_) {
      std::vector<UnsolicitedPacket> due;
      nextLogDueMs_ = async_.collectDue(now / 1000, model_, due);
      for (const auto& packet : due) endpoint_.sendUnsolicited(packet);
    }
    flushToHost(now);
  }

  // What the loader wants of the transfer it is about to take (or is
  // taking): the image of a running loader program, the first transfer of a
  // download, or a later plain transfer.
  XmodemPlan transferPlan() {
    XmodemPlan plan;
    if (awaitingImage_) {
      plan.silentStart = imageNeverStarts_;
      plan.cancelAfterBlocks = cancelImageAfter_;
    } else if (transfers_.empty()) {
      plan.acceptAtEot = [this](const std::vector<uint8_t>& data) { return acceptFirstTransfer(data); };
    }
    return plan;
  }

  // The first transfer is refused when the fault says so, or when it starts
  // like a loader image but does not check out: the UT will not run a
  // damaged loader program.
  bool acceptFirstTransfer(const std::vector<uint8_t>& data) const {
    if (refuseLoader_) return false;
    const auto& magic = vx::res::loader_image::kMagic;
    const bool looksLikeLoader = data.size() >= sizeof magic && std::equal(magic, magic + sizeof magic, data.begin());
    return !looksLikeLoader || VexLoaderImageIsValid(data.data(), data.size());
  }

  void loaderReceive(std::span<const uint8_t> bytes, int64_t now) {
    bool finished = false;
    sendRaw(xmodem_.receive(bytes, xmodemFaults_, now / 1000, &finished));
    switch (xmodem_.end()) {
      case XmodemReceiver::End::Open:
        return;
      case XmodemReceiver::End::Refused:
        trace("loader: loader program refused, restarting");
        flash_.lastImage = ImageOutcome::LoaderRefused;
        restart();
        return;
      case XmodemReceiver::End::Cancelled:
        if (awaitingImage_) {
          trace("loader: image cancelled, restarting with the old software");
          flash_.lastImage = ImageOutcome::Cancelled;
          restart();
        } else {
          xmodem_.start(now / 1000, transferPlan());  // wait for a new transfer
        }
        return;
      case XmodemReceiver::End::Done:
        break;
    }
    transfers_.push_back(xmodem_.received());
    trace("loader: transfer of " + std::to_string(xmodem_.received().size()) + " bytes done");
    if (awaitingImage_) {
      flashImage(transfers_.back());
      restart();
      return;
    }
    if (transfers_.size() == 1 && VexLoaderImageIsValid(transfers_[0].data(), transfers_[0].size())) {
      trace("loader: loader program running, waiting for the image");
      awaitingImage_ = true;
      xmodem_.start(now / 1000, transferPlan());
      return;
    }
    if (transfers_.size() < transfersPerDownload_) {
      xmodem_.start(now / 1000, transferPlan());
      return;
    }
    trace("loader: download complete, restarting");
    restart();
  }

  // The loader program checks the image and flashes it when it is good;
  // a bad image leaves the software as it was.
  void flashImage(std::span<const uint8_t> received) {
    CheckedImage checked = checkSoftwareImage(received);
    if (checked.error != 0) {
      trace("loader: image refused, error " + std::to_string(checked.error));
      flash_.lastImage = ImageOutcome::Failed;
      flash_.lastImageError = checked.error;
      return;
    }
    trace(std::string("loader: flashed ") + (checked.bootBlock ? "boot block" : "software") + " \"" +
          checked.image.header + "\", " + std::to_string(checked.image.dataBytes) + " bytes");
    flash_.lastImage = ImageOutcome::Flashed;
    flash_.lastImageError = 0;
    ++flash_.imagesFlashed;
    if (checked.bootBlock) {
      flash_.bootBlock = checked.image;
      return;
    }
    model_.softwareVersionText = checked.image.header;
    // The version text the UT reports names the software it now runs.
    model_.status.setText(kmx::sim::status_item::kVersionText, checked.image.header + "\n");
    if (auto number = versionNumberIn(checked.image.header)) model_.softwareVersion = *number;
    flash_.software = std::move(checked.image);
  }

  void sendRaw(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) transmit(bytes);
  }

  void fromHost(std::span<const uint8_t> bytes) {
    bytesFromHost_ += bytes.size();
    if (!powered_) return;
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    noise_.apply(copy, hostRate_ == 0 ? utRate_ : hostRate_, utRate_);
    toUt_.push(copy, nowUs());
  }

  void transmit(std::span<const uint8_t> frame) {
    std::vector<uint8_t> copy(frame.begin(), frame.end());
    noise_.apply(copy, utRate_, hostRate_ == 0 ? utRate_ : hostRate_);
    int64_t now = nowUs();
    toHost_.push(copy, now);
    flushToHost(now);
  }

  void flushToHost(int64_t now) {
    auto bytes = toHost_.take(now, pacing_, utRate_);
    bytesToHost_ += bytes.size();
    if (!bytes.empty()) port_.sendData(bytes);
  }

  void setHostLines(bool rts, bool dtr) {
    if (rts_ && !rts) {
      rtsOffSinceUs_ = nowUs();
      rtsResetDone_ = false;
    }
    rts_ = rts;
    dtr_ = dtr;
  }

  void afterResponse(const CommandOutcome& outcome) {
    if (outcome.after == CommandOutcome::After::ChangeRate) {
      trace("rate " + std::to_string(outcome.newRate));
      utRate_ = outcome.newRate;
    } else if (outcome.after == CommandOutcome::After::Restart) {
      // The UT reboots: its modem lines drop while it starts again, so the
      // host sees the link go even when it talks at another rate.
      trace("reset by operation command");
      powered_ = false;
      powerOnAtUs_ = nowUs() + kRebootUs;
      updateCts();
    } else if (outcome.after == CommandOutcome::After::EnterLoader) {
      enterLoader();
    }
  }

  // The UT starts again: volatile state back to power-up values, 9600 bit/s.
  void restart() {
    inLoader_ = false;
    awaitingImage_ = false;
    xmodem_.stop();
    model_.resetVolatileState();
    utRate_ = kPowerUpRate;
    endpoint_.reset();
    toUt_.clear();
    ++restarts_;
  }

  void updateCts() {
    bool cts = powered_ && ctsWanted_;
    if (cts != ctsSent_) {
      ctsSent_ = cts;
      port_.sendCts(cts);
    }
  }

  void trace(const std::string& line) {
    if (!options_.trace) return;
    if (options_.traceSink) {
      options_.traceSink(line);
    } else {
      std::fprintf(stderr, "utsim: %s\n", line.c_str());
    }
  }

  LinkEndpoint endpoint_;
  XmodemReceiver xmodem_;
  bool inLoader_ = false;
  bool awaitingImage_ = false;  // a loader program runs and takes the image next
  std::vector<std::vector<uint8_t>> transfers_;
  HostPort port_;
  PacedQueue toUt_;
  PacedQueue toHost_;

  std::thread thread_;
  int wakeFd_ = -1;
  bool running_ = false;

  uint32_t utRate_ = kPowerUpRate;
  uint32_t hostRate_ = 0;
  bool powered_ = true;
  bool ctsWanted_ = true;
  bool ctsSent_ = true;
  int64_t powerOnAtUs_ = 0;
  bool rts_ = false;
  bool dtr_ = false;
  int64_t rtsOffSinceUs_ = 0;
  bool rtsResetDone_ = true;
  int64_t nextLogDueMs_ = -1;
  uint32_t restarts_ = 0;
  uint64_t bytesFromHost_ = 0;
  uint64_t bytesToHost_ = 0;
  uint32_t hostConnections_ = 0;
};

UtSimulator::UtSimulator(SimulatorOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

UtSimulator::~UtSimulator() { stop(); }

bool UtSimulator::start() { return impl_->start(error_); }
void UtSimulator::stop() { impl_->stop(); }
std::string UtSimulator::portPath() const { return impl_->portPath(); }

void UtSimulator::setCts(bool on) { impl_->locked([&] { impl_->setCtsWanted(on); }); }
void UtSimulator::powerCycle(int offMs) { impl_->locked([&] { impl_->powerCycle(offMs); }); }
void UtSimulator::setPacing(bool on) { impl_->locked([&] { impl_->pacing_ = on; }); }
void UtSimulator::holdLine(bool on) { impl_->locked([&] { impl_->lineHeld_ = on; }); }
void UtSimulator::setNoise(double rate) { impl_->locked([&] { impl_->noise_.setErrorRate(rate); }); }
void UtSimulator::setSilent(bool on) { impl_->locked([&] { impl_->faults_.silent = on; }); }
void UtSimulator::setSilentFor(uint8_t command, bool on) { impl_->locked([&] { impl_->faults_.silentFor[command] = on; }); }
void UtSimulator::silenceNext(uint32_t requests) { impl_->locked([&] { impl_->faults_.silenceNext = requests; }); }
void UtSimulator::loseResponses(uint32_t count) { impl_->locked([&] { impl_->faults_.loseResponses = count; }); }

void UtSimulator::rejectCommand(uint8_t command, uint16_t errorCode, const std::string& text) {
  impl_->locked([&] { impl_->faults_.rejections[command] = (InjectedRejection{errorCode, text}); });
}

void UtSimulator::clearRejection(uint8_t command) { impl_->locked([&] { impl_->faults_.rejections.erase(command); }); }

void UtSimulator::badVersionLength(uint32_t times, uint32_t length) {
  impl_->locked([&] { impl_->faults_.badVersionTimes = times; impl_->faults_.badVersionLength = length; });
}

void UtSimulator::enterLoader() { impl_->locked([&] { impl_->enterLoader(); }); }
void UtSimulator::setLoaderRate(uint32_t rate) { impl_->locked([&] { impl_->loaderRate_ = rate; }); }
void UtSimulator::setTransfersPerDownload(uint32_t transfers) {
  impl_->locked([&] { impl_->transfersPerDownload_ = transfers == 0 ? 1 : transfers; });
}
void UtSimulator::xmodemNeverStart(bool on) { impl_->locked([&] { impl_->xmodemFaults_.neverStart = on; }); }
void UtSimulator::xmodemRefuseBlocks(uint32_t count) { impl_->locked([&] { impl_->xmodemFaults_.refuseBlocks = count; }); }
void UtSimulator::xmodemCancel() { impl_->locked([&] { impl_->xmodemFaults_.cancel = true; }); }
void UtSimulator::xmodemSilentAfterEot(bool on) { impl_->locked([&] { impl_->xmodemFaults_.silentAfterEot = on; }); }
void UtSimulator::xmodemNakEots(uint32_t count) { impl_->locked([&] { impl_->xmodemFaults_.nakEots = count; }); }
void UtSimulator::xmodemAnswerNextBlock(const std::vector<uint8_t>& bytes) {
  impl_->locked([&] { impl_->xmodemFaults_.answerNext = bytes; });
}

std::vector<std::vector<uint8_t>> UtSimulator::receivedTransfers() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->transfers();
}

void UtSimulator::downloadRefuseLoader(bool on) {
  impl_->locked([&] { impl_->refuseLoader_ = on; });
}

void UtSimulator::downloadCancelImage(uint32_t goodBlocks) {
  impl_->locked([&] {
    impl_->cancelImageAfter_ = goodBlocks;
    impl_->downloadFaultsChanged();
  });
}

void UtSimulator::downloadImageNeverStarts(bool on) {
  impl_->locked([&] {
    impl_->imageNeverStarts_ = on;
    impl_->downloadFaultsChanged();
  });
}

FlashState UtSimulator::flashState() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->flash_;
}

void UtSimulator::startLogStream(uint8_t id, double perSecond, uint32_t dataSize, uint32_t gapEvery) {
  impl_->locked([&] { impl_->async_.startLogStream(id, perSecond, dataSize, gapEvery, nowUs() / 1000); });
}

void UtSimulator::stopLogStream(uint8_t id) { impl_->locked([&] { impl_->async_.stopLogStream(id); }); }

void UtSimulator::sendAlert(uint8_t id, const std::vector<uint8_t>& data) {
  impl_->locked([&] { impl_->sendUnsolicited(AsyncOutput::alert(id, data)); });
}

void UtSimulator::sendPluginData(uint8_t id, const std::vector<uint8_t>& data, bool force) {
  impl_->locked([&] { if (force || impl_->model_.plugins[id].enabled)
                     impl_->sendUnsolicited(AsyncOutput::pluginData(id, data)); });
}

void UtSimulator::sendLastGasp(bool newForm, const std::string& file, uint16_t line,
                               const std::string& format, uint32_t arg0, uint32_t arg1, uint32_t arg2) {
  LastGaspRecord record;
  record.newForm = newForm;
  record.file = file;
  record.line = line;
  record.format = format;
  record.args[0] = arg0;
  record.args[1] = arg1;
  record.args[2] = arg2;
  impl_->locked([&] { impl_->sendUnsolicited(AsyncOutput::lastGasp(record)); });
}

void UtSimulator::sendRawPacket(uint8_t type, const std::vector<uint8_t>& payload) {
  impl_->locked([&] { impl_->sendUnsolicited(UnsolicitedPacket{type, payload}); });
}

void UtSimulator::setStatusRecordsPerResponse(uint32_t n) {
  impl_->locked([&] { impl_->processor_.setStatusRecordsPerResponse(n); });
}

void UtSimulator::setLogStatusRecordsPerResponse(uint32_t n) {
  impl_->locked([&] { impl_->processor_.setLogStatusRecordsPerResponse(n); });
}

bool UtSimulator::setCatalogue(const CatalogueVariant& variant) {
  bool installed = false;
  std::string error;
  impl_->locked([&] { installed = impl_->installCatalogue(variant, error); });
  if (!installed) error_ = error;
  return installed;
}

std::shared_ptr<const NvCatalogue> UtSimulator::catalogue() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->model_.catalogue;
}

std::vector<CatalogueItem> UtSimulator::catalogueItems() const { return catalogue()->items(); }

std::optional<std::vector<uint8_t>> UtSimulator::nvBytes(uint16_t number, uint16_t index) const {
  std::lock_guard lock(impl_->mutex);
  std::vector<uint8_t> bytes;
  if (impl_->model_.nv.read(number, index, bytes) != NvStatus::Done) return std::nullopt;
  return bytes;
}

std::optional<int64_t> UtSimulator::nvValue(const std::string& path, std::string* error) const {
  std::string reason;
  std::lock_guard lock(impl_->mutex);
  auto node = impl_->model_.catalogue->locate(path, reason);
  std::vector<uint8_t> bytes;
  if (node && !node->isLeaf()) reason = path + " is not a leaf";
  if (node && node->isLeaf()) {
    NvStatus status = impl_->model_.nv.read(node->item, node->element, bytes);
    if (status == NvStatus::Done) return NvCatalogue::readValue(*node, bytes);
    reason = nvStatusText(status);
  }
  if (error) *error = reason;
  return std::nullopt;
}

bool UtSimulator::setNvValue(const std::string& path, int64_t value, std::string* error) {
  std::string reason;
  bool stored = false;
  impl_->locked([&] {
    auto node = impl_->model_.catalogue->locate(path, reason);
    if (!node) return;
    if (!node->isLeaf()) {
      reason = path + " is not a leaf";
      return;
    }
    unsigned bits = node->bitWidth != 0 ? node->bitWidth : node->size * 8;
    int64_t span = int64_t{1} << bits;
    if (value < -(span / 2) || value >= span) {
      reason = "value does not fit " + path;
      return;
    }
    std::vector<uint8_t> bytes;
    if (impl_->model_.nv.read(node->item, node->element, bytes) != NvStatus::Done) {
      bytes.assign(impl_->model_.catalogue->items()[node->item].size, 0);  // an element without a value
    }
    NvCatalogue::writeValue(*node, bytes, value);
    NvStatus status = impl_->model_.nv.write(node->item, node->element, bytes);
    stored = status == NvStatus::Done;
    if (!stored) reason = nvStatusText(status);
  });
  if (error) *error = reason;
  return stored;
}

void UtSimulator::withModel(const std::function<void(UtModel&)>& f) { impl_->locked([&] { f(impl_->model_); }); }

SimulatorCounters UtSimulator::counters() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->counters();
}

uint32_t UtSimulator::framesReceived(uint8_t command) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->framesReceived(command);
}

bool UtSimulator::waitUntil(const std::function<bool(const SimulatorCounters&)>& predicate, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (predicate(counters())) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace kmx::sim
