// NV backup files saved from and restored into simulated UTs through the
// connection object: the file format, round trips, a swap into a UT of other
// software, conversions of older files, refusals and a failing UT.
#include <dirent.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "connection_fixture.h"
#include "kmx/sim/ut_commands.h"

namespace vx::connect::testing {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class BackupTest : public ConnectionTest {
 protected:
  void SetUp() override {
    ConnectionTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(connection.As(&file), S_OK);
    dir = sandbox.runtimeDir() + "/files";
    std::error_code error;
    ASSERT_TRUE(std::filesystem::create_directories(dir, error)) << error.message();
    backupPath = dir + "/ut.nv";
    reportPath = dir + "/report.txt";
  }
  void TearDown() override {
    file.Reset();
    ConnectionTest::TearDown();
  }

  // Every leaf of every element the UT holds, by path, as it holds it.
  std::map<std::string, int64_t> utLeaves(kmx::sim::UtSimulator& ut) {
    std::map<std::string, int64_t> leaves;
    const auto catalogue = ut.catalogue();
    for (const std::string& name : catalogue->entryNames()) {
      for (const std::string& path : catalogue->leafPaths(name)) {
        if (auto value = ut.nvValue(path)) leaves[path] = *value;
      }
    }
    return leaves;
  }

  std::string report() { return slurp(reportPath); }

  vx::com::ComPtr<IVexFile> file;
  std::string dir;
  std::string backupPath;
  std::string reportPath;
};

TEST_F(BackupTest, TheFileFormat) {
  sim->withModel([](kmx::sim::UtModel& model) { model.status.set(0x39, {0xC9}); });
  ASSERT_TRUE(sim->setNvValue("NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[0]", 'W'));
  const uint16_t phoneBook = itemNumber("NV_UI_PHONE_BOOK");
  const uint16_t entrySize = itemSize("NV_UI_PHONE_BOOK");
  connect();
  // Elements the UT will not read any more: their sections carry the warning.
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.define(phoneBook, entrySize, 98); });
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  const std::string text = slurp(backupPath);

  EXPECT_EQ(text.substr(0, 10), "VEX\n1\n201\n");
  const std::string nr = std::to_string(utValue("NV_NR_VER_NO_I.T_USHORT"));
  const std::string layout = std::to_string(utValue("NV_VER_NO_I.T_ULONG"));
  EXPECT_EQ(text.substr(10, nr.size() + layout.size() + 2), nr + "\n" + layout + "\n");
  EXPECT_NE(text.find("\n[NV_VER_NO_I]\nT_ULONG " + layout + "\n"), std::string::npos);
  EXPECT_NE(text.find("\n[NV_UI_WARRANTY_DATE_CODE]\nui_nv_warranty_date_code_type.wdc[5].wdc[0] 87\n"),
            std::string::npos);
  // An element held without a value: a bare section.
  EXPECT_NE(text.find("\n[NV_SMS_MSGS_2_0[3]]\n[NV_SMS_MSGS_3_0[0]]\n"), std::string::npos);
  // Items the UT holds none of are left out.
  EXPECT_EQ(text.find("[NV_FACTORY_TEST_WORD_I]"), std::string::npos);
  EXPECT_NE(text.find("\n[NV_UI_PHONE_BOOK[97]]\nui_nv_phone_book_entry_type.hdr.digits_index "), std::string::npos);
  EXPECT_NE(text.find("\n[NV_UI_PHONE_BOOK[98]] WARNING: KMX could not read this item!!!\n[NV_UI_PHONE_BOOK[99]] "
                      "WARNING: KMX could not read this item!!!\n"),
            std::string::npos);
  // Nothing but the file itself is left in its directory.
  EXPECT_EQ(filesIn(dir), std::vector<std::string>{"ut.nv"});

  UI2 nrVersion = 0;
  UI4 fileVersion = 0;
  LPWSTR model = nullptr;
  ASSERT_EQ(file->ReadNVFileInfo(backupPath.c_str(), &nrVersion, &fileVersion, &model), S_OK);
  EXPECT_EQ(take(model), u"201");
  EXPECT_EQ(std::to_string(nrVersion), nr);
  EXPECT_EQ(std::to_string(fileVersion), layout);
  EXPECT_EQ(file->ReadNVFileInfo(backupPath.c_str(), nullptr, &fileVersion, nullptr), E_INVALIDARG);
  EXPECT_EQ(file->ReadNVFileInfo((dir + "/none").c_str(), &nrVersion, &fileVersion, nullptr), E_FAIL);
}

