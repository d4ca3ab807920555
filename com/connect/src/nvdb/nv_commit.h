// Writing the changed items of the tree back to the UT: first the deletions
// of removed items, then every changed item in tree order, each written,
// inserted or deleted by its presence value and flags.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_set>

#include "nv_database.h"

namespace vx::nvdb {

// The changes the commit asks of the UT; false when the UT call fails.
class NvUtChanges {
 public:
  virtual ~NvUtChanges() = default;
  virtual bool writeItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) = 0;
  virtual bool insertItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) = 0;
  virtual bool deleteItem(uint32_t item, uint32_t index) = 0;
};

// The item the commit never writes (the UT keeps its own count there).
inline constexpr const char* kNeverWrittenItem = "NV_UI_MENU_COUNTER";

// What a commit is to leave waiting: the changed items named keep their
// marks and the removed items stay on the removed list, for a later commit.
struct CommitHold {
  bool deletions = false;
  std::unordered_set<std::string> items;
};

// Where a commit stopped: at a deletion of a removed item, or at the changed
// item named.
struct CommitStop {
  bool deletion = false;
  std::string item;
};

// False at the first failed deletion, write or insert (told in `stop`);
// everything done before it stays done and its marks stay cleared,
// everything after it keeps its marks for the next commit. What `hold`
// names is passed over and keeps its marks.
bool commitChanges(NvDatabase& database, NvUtChanges& ut, const CommitHold* hold = nullptr,
                   CommitStop* stop = nullptr);
// The same for a caller that knows which items can carry a mark: the
// deletions, then `items` in the order given, without a walk of the tree.
bool commitItems(NvDatabase& database, NvUtChanges& ut, std::span<NVItemInfo* const> items,
                 const CommitHold* hold = nullptr, CommitStop* stop = nullptr);

}  // namespace vx::nvdb
