#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vx::cli {

std::string clockText(double seconds) {
  const auto total = static_cast<long long>(std::max(0.0, std::floor(seconds)));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

std::string stepText(const std::string& step) {
  if (step == "symbol-information") return "symbol information";
  if (step == "item-tables") return "item tables";
  if (step == "item-dimensions") return "item dimensions";
  if (step == "software") return "software image";
  if (step == "boot-block") return "boot block";
  if (step == "ram-program") return "RAM program";
  return step;
}

std::optional<double> secondsLeft(const StepFigures& figures) {
  if (figures.done <= figures.firstDone || figures.total < figures.done || figures.seconds < kSettleSeconds) {
    return std::nullopt;
  }
  return figures.seconds * static_cast<double>(figures.total - figures.done) /
         static_cast<double>(figures.done - figures.firstDone);
}

std::string progressLine(const std::string& label, double elapsedSeconds, const std::optional<StepFigures>& figures,
                         int barWidth, unsigned frame) {
  if (!figures || figures->total == 0) {
    static const char kFrames[] = {'|', '/', '-', '\\'};
    return label + " " + kFrames[frame % 4] + " " + clockText(elapsedSeconds);
  }
  const double share =
      std::clamp(static_cast<double>(figures->done) / static_cast<double>(figures->total), 0.0, 1.0);
  const int filled = static_cast<int>(share * barWidth);
  std::string bar(static_cast<std::size_t>(filled), '=');
  if (filled < barWidth) bar += '>';
  bar.resize(static_cast<std::size_t>(barWidth), ' ');
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(share * 100));
  // Appended piece by piece: GCC 12 misreads a chain of operator+ on
  // temporaries as an overlapping copy (-Wrestrict) at -O3.
  std::string line = label;
  line.append(": ").append(stepText(figures->step)).append(" [").append(bar).append("] ").append(percent);
  if (const auto left = secondsLeft(*figures)) line.append(" ").append(clockText(std::ceil(*left))).append(" left");
  return line;
}

bool progressWanted() { return ::isatty(STDERR_FILENO) == 1; }

namespace {

// A phone's line has its port before it: the operation says the rest.
std::string operationText(const std::string& operation) {
  if (operation == "connect") return "connecting";
  if (operation == "save") return "saving";
  if (operation == "restore") return "restoring";
  if (operation == "download") return "downloading";
  return operation;
}

}  // namespace

Progress::Progress(std::string label, std::string operation, bool enabled, ProgressSink* sink)
    : label_(sink != nullptr ? operationText(operation) : std::move(label)),
      operation_(std::move(operation)),
      enabled_(enabled),
      sink_(sink) {
  draw();
}

Progress::~Progress() { finish(false); }

void Progress::report(const ProgressSignal& signal) {
  if (signal.operation != operation_) return;
  const auto now = Clock::now();
  if (!figures_ || figures_->step != signal.step) {
    figures_ = StepFigures{signal.step, 0, 0, signal.done, 0};
    stepStart_ = now;
  }
  figures_->done = signal.done;
  figures_->total = signal.total;
  figures_->seconds = std::chrono::duration<double>(now - stepStart_).count();
  draw();
}

void Progress::draw() {
  if (!enabled_ || finished_) return;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  const std::string line = progressLine(label_, elapsed, figures_, sink_ != nullptr ? 20 : 30, frame_++);
  if (sink_ != nullptr) {
    sink_->show(line);
    return;
  }
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

void Progress::finish(bool succeeded) {
  if (!enabled_ || finished_) return;
  finished_ = true;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  if (sink_ != nullptr) {
    if (succeeded) sink_->show(label_ + " done in " + clockText(elapsed));
    return;
  }
  if (succeeded) {
    std::fprintf(stderr, "\r\033[K%s done in %s\n", label_.c_str(), clockText(elapsed).c_str());
  } else {
    std::fprintf(stderr, "\r\033[K");
  }
  std::fflush(stderr);
}

namespace {

// The columns of the terminal on standard error (80 when it does not say).
std::size_t errorWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Redrawn at most this often: every phone's tick asks for a drawing.
constexpr auto kBoardPeriod = std::chrono::milliseconds(100);

}  // namespace

ProgressBoard::ProgressBoard(const std::vector<std::string>& ports, bool enabled)
    : ports_(ports), lines_(ports.size()), rows_(ports.size()), enabled_(enabled) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i].board = this;
    rows_[i].index = i;
    portWidth_ = std::max(portWidth_, ports_[i].size());
  }
}

void ProgressBoard::show(std::size_t index, const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_[index] = line;
  drawLocked(false);
}

void ProgressBoard::note(std::size_t index, const std::string& text) {
  std::lock_guard lock(mutex_);
  std::string message = "vexctl: " + ports_[index] + ": " + text;
  if (!message.empty() && message.back() == '\n') message.pop_back();
  if (enabled_ && drawn_ && !closed_) {
    // Above the lines: they are cleared, the message printed, then drawn again.
    std::fprintf(stderr, "\033[%zuA\r\033[J%s\n", lines_.size(), message.c_str());
    drawn_ = false;
    drawLocked(true);
  } else {
    std::fprintf(stderr, "%s\n", message.c_str());
  }
  std::fflush(stderr);
}

void ProgressBoard::close() {
  std::lock_guard lock(mutex_);
  drawLocked(true);
  closed_ = true;
}

void ProgressBoard::drawLocked(bool force) {
  if (!enabled_ || closed_) return;
  const auto now = Clock::now();
  if (!force && drawn_ && now - lastDraw_ < kBoardPeriod) return;
  lastDraw_ = now;
  // One terminal row per phone: a longer line would wrap and move the rows.
  const std::size_t width = errorWidth() - 1;
  std::string out;
  if (drawn_) out += "\033[" + std::to_string(lines_.size()) + "A";
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string line = ports_[i];
    line.resize(portWidth_ + 2, ' ');
    line += lines_[i];
    if (line.size() > width) line.resize(width);
    out += "\r\033[K" + line + "\n";
  }
  drawn_ = true;
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace vx::cli