TEST_F(BackupTest, ASavedUtIsRestoredLeafForLeaf) {
  connect();
  const auto saved = utLeaves(*sim);
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);

  // The UT changes after the backup: plain items, list elements, an
  // insertable entry.
  for (const auto& [path, value] :
       {std::pair{"NV_TIME_TILL_SLEEP.T_ULONG", 99}, {"NV_UI_SERVICE_ALERT.ui_on_off_display_type", 4},
        {"NV_UI_SP_TABLE[3].ui_sp_table_entry_type.pos_in_pref_list", 43},
        {"NV_UI_PHONE_BOOK[2].ui_nv_phone_book_entry_type.hdr.digits_index", 9},
        {"NV_SMS_MSGS_1_0.sms_dm_msg_type.sms_msg.user_data_len", 1}}) {
    std::string error;
    ASSERT_TRUE(sim->setNvValue(path, value, &error)) << path << ": " << error;
  }
  ASSERT_NE(utLeaves(*sim), saved);
  // The restore reads the UT afresh, so the connection is made anew.
  ASSERT_EQ(connection->CloseConnection(), S_OK);
  connect();
  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 1), S_OK);

  const auto restored = utLeaves(*sim);
  for (const auto& [path, value] : saved) {
    // Items restore leaves alone: flagged to ignore, or the menu counter.
    if (path.rfind("NV_UI_MENU_COUNTER", 0) == 0 || path.rfind("NV_UI_SP_TABLE_DIRTY", 0) == 0 ||
        path.rfind("NV_RUNTIME_HOOKS_I", 0) == 0) {
      continue;
    }
    const auto found = restored.find(path);
    ASSERT_NE(found, restored.end()) << path;
    EXPECT_EQ(found->second, value) << path;
  }
  const std::string text = report();
  EXPECT_EQ(text.rfind("[Failed Critical Items]\n\n\n[Skipped Items]\n\n", 0), 0u) << text;
  EXPECT_NE(text.find("NV_RUNTIME_HOOKS_I is flagged to ignore.  Not updated.\n"), std::string::npos);
  EXPECT_NE(text.find("\n[Updated Items]\n\n"), std::string::npos);
  EXPECT_NE(text.find("\nNV_TIME_TILL_SLEEP\n"), std::string::npos);
  EXPECT_NE(text.find("\nNV_UI_PHONE_BOOK[99]\n"), std::string::npos);
  // An element the source held without a value is still without one.
  EXPECT_FALSE(sim->nvBytes(itemNumber("NV_SMS_MSGS_2_0"), 3).has_value());
  EXPECT_NE(text.find("NV_SMS_MSGS_2_0[3] had no value in source phone.  Not updated.\n"), std::string::npos);
  UINT changed = 9;
  ASSERT_EQ(params->IsBrowserDirty(&changed), S_OK);
  EXPECT_EQ(changed, 0u);
}

TEST_F(BackupTest, ARestoreWithoutTheUtChangesOnlyTheCache) {
  connect();
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  ASSERT_TRUE(sim->setNvValue("NV_TIME_TILL_SLEEP.T_ULONG", 99));
  ASSERT_EQ(connection->CloseConnection(), S_OK);
  connect();
  const uint32_t writes = sim->framesReceived(kmx::sim::ut_command::kNvWrite);
  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 0), S_OK);
  EXPECT_EQ(sim->framesReceived(kmx::sim::ut_command::kNvWrite), writes);
  EXPECT_EQ(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), 99);
  EXPECT_NE(read("NV_TIME_TILL_SLEEP.T_ULONG").value, 99u);
  EXPECT_GT(dirty(), 0u);
  // The cache commits like any other change.
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_NE(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), 99);
}

