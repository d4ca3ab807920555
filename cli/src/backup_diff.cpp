#include "backup_diff.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace vx::cli {
namespace {

constexpr uint32_t kNone = UINT32_MAX;

// The second file's items by name, for pairing the first file's with them:
// an item named twice pairs occurrence by occurrence, in file order. One
// open-addressed table of names (no allocation per item) and a chain
// through the items that share a name.
class ItemIndex {
 public:
  explicit ItemIndex(const BackupFile& file)
      : file_(file), nextSameName_(file.items.size(), kNone), onlyOfName_(file.items.size(), false) {
    std::size_t capacity = 16;
    while (capacity < 2 * file.items.size()) capacity *= 2;
    slots_.assign(capacity, Slot{});
    std::vector<uint32_t> lastOfName(capacity, kNone);
    for (std::size_t k = 0; k < file.items.size(); ++k) {
      const std::string_view name = file.itemName(k);
      const uint64_t hash = hashOf(name);
      const std::size_t at = find(name, hash);
      if (slots_[at].first == kNone) {
        slots_[at] = Slot{hash, static_cast<uint32_t>(k), static_cast<uint32_t>(k)};
        onlyOfName_[k] = true;
      } else {
        nextSameName_[lastOfName[at]] = static_cast<uint32_t>(k);
        onlyOfName_[slots_[at].first] = false;
      }
      lastOfName[at] = static_cast<uint32_t>(k);
    }
  }

  // True when no other item of this file has item k's name.
  bool onlyOfName(std::size_t k) const { return onlyOfName_[k]; }

  // The first item of `name` that `paired` does not mark, or none.
  std::optional<std::size_t> take(std::string_view name, const std::vector<bool>& paired) {
    Slot& slot = slots_[find(name, hashOf(name))];
    while (slot.next != kNone && paired[slot.next]) slot.next = nextSameName_[slot.next];
    if (slot.next == kNone) return std::nullopt;
    return slot.next;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    uint32_t first = kNone;  // the name's first item; none: a free slot
    uint32_t next = kNone;   // no item of the name before it is unpaired
  };

  static uint64_t hashOf(std::string_view name) { return std::hash<std::string_view>()(name); }

  // The slot that holds `name`, or the free slot where it would go.
  std::size_t find(std::string_view name, uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.first == kNone || (slot.hash == hash && file_.itemName(slot.first) == name)) return at;
    }
  }

  const BackupFile& file_;
  std::vector<Slot> slots_;
  std::vector<uint32_t> nextSameName_;
  std::vector<bool> onlyOfName_;
};

bool sameValue(std::string_view a, std::string_view b) {
  if (a == b) return true;
  uint32_t x = 0, y = 0;
  return vx::backup::parseValue(a, x) && vx::backup::parseValue(b, y) && x == y;
}

ItemDifference wholeItem(const BackupFile& file, std::size_t item, ItemChange change) {
  ItemDifference difference{std::string(file.itemName(item)), change, {}};
  for (const BackupFile::Value& v : file.valuesOf(item)) {
    ValueDifference value{file.fullPath(item, v), std::nullopt, std::nullopt};
    (change == ItemChange::Added ? value.after : value.before) = std::string(file.view(v.value));
    difference.values.push_back(std::move(value));
  }
  return difference;
}

// The values of item k of `a` and item j of `b`, which share a name: by
// position while the paths agree (the writer's order is the tree's), by
// path from where they part.
std::vector<ValueDifference> valueDifferences(const BackupFile& a, std::size_t k, const BackupFile& b, std::size_t j) {
  const auto va = a.valuesOf(k);
  const auto vb = b.valuesOf(j);
  std::vector<ValueDifference> out;
  // `line` names the value: the first file's where it has one.
  auto changed = [&](const BackupFile::Value& line, const BackupFile::Value* before, const BackupFile::Value* after) {
    ValueDifference value{before ? a.fullPath(k, line) : b.fullPath(j, line), std::nullopt, std::nullopt};
    if (before) value.before.emplace(a.view(before->value));
    if (after) value.after.emplace(b.view(after->value));
    out.push_back(std::move(value));
  };
  std::size_t i = 0;
  for (; i < va.size() && i < vb.size() && a.view(va[i].path) == b.view(vb[i].path); ++i) {
    if (!sameValue(a.view(va[i].value), b.view(vb[i].value))) changed(va[i], &va[i], &vb[i]);
  }
  if (i == va.size() && i == vb.size()) return out;
  std::unordered_map<std::string_view, std::size_t> inB;
  for (std::size_t n = i; n < vb.size(); ++n) inB.emplace(b.view(vb[n].path), n);
  std::vector<bool> matched(vb.size(), false);
  for (std::size_t n = i; n < va.size(); ++n) {
    auto it = inB.find(a.view(va[n].path));
    if (it == inB.end() || matched[it->second]) {
      changed(va[n], &va[n], nullptr);
      continue;
    }
    matched[it->second] = true;
    if (!sameValue(a.view(va[n].value), b.view(vb[it->second].value))) changed(va[n], &va[n], &vb[it->second]);
  }
  for (std::size_t n = i; n < vb.size(); ++n) {
    if (!matched[n]) changed(vb[n], nullptr, &vb[n]);
  }
  return out;
}

