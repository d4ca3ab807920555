// Loading the database from a UT answered from memory: the steps, the item
// list rules, gzip run as a program, the messages and the scratch files.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "decompressor.h"
#include "kmx/testing/runtime_sandbox.h"
#include "memory_ut.h"
#include "nv_loader.h"

namespace vx::nvdb {
namespace {

using testing::gzipped;
using testing::MemoryUt;

constexpr uint32_t kNamesAddress = 0x00500000;
constexpr uint32_t kDescriptorsAddress = 0x00600000;

std::string symbolText(std::size_t namesSize, std::size_t descriptorsSize) {
  return "1 T_ULONG:4\n"
         "2 T_CHAR:1\n"
         "3 date_type:5:s{wdc,[5]2,0}\n"
         "NVitems_item_name_table:[" + std::to_string(namesSize) + "]2:500000\n"
         "NVitems_desc_table:[" + std::to_string(descriptorsSize) + "]2:600000\n";
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Scratch files go to a directory of the test's own, checked empty after.
    mkdir(sandbox_.runtimeDir().c_str(), 0700);
    tmp_ = sandbox_.runtimeDir() + "/tmp";
    ASSERT_EQ(mkdir(tmp_.c_str(), 0700), 0);
    setenv("TMPDIR", tmp_.c_str(), 1);
    options.messages = [this](const NvMessage& message) { messages.push_back(message); };
  }
  void TearDown() override {
    EXPECT_EQ(tmpEntries(), std::vector<std::string>{}) << "scratch files left behind";
    unsetenv("TMPDIR");
  }

  void serve(const std::string& names, const std::string& descriptors) {
    ut.setSymbolInformation(gzipped(symbolText(names.size(), descriptors.size())));
    ut.place(kNamesAddress, names);
    ut.place(kDescriptorsAddress, descriptors);
  }

  std::vector<std::string> tmpEntries() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(tmp_.c_str())) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(dir);
    }
    return names;
  }

  // A stand-in for gzip: a shell script in the test's directory.
  std::string fakeDecompressor(const std::string& body) {
    const std::string path = sandbox_.runtimeDir() + "/fake-gzip";
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0700);
    return path;
  }

  std::vector<NvMessageId> messageIds() const {
    std::vector<NvMessageId> ids;
    for (const NvMessage& message : messages) ids.push_back(message.id);
    return ids;
  }

  kmx::testing::RuntimeSandbox sandbox_;
  std::string tmp_;
  MemoryUt ut;
  LoadOptions options;
  std::vector<NvMessage> messages;
};

TEST_F(LoaderTest, BuildsOneEntryPerElementByPresenceAndCount) {
  serve("NV_VER_NO_I,NV_LIST_I,NV_SINGLE_I,NV_ABSENT_I,NV_HIDDEN_I,NV_SHORT_I,",
        "Version,T_ULONG,1,0,List,date_type,1,4,Single,T_ULONG,0,2,Absent,T_ULONG,1,0,"
        "Hidden,T_ULONG,0,0,Short,T_ULONG,1");
  ut.setDimension(1, 3);
  ut.setDimension(2, 1);
  ut.setDimension(3, 0);  // held 0 times, presence 1: listed once
  ut.setDimension(4, 0);  // held 0 times, presence 0: not listed
  std::vector<LoadProgress> progress;
  options.progress = [&](const LoadProgress& step) { progress.push_back(step); };

  const auto database = loadNvDatabase(ut, options);
  ASSERT_NE(database, nullptr);
  EXPECT_TRUE(messages.empty());

  std::vector<std::string> names;
  for (const NVItemInfo& item : database->items()) names.push_back(item.name);
  EXPECT_EQ(names, (std::vector<std::string>{"NV_VER_NO_I", "NV_LIST_I[0]", "NV_LIST_I[1]",
                                             "NV_LIST_I[2]", "NV_SINGLE_I", "NV_ABSENT_I"}))
      << "NV_SHORT_I lacks its flags field";

  const NVItemInfo* list = database->findItem("NV_LIST_I[2]");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->descriptor, "List[2]");
  EXPECT_EQ(list->typeName, "date_type");
  EXPECT_EQ(list->itemNumber, 1u);
  EXPECT_EQ(list->elementIndex, 2);
  EXPECT_EQ(list->instanceCount, 3u);
  EXPECT_EQ(list->flags, kItemFlagCritical);
  EXPECT_FALSE(list->expanded);

  const NVItemInfo* single = database->findItem("NV_SINGLE_I");
  EXPECT_EQ(single->itemNumber, 2u);
  EXPECT_EQ(single->descriptor, "Single");
  EXPECT_EQ(single->flags, kItemFlagIgnoredByRestore);
  const NVItemInfo* absent = database->findItem("NV_ABSENT_I");
  EXPECT_EQ(absent->elementIndex, -1);
  EXPECT_EQ(absent->instanceCount, 0u);

  // Three stages in order, each counting up to one fixed total: the two
  // item tables are one stage, not two bars that start over.
  ASSERT_FALSE(progress.empty());
  std::vector<LoadProgress::Stage> stages;
  for (std::size_t i = 0; i < progress.size(); ++i) {
    const LoadProgress& now = progress[i];
    if (stages.empty() || stages.back() != now.stage) {
      if (i > 0) {
        EXPECT_EQ(progress[i - 1].done, progress[i - 1].total) << "a stage ends complete";
      }
      stages.push_back(now.stage);
    } else {
      EXPECT_GT(now.done, progress[i - 1].done);
      EXPECT_EQ(now.total, progress[i - 1].total);
    }
  }
  EXPECT_EQ(stages, (std::vector<LoadProgress::Stage>{LoadProgress::Stage::SymbolInformation,
                                                       LoadProgress::Stage::ItemTables,
                                                       LoadProgress::Stage::ItemDimensions}));
  EXPECT_EQ(progress.back().done, progress.back().total);
}