TEST_F(BackupTest, FilesThatCannotBeRestoredChangeNothing) {
  connect();
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  const std::string good = slurp(backupPath);
  const uint32_t writes = sim->framesReceived(kmx::sim::ut_command::kNvWrite);
  const std::string other = dir + "/other.nv";

  std::string otherModel = good;
  otherModel.replace(6, 3, "205");
  spit(other, otherModel);
  EXPECT_EQ(file->ReadNVFromFile(other.c_str(), reportPath.c_str(), 1), VEX_E_OTHER_MODEL);

  for (const std::string& broken :
       {good + "[NV_SCM_I\n", good + "T_UCHAR\n", good + "T_UCHAR lots\n", good.substr(0, good.size() - 3),
        good + std::string(1200, 'x') + " 1\n", std::string("VEX\n1\n201\n"), std::string("NOT A BACKUP\n")}) {
    spit(other, broken);
    EXPECT_EQ(file->ReadNVFromFile(other.c_str(), reportPath.c_str(), 1), E_FAIL);
  }
  EXPECT_EQ(sim->framesReceived(kmx::sim::ut_command::kNvWrite), writes);
  EXPECT_EQ(dirty(), 0u);
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"other.nv", "ut.nv"}));
  // The user's file is read, never changed.
  EXPECT_EQ(slurp(backupPath), good);
  EXPECT_EQ(file->WriteNVToFile(nullptr), E_INVALIDARG);
  EXPECT_EQ(file->ReadNVFromFile(backupPath.c_str(), nullptr, 1), E_INVALIDARG);
  EXPECT_EQ(file->WriteNVToFile((dir + "/no/such/dir.nv").c_str()), E_FAIL);
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"other.nv", "ut.nv"}));
}

TEST_F(BackupTest, ASwapIntoAUtOfOtherSoftware) {
  // The source holds two messages in box 3, the target four.
  const uint16_t box3 = itemNumber("NV_SMS_MSGS_3_0");
  const uint16_t boxSize = itemSize("NV_SMS_MSGS_3_0");
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.define(box3, boxSize, 2); });
  ASSERT_TRUE(sim->setNvValue("NV_SMS_MSGS_3_0[1].sms_dm_msg_type.sms_msg.msg_id", 77));
  connect();
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  ASSERT_EQ(connection->CloseConnection(), S_OK);

  kmx::sim::SimulatorOptions options;
  options.portName = "UT2";
  options.catalogue.unicodePhoneBookNames = true;  // changes the critical display copy
  options.catalogue.nameArrayLength = 33;          // changes the service provider table
  kmx::sim::UtSimulator target(options);
  ASSERT_TRUE(target.start()) << target.lastError();
  ASSERT_TRUE(target.setNvValue("NV_SMS_MSGS_3_0[3].sms_dm_msg_type.sms_msg.msg_id", 5));
  ASSERT_TRUE(target.setNvValue("NV_UI_PHONE_BOOK[4].ui_nv_phone_book_entry_type.hdr.digits_index", 6));
  ASSERT_EQ(connection->SetComPortName("UT2"), S_OK);
  connect();
  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 1), S_OK);
  const std::string text = report();

  const std::size_t skipped = text.find("\n[Skipped Items]\n");
  const std::size_t updated = text.find("\n[Updated Items]\n");
  ASSERT_NE(updated, std::string::npos);
  const std::string failedPart = text.substr(0, skipped);
  const std::string skippedPart = text.substr(skipped, updated - skipped);
  EXPECT_NE(failedPart.find("NV_UI_DIRECTORY_NUMBER_I[0] has changed format AND is critical.  Not updated.\n"),
            std::string::npos) << text;
  EXPECT_NE(skippedPart.find("NV_UI_SP_TABLE[0] has changed but is not critical.  Not updated.\n"), std::string::npos);
  EXPECT_NE(skippedPart.find("NV_UI_PHONE_BOOK has changed but is not critical.  Not updated.\n"), std::string::npos);
  // The list of other dimension: the target now holds the source's two.
  EXPECT_EQ(target.nvValue("NV_SMS_MSGS_3_0[1].sms_dm_msg_type.sms_msg.msg_id").value_or(-1), 77);
  EXPECT_FALSE(target.nvBytes(box3, 3).has_value());
  EXPECT_FALSE(target.nvBytes(box3, 2).has_value());
  // A phone book that could not be converted stays as it was.
  EXPECT_EQ(target.nvValue("NV_UI_PHONE_BOOK[4].ui_nv_phone_book_entry_type.hdr.digits_index").value_or(-1), 6);
  EXPECT_EQ(target.nvValue("NV_TIME_TILL_SLEEP.T_ULONG"), sim->nvValue("NV_TIME_TILL_SLEEP.T_ULONG"));
}

