// Dialled numbers: phone-book entries and their digit code, emergency
// numbers, the last dialled number and the directory number, on the UT
// software variants that lay them out differently.
#include <cstring>

#include "ut_config_fixture.h"

namespace vx::utconfig::testing {
namespace {

std::string entryPath(int i, const std::string& leaf) {
  return "NV_UI_PHONE_BOOK[" + std::to_string(i) + "].ui_nv_phone_book_entry_type." + leaf;
}
std::string nibble(int i, int j) { return entryPath(i, "nibble[16].nibble[" + std::to_string(j) + "]"); }

std::string digitsOf(const uint8_t (&digits)[32]) { return std::string(reinterpret_cast<const char*>(digits), 32); }

TEST_F(UTConfigTest, PhoneBookDigitsArePackedTwoAByte) {
  connect();
  phonebook_entry_type entry{};
  entry.valid = 1;
  entry.digits_index = 4;
  std::memset(entry.digits, ' ', sizeof entry.digits);
  std::memcpy(entry.digits, "12*#", 4);
  std::memcpy(entry.alpha, "HOME        ", 12);
  ASSERT_EQ(ui->PhoneBookEntry(SET_PARAM, 5, &entry), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue(nibble(5, 0)), 0x12);
  EXPECT_EQ(utValue(nibble(5, 1)), 0xBC);
  for (int j = 2; j < 16; ++j) EXPECT_EQ(utValue(nibble(5, j)), 0) << j;
  EXPECT_EQ(utValue(entryPath(5, "hdr.flags.alpha_valid")), 1);
  EXPECT_EQ(utValue(entryPath(5, "alpha[12].alpha[3]")), 'E');

  phonebook_entry_type back{};
  ASSERT_EQ(ui->PhoneBookEntry(GET_PARAM, 5, &back), S_OK);
  EXPECT_EQ(back.allocated, 1);
  EXPECT_EQ(back.valid, 1);
  EXPECT_EQ(back.digits_index, 4);
  EXPECT_EQ(back.pb_position, 5);
  EXPECT_EQ(digitsOf(back.digits), "12*#" + std::string(28, ' '));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back.alpha), 12), "HOME        ");
}

TEST_F(UTConfigTest, PhoneBookOddDigitCountsAndUnreasonableCounts) {
  setUtValue(entryPath(3, "hdr.digits_index"), 3);
  setUtValue(entryPath(3, "hdr.flags.valid"), 1);
  setUtValue(nibble(3, 0), 0x98);
  setUtValue(nibble(3, 1), 0x7F);
  setUtValue(entryPath(4, "hdr.digits_index"), 200);  // more than the 32 digits an entry holds
  setUtValue(nibble(4, 15), 0x45);
  connect();
  phonebook_entry_type entry{};
  ASSERT_EQ(ui->PhoneBookEntry(GET_PARAM, 3, &entry), S_OK);
  EXPECT_EQ(entry.digits_index, 3);
  EXPECT_EQ(digitsOf(entry.digits), "987" + std::string(29, ' '));
  ASSERT_EQ(ui->PhoneBookEntry(GET_PARAM, 4, &entry), S_OK);
  EXPECT_EQ(entry.digits_index, 32);
  EXPECT_EQ(entry.digits[30], '4');
  EXPECT_EQ(entry.digits[31], '5');

  entry.digits_index = 33;  // a set refuses a count the entry cannot hold
  EXPECT_EQ(ui->PhoneBookEntry(SET_PARAM, 4, &entry), E_INVALIDARG);
}

TEST_F(UTConfigTest, AnUnallocatedPhoneBookEntryReadsAsZeros) {
  deactivate("NV_UI_PHONE_BOOK", 7);
  connect();
  phonebook_entry_type entry;
  std::memset(&entry, 0x5A, sizeof entry);
  ASSERT_EQ(ui->PhoneBookEntry(GET_PARAM, 7, &entry), S_OK);
  const phonebook_entry_type zero{};
  EXPECT_EQ(std::memcmp(&entry, &zero, sizeof entry), 0);
  phonebook_entry_type held{};
  ASSERT_EQ(ui->PhoneBookEntry(GET_PARAM, 2, &held), S_OK);
  EXPECT_EQ(held.allocated, 1);
  EXPECT_EQ(held.secret, 1);
  EXPECT_EQ(held.alpha[0], 0);
}

