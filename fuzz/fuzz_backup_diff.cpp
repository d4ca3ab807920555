// vexctl diff on two backup files: the input's first byte says where the
// first file ends. Besides not crashing: a file is the same as itself, its
// record holds what the reader's own sections hold, and the comparison
// either way round adds what the other removes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backup_diff.h"

namespace {

using vx::cli::BackupFile;
using vx::cli::ItemChange;

void checkRecord(const BackupFile& file) {
  const auto sections = vx::backup::parseNvFile(file.text);
  if (sections.size() != file.items.size()) std::abort();
  for (std::size_t k = 0; k < sections.size(); ++k) {
    const auto values = file.valuesOf(k);
    if (sections[k].name != file.itemName(k) || sections[k].paths.size() != values.size()) std::abort();
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (sections[k].paths[i] != file.fullPath(k, values[i])) std::abort();
      if (sections[k].values[i] != file.view(values[i].value)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = input.size() * data[0] / 255;
  try {
    const auto before = vx::cli::parseBackupText(std::string(input.substr(0, split)), "a.vex");
    const auto after = vx::cli::parseBackupText(std::string(input.substr(split)), "b.vex");
    checkRecord(before);
    checkRecord(after);
    if (!vx::cli::diffBackups(before, before).same()) std::abort();
    const auto forward = vx::cli::diffBackups(before, after);
    const auto backward = vx::cli::diffBackups(after, before);
    if (forward.count(ItemChange::Added) != backward.count(ItemChange::Removed) ||
        forward.count(ItemChange::Removed) != backward.count(ItemChange::Added) ||
        forward.count(ItemChange::Changed) != backward.count(ItemChange::Changed)) {
      std::abort();
    }
  } catch (const vx::cli::BackupFileError&) {
    // refused with its reason, as it should be
  }
  return 0;
}
