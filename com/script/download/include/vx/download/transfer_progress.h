// What a download shows while it runs: the bar's position, the phase text,
// the bytes left and, once the transfer has run long enough for a fair
// guess, the time left. Pure functions of the transfer's figures, so the
// rules hold the same for every front end that shows them.
#pragma once

#include <cstdint>
#include <optional>

namespace vx::download {

// What is being sent. The numbers are the transfer kinds the front ends
// share.
enum class TransferKind : int { Loader = 0, Software = 1, RamProgram = 2, BootBlock = 3 };

// Text numbers of the resource library.
inline constexpr uint32_t kTextSendingLoader = 61523;
inline constexpr uint32_t kTextSendingSoftware = 61524;
inline constexpr uint32_t kTextSendingRamProgram = 61525;
inline constexpr uint32_t kTextSendingBootBlock = 61550;
inline constexpr uint32_t kTextMinutesLeft = 61529;  // "%d min %d s"
inline constexpr uint32_t kTextSecondsLeft = 61530;  // "%d s"
inline constexpr uint32_t kTextBytesLeft = 61535;    // "%u"
inline constexpr uint32_t kTextPercent = 61536;      // "%d%%"

struct ProgressReport {
  TransferKind kind = TransferKind::Loader;
  uint64_t total = 0;
  uint64_t sent = 0;
  int percent = 0;  // 0..100
  uint32_t phaseText = kTextSendingLoader;
  uint64_t bytesLeft = 0;
  // The time left, once an estimate is due; minutes and seconds are shown
  // with kTextMinutesLeft when it is a minute or more, else kTextSecondsLeft.
  std::optional<uint32_t> secondsLeft;
};

// How long a transfer of `total` bytes runs before it shows an estimate:
// one second more than the time 194000 bytes take per second of this, and
// never under 29 s for a transfer shorter than 582000 bytes.
double minimumEstimateSeconds(uint64_t total);

// The report after `sent` of `total` bytes, `elapsedSeconds` after the
// transfer began.
ProgressReport progressAt(TransferKind kind, uint64_t total, uint64_t sent, double elapsedSeconds);

// The phase text of a kind.
uint32_t phaseText(TransferKind kind);

}  // namespace vx::download
