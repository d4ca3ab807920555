// vexctl diff on two backup files: the input's first byte says where the
// first file ends. Besides not crashing, a file is the same as itself, and
// the comparison that reads the files' text gives what the comparison of
// the reader's values alone gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backup_diff.h"

namespace {

using vx::cli::BackupDiff;

bool sameDiff(const BackupDiff& a, const BackupDiff& b) {
  if (a.header.size() != b.header.size() || a.items.size() != b.items.size()) return false;
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    const auto& x = a.items[i];
    const auto& y = b.items[i];
    if (x.item != y.item || x.change != y.change || x.values.size() != y.values.size()) return false;
    for (std::size_t v = 0; v < x.values.size(); ++v) {
      if (x.values[v].path != y.values[v].path || x.values[v].before != y.values[v].before ||
          x.values[v].after != y.values[v].after) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = input.size() * data[0] / 255;
  try {
    const auto before = vx::cli::parseBackupText(input.substr(0, split), "a.vex");
    const auto after = vx::cli::parseBackupText(input.substr(split), "b.vex");
    if (!vx::cli::diffBackups(before, before).same()) std::abort();
    const BackupDiff fast = vx::cli::diffBackups(before, after);
    auto plainBefore = before;
    auto plainAfter = after;
    plainBefore.texts.clear();
    plainAfter.texts.clear();
    if (!sameDiff(fast, vx::cli::diffBackups(plainBefore, plainAfter))) std::abort();
  } catch (const vx::cli::BackupFileError&) {
    // refused with its reason, as it should be
  }
  return 0;
}
