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

std::string progressLine(const std::string& label, double elapsedSeconds, std::optional<double> estimateSeconds,
                         int barWidth, unsigned frame) {
  if (!estimateSeconds || *estimateSeconds <= 0) {
    static const char kFrames[] = {'|', '/', '-', '\\'};
    return label + " " + kFrames[frame % 4] + " " + clockText(elapsedSeconds);
  }
  const double share = std::clamp(elapsedSeconds / *estimateSeconds, 0.0, 0.99);
  const int filled = static_cast<int>(share * barWidth);
  std::string bar(static_cast<std::size_t>(filled), '=');
  if (filled < barWidth) bar += '>';
  bar.resize(static_cast<std::size_t>(barWidth), ' ');
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(share * 100));
  return label + " [" + bar + "] " + percent + " " + clockText(*estimateSeconds - elapsedSeconds) + " left";
}

bool progressWanted() { return ::isatty(STDERR_FILENO) == 1; }

Progress::Progress(std::string label, std::optional<double> estimateSeconds, bool enabled)
    : label_(std::move(label)), estimate_(estimateSeconds), enabled_(enabled) {
  draw();
}

Progress::~Progress() { finish(false); }

void Progress::draw() {
  if (!enabled_ || finished_) return;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::fprintf(stderr, "\r\033[K%s", progressLine(label_, elapsed, estimate_, 30, frame_++).c_str());
  std::fflush(stderr);
}

void Progress::finish(bool succeeded) {
  if (!enabled_ || finished_) return;
  finished_ = true;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (succeeded) {
    std::fprintf(stderr, "\r\033[K%s done in %s\n", label_.c_str(), clockText(elapsed).c_str());
  } else {
    std::fprintf(stderr, "\r\033[K");
  }
  std::fflush(stderr);
}

}  // namespace vx::cli
