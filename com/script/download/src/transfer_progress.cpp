#include "vx/download/transfer_progress.h"

#include <algorithm>
#include <cmath>

namespace vx::download {

namespace {
constexpr uint64_t kBytesPerEstimateSecond = 194000;
constexpr double kShortTransferWaitSeconds = 29;
}  // namespace

double minimumEstimateSeconds(uint64_t total) {
  const uint64_t units = total / kBytesPerEstimateSecond;
  return units < 3 ? kShortTransferWaitSeconds : static_cast<double>(units + 1);
}

uint32_t phaseText(TransferKind kind) {
  switch (kind) {
    case TransferKind::Loader: return kTextSendingLoader;
    case TransferKind::Software: return kTextSendingSoftware;
    case TransferKind::RamProgram: return kTextSendingRamProgram;
    case TransferKind::BootBlock: return kTextSendingBootBlock;
  }
  return kTextSendingSoftware;
}

ProgressReport progressAt(TransferKind kind, uint64_t total, uint64_t sent, double elapsedSeconds) {
  ProgressReport report;
  report.kind = kind;
  report.total = total;
  report.sent = std::min(sent, total);
  report.percent = total == 0 ? 100 : static_cast<int>(report.sent * 100 / total);
  report.phaseText = phaseText(kind);
  report.bytesLeft = total - report.sent;
  if (report.sent > 0 && elapsedSeconds > minimumEstimateSeconds(total)) {
    const double left = elapsedSeconds * static_cast<double>(total) / static_cast<double>(report.sent) - elapsedSeconds;
    report.secondsLeft = static_cast<uint32_t>(std::lround(std::max(left, 0.0)));
  }
  return report;
}

}  // namespace vx::download