TEST_F(BackupTest, OlderFilesAreConvertedForTheUt) {
  // A file of older software: the directory number and NAM name only, and
  // SMS messages of the older layout.
  std::string old = "VEX\n1\n201\n1\n1\n";
  for (int n = 0; n < 3; ++n) {
    old += "[NV_UI_DIR_NUMBER_I[" + std::to_string(n) + "]]\n";
    for (int k = 0; k < 10; ++k) {
      old += "ui_nv_dir_number_type.dir_number[10].dir_number[" + std::to_string(k) + "] " +
             std::to_string(k < 4 + n ? '1' + k : 0) + "\n";
    }
    old += "[NV_UI_NAM_NAME_I[" + std::to_string(n) + "]]\n";
    for (int k = 0; k < 12; ++k) {
      old += "ui_nv_name_nam_type.name[12].name[" + std::to_string(k) + "] " + std::to_string(k < 3 ? 'A' + n : ' ') + "\n";
    }
  }
  old += "[NV_SMS_MSGS_1_0]\n";
  for (const char* leaf : {"msg_id 3", "teleservice 4", "priority 1", "num_addr_digits 0"}) old += std::string("smsi_msg_type.") + leaf + "\n";
  for (int k = 0; k < 20; ++k) old += "smsi_msg_type.address[20].address[" + std::to_string(k) + "] 0\n";
  for (int k = 0; k < 6; ++k) old += "smsi_msg_type.time_stamp[6].time_stamp[" + std::to_string(k) + "] 0\n";
  old += "smsi_msg_type.user_data_len 2\n";
  for (int k = 0; k < 80; ++k) old += "smsi_msg_type.user_data[80].user_data[" + std::to_string(k) + "] " + std::to_string(k < 2 ? 'O' + k : 0) + "\n";
  spit(backupPath, old);
  connect();
  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 1), S_OK);
  EXPECT_EQ(slurp(backupPath), old);

  const std::string copy = "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.";
  EXPECT_EQ(utValue(copy + "hdr.digits_index"), 5);
  EXPECT_EQ(utValue(copy + "nibble[16].nibble[0]"), 0x12);
  EXPECT_EQ(utValue(copy + "nibble[16].nibble[2]"), 0x50);
  EXPECT_EQ(utValue(copy + "alpha[12].alpha[0]"), 'B');
  EXPECT_EQ(utValue(copy + "hdr.flags.alpha_valid"), 1);
  const std::string box = "NV_SMS_MSGS_1_0.sms_dm_msg_type.";
  EXPECT_EQ(utValue(box + "sms_msg.msg_id"), 3);
  EXPECT_EQ(utValue(box + "sms_msg.user_data_len"), 2);
  EXPECT_EQ(utValue(box + "sms_msg.user_data[80].user_data[1]"), 'P');
  EXPECT_EQ(utValue(box + "nv_msg_hdr.sms_seq_num"), 1);
  EXPECT_NE(report().find("\nNV_UI_DIRECTORY_NUMBER_I[2]\n"), std::string::npos);
}

TEST_F(BackupTest, AUtThatRefusesAWriteMidwayIsReportedAndTheRestGoesOn) {
  connect();
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  ASSERT_TRUE(sim->setNvValue("NV_TIME_TILL_SLEEP.T_ULONG", 99));
  ASSERT_TRUE(sim->setNvValue("NV_UI_SERVICE_ALERT.ui_on_off_display_type", 4));
  // The UT no longer takes a whole value of one item.
  const uint16_t deepSleep = itemNumber("NV_DEEP_SLEEP_DURATION");
  sim->withModel([&](kmx::sim::UtModel& model) { model.nv.define(deepSleep, 2, 1); });
  ASSERT_EQ(connection->CloseConnection(), S_OK);
  connect();
  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 1), S_OK);
  const std::string text = report();
  EXPECT_NE(text.find("NV_DEEP_SLEEP_DURATION is not critical but failed writing to the phone.  Not updated.\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), static_cast<int64_t>(read("NV_TIME_TILL_SLEEP.T_ULONG").value));
  EXPECT_NE(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), 99);
  EXPECT_EQ(utValue("NV_UI_SERVICE_ALERT.ui_on_off_display_type"), 5);
}

