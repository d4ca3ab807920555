#include "nv_commit.h"

#include <algorithm>

namespace vx::nvdb {

namespace {

uint32_t wireIndex(const NVItemInfo& item) { return static_cast<uint32_t>(item.elementIndex); }

bool allZero(const std::vector<uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte == 0; });
}

bool deleteRemovedItems(NvDatabase& database, NvUtChanges& ut) {
  const auto& removed = database.removedItems();
  std::size_t done = 0;
  bool deleted = true;
  for (; done < removed.size(); ++done) {
    const NVItemInfo& item = removed[done];
    if (item.instanceCount > 0 && !item.removedTwice && !ut.deleteItem(item.itemNumber, wireIndex(item))) {
      deleted = false;
      break;
    }
  }
  database.forgetRemoved(done);
  return deleted;
}

bool writeChangedItem(NVItemInfo& item, NvUtChanges& ut) {
  if (item.name == kNeverWrittenItem) return true;
  if (item.presence == 0) {
    if (item.deleteWhenEmpty && allZero(item.value)) {
      // An emptied element that restore may delete: the UT may not hold it
      // any more, so a refused deletion is no failure.
      ut.deleteItem(item.itemNumber, wireIndex(item));
      return true;
    }
    return ut.writeItem(item.itemNumber, wireIndex(item), item.value);
  }
  if (item.instanceCount == 0) return true;
  if (!item.isNew) return ut.writeItem(item.itemNumber, wireIndex(item), item.value);
  if (!ut.insertItem(item.itemNumber, wireIndex(item), item.value)) return false;
  item.isNew = false;
  return true;
}

// Deletes the removed items, then writes each changed item `next` gives
// until it gives null.
template <class Next>
bool commit(NvDatabase& database, NvUtChanges& ut, const CommitHold* hold, CommitStop* stop, Next next) {
  if ((hold == nullptr || !hold->deletions) && !deleteRemovedItems(database, ut)) {
    if (stop != nullptr) *stop = CommitStop{true, {}};
    return false;
  }
  while (NVItemInfo* item = next()) {
    if (!item->changed || (hold != nullptr && hold->items.count(item->name) != 0)) continue;
    if (!writeChangedItem(*item, ut)) {
      if (stop != nullptr) *stop = CommitStop{false, item->name};
      return false;
    }
    NvDatabase::clearChanged(*item);
  }
  return true;
}

}  // namespace

bool commitChanges(NvDatabase& database, NvUtChanges& ut, const CommitHold* hold, CommitStop* stop) {
  std::size_t at = 0;
  auto& items = database.items();
  return commit(database, ut, hold, stop, [&]() -> NVItemInfo* { return at < items.size() ? &items[at++] : nullptr; });
}

bool commitItems(NvDatabase& database, NvUtChanges& ut, std::span<NVItemInfo* const> items, const CommitHold* hold,
                 CommitStop* stop) {
  std::size_t at = 0;
  return commit(database, ut, hold, stop, [&]() -> NVItemInfo* { return at < items.size() ? items[at++] : nullptr; });
}

}  // namespace vx::nvdb
