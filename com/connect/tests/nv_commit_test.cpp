// The commit of the item tree: which UT call each changed or removed item
// gets, in which order, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nv_commit.h"

namespace vx::nvdb {
namespace {

// Records the calls; fails the call numbered `failAt` (counting from 1).
class RecordingUt : public NvUtChanges {
 public:
  bool writeItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) override {
    return record("write " + std::to_string(item) + "/" + std::to_string(index) + " " + hex(value));
  }
  bool insertItem(uint32_t item, uint32_t index, std::span<const uint8_t> value) override {
    return record("insert " + std::to_string(item) + "/" + std::to_string(index) + " " + hex(value));
  }
  bool deleteItem(uint32_t item, uint32_t index) override {
    return record("delete " + std::to_string(item) + "/" + std::to_string(index));
  }

  std::vector<std::string> calls;
  std::size_t failAt = 0;

 private:
  static std::string hex(std::span<const uint8_t> value) {
    std::string text;
    for (uint8_t byte : value) text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
    return text;
  }
  bool record(std::string call) {
    calls.push_back(std::move(call));
    return calls.size() != failAt;
  }
};

NVItemInfo item(const std::string& name, uint32_t number, int32_t presence, std::vector<uint8_t> value,
                int32_t index = 0, uint32_t count = 1) {
  NVItemInfo info;
  info.name = name;
  info.itemNumber = number;
  info.presence = presence;
  info.elementIndex = index;
  info.instanceCount = count;
  info.value = std::move(value);
  info.expanded = true;
  info.changed = true;
  return info;
}

TEST(NvCommitTest, EachChangedItemGetsTheCallItsPresenceAndFlagsAsk) {
  std::vector<NVItemInfo> items;
  items.push_back(item("PLAIN", 1, 0, {1, 2}));
  items.push_back(item("UNCHANGED", 2, 0, {3}));
  items.back().changed = false;
  items.push_back(item("EMPTIED", 3, 0, {0, 0}, 2, 4));
  items.back().deleteWhenEmpty = true;
  items.push_back(item("NOT_EMPTY", 4, 0, {0, 9}, 1, 4));
  items.back().deleteWhenEmpty = true;
  items.push_back(item("PRESENT", 5, 1, {7}));
  items.push_back(item("NOT_HELD", 6, 1, {7}, -1, 0));
  items.push_back(item("NEW", 7, 1, {8}, 3, 5));
  items.back().isNew = true;
  items.push_back(item("NEW_NOT_HELD", 8, 1, {8}, -1, 0));
  items.back().isNew = true;
  items.push_back(item(kNeverWrittenItem, 9, 0, {1, 0, 0, 0}));
  NvDatabase database(SymbolTable{}, std::move(items));
  RecordingUt ut;

  ASSERT_TRUE(commitChanges(database, ut));
  EXPECT_EQ(ut.calls, (std::vector<std::string>{"write 1/0 0102", "delete 3/2", "write 4/1 0009", "write 5/0 07",
                                                "insert 7/3 08"}));
  EXPECT_FALSE(database.findItem("NEW")->isNew);
  EXPECT_TRUE(database.findItem("NEW_NOT_HELD")->isNew);
  // Every mark is cleared, the never-written item's too: nothing is left
  // that a later commit would write.
  EXPECT_EQ(database.changedItemCount(), 0u);
}

TEST(NvCommitTest, RemovedItemsAreDeletedFirstAndOnlyOnce) {
  std::vector<NVItemInfo> items;
  items.push_back(item("A[0]", 4, 0, {1}, 0, 3));
  items.push_back(item("A[1]", 4, 0, {1}, 1, 3));
  items.push_back(item("A[1]copy", 4, 0, {1}, 1, 3));
  items.push_back(item("GONE", 5, 0, {1}, -1, 0));
  items.push_back(item("KEPT", 6, 0, {6}));
  NvDatabase database(SymbolTable{}, std::move(items));
  database.removeItem(1);  // A[1]
  database.removeItem(2);  // A[1]copy: the same element again
  database.removeItem(3);  // GONE: the UT holds none
  database.removeItem(3);  // a hole already: nothing more goes
  ASSERT_EQ(database.removedItems().size(), 3u);
  EXPECT_TRUE(database.removedItems()[1].removedTwice);
  EXPECT_EQ(database.findItem("GONE"), nullptr);
  // The others keep their places until the holes are dropped.
  EXPECT_EQ(database.findItem("KEPT"), &database.items()[4]);
  RecordingUt ut;

  ASSERT_TRUE(commitChanges(database, ut));
  EXPECT_EQ(ut.calls, (std::vector<std::string>{"delete 4/1", "write 4/0 01", "write 6/0 06"}));
  EXPECT_TRUE(database.removedItems().empty());
  database.compact();
  ASSERT_EQ(database.items().size(), 2u);
  EXPECT_EQ(database.findItem("KEPT"), &database.items()[1]);
}

TEST(NvCommitTest, AFailedWriteStopsTheCommitAndKeepsWhatWasWritten) {
  std::vector<NVItemInfo> items;
  items.push_back(item("FIRST", 1, 0, {1}));
  items.push_back(item("SECOND", 2, 0, {2}));
  items.push_back(item("THIRD", 3, 0, {3}));
  NvDatabase database(SymbolTable{}, std::move(items));
  RecordingUt ut;
  ut.failAt = 2;

  EXPECT_FALSE(commitChanges(database, ut));
  EXPECT_EQ(ut.calls, (std::vector<std::string>{"write 1/0 01", "write 2/0 02"}));
  EXPECT_FALSE(database.findItem("FIRST")->changed);
  EXPECT_TRUE(database.findItem("SECOND")->changed);
  EXPECT_TRUE(database.findItem("THIRD")->changed);
  EXPECT_EQ(database.changedItemCount(), 2u);

  // The next commit takes up what is left.
  ut.calls.clear();
  ut.failAt = 0;
  ASSERT_TRUE(commitChanges(database, ut));
  EXPECT_EQ(ut.calls, (std::vector<std::string>{"write 2/0 02", "write 3/0 03"}));
}

TEST(NvCommitTest, AFailedDeletionStopsBeforeAnyWrite) {
  std::vector<NVItemInfo> items;
  items.push_back(item("LIST[0]", 1, 0, {1}, 0, 2));
  items.push_back(item("OTHER", 2, 0, {2}));
  NvDatabase database(SymbolTable{}, std::move(items));
  database.removeItem(0);
  RecordingUt ut;
  ut.failAt = 1;

  EXPECT_FALSE(commitChanges(database, ut));
  EXPECT_EQ(ut.calls, (std::vector<std::string>{"delete 1/0"}));
  EXPECT_EQ(database.removedItems().size(), 1u);
  EXPECT_TRUE(database.findItem("OTHER")->changed);
}

}  // namespace
}  // namespace vx::nvdb
