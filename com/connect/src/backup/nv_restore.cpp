#include "nv_restore.h"

#include <algorithm>
#include <string_view>

#include "node_value.h"

namespace vx::backup {

using vx::nvdb::NVItemInfo;

namespace {

constexpr const char* kIgnored = " is flagged to ignore.  Not updated.\n";
constexpr const char* kNewItem = " is new but not critical.  Not updated.\n";
constexpr const char* kChanged = " has changed but is not critical.  Not updated.\n";
constexpr const char* kChangedCritical = " has changed format AND is critical.  Not updated.\n";
constexpr const char* kNoValue = " had no value in source phone.  Not updated.\n";
constexpr const char* kCacheFailed = " is not critical but failed writing to the cache.  Not updated.\n";
constexpr const char* kCacheFailedCritical = " is critical and failed writing to the cache.  Not updated.\n";
constexpr const char* kPhoneFailed = " is not critical but failed writing to the phone.  Not updated.\n";
constexpr const char* kPhoneFailedCritical = " is critical AND failed writing to the phone.  Not updated.\n";

// The flags field holds one value, not a set of bits.
bool isCritical(const NVItemInfo& item) { return item.flags == vx::nvdb::kItemFlagCritical; }
bool isIgnored(const NVItemInfo& item) { return item.flags == vx::nvdb::kItemFlagIgnoredByRestore; }

// The name of a list item without the element suffix of one of its entries:
// "NV_X[12]" gives "NV_X", whatever the number of digits.
std::string plainName(const NVItemInfo& item) {
  if (item.instanceCount <= 1) return item.name;
  const std::size_t bracket = item.name.rfind('[');
  return bracket == std::string::npos ? item.name : item.name.substr(0, bracket);
}

std::string elementName(const std::string& plain, std::size_t k) { return plain + "[" + std::to_string(k) + "]"; }

std::string outsideItsType(const std::string& what) { return " has a value outside its type (" + what + ").  Not updated.\n"; }

}  // namespace

std::vector<std::string> itemsMissingFrom(const vx::nvdb::NvDatabase& database,
                                          const std::vector<NVFileSection>& sections) {
  std::unordered_set<std::string_view> names;
  for (const NVFileSection& section : sections) names.insert(section.name);
  std::vector<std::string> missing;
  for (const NVItemInfo& item : database.items()) {
    if (item.hole || item.instanceCount == 0 || item.name == vx::nvdb::kNeverWrittenItem || isIgnored(item)) continue;
    if (item.presence == 0) {
      if (names.count(item.name) == 0) missing.push_back(item.name);
    } else if (item.filled && item.elementIndex == 0) {
      const std::string plain = plainName(item);
      if (names.count(plain) == 0 && names.count(elementName(plain, 0)) == 0) missing.push_back(plain);
    }
  }
  return missing;
}

std::string RestoreReport::text() const {
  std::string out = "[Failed Critical Items]\n\n";
  for (const auto& line : failedCritical) out += line;
  out += "\n[Skipped Items]\n\n";
  for (const auto& line : skipped) out += line;
  out += "\n[Updated Items]\n\n";
  for (const auto& line : updated) out += line;
  return out;
}

NvRestore::NvRestore(vx::nvdb::NvDatabase& database, vx::nvdb::NvUtAccess& reads, vx::nvdb::NvUtChanges& writes,
                     bool updatePhone)
    : database_(database), reads_(reads), writes_(writes), updatePhone_(updatePhone) {}

RestoreReport NvRestore::run(const std::vector<NVFileSection>& sections,
                             const std::function<void(std::size_t, std::size_t)>& progress) {
  for (const NVFileSection& each : sections) sections_.try_emplace(each.name, &each);
  // Replaced entries leave holes in the list until the walk is over, however
  // it ends, so that every position stays where it is.
  struct Compact {
    vx::nvdb::NvDatabase& database;
    ~Compact() { database.compact(); }
  } compact{database_};
  // The list grows while it is walked: entries made for insertable items are
  // appended and reached later.
  for (std::size_t position = 0; position < database_.items().size(); ++position) {
    if (progress) progress(position, database_.items().size());
    const NVItemInfo& item = database_.items()[position];
    if (item.hole || item.name == vx::nvdb::kNeverWrittenItem) continue;
    if (isIgnored(item)) {
      report_.skipped.push_back(item.name + kIgnored);
    } else if (item.presence == 0) {
      restorePlainItem(position);
    } else if (item.filled) {
      replaceInsertableItem(position);
    } else {
      restoreCreatedEntry(position);
    }
  }
  if (progress) progress(database_.items().size(), database_.items().size());
  return std::move(report_);
}

const NVFileSection* NvRestore::section(const std::string& name) const {
  const auto found = sections_.find(name);
  return found == sections_.end() ? nullptr : found->second;
}

std::vector<std::string> NvRestore::itemLayout(std::size_t position) {
  NVItemInfo& item = database_.items()[position];
  std::vector<std::string> paths;
  for (const auto& leaf : database_.leaves(item, reads_)) paths.push_back(database_.pathOf(leaf).substr(item.name.size() + 1));
  return paths;
}

std::vector<std::string> NvRestore::sectionLayout(const NVFileSection& section) {
  std::vector<std::string> paths;
  for (const auto& path : section.paths) paths.push_back(path.substr(section.name.size() + 1));
  return paths;
}

NvRestore::ValuesWritten NvRestore::writeValues(std::size_t position, const NVFileSection& section) {
  const std::string name = database_.items()[position].name;
  ValuesWritten outcome;
  for (std::size_t i = 0; i < section.paths.size(); ++i) {
    const std::string path = section.paths[i].substr(section.name.size());
    const auto ref = database_.resolve(name + path, reads_);
    const auto number = parseNumber(section.values[i]);
    if (!number || !ref || ref->isItemNode()) {
      outcome.all = false;
      continue;
    }
    const auto value = vx::nvdb::fitNodeValue(*ref->subtreeNode(), *number);
    if (!value) {
      // A value the leaf cannot hold would reach the UT wrapped.
      outcome.outsideType = path.substr(1) + " " + std::to_string(*number) + ", not " +
                            vx::nvdb::nodeValueRange(*ref->subtreeNode());
      return outcome;
    }
    if (!vx::nvdb::writeNodeValue(*ref->item, *ref->subtreeNode(), *value)) {
      outcome.all = false;
      continue;
    }
    database_.markChanged(*ref);
  }
  return outcome;
}

bool NvRestore::commit(const std::string& own) {
  // The first commit writes whatever was staged before the restore; after
  // it only the item being restored can carry a new mark, so only it is
  // looked at, not the whole tree.
  NVItemInfo* ownItem = own.empty() ? nullptr : database_.findItem(own);
  const std::size_t candidates = ownItem != nullptr ? 1 : 0;
  auto once = [&](vx::nvdb::CommitStop& stop) {
    if (!treeCommitted_) return vx::nvdb::commitChanges(database_, writes_, &held_, &stop);
    return vx::nvdb::commitItems(database_, writes_, std::span(&ownItem, candidates), &held_, &stop);
  };
  bool ownWritten = true;
  vx::nvdb::CommitStop stop;
  while (!once(stop)) {
    // What the UT refused keeps its marks for a later commit; it is not tried
    // again with every item after it, which still get their turn now.
    if (stop.deletion) {
      held_.deletions = true;
    } else {
      held_.items.insert(stop.item);
    }
    if (stop.deletion ? own.empty() : stop.item == own) ownWritten = false;
  }
  treeCommitted_ = true;
  return ownWritten;
}

NvRestore::Snapshot NvRestore::snapshot(const NVItemInfo& item) {
  Snapshot before{item.value, item.changed, item.deleteWhenEmpty, {}};
  before.nodeMarks.reserve(item.nodes.size());
  for (const auto& node : item.nodes) before.nodeMarks.push_back(node.changed);
  return before;
}

void NvRestore::putBack(NVItemInfo& item, const Snapshot& before) {
  item.value = before.value;
  item.changed = before.changed;
  item.deleteWhenEmpty = before.deleteWhenEmpty;
  for (std::size_t i = 0; i < item.nodes.size() && i < before.nodeMarks.size(); ++i) {
    item.nodes[i].changed = before.nodeMarks[i];
  }
  // A change staged before the restore stays staged; anything else no
  // longer waits for the UT.
  if (!item.changed) held_.items.erase(item.name);
}

void NvRestore::finishItem(const std::string& name, bool critical, bool cacheWritten, const Snapshot* before) {
  if (!cacheWritten) {
    (critical ? report_.failedCritical : report_.skipped).push_back(name + (critical ? kCacheFailedCritical : kCacheFailed));
  }
  if (updatePhone_) {
    if (commit(name)) {
      report_.updated.push_back(name + "\n");
      return;
    }
    reportPhoneFailure(name, critical);
    // The cache keeps what the UT holds, not the file's values it refused.
    if (before != nullptr) {
      if (NVItemInfo* item = database_.findItem(name)) putBack(*item, *before);
    }
  } else if (cacheWritten) {
    report_.updated.push_back(name + "\n");
  }
}

void NvRestore::reportPhoneFailure(const std::string& name, bool critical) {
  if (critical) {
    report_.failedCritical.push_back(name + kPhoneFailedCritical);
  } else {
    report_.skipped.push_back(name + kPhoneFailed);
  }
}

void NvRestore::reportChangedLayout(const std::string& name, bool critical) {
  if (critical) {
    report_.failedCritical.push_back(name + kChangedCritical);
  } else {
    report_.skipped.push_back(name + kChanged);
  }
}

void NvRestore::restorePlainItem(std::size_t position) {
  const std::string name = database_.items()[position].name;
  const bool critical = isCritical(database_.items()[position]);
  const NVFileSection* found = section(name);
  if (found == nullptr) {
    report_.skipped.push_back(name + kNewItem);
    return;
  }
  // Every tree has a leaf, so a section without values matches only an
  // element that does not expand; learning whether it does needs no tree
  // for an element the UT holds no value for.
  const bool layoutDiffers = found->paths.empty() ? database_.fetchValue(database_.items()[position], reads_)
                                                  : itemLayout(position) != sectionLayout(*found);
  if (layoutDiffers) {
    NVItemInfo& item = database_.items()[position];
    if (!found->paths.empty()) {
      reportChangedLayout(name, critical);
    } else if (!item.expanded) {
      report_.skipped.push_back(name + kNoValue);
    } else {
      // The source phone held the element without a value: it is emptied
      // here, and deleted in the UT when it is committed empty.
      const Snapshot before = snapshot(item);
      std::fill(item.value.begin(), item.value.end(), 0);
      item.deleteWhenEmpty = true;
      item.changed = true;
      finishItem(name, critical, true, &before);
    }
    return;
  }
  const Snapshot before = snapshot(database_.items()[position]);
  const ValuesWritten written = writeValues(position, *found);
  if (!written.outsideType.empty()) {
    putBack(database_.items()[position], before);
    (critical ? report_.failedCritical : report_.skipped).push_back(name + outsideItsType(written.outsideType));
    return;
  }
  finishItem(name, critical, written.all, &before);
}

void NvRestore::replaceInsertableItem(std::size_t position) {
  const NVItemInfo& held = database_.items()[position];
  const std::string plain = plainName(held);
  const bool critical = isCritical(held);
  if (keptLists_.count(plain) != 0) return;
  if (held.instanceCount > 0 && held.elementIndex != 0) {
    // The further elements of a held list go; element 0 made the entries
    // that replace them.
    const std::string name = held.name;
    database_.removeItem(position);
    if (updatePhone_ && !commit({})) reportPhoneFailure(name, critical);
    return;
  }
  const NVFileSection* first = section(plain);
  std::size_t sections = first != nullptr ? 1 : 0;
  bool listed = false;
  if (first == nullptr && (first = section(elementName(plain, 0))) != nullptr) {
    while (section(elementName(plain, sections)) != nullptr) ++sections;
    listed = sections >= 2;
  }
  if (first != nullptr && itemLayout(position) != sectionLayout(*first)) {
    // Nothing in the file can stand in for what the UT holds: it keeps it.
    reportChangedLayout(plain, critical);
    keptLists_.insert(plain);
    return;
  }

  // The entries that replace the element take its description, not its
  // value or tree.
  const NVItemInfo& original = database_.items()[position];
  NVItemInfo entry;
  entry.descriptor = original.descriptor;
  entry.typeName = original.typeName;
  entry.flags = original.flags;
  entry.itemNumber = original.itemNumber;
  entry.presence = 1;
  entry.filled = false;
  database_.removeItem(position);
  if (first == nullptr) {
    entry.name = plain;
    database_.appendItem(std::move(entry));
  } else if (!listed) {
    entry.name = plain;
    entry.elementIndex = 0;
    entry.instanceCount = 1;
    entry.isNew = true;
    if (first->name != plain) sourceSection_[plain] = first->name;
    database_.appendItem(std::move(entry));
  } else {
    for (std::size_t k = 0; k < sections; ++k) {
      NVItemInfo element = entry;
      element.name = elementName(plain, k);
      element.elementIndex = static_cast<int32_t>(k);
      element.instanceCount = static_cast<uint32_t>(sections);
      element.isNew = true;
      database_.appendItem(std::move(element));
    }
  }
  if (updatePhone_ && !commit({})) reportPhoneFailure(plain, critical);
}

void NvRestore::restoreCreatedEntry(std::size_t position) {
  NVItemInfo& item = database_.items()[position];
  item.filled = true;
  if (item.instanceCount == 0) return;
  const std::string name = item.name;
  const bool critical = isCritical(item);
  const auto source = sourceSection_.find(name);
  const NVFileSection* found = section(source == sourceSection_.end() ? name : source->second);
  if (found == nullptr) return;
  // An element the source held without a value is not inserted.
  if (found->paths.empty()) {
    report_.skipped.push_back(name + kNoValue);
    return;
  }
  const ValuesWritten written = writeValues(position, *found);
  if (!written.outsideType.empty()) {
    // Like an element held without a value, the entry is not inserted.
    NVItemInfo& entry = database_.items()[position];
    vx::nvdb::NvDatabase::clearChanged(entry);
    std::fill(entry.value.begin(), entry.value.end(), 0);
    (critical ? report_.failedCritical : report_.skipped).push_back(name + outsideItsType(written.outsideType));
    return;
  }
  finishItem(name, critical, written.all, nullptr);
}

}  // namespace vx::backup