// Records the reader's findings as places in the text it reads.
class FileRecorder final : public vx::backup::NvFileVisitor {
 public:
  explicit FileRecorder(BackupFile& file) : file_(file) {}
  void section(std::string_view name) override {
    file_.items.push_back({spanOf(name), static_cast<uint32_t>(file_.values.size()), 0});
  }
  void value(std::string_view path, std::string_view value) override {
    file_.values.push_back({spanOf(path), spanOf(value)});
    ++file_.items.back().valueCount;
  }

 private:
  TextSpan spanOf(std::string_view part) const {
    return {static_cast<uint32_t>(part.data() - file_.text.data()), static_cast<uint32_t>(part.size())};
  }
  BackupFile& file_;
};

}  // namespace

std::string_view BackupFile::valueLines(std::size_t item) const {
  const auto own = valuesOf(item);
  if (own.empty()) return {};
  const uint32_t end = own.back().value.begin + own.back().value.length;
  return std::string_view(text).substr(own.front().path.begin, end - own.front().path.begin);
}

std::string BackupFile::fullPath(std::size_t item, const Value& value) const {
  const std::string_view prefix = itemName(item), path = view(value.path);
  std::string full;
  full.reserve(prefix.size() + 1 + path.size());
  return full.append(prefix).append(1, '.').append(path);
}

BackupFile parseBackupText(std::string text, const std::string& name) {
  BackupFile file;
  file.name = name;
  // The reader refuses a file over 64 MiB before it comes here; places in
  // the text are 32 bits.
  if (text.size() > vx::backup::kMaxBackupFileSize) {
    throw BackupFileError(name + ": larger than " + std::to_string(vx::backup::kMaxBackupFileSize >> 20) + " MiB");
  }
  const auto info = vx::backup::parseNvFileInfo(text);
  if (!info) {
    throw BackupFileError(name + ": line 1: not an NV backup file (its first five lines must be VEX, the format, "
                                 "the model and the two NV version numbers)");
  }
  file.info = *info;
  file.text = std::move(text);
  FileRecorder recorder(file);
  try {
    vx::backup::parseNvFile(file.text, recorder);
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
  return parseBackupText(std::move(text), path);
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

  // Files of one UT list their items in the same order: the item after the
  // last one paired is tried first, and taken when its name is the only one
  // of its kind in the second file (so no earlier item of the first file
  // could be owed it); any other item is looked up by name.
  ItemIndex inB(after);
  std::vector<bool> matched(after.items.size(), false);
  std::size_t expected = 0;
  for (std::size_t k = 0; k < before.items.size(); ++k) {
    const std::string_view name = before.itemName(k);
    std::optional<std::size_t> j;
    if (expected < after.items.size() && !matched[expected] && inB.onlyOfName(expected) &&
        after.itemName(expected) == name) {
      j = expected;
    } else {
      j = inB.take(name, matched);
    }
    if (!j) {
      diff.items.push_back(wholeItem(before, k, ItemChange::Removed));
      continue;
    }
    matched[*j] = true;
    expected = *j + 1;
    if (before.valueLines(k) == after.valueLines(*j)) continue;
    auto values = valueDifferences(before, k, after, *j);
    if (!values.empty()) diff.items.push_back({std::string(name), ItemChange::Changed, std::move(values)});
  }
  for (std::size_t k = 0; k < after.items.size(); ++k) {
    if (!matched[k]) diff.items.push_back(wholeItem(after, k, ItemChange::Added));
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
