// Progress on the terminal while a long call to the script server runs.
// The server reports no progress of its own, so the display is either a
// spinner with the elapsed time, or, where the duration can be estimated
// (a download: bytes × 10 / line rate), a bar with the time left.
// Nothing is drawn unless standard error is a terminal.
#pragma once

#include <chrono>
#include <future>
#include <optional>
#include <string>

namespace vx::cli {

// One line of the display, without the carriage return: `label`, then a
// spinner frame and the elapsed time, or with `estimateSeconds` a bar of
// `barWidth` cells, the percentage of the estimate (at most 99 until the
// end) and the time left ("0:00 left" once the estimate has passed).
std::string progressLine(const std::string& label, double elapsedSeconds, std::optional<double> estimateSeconds,
                         int barWidth, unsigned frame);

// "m:ss", or "h:mm:ss" from an hour on.
std::string clockText(double seconds);

class Progress {
 public:
  Progress(std::string label, std::optional<double> estimateSeconds, bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void draw();
  // Clears the line; a finished bar leaves a last line with the elapsed time.
  void finish(bool succeeded);

 private:
  std::string label_;
  std::optional<double> estimate_;
  bool enabled_;
  bool finished_ = false;
  unsigned frame_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Whether standard error is a terminal.
bool progressWanted();

// Runs `work` on a thread of its own while the display is redrawn, and
// answers its result (or rethrows its exception). Without a display the
// work runs on the calling thread.
template <class Work>
auto withProgress(const std::string& label, std::optional<double> estimateSeconds, Work&& work) -> decltype(work()) {
  if (!progressWanted()) return work();
  Progress progress(label, estimateSeconds, true);
  auto result = std::async(std::launch::async, std::forward<Work>(work));
  while (result.wait_for(std::chrono::milliseconds(125)) != std::future_status::ready) progress.draw();
  try {
    if constexpr (std::is_void_v<decltype(work())>) {
      result.get();
      progress.finish(true);
    } else {
      auto value = result.get();
      progress.finish(true);
      return value;
    }
  } catch (...) {
    progress.finish(false);
    throw;
  }
}

}  // namespace vx::cli
