// Identity and version getters against the simulated UT's status answers
// and NV items.
#include "connection_fixture.h"

namespace vx::connect::testing {
namespace {

using Getter = HRESULT (IVexVersionExt::*)(LPWSTR*);

std::u16string text(IVexVersionExt* version, Getter getter, HRESULT expected = S_OK) {
  LPWSTR result = nullptr;
  EXPECT_EQ((version->*getter)(&result), expected);
  return take(result);
}

TEST_F(ConnectionTest, GettersBeforeAnyRefreshHaveNoData) {
  EXPECT_EQ(version->UpdateAllItems(), VEX_E_LINK_NOT_UP_REFRESH);
  LPWSTR result = nullptr;
  EXPECT_EQ(version->GetESN(&result), VEX_E_NO_DATA);
  EXPECT_EQ(version->GetUTVersionStr(&result), VEX_E_NO_DATA);
  EXPECT_EQ(result, nullptr);
  UI2 month = 0, day = 0, year = 0;
  EXPECT_EQ(version->GetCalDate(&month, &day, &year), VEX_E_NO_DATA);
  UTMainModel model = UTM_MODULE;
  ASSERT_EQ(version->GetUTMainModel(&model), S_OK);
  EXPECT_EQ(model, UTM_UNKNOWN);
  EXPECT_EQ(version->GetUTMainModel(nullptr), E_INVALIDARG);
  EXPECT_EQ(version->GetESN(nullptr), E_INVALIDARG);
}

TEST_F(ConnectionTest, EveryGetterAfterARefresh) {
  connect();
  ASSERT_EQ(version->UpdateAllItems(), S_OK);
  IVexVersionExt* v = version.Get();
  EXPECT_EQ(text(v, &IVexVersion::GetESN), u"0x9f3a5c21");
  EXPECT_EQ(text(v, &IVexVersion::GetSMID), u"12345678901234567890");
  EXPECT_EQ(text(v, &IVexVersion::GetGAIProtocolRev), u"3");
  EXPECT_EQ(text(v, &IVexVersion::GetIS95ProtocolRev), u"6");
  EXPECT_EQ(text(v, &IVexVersion::GetUTFirmwareRev), u"4021");
  EXPECT_EQ(text(v, &IVexVersion::GetUTModel), u"201");
  EXPECT_EQ(text(v, &IVexVersion::GetUTVersionStr),
            u"UT software 4.2.1\r\nBuilt Dec 08 2026\r\nRelease candidate\r\n");
  EXPECT_EQ(text(v, &IVexVersion::GetDSPFirmwareVersion), u"DSP 2.14\r\nboot 1.3\r\n");
  EXPECT_EQ(text(v, &IVexVersion::GetCalBlockFormatVer), u"1.2.0.0");
  EXPECT_EQ(text(v, &IVexVersionExt::GetCalBlockVersion), u"2.0.1");
  // The newer calibration layout wins while the UT gives it.
  EXPECT_EQ(text(v, &IVexVersion::GetCalBlockStationCodeVer), u"2.1.0.6");
  EXPECT_EQ(text(v, &IVexVersion::GetCalTestStation), u"43");
  EXPECT_EQ(text(v, &IVexVersion::GetManufacturerCode), u"1.0.4.0");
  UI2 month = 0, day = 0, year = 0;
  ASSERT_EQ(version->GetCalDate(&month, &day, &year), S_OK);
  EXPECT_EQ(month, 11);
  EXPECT_EQ(day, 9);
  EXPECT_EQ(year, 2026);
  UI2 hardware = 0, firmware = 0, type = 0;
  ASSERT_EQ(version->GetGUMVersion(&hardware, &firmware), S_OK);
  EXPECT_EQ(hardware, 3);
  EXPECT_EQ(firmware, 7);
  ASSERT_EQ(version->GetUTType(&type), S_OK);
  EXPECT_EQ(type, 2);
  UTMainModel model = UTM_UNKNOWN;
  ASSERT_EQ(version->GetUTMainModel(&model), S_OK);
  EXPECT_EQ(model, UTM_TRIMODE_PORTABLE);

  // From NV items.
  EXPECT_EQ(text(v, &IVexVersion::GetCDMAStationClassMark),
            vx::com::Utf8ToUtf16(std::to_string(utValue("NV_SCM_I.T_UCHAR"))));
  std::u16string warranty;
  for (int i = 0; i < 5; ++i) {
    warranty += static_cast<char16_t>(
        utValue("NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[" + std::to_string(i) + "]"));
  }
  EXPECT_EQ(text(v, &IVexVersion::GetWarrantyDateCode), warranty);
  SYSTEMTIME date{};
  ASSERT_EQ(version->GetServiceProgrammingDate(&date), S_OK);
  EXPECT_EQ(date.wYear, 2026);
  EXPECT_EQ(date.wMonth, 11);
  EXPECT_EQ(date.wDayOfWeek, 2);
  EXPECT_EQ(date.wDay, 17);
  EXPECT_EQ(date.wHour, 9);
  EXPECT_EQ(date.wMinute, 30);
  EXPECT_EQ(date.wSecond, 15);
  EXPECT_EQ(date.wMilliseconds, 250);
}

TEST_F(ConnectionTest, TheOlderCalibrationLayoutStandsInWhenTheNewerIsMissing) {
  sim->withModel([](kmx::sim::UtModel& model) {
    model.status.erase(0x42);
    model.status.set(0x39, {0xCD});
  });
  connect();
  ASSERT_EQ(version->UpdateAllItems(), S_OK);
  UI2 month = 0, day = 0, year = 0;
  ASSERT_EQ(version->GetCalDate(&month, &day, &year), S_OK);
  EXPECT_EQ(month, 5);
  EXPECT_EQ(day, 17);
  EXPECT_EQ(year, 1999);
  EXPECT_EQ(text(version.Get(), &IVexVersion::GetCalBlockStationCodeVer), u"2.1.0.5");
  EXPECT_EQ(text(version.Get(), &IVexVersion::GetManufacturerCode), u"1.0.3.9");
  EXPECT_EQ(text(version.Get(), &IVexVersionExt::GetCalBlockVersion, VEX_E_NO_DATA), u"<null>");
  UTMainModel model = UTM_UNKNOWN;
  ASSERT_EQ(version->GetUTMainModel(&model), S_OK);
  EXPECT_EQ(model, UTM_MODULE);
}

TEST_F(ConnectionTest, ShortOrMalformedAnswersAreRefusedNotOverread) {
  sim->withModel([](kmx::sim::UtModel& model) {
    model.status.set(0x1D, {4, 1, 2});
    model.status.set(0x25, {0x12, 0x34});
    model.status.set(0x42, std::vector<uint8_t>(21, 1));
    model.status.set(0x27, {1});
    model.status.set(0x26, {'O', 'K', 0xA9});  // Windows-1252: not UTF-8, yet text
  });
  connect();
  ASSERT_EQ(version->UpdateAllItems(), S_OK);
  IVexVersionExt* v = version.Get();
  EXPECT_EQ(text(v, &IVexVersion::GetESN, VEX_E_DATA_TOO_SHORT), u"<null>");
  EXPECT_EQ(text(v, &IVexVersion::GetSMID, VEX_E_DATA_TOO_SHORT), u"<null>");
  EXPECT_EQ(text(v, &IVexVersion::GetUTFirmwareRev, VEX_E_DATA_TOO_SHORT), u"<null>");
  EXPECT_EQ(text(v, &IVexVersionExt::GetCalBlockVersion, VEX_E_DATA_TOO_SHORT), u"<null>");
  EXPECT_EQ(text(v, &IVexVersion::GetCalTestStation, VEX_E_DATA_TOO_SHORT), u"<null>");
  EXPECT_EQ(text(v, &IVexVersion::GetUTVersionStr), u"OK\u00A9");

  // A refresh replaces every answer.
  sim->withModel([](kmx::sim::UtModel& model) { model.status.setEsn(4, 0x12345678); });
  ASSERT_EQ(version->UpdateAllItems(), S_OK);
  EXPECT_EQ(text(v, &IVexVersion::GetESN), u"0x12345678");
}

}  // namespace
}  // namespace vx::connect::testing