TEST_F(BackupTest, ARefusedRestoreLeavesTheCacheTrueAndNoValueWrapped) {
  connect();
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  std::string text = slurp(backupPath);
  auto replaceLine = [&](const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replaceLine("[NV_SCM_I]\nT_UCHAR 42\n", "[NV_SCM_I]\nT_UCHAR 300\n");
  replaceLine("[NV_SLOT_CYCLE_INDEX_I]\nT_UCHAR 2\n", "[NV_SLOT_CYCLE_INDEX_I]\nT_UCHAR -1\n");
  spit(backupPath, text);
  ASSERT_TRUE(sim->setNvValue("NV_TIME_TILL_SLEEP.T_ULONG", 99));
  ASSERT_EQ(connection->CloseConnection(), S_OK);
  connect();

  // A change staged before the restore, and a UT that takes no write.
  ASSERT_EQ(write("NV_UI_NUM_ALLCALLS.T_ULONG", 12345), S_OK);
  sim->rejectCommand(kmx::sim::ut_command::kNvWrite, 3, "write protected");
  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 1), S_OK);
  const std::string lines = report();
  EXPECT_NE(lines.find("NV_SCM_I has a value outside its type (T_UCHAR 300, not 0..255).  Not updated.\n"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("NV_SLOT_CYCLE_INDEX_I has a value outside its type (T_UCHAR -1, not 0..255)"),
            std::string::npos);
  EXPECT_NE(lines.find("NV_TIME_TILL_SLEEP is not critical but failed writing to the phone."), std::string::npos);
  // The cache holds what the UT holds, or what is still to be written.
  EXPECT_EQ(read("NV_TIME_TILL_SLEEP.T_ULONG").value, 99u);
  EXPECT_EQ(read("NV_SCM_I.T_UCHAR").value, 42u);
  EXPECT_EQ(read("NV_UI_NUM_ALLCALLS.T_ULONG").value, 12345u);
  EXPECT_EQ(dirty(), 1u) << "the staged change still waits";

  sim->clearRejection(kmx::sim::ut_command::kNvWrite);
  ASSERT_EQ(params->CommitChanges(), S_OK);
  EXPECT_EQ(utValue("NV_UI_NUM_ALLCALLS.T_ULONG"), 12345);
  EXPECT_EQ(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), 99);
  EXPECT_EQ(utValue("NV_SCM_I.T_UCHAR"), 42);
  EXPECT_EQ(utValue("NV_SLOT_CYCLE_INDEX_I.T_UCHAR"), 2);
}

// The flags field holds one value: 6 carries both the critical and the
// ignored bit and is neither, nor is 1.
TEST_F(BackupTest, FlagsThatAreNeitherFourNorTwoMakeAnItemNeitherCriticalNorIgnored) {
  kmx::sim::CatalogueVariant variant;
  variant.itemFlags = {{"NV_TIME_TILL_SLEEP", 6}, {"NV_SCM_I", 6}, {"NV_SLOT_CYCLE_INDEX_I", 1}};
  ASSERT_TRUE(sim->setCatalogue(variant)) << sim->lastError();
  const int64_t sleep = utValue("NV_TIME_TILL_SLEEP.T_ULONG");
  connect();
  ASSERT_EQ(file->WriteNVToFile(backupPath.c_str()), S_OK);
  std::string text = slurp(backupPath);
  const std::string scm = "[NV_SCM_I]\nT_UCHAR 42\n";
  const std::size_t at = text.find(scm);
  ASSERT_NE(at, std::string::npos) << text;
  text.replace(at, scm.size(), "[NV_SCM_I]\nT_USHORT 42\n");
  spit(backupPath, text);
  ASSERT_TRUE(sim->setNvValue("NV_TIME_TILL_SLEEP.T_ULONG", sleep + 1));
  ASSERT_TRUE(sim->setNvValue("NV_SLOT_CYCLE_INDEX_I.T_UCHAR", 7));
  ASSERT_TRUE(sim->setNvValue("NV_SCM_I.T_UCHAR", 43));
  ASSERT_EQ(connection->CloseConnection(), S_OK);
  connect();

  ASSERT_EQ(file->ReadNVFromFile(backupPath.c_str(), reportPath.c_str(), 1), S_OK);
  const std::string lines = report();
  const std::size_t skipped = lines.find("[Skipped Items]\n");
  const std::size_t updated = lines.find("[Updated Items]\n");
  const std::size_t changed = lines.find("\nNV_SCM_I has changed but is not critical.  Not updated.\n");
  EXPECT_TRUE(skipped < changed && changed < updated) << lines;
  EXPECT_EQ(lines.find("NV_SCM_I has changed format AND is critical"), std::string::npos) << lines;
  EXPECT_NE(lines.find("\nNV_TIME_TILL_SLEEP\n", updated), std::string::npos) << lines;
  EXPECT_NE(lines.find("\nNV_SLOT_CYCLE_INDEX_I\n", updated), std::string::npos) << lines;
  EXPECT_EQ(utValue("NV_TIME_TILL_SLEEP.T_ULONG"), sleep);
  EXPECT_EQ(utValue("NV_SLOT_CYCLE_INDEX_I.T_UCHAR"), 2);
  EXPECT_EQ(utValue("NV_SCM_I.T_UCHAR"), 43) << "the UT keeps what it holds";
}

}  // namespace
}  // namespace vx::connect::testing
