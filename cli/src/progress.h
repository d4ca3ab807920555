// Progress on the terminal while a long call to the script server runs.
// The server reports the figures of each step of its work (bytes of the
// NV database read, items saved or restored, bytes of a download sent);
// the line shows the step with a bar and, once the step has run long
// enough for a fair guess, the time it has left. Before the first report
// it shows a spinner with the elapsed time. Nothing is drawn unless
// standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "script_client.h"

namespace vx::cli {

// Where one step of the server's work stands.
struct StepFigures {
  std::string step;  // as the server names it
  uint64_t done = 0;
  uint64_t total = 0;
  uint64_t firstDone = 0;  // done at the step's first report
  double seconds = 0;      // since the step's first report
};

// A step's time left, once it has run `kSettleSeconds` and moved on since
// its first report: the rest at the pace since then.
inline constexpr double kSettleSeconds = 1.0;
std::optional<double> secondsLeft(const StepFigures& figures);

// One line of the display, without the carriage return: `label`, then
// either a spinner frame and the elapsed time, or the step's name, a bar of
// `barWidth` cells, the percentage and the time left when known.
std::string progressLine(const std::string& label, double elapsedSeconds, const std::optional<StepFigures>& figures,
                         int barWidth, unsigned frame);

// "m:ss", or "h:mm:ss" from an hour on.
std::string clockText(double seconds);

// What a person reads for a step name of the server.
std::string stepText(const std::string& step);

class Progress {
 public:
  // Hears the server's reports of `operation` only: reports of an earlier
  // call that arrive late are not this one's.
  Progress(std::string label, std::string operation, bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void report(const ProgressSignal& signal);
  void draw();
  // Clears the line; a finished run leaves a last line with the elapsed time.
  void finish(bool succeeded);

 private:
  using Clock = std::chrono::steady_clock;
  std::string label_;
  std::string operation_;
  bool enabled_;
  bool finished_ = false;
  unsigned frame_ = 0;
  Clock::time_point start_ = Clock::now();
  std::optional<StepFigures> figures_;
  Clock::time_point stepStart_{};
};

// Whether standard error is a terminal.
bool progressWanted();

// Runs `work` (calls on `client`) with the progress of `operation` drawn
// meanwhile, and answers its result (or rethrows its exception).
template <class Work>
auto withProgress(ScriptClient& client, const std::string& label, const std::string& operation, Work&& work)
    -> decltype(work()) {
  Progress progress(label, operation, progressWanted());
  client.setProgressHandlers([&](const ProgressSignal& signal) { progress.report(signal); },
                             [&] { progress.draw(); });
  struct Unhook {
    ScriptClient& client;
    ~Unhook() { client.setProgressHandlers({}, {}); }
  } unhook{client};
  if constexpr (std::is_void_v<decltype(work())>) {
    work();
    progress.finish(true);
  } else {
    auto value = work();
    progress.finish(true);
    return value;
  }
}

}  // namespace vx::cli
