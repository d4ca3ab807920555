// The limits the script object checks, as text for `list`. Introspection
// gives names and types only; these lines say what a put accepts and what
// an index selects, so that a person need not learn it from a refusal.
// The server stays the judge: a value outside them is refused there.
#include <map>

#include "member_catalogue.h"

namespace vx::cli {
namespace {

const char* const kNam = "sNAM 0..2";
const char* const kBoolean = "0 or 1";

const std::map<std::string, std::string>& limitTable() {
  static const std::map<std::string, std::string> table = [] {
    std::map<std::string, std::string> t = {
        {"SPEmergencyNumber", "sPosition 1..10; a dialled number (digits # * - H T, 1..32, '+' first)"},
        {"UserEmergencyNumber", "sPosition 1..10; a dialled number (digits # * - H T, 1..32, '+' first)"},
        {"NoServiceTimeUntilSleep", "minutes: 0 or 5..60"},
        {"DeepSleepDuration", "minutes: 0 or 5..60"},
        {"DataServicesBaudRate", "9600, 19200, 38400, 57600 or 115200"},
        {"FieldServiceHiddenCode", "6 characters"},
        {"UserLockCode", "6 characters"},
        {"SystemHiddenMenuCode", "6 characters"},
        {"LockMode", "4..6"},
        {"RestrictUT", kBoolean},
        {"ServiceAlert", kBoolean},
        {"CallFade", kBoolean},
        {"MinuteAlert", kBoolean},
        {"NewMessageAlert", "4..6"},
        {"AcquisitionChannelList", "sIndex 1..13; 1..124"},
        {"OB_ACCOLC", "0 or 10..15"},
        {"DirectoryNumber", std::string(kNam) + "; a dialled number"},
        {"OB_HomeGatewayChannel", "1..124 or -1"},
        {"OB_Home_SP_MCC", "up to 3 characters, decimal digits when 2 or more"},
        {"OB_Home_SP_MNC", "up to 3 characters, decimal digits when 2 or more"},
        {"SMSTimeStampAdjust", std::string(kNam) + "; 0 or 1"},
        {"PacketDataPreferredMode", std::string(kNam) + "; 4..7 (tri-mode portables)"},
        {"PreferredMode", std::string(kNam) + "; 0..3"},
        {"CellularIMSI", std::string(kNam) + "; 15 decimal digits"},
        {"SID", std::string(kNam) + ", sWhich 1..4"},
        {"NID", std::string(kNam) + ", sWhich 1..4"},
        {"IS95_ACCOLC", std::string(kNam) + "; 10..15, or -1 for the MIN's last digit"},
        {"AMPS_ACCOLC", std::string(kNam) + "; 10..15, or -1 for the MIN's last digit"},
        {"CDMAPrefServingSys", std::string(kNam) + "; 0..5"},
        {"AMPSPrefServingSys", std::string(kNam) + "; 0..5"},
        {"AMPSMIN", std::string(kNam) + "; 10 decimal digits"},
        {"AMPSAutonomousReg", std::string(kNam) + "; 0..2"},
        {"AMPSSendPIN", std::string(kNam) + "; 0 or 1"},
        {"EVRCServiceOptionHomePage", std::string(kNam) + "; 32768 or 32769"},
        {"EVRCServiceOptionHomeOrigination", std::string(kNam) + "; 32768 or 32769"},
        {"EVRCServiceOptionRoamOrigination", std::string(kNam) + "; 32768 or 32769"},
        {"ShowTime", "4..7"},
        {"Language", "0..5 (4 and 5 where the UT has those languages)"},
        {"EarpieceVolume", "1..9"},
        {"KeybeepVolume", "0..9"},
        {"RingerVolume", "0..9"},
        {"EarpieceCKHandsetVolume", "0..9"},
        {"CKHandsFreeSpeakerVolume", "0..9"},
        {"KeybeepSound", "4..5"},
        {"KeybeepLength", "4..5"},
        {"RingerType", "4..11"},
        {"AutoAnswer", "0..4"},
        {"AutoRetry", "0..3"},
        {"Backlight", "4..8"},
        {"SortPhonebook", "4..5"},
        {"Selector", "sSelectorID 0..11; 0..255"},
        {"CustomDescriptor", "sSelectorID 0..11; 16 comma-separated numbers"},
        {"CustomDTMFDescriptor", "20 comma-separated numbers"},
        {"OB_SPList_MCC", "sPosition 0..66"},
        {"OB_SPList_MNC", "sPosition 0..66"},
        {"OB_SPList_MCC_Name", "sPosition 0..66"},
        {"OB_SPList_MNC_Name", "sPosition 0..66"},
        {"OB_SPList_PreferredPos", "sPosition 0..66"},
        {"OB_SPList_Prohibited", "sPosition 0..66"},
        {"PhonebookEntryName", "sPosition 1..99"},
        {"PhonebookEntryNumber", "sPosition 1..99"},
        {"PhonebookEntrySecret", "sPosition 1..99"},
        {"IsPhonebookEntryUnused", "sPosition 1..99"},
    };
    // The cellular settings all take a NAM.
    for (const char* name : {"NAMName", "AllowUserSpecOfCellPrefs", "PreferredCellularMode", "AllowedCellularModes",
                             "CDMAPrimaryChannelA", "CDMAPrimaryChannelB", "CDMASecondaryChannelA",
                             "CDMASecondaryChannelB", "CDMAHomeSIDTermReg", "CDMAForeignSIDTermReg",
                             "CDMAForeignNIDTermReg", "AMPSFirstPagingChannel", "AMPSControlChannelA",
                             "AMPSControlChannelB", "AMPSHomeSID", "AMPSAutoPIN", "EVRCEnabled"}) {
      t.emplace(name, kNam);
    }
    return t;
  }();
  return table;
}

}  // namespace

std::string memberLimits(const std::string& name) {
  auto it = limitTable().find(name);
  return it == limitTable().end() ? std::string() : it->second;
}

}  // namespace vx::cli
