// The wizard's pure parts: platform classes, octet fields, the entry in each
// system's form, the texts and the serial port list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "dns_choice.h"
#include "entry_formats.h"
#include "file_override.h"
#include "platform_class.h"
#include "serial_ports.h"
#include "texts.h"

namespace fs = std::filesystem;
using namespace obnet;

namespace {

const DnsAddresses kDns{{10, 1, 2, 3}, {192, 168, 200, 254}};

TEST(PlatformClass, WindowsVersionsMapToTheirClasses) {
  EXPECT_EQ(windowsPlatformClass(1, 4), PlatformClass::Windows9x);
  EXPECT_EQ(windowsPlatformClass(1, 0), PlatformClass::Windows9x);
  EXPECT_EQ(windowsPlatformClass(2, 4), PlatformClass::WindowsNT4);
  EXPECT_EQ(windowsPlatformClass(2, 5), PlatformClass::Windows2000);
  EXPECT_EQ(windowsPlatformClass(2, 3), PlatformClass::Unsupported);
  EXPECT_EQ(windowsPlatformClass(2, 6), PlatformClass::Unsupported);
  EXPECT_EQ(windowsPlatformClass(0, 4), PlatformClass::Unsupported);
  EXPECT_EQ(windowsPlatformClass(3, 5), PlatformClass::Unsupported);
  EXPECT_EQ(static_cast<int>(PlatformClass::Unsupported), -1);
  EXPECT_EQ(static_cast<int>(PlatformClass::Windows2000), 2);
}

TEST(PlatformClass, ThisProcessRunsAsLinuxAndNeedsNoRestart) {
  EXPECT_EQ(classOfSystem("Linux"), PlatformClass::Linux);
  EXPECT_EQ(classOfSystem("FreeBSD"), PlatformClass::Unsupported);
  PlatformRecord& record = platformRecord();
  EXPECT_EQ(&record, &platformRecord());
  EXPECT_EQ(record.platformClass, PlatformClass::Linux);
  EXPECT_TRUE(record.rebootFlag);
  EXPECT_FALSE(restartAfterFinish(record, true));

  PlatformRecord nt{PlatformClass::WindowsNT4, true};
  EXPECT_TRUE(restartAfterFinish(nt, true));
  EXPECT_FALSE(restartAfterFinish(nt, false));
  nt.rebootFlag = false;
  EXPECT_FALSE(restartAfterFinish(nt, true));
  EXPECT_FALSE(restartAfterFinish({PlatformClass::Unsupported, true}, true));
}

TEST(OctetFields, ValuesFrom256OnBecome255) {
  EXPECT_EQ(clampOctetText("300"), "255");
  EXPECT_EQ(clampOctetText("256"), "255");
  EXPECT_EQ(clampOctetText("999"), "255");
  EXPECT_EQ(clampOctetText("255"), "255");
  EXPECT_EQ(clampOctetText("0"), "0");
  EXPECT_EQ(clampOctetText("007"), "007");
  EXPECT_EQ(clampOctetText(""), "");
}

TEST(OctetFields, AllEightFilledChooseTheUsersNameServers) {
  std::array<std::string, 8> fields{"10", "1", "2", "3", "192", "168", "200", "300"};
  DnsChoice choice = dnsChoiceFromOctets(fields);
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->primary, (Ipv4{10, 1, 2, 3}));
  EXPECT_EQ(choice->secondary, (Ipv4{192, 168, 200, 255}));

  for (std::size_t empty = 0; empty < fields.size(); ++empty) {
    auto seven = fields;
    seven[empty].clear();
    EXPECT_FALSE(dnsChoiceFromOctets(seven).has_value()) << "field " << empty << " empty";
  }
  EXPECT_FALSE(dnsChoiceFromOctets({}).has_value());
}

// The phonebook section with pieces whose bytes show where each one lands.
TEST(PhonebookEntry, PiecesAndAddressLinesInOrder) {
  PhonebookPieces pieces{"<head>", "<media>Port=", "<device>"};
  EXPECT_EQ(ntPhonebookEntry(pieces, std::nullopt, "COM3"),
            "<head>"
            "IpDnsAddress=0.0.0.0\r\n"
            "IpDns2Address=0.0.0.0\r\n"
            "IpWinsAddress=0.0.0.0\r\n"
            "IpWins2Address=0.0.0.0\r\n"
            "IpAssign=1\r\n"
            "IpNameAssign=1\r\n"
            "<media>Port=COM3\r\n"
            "<device>");
  EXPECT_EQ(ntPhonebookEntry(pieces, kDns, "COM1"),
            "<head>"
            "IpDnsAddress=10.1.2.3\r\n"
            "IpDns2Address=192.168.200.254\r\n"
            "IpWinsAddress=0.0.0.0\r\n"
            "IpWins2Address=0.0.0.0\r\n"
            "IpAssign=1\r\n"
            "IpNameAssign=2\r\n"
            "<media>Port=COM1\r\n"
            "<device>");
}

