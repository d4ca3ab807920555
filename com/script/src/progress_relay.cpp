#include "progress_relay.h"

namespace vx::script {

const char* progressStepName(VexProgressStep step) {
  switch (step) {
    case VEX_STEP_SYMBOL_INFORMATION: return "symbol-information";
    case VEX_STEP_ITEM_TABLES: return "item-tables";
    case VEX_STEP_ITEM_DIMENSIONS: return "item-dimensions";
    case VEX_STEP_SAVE_ITEMS:
    case VEX_STEP_RESTORE_ITEMS: return "items";
  }
  return "other";
}

HRESULT ProgressRelay::Progress(VexProgressStep step, UI4 done, UI4 total) {
  if (operation_ != nullptr) report(operation_, progressStepName(step), done, total);
  return S_OK;
}

void ProgressRelay::report(const char* operation, const char* step, uint64_t done, uint64_t total) {
  if (!listener_) return;
  const auto now = std::chrono::steady_clock::now();
  const bool newStep = lastOperation_ != operation || lastStep_ != step;
  if (!newStep && done < total && now - lastSent_ < kMinInterval) return;
  lastOperation_ = operation;
  lastStep_ = step;
  lastSent_ = now;
  listener_(ProgressEvent{operation, step, done, total});
}

}  // namespace vx::script
