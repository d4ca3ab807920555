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
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

// Where a display draws instead of standard error: one phone's line of a
// bench's display.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void show(const std::string& line) = 0;
};

class Progress {
 public:
  // Hears the server's reports of `operation` only: reports of an earlier
  // call that arrive late are not this one's. With a sink, the lines go to it.
  Progress(std::string label, std::string operation, bool enabled, ProgressSink* sink = nullptr);
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
  ProgressSink* sink_;
  bool finished_ = false;
  unsigned frame_ = 0;
  Clock::time_point start_ = Clock::now();
  std::optional<StepFigures> figures_;
  Clock::time_point stepStart_{};
};

// Whether standard error is a terminal.
bool progressWanted();

// The progress of several phones at once on standard error: a line per
// phone (its port, then what its Progress draws), redrawn in place from
// any phone's thread. Messages of a phone are printed above the lines.
// Without a terminal nothing is drawn, and messages are plain lines.
class ProgressBoard {
 public:
  ProgressBoard(const std::vector<std::string>& ports, bool enabled);
  ProgressBoard(const ProgressBoard&) = delete;
  ProgressBoard& operator=(const ProgressBoard&) = delete;

  ProgressSink& row(std::size_t index) { return rows_[index]; }
  // "vexctl: PORT: text" on standard error.
  void note(std::size_t index, const std::string& text);
  // The last drawing of every line; nothing is drawn afterwards.
  void close();

 private:
  struct Row : ProgressSink {
    ProgressBoard* board = nullptr;
    std::size_t index = 0;
    void show(const std::string& line) override { board->show(index, line); }
  };
  void show(std::size_t index, const std::string& line);
  void drawLocked(bool force);

  using Clock = std::chrono::steady_clock;
  std::mutex mutex_;
  std::vector<std::string> ports_;
  std::vector<std::string> lines_;
  std::vector<Row> rows_;
  bool enabled_;
  bool drawn_ = false;
  bool closed_ = false;
  std::size_t portWidth_ = 0;
  Clock::time_point lastDraw_{};
};

// Runs `work` (calls on `client`) with the progress of `operation` drawn
// meanwhile (on `sink` when given, else on a terminal's standard error),
// and answers its result (or rethrows its exception).
template <class Work>
auto withProgress(ScriptClient& client, const std::string& label, const std::string& operation, Work&& work,
                  ProgressSink* sink = nullptr) -> decltype(work()) {
  Progress progress(label, operation, sink != nullptr || progressWanted(), sink);
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