TEST(PhonebookEntry, WizardPiecesAroundAnUnselectedPort) {
  const PhonebookPieces& pieces = packetDataPhonebookPieces();
  std::string entry = ntPhonebookEntry(pieces, std::nullopt, "");
  EXPECT_EQ(entry.rfind("\r\n[OB Packet Data]\r\n", 0), 0u);
  EXPECT_NE(entry.find("IpNameAssign=1\r\n"
                       "IpFrameSize=1006\r\n"
                       "\r\n"
                       "MEDIA=serial\r\n"
                       "Port=\r\n"),
            std::string::npos);
  EXPECT_NE(entry.find("ConnectBPS=38400\r\n"
                       "\r\n"
                       "DEVICE=modem\r\n"
                       "PhoneNumber=#777\r\n"),
            std::string::npos);
  EXPECT_EQ(entry.substr(entry.size() - 2), "\r\n");
  // Every line ends in CR LF.
  for (std::size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '\n') {
      ASSERT_EQ(entry[i - 1], '\r') << "at " << i;
    }
  }
}

TEST(IpSettingsRecord, ServerAssignedKeepsTheTemplate) {
  const IpSettingsRecord& base = ipSettingsTemplate();
  IpSettingsRecord expected{28, 0, 0, 0};
  EXPECT_EQ(base, expected);
  EXPECT_EQ(ipSettingsRecord(base, std::nullopt), base);
}

TEST(IpSettingsRecord, UserNameServersWithTheirFirstOctetHighest) {
  IpSettingsRecord base{};
  for (std::size_t i = 0; i < base.size(); ++i) base[i] = static_cast<std::uint8_t>(0xA0 + i);
  IpSettingsRecord record = ipSettingsRecord(base, kDns);
  IpSettingsRecord expected = base;
  expected[4] = 2;
  expected[12] = 3, expected[13] = 2, expected[14] = 1, expected[15] = 10;
  expected[16] = 254, expected[17] = 200, expected[18] = 168, expected[19] = 192;
  EXPECT_EQ(record, expected);
}

TEST(PeerFile, NamesPortSpeedChatAndNameServers) {
  std::string text = peerFileText({"/dev/ttyUSB0", std::nullopt, "/etc/chatscripts/ob-packet-data"});
  EXPECT_EQ(text.rfind(kOwnerMarker, 0), 0u);
  EXPECT_NE(text.find("\n\"/dev/ttyUSB0\"\n38400\n"), std::string::npos);
  EXPECT_NE(text.find("\nconnect \"/usr/sbin/chat -v -f /etc/chatscripts/ob-packet-data\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nusepeerdns\n"), std::string::npos);
  EXPECT_NE(text.find("\nipparam ob-packet-data\n"), std::string::npos);
  // The UT's packet service carries IP frames of at most 1006 bytes.
  EXPECT_NE(text.find("\nmtu 1006\nmru 1006\n"), std::string::npos);
  EXPECT_EQ(text.find("0000ob-packet-data-dns"), std::string::npos);
  // The user's name servers arrive through the hook the file points to.
  std::string own = peerFileText({"/dev/ttyUSB0", kDns, "/c"});
  EXPECT_NE(own.find("/etc/ppp/ip-up.d/0000ob-packet-data-dns"), std::string::npos);
}

TEST(PeerFile, PortsThatNoOptionFileCanCarryAreRefused) {
  EXPECT_THROW(peerFileText({"", std::nullopt, "/c"}), std::invalid_argument);
  EXPECT_THROW(peerFileText({"ttyUSB0", std::nullopt, "/c"}), std::invalid_argument);
  EXPECT_THROW(peerFileText({"/dev/tty\nlock", std::nullopt, "/c"}), std::invalid_argument);
  EXPECT_EQ(pppdQuoted("/dev/serial/by-id/a \"b\\c"), "\"/dev/serial/by-id/a \\\"b\\\\c\"");
}

TEST(ChatScript, DialsTheServiceNumber) {
  std::string chat = chatScriptText();
  EXPECT_EQ(chat.rfind(kOwnerMarker, 0), 0u);
  EXPECT_NE(chat.find("\nOK 'ATDT#777'\nCONNECT ''\n"), std::string::npos);
}