TEST_F(LoaderTest, ASymbolInformationSizeOfZeroFailsWithoutReadingMemory) {
  serve("NV_A", "A,T_ULONG,1,0");
  ut.setSymbolInformationSize(0);
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  EXPECT_EQ(ut.memoryReads, 0u);
  EXPECT_EQ(messageIds(), std::vector<NvMessageId>{NvMessageId::SymbolInformationUnreadable});
}

TEST_F(LoaderTest, AMissingDecompressorIsNamedInTheMessage) {
  serve("NV_A", "A,T_ULONG,1,0");
  options.decompressor = sandbox_.runtimeDir() + "/no-such-gzip";
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  ASSERT_EQ(messageIds(), (std::vector<NvMessageId>{NvMessageId::DecompressorNotFound,
                                                    NvMessageId::SymbolInformationUnreadable}));
  EXPECT_EQ(englishText(messages[0]), "Could not find " + options.decompressor +
                                          " to decompress the symbol information retrieved from the phone.");
}

TEST_F(LoaderTest, GzipOnThePathIsFoundWhenNoneIsBesideTheProgram) {
  serve("NV_A", "A,T_ULONG,1,0");
  const char* saved = std::getenv("PATH");
  const std::string path = saved == nullptr ? "" : saved;
  setenv("PATH", (sandbox_.runtimeDir() + ":" + path).c_str(), 1);
  EXPECT_EQ(locateDecompressor().rfind("/gzip"), locateDecompressor().size() - 5);
  setenv("PATH", sandbox_.runtimeDir().c_str(), 1);  // holds no gzip
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(messageIds().front(), NvMessageId::DecompressorNotFound);
}

TEST_F(LoaderTest, AFailingDecompressorOrACorruptStreamCannotBeOpened) {
  serve("NV_A", "A,T_ULONG,1,0");
  options.decompressor = fakeDecompressor("exit 1");
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  ASSERT_EQ(messageIds(), (std::vector<NvMessageId>{NvMessageId::CouldNotOpenFile,
                                                    NvMessageId::SymbolInformationUnreadable}));
  EXPECT_EQ(englishText(messages[0]).rfind("Could not open file:  ", 0), 0u);

  messages.clear();
  options.decompressor.clear();
  std::vector<uint8_t> corrupt = gzipped(symbolText(4, 13));
  corrupt[corrupt.size() / 2] ^= 0x55;
  corrupt.resize(corrupt.size() - 6);
  ut.setSymbolInformation(corrupt);
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  EXPECT_EQ(messageIds(), (std::vector<NvMessageId>{NvMessageId::CouldNotOpenFile,
                                                    NvMessageId::SymbolInformationUnreadable}));
}

TEST_F(LoaderTest, ADecompressorThatHangsIsStoppedAtTheTimeLimit) {
  serve("NV_A", "A,T_ULONG,1,0");
  // Writes part of an output, then hangs: the part must not be parsed.
  options.decompressor = fakeDecompressor("printf '1 T_ULONG:4\\n' > \"${3%.gz}\"; exec sleep 30");
  options.decompressTimeoutMs = 300;
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  EXPECT_EQ(messageIds().front(), NvMessageId::CouldNotOpenFile);
}

TEST_F(LoaderTest, AParseErrorReportsItsRecordIndex) {
  ut.setSymbolInformation(gzipped("1 T_ULONG:4\nfile.c\n2 odd:4:x{}\n"));
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  ASSERT_EQ(messageIds(), (std::vector<NvMessageId>{NvMessageId::ParseError,
                                                    NvMessageId::SymbolInformationUnreadable}));
  EXPECT_EQ(englishText(messages[0]),
            "There was an error parsing type information.  The zero-based record index is: 2");
}

TEST_F(LoaderTest, EveryOtherStepFailsTheLoadWithItsGeneralMessage) {
  // No item tables in the symbol information.
  ut.setSymbolInformation(gzipped("1 T_ULONG:4\n"));
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  // A table the UT's memory does not hold.
  ut.setSymbolInformation(gzipped(symbolText(4, 4)));
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  // A failed list dimension.
  serve("NV_A", "A,T_ULONG,1,0");
  ut.failDimensionOf(0);
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  EXPECT_EQ(messageIds(), std::vector<NvMessageId>(3, NvMessageId::SymbolInformationUnreadable));

  messages.clear();
  options.messagesEnabled = false;
  EXPECT_EQ(loadNvDatabase(ut, options), nullptr);
  EXPECT_TRUE(messages.empty());
}

TEST_F(LoaderTest, TablesWithoutTheirEndingNulAreReadSafely) {
  // The table symbols cover exactly the text, so the UT sends no NUL.
  serve("NV_A,NV_B", "A,T_ULONG,1,0,B,date_type,1,0");
  const auto database = loadNvDatabase(ut, options);
  ASSERT_NE(database, nullptr);
  ASSERT_EQ(database->items().size(), 2u);
  EXPECT_EQ(database->items()[1].flags, 0);
  ut.setValue(1, 0, {1, 2, 3, 4, 5});
  const auto ref = database->resolve("NV_B.date_type.wdc[5].wdc[4]", ut);
  ASSERT_TRUE(ref.has_value());
  EXPECT_EQ(ref->item->value[ref->subtreeNode()->data.offset], 5);
}

}  // namespace
}  // namespace vx::nvdb
