#include "progress.h"

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

Progress::Progress(std::string label, std::string operation, bool enabled)
    : label_(std::move(label)), operation_(std::move(operation)), enabled_(enabled) {
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
  std::fprintf(stderr, "\r\033[K%s", progressLine(label_, elapsed, figures_, 30, frame_++).c_str());
  std::fflush(stderr);
}

void Progress::finish(bool succeeded) {
  if (!enabled_ || finished_) return;
  finished_ = true;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  if (succeeded) {
    std::fprintf(stderr, "\r\033[K%s done in %s\n", label_.c_str(), clockText(elapsed).c_str());
  } else {
    std::fprintf(stderr, "\r\033[K");
  }
  std::fflush(stderr);
}

}  // namespace vx::cli
