// The pieces of the script server that need no UT: the UT character set,
// dialled-number text, the registration switches, the safety copies' names,
// and what Connect and the other frame members refuse before they touch a
// port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dialled_number.h"
#include "port_claims.h"
#include "registration.h"
#include "script_object.h"
#include "ut_charset.h"
#include "vx/safety/safety_copy.h"

namespace vx::script {
namespace {

using namespace vx::utconfig;

TEST(UtCharset, TheCodePageBothWays) {
  EXPECT_EQ(encodeUtChar(u'\u00C0'), 0x8F) << "A with grave has a code of its own";
  EXPECT_EQ(decodeUtChar(0x8F), u'?');
  EXPECT_EQ(encodeUtChar(u'\u20AC'), kUnmappable) << "no euro sign";
  EXPECT_EQ(encodeUtChar(u'\u0401'), 0x7F);
  EXPECT_EQ(encodeUtChar(u'\u0451'), 0xF3);
  EXPECT_EQ(encodeUtChar(u'\u0400'), kUnmappable);
  EXPECT_EQ(decodeUtChar(0x100), u'?');
  // Every code that decodes to a character encodes back to itself.
  for (uint16_t code = 0; code <= 0xFF; ++code) {
    const char16_t ch = decodeUtChar(code);
    if (ch != u'?') {
      EXPECT_EQ(encodeUtChar(ch), code) << code;
    }
  }
  EXPECT_EQ(encodeUtText(u"Ni\u00F1o \u00C0", false), std::u16string(u"Ni\u00BC" u"o \u008F"));
  EXPECT_EQ(encodeUtText(u"5 \u20AC", false), std::nullopt);
  EXPECT_EQ(encodeUtText(u"5 \u20AC", true), std::u16string(u"5 \u20AC")) << "Unicode UTs take text as it is";
  EXPECT_EQ(decodeUtText(u"\u00D3\u00D4", false), u"\u0430\u0431");
}

TEST(DialledNumber, LengthPlusAndCharacters) {
  EXPECT_TRUE(isDialledNumber(u"+" + std::u16string(32, u'1'))) << "33 characters with a leading plus";
  EXPECT_FALSE(isDialledNumber(std::u16string(33, u'1')));
  EXPECT_FALSE(isDialledNumber(u"12+34"));
  EXPECT_FALSE(isDialledNumber(u""));
  EXPECT_FALSE(isDialledNumber(u"+"));
  EXPECT_TRUE(isDialledNumber(u"*#-HT0"));
  EXPECT_FALSE(isDialledNumber(u"12a"));

  emergency_pnumber_type number = toNumberRecord(u"+1-800");
  EXPECT_EQ(number.international, 1);
  EXPECT_EQ(number.digits_index, 5);
  EXPECT_EQ(number.hyphen, 1);
  EXPECT_EQ(number.digits[5], ' ');
  EXPECT_EQ(fromNumberRecord(number), u"+1-800");
  number.digits_index = 999;  // from the UT: clamped, never read past the field
  EXPECT_EQ(fromNumberRecord(number).size(), 33u);
}

TEST(Registration, SwitchesAfterDashOrSlashInAnyCase) {
  EXPECT_EQ(findRegistrationSwitch({"--RegServer"}), RegistrationSwitch::Register);
  EXPECT_EQ(findRegistrationSwitch({"/regserver"}), RegistrationSwitch::Register);
  EXPECT_EQ(findRegistrationSwitch({"-UNREGSERVER"}), RegistrationSwitch::Unregister);
  EXPECT_EQ(findRegistrationSwitch({"RegServer"}), RegistrationSwitch::None) << "a bare word is not a switch";
  EXPECT_EQ(findRegistrationSwitch({"--bus", "unix:path=/x"}), RegistrationSwitch::None);
  EXPECT_EQ(PortClaims::mutexName("/dev/ttyUSB0"), "VEX_ttyUSB0");
  EXPECT_EQ(PortClaims::mutexName("serial/by-id/x"), "VEX_serial_by-id_x");
}

TEST(SafetyCopy, NamedByEsnAndSecondInAPrivateFolderWithItsRestoreCommand) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("safety-" + std::to_string(::getpid()));
  fs::remove_all(root);
  ::setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
  const std::time_t when = 1767225600;  // 2026-01-01 00:00:00 UTC
  std::string error;
  const auto first = vx::safety::newSafetyCopyPath("0x0012AB/CD", when, &error);
  ASSERT_TRUE(first.has_value()) << error;
  const fs::path folder = root / "state/utvex/safety-copies";
  EXPECT_EQ(*first, (folder / "0x0012ABCD-20260101T000000Z.vex").string());
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  // A second copy in the same second gets a name of its own.
  std::ofstream(*first) << "x";
  ASSERT_TRUE(vx::safety::makePrivate(*first, &error)) << error;
  EXPECT_EQ(fs::status(*first).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(vx::safety::newSafetyCopyPath("0x0012ABCD", when, &error), (folder / "0x0012ABCD-20260101T000000Z-2.vex").string());

  EXPECT_EQ(vx::safety::restoreCommand("/home/a/x-1.vex"), "vexctl restore /home/a/x-1.vex");
  EXPECT_EQ(vx::safety::restoreCommand("/home/a b/it's.vex"), "vexctl restore '/home/a b/it'\\''s.vex'");

  // A state folder that is a file: no name, and why.
  ::setenv("XDG_STATE_HOME", first->c_str(), 1);
  EXPECT_FALSE(vx::safety::newSafetyCopyPath("0x1", when, &error).has_value());
  EXPECT_NE(error.find(*first), std::string::npos) << error;
  ::unsetenv("XDG_STATE_HOME");
  fs::remove_all(root);
}

class NoLoop final : public LoopScheduler {
 public:
  TimerId every(int, std::function<void()>) override { return ++count; }
  TimerId after(int, std::function<void()>) override { return ++count; }
  void cancel(TimerId) override {}
  void post(std::function<void()>) override {}
  TimerId count = 0;
};

TEST(ScriptFrame, RefusalsBeforeAnyPortIsTouched) {
  NoLoop loop;
  PortClaims claims;
  auto object = std::make_shared<ScriptObject>(loop, claims, nullptr);
  auto connect = [&](std::u16string port, int32_t rate, int32_t timeout, std::u16string spc) {
    HRESULT result = S_OK;
    object->clearError();
    object->Connect(port, rate, timeout, spc, [&](HRESULT hr, int16_t) { result = hr; });
    return result;
  };
  EXPECT_EQ(connect(u"UT1", 115200, 30, u"000000"), E_INVALIDARG);
  EXPECT_EQ(connect(u"UT1", 4800, -1, u"000000"), E_INVALIDARG);
  EXPECT_EQ(connect(u"", 115200, -1, u"000000"), E_INVALIDARG);
  EXPECT_EQ(connect(u"UT1", 115200, -1, u"1234567"), VEX_E_SPC_REJECTED);
  EXPECT_EQ(object->lastError().message, Message::SpcInvalid);
  EXPECT_EQ(connect(u"UT1", 115200, 0, u"12a4"), VEX_E_SPC_REJECTED);
  EXPECT_EQ(loop.count, 0u) << "no poll was started";

  object->clearError();
  EXPECT_EQ(object->CommitChanges(), E_FAIL);
  EXPECT_EQ(object->lastError().message, Message::None) << "a commit while disconnected reports nothing";
  EXPECT_EQ(object->SaveSettings(u"/no/such/dir/x.vex"), E_INVALIDARG);
  EXPECT_EQ(object->ResetUT(), VEX_E_NOT_CONNECTED);
  int16_t state = 9;
  EXPECT_EQ(object->ConnectionState(&state), S_OK);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(object->Disconnect(), S_OK);
}

}  // namespace
}  // namespace vx::script
