// Restoring the sections of a backup file into the item tree and, on
// request, into the UT, with a report of what was restored and what was not.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "nv_commit.h"
#include "nv_database.h"
#include "nv_file_reader.h"

namespace vx::backup {

struct RestoreReport {
  std::vector<std::string> failedCritical;
  std::vector<std::string> skipped;
  std::vector<std::string> updated;
  // The report file: the three lists under their headings.
  std::string text() const;
};

// The UT's items that a restore of these sections would find nothing for,
// in tree order: plain items it holds that have no section (the restore
// skips them), and lists it holds with no section of their own or of their
// entry 0 (the restore would delete their entries). Items the restore
// ignores, and items the UT holds none of, are not counted.
std::vector<std::string> itemsMissingFrom(const vx::nvdb::NvDatabase& database,
                                          const std::vector<NVFileSection>& sections);

class NvRestore {
 public:
  // `updatePhone`: commit each restored item to the UT as it is done.
  NvRestore(vx::nvdb::NvDatabase& database, vx::nvdb::NvUtAccess& reads, vx::nvdb::NvUtChanges& writes,
            bool updatePhone);

  // `progress` (optional) hears of the items walked so far and of how many
  // there are; the count changes as entries are made and replaced.
  RestoreReport run(const std::vector<NVFileSection>& sections,
                    const std::function<void(std::size_t done, std::size_t total)>& progress = {});

 private:
  void restorePlainItem(std::size_t position);
  // An insertable item the UT gave: its entries are replaced by what the
  // file holds.
  void replaceInsertableItem(std::size_t position);
  void restoreCreatedEntry(std::size_t position);

  const NVFileSection* section(const std::string& name) const;
  // Leaf paths below the item / section name, in order.
  std::vector<std::string> itemLayout(std::size_t position);
  static std::vector<std::string> sectionLayout(const NVFileSection& section);
  struct ValuesWritten {
    bool all = true;          // every value reached its leaf
    std::string outsideType;  // the first value its leaf cannot hold: nothing more is written
  };
  // Writes a section's values into the item's leaves.
  ValuesWritten writeValues(std::size_t position, const NVFileSection& section);

  // An item's value and marks as they were before the restore touched it.
  struct Snapshot {
    std::vector<uint8_t> value;
    bool changed = false;
    bool deleteWhenEmpty = false;
    std::vector<bool> nodeMarks;
  };
  static Snapshot snapshot(const vx::nvdb::NVItemInfo& item);
  void putBack(vx::nvdb::NVItemInfo& item, const Snapshot& before);

  // The commit (when the UT is written) and the item's report lines; an
  // item the UT refuses gets `before` back when given.
  void finishItem(const std::string& name, bool critical, bool cacheWritten, const Snapshot* before);
  // Commits what is changed; false when `own` (an item, or the deletions
  // when empty) was refused.
  bool commit(const std::string& own);
  void reportChangedLayout(const std::string& name, bool critical);
  void reportPhoneFailure(const std::string& name, bool critical);

  vx::nvdb::NvDatabase& database_;
  vx::nvdb::NvUtAccess& reads_;
  vx::nvdb::NvUtChanges& writes_;
  bool updatePhone_;
  std::unordered_map<std::string, const NVFileSection*> sections_;
  // Entries made by this restore whose values come from a section of
  // another name (an item held as one element, found only under "[0]").
  std::unordered_map<std::string, std::string> sourceSection_;
  // Insertable items whose layout the file does not match: the UT keeps its
  // entries of them.
  std::unordered_set<std::string> keptLists_;
  // What the UT refused during this restore: it stays marked, not retried.
  vx::nvdb::CommitHold held_;
  bool treeCommitted_ = false;
  RestoreReport report_;
};

}  // namespace vx::backup
