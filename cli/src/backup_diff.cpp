#include "backup_diff.h"

#include <string_view>
#include <unordered_map>

namespace vx::cli {
namespace {

using vx::backup::NVFileSection;

// An item's name with its occurrence in the file, so that an item named
// twice pairs with the same occurrence in the other file.
struct ItemKey {
  std::string_view name;
  std::size_t occurrence;
  bool operator==(const ItemKey&) const = default;
};

struct ItemKeyHash {
  std::size_t operator()(const ItemKey& key) const {
    return std::hash<std::string_view>()(key.name) ^ (key.occurrence * 0x9e3779b97f4a7c15ull);
  }
};

std::vector<ItemKey> keysOf(const std::vector<NVFileSection>& sections) {
  std::unordered_map<std::string_view, std::size_t> seen;
  seen.reserve(sections.size());
  std::vector<ItemKey> keys;
  keys.reserve(sections.size());
  for (const NVFileSection& section : sections) keys.push_back({section.name, seen[section.name]++});
  return keys;
}

bool sameValue(const std::string& a, const std::string& b) {
  if (a == b) return true;
  uint32_t x = 0, y = 0;
  return vx::backup::parseValue(a, x) && vx::backup::parseValue(b, y) && x == y;
}

ItemDifference wholeItem(const NVFileSection& section, ItemChange change) {
  ItemDifference item{section.name, change, {}};
  for (std::size_t i = 0; i < section.paths.size(); ++i) {
    ValueDifference value{section.paths[i], std::nullopt, std::nullopt};
    (change == ItemChange::Added ? value.after : value.before) = section.values[i];
    item.values.push_back(std::move(value));
  }
  return item;
}

// The values of one item in both files: by position while the paths agree
// (the writer's order is the tree's), by path from where they part.
std::vector<ValueDifference> valueDifferences(const NVFileSection& a, const NVFileSection& b) {
  std::vector<ValueDifference> out;
  std::size_t i = 0;
  for (; i < a.paths.size() && i < b.paths.size() && a.paths[i] == b.paths[i]; ++i) {
    if (!sameValue(a.values[i], b.values[i])) out.push_back({a.paths[i], a.values[i], b.values[i]});
  }
  if (i == a.paths.size() && i == b.paths.size()) return out;
  std::unordered_map<std::string_view, std::size_t> inB;
  for (std::size_t k = i; k < b.paths.size(); ++k) inB.emplace(b.paths[k], k);
  std::vector<bool> matched(b.paths.size(), false);
  for (std::size_t k = i; k < a.paths.size(); ++k) {
    auto it = inB.find(a.paths[k]);
    if (it == inB.end() || matched[it->second]) {
      out.push_back({a.paths[k], a.values[k], std::nullopt});
      continue;
    }
    matched[it->second] = true;
    if (!sameValue(a.values[k], b.values[it->second])) out.push_back({a.paths[k], a.values[k], b.values[it->second]});
  }
  for (std::size_t k = i; k < b.paths.size(); ++k) {
    if (!matched[k]) out.push_back({b.paths[k], std::nullopt, b.values[k]});
  }
  return out;
}

}  // namespace

BackupFile parseBackupText(std::string_view text, const std::string& name) {
  BackupFile file;
  file.name = name;
  const auto info = vx::backup::parseNvFileInfo(text);
  if (!info) {
    throw BackupFileError(name + ": line 1: not an NV backup file (its first five lines must be VEX, the format, "
                                 "the model and the two NV version numbers)");
  }
  file.info = *info;
  try {
    file.sections = vx::backup::parseNvFile(text);
  } catch (const vx::backup::CNVFileParsingException& error) {
    throw BackupFileError(name + ": " + error.description());
  }
  return file;
}

BackupFile readBackupFile(const std::string& path) {
  std::string text;
  if (!vx::backup::readFileText(path, text)) {
    throw BackupFileError(path + ": cannot be read, or is larger than " +
                          std::to_string(vx::backup::kMaxBackupFileSize >> 20) + " MiB");
  }
  return parseBackupText(text, path);
}

std::size_t BackupDiff::count(ItemChange change) const {
  std::size_t n = 0;
  for (const ItemDifference& item : items) n += item.change == change ? 1 : 0;
  return n;
}

BackupDiff diffBackups(const BackupFile& before, const BackupFile& after) {
  BackupDiff diff;
  auto header = [&](const char* field, const std::string& a, const std::string& b) {
    if (a != b) diff.header.push_back({field, a, b});
  };
  header("format", std::to_string(before.info.format), std::to_string(after.info.format));
  header("model", before.info.model, after.info.model);
  header("nrVersion", std::to_string(before.info.nrVersion), std::to_string(after.info.nrVersion));
  header("version", std::to_string(before.info.version), std::to_string(after.info.version));

  const std::vector<ItemKey> keysA = keysOf(before.sections);
  const std::vector<ItemKey> keysB = keysOf(after.sections);
  std::unordered_map<ItemKey, std::size_t, ItemKeyHash> inB;
  inB.reserve(keysB.size());
  for (std::size_t k = 0; k < keysB.size(); ++k) inB.emplace(keysB[k], k);
  std::vector<bool> matched(keysB.size(), false);
  for (std::size_t k = 0; k < keysA.size(); ++k) {
    const NVFileSection& a = before.sections[k];
    auto it = inB.find(keysA[k]);
    if (it == inB.end()) {
      diff.items.push_back(wholeItem(a, ItemChange::Removed));
      continue;
    }
    matched[it->second] = true;
    auto values = valueDifferences(a, after.sections[it->second]);
    if (!values.empty()) diff.items.push_back({a.name, ItemChange::Changed, std::move(values)});
  }
  for (std::size_t k = 0; k < keysB.size(); ++k) {
    if (!matched[k]) diff.items.push_back(wholeItem(after.sections[k], ItemChange::Added));
  }
  return diff;
}

const char* changeName(ItemChange change) {
  switch (change) {
    case ItemChange::Added: return "added";
    case ItemChange::Removed: return "removed";
    case ItemChange::Changed: return "changed";
  }
  return "changed";
}

}  // namespace vx::cli