TEST_F(UTConfigTest, EightBitUtNamesThroughAlpha) {
  connect();
  int32_t flag = 9;
  ASSERT_EQ(ui->IsPhoneUnicode(&flag), S_OK);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(ui->IsValidPB(&flag), S_OK);
  EXPECT_EQ(flag, 1);
  phonebook_entry_unicode_type entry{};
  ASSERT_EQ(ui->PhoneBookEntryUnicode(GET_PARAM, 1, &entry), S_OK);
  EXPECT_EQ(entry.unicode_alpha[0], 'O');
  EXPECT_EQ(entry.unicode_alpha[5], 'E');
  EXPECT_EQ(entry.digits_index, 7);
  EXPECT_EQ(digitsOf(entry.digits).substr(0, 8), "5551234 ");
}

class UnicodeUtTest : public UTConfigTest {
 protected:
  kmx::sim::CatalogueVariant variant() const override {
    kmx::sim::CatalogueVariant unicode;
    unicode.unicodePhoneBookNames = true;
    return unicode;
  }
};

TEST_F(UnicodeUtTest, UnicodeUtNamesThroughUnicodeAlpha) {
  connect();
  int32_t flag = 9;
  ASSERT_EQ(ui->IsPhoneUnicode(&flag), S_OK);
  EXPECT_EQ(flag, 1);
  phonebook_entry_unicode_type entry{};
  ASSERT_EQ(ui->PhoneBookEntryUnicode(GET_PARAM, 1, &entry), S_OK);
  EXPECT_EQ(entry.unicode_alpha[1], 'F');
  phonebook_entry_type narrow{};
  EXPECT_TRUE(FAILED(ui->PhoneBookEntry(GET_PARAM, 1, &narrow)));  // the UT has no 8-bit names

  entry.unicode_alpha[0] = 0x03A9;  // Greek capital omega
  entry.valid = 1;
  ASSERT_EQ(ui->PhoneBookEntryUnicode(SET_PARAM, 9, &entry), S_OK);
  last_dialed_digits_unicode_type last{};
  ASSERT_EQ(ui->LastCallDialedDigitsUnicode(GET_PARAM, &last), S_OK);
  EXPECT_EQ(last.unicode_alpha[0], 'O');
  last.unicode_alpha[0] = 0x0416;
  ASSERT_EQ(ui->LastCallDialedDigitsUnicode(SET_PARAM, &last), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue(entryPath(9, "unicode_alpha[12].unicode_alpha[0]")), 0x03A9);
  EXPECT_EQ(utValue(entryPath(9, "hdr.flags.alpha_valid")), 1);
  EXPECT_EQ(utValue("NV_UI_LAST_DIALED.ui_nv_last_dialed_type.unicode_alpha[12].unicode_alpha[0]"), 0x0416);
}

TEST_F(UTConfigTest, EmergencyNumbersKeepTheCallersHyphen) {
  setUtValue("NV_UI_SP_EMERGENCY_LIST[2].ui_digits_type.digits_index", 77);
  connect();
  emergency_pnumber_type number{};
  number.hyphen = 42;
  ASSERT_EQ(general->UserEmergencyNumber(GET_PARAM, 0, &number), S_OK);
  EXPECT_EQ(number.international, 1);
  EXPECT_EQ(number.digits_index, 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(number.digits), 8), "+4930123");
  EXPECT_EQ(number.hyphen, 42);
  ASSERT_EQ(general->SPEmergencyNumber(GET_PARAM, 2, &number), S_OK);
  EXPECT_EQ(number.digits_index, 32);

  emergency_pnumber_type set{};
  std::memcpy(set.digits, "999", 3);
  set.digits_index = 3;
  set.hyphen = 1;
  ASSERT_EQ(general->SPEmergencyNumber(SET_PARAM, 9, &set), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_UI_SP_EMERGENCY_LIST[9].ui_digits_type.digits_index"), 3);
  EXPECT_EQ(utValue("NV_UI_SP_EMERGENCY_LIST[9].ui_digits_type.hyphen"), 1);
  emergency_pnumber_type back{};
  ASSERT_EQ(general->SPEmergencyNumber(GET_PARAM, 9, &back), S_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back.digits), 3), "999");
}