TEST(DnsHook, WritesBothAddressesForThisConnectionOnly) {
  std::string hook = dnsHookText(kDns);
  EXPECT_EQ(hook.rfind("#!/bin/sh\n", 0), 0u);
  EXPECT_NE(hook.find("[ \"$PPP_IPPARAM\" = \"ob-packet-data\" ] || exit 0\n"), std::string::npos);
  EXPECT_NE(hook.find("10.1.2.3 192.168.200.254 > /etc/ppp/resolv.conf\n"), std::string::npos);
}

TEST(Texts, LanguageComesFromTheLocale) {
  EXPECT_EQ(languageOfLocale("es_ES.UTF-8"), Language::Spanish);
  EXPECT_EQ(languageOfLocale("es_MX"), Language::Spanish);
  EXPECT_EQ(languageOfLocale("fr_FR.UTF-8"), Language::French);
  EXPECT_EQ(languageOfLocale("fr_CA.UTF-8"), Language::English);
  EXPECT_EQ(languageOfLocale("pt_BR.UTF-8"), Language::Portuguese);
  EXPECT_EQ(languageOfLocale("de_DE.UTF-8"), Language::English);
  EXPECT_EQ(languageOfLocale("C"), Language::English);
  EXPECT_EQ(languageOfLocale(""), Language::English);

  ::setenv("LC_ALL", "", 1);
  ::setenv("LC_MESSAGES", "pt_BR.UTF-8", 1);
  ::setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(userLanguage(), Language::Portuguese);
  ::setenv("LC_ALL", "es_ES.UTF-8", 1);
  EXPECT_EQ(userLanguage(), Language::Spanish);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");
  EXPECT_EQ(userLanguage(), Language::French);
}

TEST(Texts, EveryTextExistsInEveryLanguage) {
  for (auto language : {Language::English, Language::Spanish, Language::French, Language::Portuguese})
    for (int id = 0; id < static_cast<int>(Text::Count); ++id)
      EXPECT_FALSE(text(language, static_cast<Text>(id)).empty()) << id;
  EXPECT_EQ(text(Language::English, Text::WriteFailed),
            "A problem occurred while setting up the Dial-up Networking connection.  See the "
            "User Guide for instructions on how to set it up manually.");
  EXPECT_EQ(text(Language::French, Text::Yes), "Oui");
}

class SerialPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/obnetmodem-dev-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dev_ = pattern;
  }
  void TearDown() override { fs::remove_all(dev_); }
  void node(const std::string& name) { std::ofstream(dev_ / name).put('\n'); }

  fs::path dev_;
};

TEST_F(SerialPorts, ByIdFirstThenEachKindInNumericOrder) {
  for (auto name : {"ttyS10", "ttyS2", "ttyS1", "ttyUSB1", "ttyUSB0", "ttyACM0", "ttyUSBx",
                    "tty5", "ttyS", "console"})
    node(name);
  fs::create_directories(dev_ / "serial" / "by-id");
  fs::create_symlink("../../ttyUSB1", dev_ / "serial" / "by-id" / "usb-UT_Modem-if00");
  fs::create_symlink("../../ttyUSB7", dev_ / "serial" / "by-id" / "usb-Gone-if00");
  auto probe = [](const std::string& path) { return path.find("ttyS1") == std::string::npos; };
  std::string d = dev_.string();
  EXPECT_EQ(listSerialPorts(d, probe),
            (std::vector<std::string>{d + "/serial/by-id/usb-UT_Modem-if00", d + "/ttyS2",
                                      d + "/ttyUSB0", d + "/ttyACM0"}));
}

TEST_F(SerialPorts, NoPortsIsAnEmptyList) {
  EXPECT_TRUE(listSerialPorts(dev_.string(), nullptr).empty());
  EXPECT_TRUE(listSerialPorts((dev_ / "missing").string(), nullptr).empty());
}

TEST_F(SerialPorts, OpenCheckReportsTheReasonAndTheGroup) {
  node("ttyUSB0");
  EXPECT_EQ(checkPortOpens((dev_ / "ttyUSB0").string()).error, 0);
  EXPECT_EQ(checkPortOpens((dev_ / "ttyUSB9").string()).error, ENOENT);

  ::chmod((dev_ / "ttyUSB0").c_str(), 0);
  obnet::testing::WithoutFileOverride asUser;
  if (!asUser.active()) GTEST_SKIP() << "cannot give up root's file permission override";
  PortCheck check = checkPortOpens((dev_ / "ttyUSB0").string());
  EXPECT_EQ(check.error, EACCES);
  EXPECT_FALSE(check.group.empty());
}

}  // namespace
