#include "backup_diff.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace vx::cli {
namespace {

using vx::backup::NVFileSection;

// Where each section's name and value lines lie: its name between the
// brackets of its [name] line (as the reader takes it, an inner '[' with its
// own ']'), its values from the next line to the next section's line. The
// reader takes a line that starts with '[' as a section, and nothing else,
// so these pair with its sections in order.
std::vector<SectionText> sectionTexts(std::string_view text) {
  std::vector<SectionText> texts;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (text[at] == '[') {
      if (!texts.empty()) texts.back().bodyLength = at - texts.back().bodyBegin;
      SectionText section{at + 1, 0, next, 0};
      int depth = 0;
      for (std::size_t i = at; i < next; ++i) {
        if (text[i] == '[') ++depth;
        if (text[i] == ']' && --depth == 0) {
          section.nameLength = i - at - 1;
          break;
        }
      }
      texts.push_back(section);
    }
    at = next;
  }
  if (!texts.empty()) texts.back().bodyLength = text.size() - texts.back().bodyBegin;
  return texts;
}

bool hasTexts(const BackupFile& file) { return file.texts.size() == file.sections.size(); }

std::string_view nameOf(const BackupFile& file, std::size_t section) {
  if (!hasTexts(file)) return file.sections[section].name;
  return std::string_view(file.text).substr(file.texts[section].nameBegin, file.texts[section].nameLength);
}

std::string_view bodyOf(const BackupFile& file, std::size_t section) {
  return std::string_view(file.text).substr(file.texts[section].bodyBegin, file.texts[section].bodyLength);
}

// Items of one name whose value lines are the same bytes hold the same
// values; only the others are compared value by value.
bool sameBytes(const BackupFile& a, std::size_t k, const BackupFile& b, std::size_t j) {
  return hasTexts(a) && hasTexts(b) && bodyOf(a, k) == bodyOf(b, j);
}

// The second file's sections by name, for pairing the first file's with
// them: an item named twice pairs occurrence by occurrence, in file order.
// One open-addressed table of names (no allocation per item, and small
// enough to stay in cache however long the files are) and a chain through
// the sections that share a name.
class SectionIndex {
 public:
  explicit SectionIndex(const BackupFile& file) : file_(file), nextSameName_(file.sections.size(), kNone) {
    std::size_t capacity = 16;
    while (capacity < 2 * file.sections.size()) capacity *= 2;
    slots_.assign(capacity, Slot{});
    std::vector<uint32_t> lastOfName(capacity, kNone);
    for (std::size_t k = 0; k < file.sections.size(); ++k) {
      const std::string_view name = nameOf(file, k);
      const uint64_t hash = hashOf(name);
      const std::size_t at = find(name, hash);
      if (slots_[at].first == kNone) {
        slots_[at] = Slot{hash, static_cast<uint32_t>(k), static_cast<uint32_t>(k)};
      } else {
        nextSameName_[lastOfName[at]] = static_cast<uint32_t>(k);
      }
      lastOfName[at] = static_cast<uint32_t>(k);
    }
  }

  // The section that pairs with the next occurrence of `name` in the other
  // file, or none when this file has no more of that name.
  std::optional<std::size_t> take(std::string_view name) {
    Slot& slot = slots_[find(name, hashOf(name))];
    if (slot.next == kNone) return std::nullopt;
    const uint32_t at = slot.next;
    slot.next = nextSameName_[at];
    return at;
  }

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Slot {
    uint64_t hash = 0;
    uint32_t first = kNone;  // the name's first section; none: a free slot
    uint32_t next = kNone;   // its first section not yet paired
  };

  static uint64_t hashOf(std::string_view name) { return std::hash<std::string_view>()(name); }

  // The slot that holds `name`, or the free slot where it would go.
  std::size_t find(std::string_view name, uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.first == kNone || (slot.hash == hash && nameOf(file_, slot.first) == name)) return at;
    }
  }

  const BackupFile& file_;
  std::vector<Slot> slots_;
  std::vector<uint32_t> nextSameName_;
};

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
  file.text = text;
  file.texts = sectionTexts(file.text);
  // Names read from the text must be the reader's, or none are used.
  bool agree = file.texts.size() == file.sections.size();
  for (std::size_t k = 0; agree && k < file.sections.size(); ++k) agree = nameOf(file, k) == file.sections[k].name;
  if (!agree) file.texts.clear();
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

  SectionIndex inB(after);
  std::vector<bool> matched(after.sections.size(), false);
  for (std::size_t k = 0; k < before.sections.size(); ++k) {
    const std::optional<std::size_t> j = inB.take(nameOf(before, k));
    const NVFileSection& a = before.sections[k];
    if (!j) {
      diff.items.push_back(wholeItem(a, ItemChange::Removed));
      continue;
    }
    matched[*j] = true;
    if (sameBytes(before, k, after, *j)) continue;
    auto values = valueDifferences(a, after.sections[*j]);
    if (!values.empty()) diff.items.push_back({a.name, ItemChange::Changed, std::move(values)});
  }
  for (std::size_t k = 0; k < after.sections.size(); ++k) {
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