TEST_F(UTConfigTest, LastDialledNumberRoundTrip) {
  connect();
  last_dialed_digits_type last{};
  ASSERT_EQ(ui->LastCallDialedDigits(GET_PARAM, &last), S_OK);
  EXPECT_EQ(last.number_stuff.digits_index, 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(last.alpha), 6), "OFFICE");
  std::memcpy(last.number_stuff.digits, "0800", 4);
  last.number_stuff.digits_index = 4;
  std::memset(last.alpha, ' ', sizeof last.alpha);
  ASSERT_EQ(ui->LastCallDialedDigits(SET_PARAM, &last), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_UI_LAST_DIALED.ui_nv_last_dialed_type.alpha_valid"), 0);
  EXPECT_EQ(utValue("NV_UI_LAST_DIALED.ui_nv_last_dialed_type.digits.digits_index"), 4);
  last_dialed_digits_type back{};
  std::memset(back.alpha, 'x', sizeof back.alpha);
  ASSERT_EQ(ui->LastCallDialedDigits(GET_PARAM, &back), S_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back.number_stuff.digits), 4), "0800");
  EXPECT_EQ(back.alpha[0], 0);  // no valid name reads as zeros
}

TEST_F(UTConfigTest, DirectoryNumberKeepsBothCopies) {
  connect();
  LPWSTR text = nullptr;
  ASSERT_EQ(orbitnet->DirectoryNumber(GET_PARAM, 0, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"6195550100");
  ASSERT_EQ(orbitnet->DirectoryNumber(SET_PARAM, 1, const_cast<LPWSTR>(u"619-555-0123"), nullptr), S_OK);
  commitAndReconnect();
  const std::string proper = "NV_UI_DIR_NUMBER_I[1].ui_nv_dir_number_type.dir_number[10].dir_number[";
  EXPECT_EQ(utValue(proper + "0]"), '6');
  EXPECT_EQ(utValue(proper + "9]"), '3');
  const std::string copy = "NV_UI_DIRECTORY_NUMBER_I[1].ui_nv_phone_book_entry_type.";
  EXPECT_EQ(utValue(copy + "hdr.digits_index"), 12);
  EXPECT_EQ(utValue(copy + "nibble[16].nibble[1]"), 0x9D);
  ASSERT_EQ(orbitnet->DirectoryNumber(GET_PARAM, 1, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"619-555-0123");  // the copy agrees: it is returned with its dashes

  // A shorter number: the proper number's NUL padding is no disagreement.
  ASSERT_EQ(orbitnet->DirectoryNumber(SET_PARAM, 0, const_cast<LPWSTR>(u"555-1234"), nullptr), S_OK);
  ASSERT_EQ(orbitnet->DirectoryNumber(GET_PARAM, 0, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"555-1234");

  // The satellite number has no display copy of its own in this software.
  ASSERT_EQ(orbitnet->DirectoryNumber(GET_PARAM, -1, nullptr, &text), UTC_S_ONE_COPY_ONLY);
  EXPECT_EQ(take(text), u"8816310000");
}

class OldDirectoryUtTest : public UTConfigTest {
 protected:
  kmx::sim::CatalogueVariant variant() const override {
    kmx::sim::CatalogueVariant old;
    old.oldDirectoryNumber = true;
    return old;
  }
};

TEST_F(OldDirectoryUtTest, WithoutTheDisplayCopyTheProperNumberServes) {
  connect();
  LPWSTR text = nullptr;
  ASSERT_EQ(orbitnet->DirectoryNumber(GET_PARAM, 0, nullptr, &text), UTC_S_ONE_COPY_ONLY);
  EXPECT_EQ(take(text), u"6195550100");
  ASSERT_EQ(orbitnet->DirectoryNumber(SET_PARAM, 2, const_cast<LPWSTR>(u"8005551212"), nullptr), UTC_S_ONE_COPY_ONLY);
  ASSERT_EQ(terrestrial->NAMName(SET_PARAM, 2, const_cast<LPWSTR>(u"SAT"), nullptr), S_OK);
  commitAndReconnect();
  EXPECT_EQ(utValue("NV_UI_DIR_NUMBER_I[2].ui_nv_dir_number_type.dir_number[10].dir_number[9]"), '2');
  ASSERT_EQ(terrestrial->NAMName(GET_PARAM, 2, nullptr, &text), S_OK);
  EXPECT_EQ(take(text), u"SAT         ");
}

}  // namespace
}  // namespace vx::utconfig::testing
