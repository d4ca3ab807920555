// The object frame: its interfaces, the attachment, and the prologue that
// every method runs before it reaches the UT.
#include "ut_config_fixture.h"

namespace vx::utconfig::testing {
namespace {

// A COM object without IVexParams1, counting its references.
class NotAConnection final : public vx::com::Implements<IVexAdviseConnectState> {
 public:
  HRESULT StateChange(UINT) override { return S_OK; }
  HRESULT LastGasp(UI4, UI4, LPSTR) override { return S_OK; }
  HRESULT Alert(UI1) override { return S_OK; }
};

TEST_F(UTConfigTest, EveryVersionOfEveryFamilyIsTheSameInterface) {
  const IID families[][5] = {
      {IGeneralSettings::kIid, IGeneralSettings_1_1::kIid, IGeneralSettings_1_2::kIid, IGeneralSettings_1_3::kIid,
       IGeneralSettings_1_4::kIid},
      {IOrbitnetSettings::kIid, IOrbitnetSettings_1_5::kIid},
      {ITerrestrialSettings::kIid, ITerrestrialSettings_1_3::kIid, ITerrestrialSettings_1_5::kIid},
      {IUISettings::kIid, IUISettings_1_1::kIid, IUISettings_1_2::kIid, IUISettings_1_3::kIid, IUISettings_1_5::kIid},
      {IAFUTSettings::kIid, IAFUTSettings_1_3::kIid},
  };
  for (const auto& family : families) {
    void* newest = nullptr;
    for (const IID& iid : family) {
      if (iid == IID{}) break;
      void* pointer = nullptr;
      ASSERT_EQ(attach->QueryInterface(iid, &pointer), S_OK);
      if (newest == nullptr) newest = pointer;
      EXPECT_EQ(pointer, newest);
      static_cast<IUnknown*>(pointer)->Release();
    }
  }
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"UTVEX_UTConfig.UTVEX_UTConfig", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_UTConfig);
}

TEST_F(UTConfigTest, AttachmentIsReportedAndChecked) {
  int32_t attached = 7;
  EXPECT_EQ(attach->IsConnectionAttached(nullptr), E_INVALIDARG);
  EXPECT_EQ(attach->IsConnectionAttached(&attached), S_OK);
  EXPECT_EQ(attached, 0);
  EXPECT_EQ(attach->AttachConnection(nullptr), E_INVALIDARG);

  // An object that is no connection is refused and not kept.
  auto other = vx::com::Make<NotAConnection>();
  const ULONG before = other->AddRef() - 1;
  other->Release();
  EXPECT_EQ(attach->AttachConnection(other.Get()), E_NOINTERFACE);
  EXPECT_EQ(attach->IsConnectionAttached(&attached), S_OK);
  EXPECT_EQ(attached, 0);
  EXPECT_EQ(other->AddRef() - 1, before);
  other->Release();

  connect();
  EXPECT_EQ(attach->IsConnectionAttached(&attached), S_OK);
  EXPECT_EQ(attached, 1);
  EXPECT_EQ(attach->DetachConnection(), S_OK);
  EXPECT_EQ(attach->IsConnectionAttached(&attached), S_OK);
  EXPECT_EQ(attached, 0);
}

// One method of each shape, without a connection: before attaching and
// after detaching.
void expectNotAttached(IGeneralSettings_1_4* general, IOrbitnetSettings_1_5* orbitnet,
                       ITerrestrialSettings_1_5* terrestrial, IUISettings_1_5* ui, IAFUTSettings_1_3* afut) {
  uint32_t ul = 0;
  int32_t flag = 0;
  LPWSTR text = nullptr;
  uint8_t uc = 0;
  EXPECT_EQ(general->NoServiceTimeUntilSleep(GET_PARAM, 0, &ul), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->NoServiceTimeUntilSleep(SET_PARAM, 5, nullptr), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->ServiceAlert(GET_PARAM, 0, &flag), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->LockMode(GET_PARAM, nullptr, 0, &ul, &text), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->UserLockCode(GET_PARAM, nullptr, &text), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->IncrementWDC(), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->SetServiceProgDateAsCurrent(), UTC_E_NOT_ATTACHED);
  knownsp_entry_type sp{};
  EXPECT_EQ(general->KnownSPEntry(GET_PARAM, 0, &sp), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(general->CDMALockOrderReason(SET_PARAM, nullptr, nullptr), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(orbitnet->DirectoryNumber(GET_PARAM, 0, nullptr, &text), UTC_E_NOT_ATTACHED);
  cellular_imsi_type imsi{};
  EXPECT_EQ(terrestrial->CellularIMSI(GET_PARAM, 0, &imsi), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(terrestrial->ResetSIDNIDList(), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(terrestrial->ACCOLC(GET_PARAM, 0, 1, 0, &uc), UTC_E_NOT_ATTACHED);
  phonebook_entry_type entry{};
  EXPECT_EQ(ui->PhoneBookEntry(GET_PARAM, 1, &entry), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(ui->IsPhoneUnicode(&flag), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(afut->ToneIndex(GET_PARAM, AFUT_END_OF_ENUMS, &uc), UTC_E_NOT_ATTACHED);
  EXPECT_EQ(text, nullptr);
}

TEST_F(UTConfigTest, EveryShapeNeedsAnAttachedConnection) {
  expectNotAttached(general.Get(), orbitnet.Get(), terrestrial.Get(), ui.Get(), afut.Get());
  connect();
  uint32_t ul = 0;
  EXPECT_EQ(general->NoServiceTimeUntilSleep(GET_PARAM, 0, &ul), S_OK);
  EXPECT_EQ(ul, 900u);
  ASSERT_EQ(attach->DetachConnection(), S_OK);
  expectNotAttached(general.Get(), orbitnet.Get(), terrestrial.Get(), ui.Get(), afut.Get());
}

TEST_F(UTConfigTest, PointersAreCheckedBeforeTheAttachmentAndIndexesAfterIt) {
  EXPECT_EQ(general->AutoNAM(GET_PARAM, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(ui->Banner(SET_PARAM, nullptr, nullptr), E_INVALIDARG);  // a text set needs its text
  uint32_t ul = 0;
  LPWSTR text = nullptr;
  EXPECT_EQ(ui->AutoAnswer(GET_PARAM, nullptr, 0, &ul, nullptr), E_INVALIDARG);
  EXPECT_EQ(ui->AutoAnswer(GET_PARAM, nullptr, 0, nullptr, &text), E_INVALIDARG);
  phonebook_entry_type entry{};
  EXPECT_EQ(ui->PhoneBookEntry(GET_PARAM, 0, &entry), UTC_E_NOT_ATTACHED);
  connect();
  EXPECT_EQ(ui->PhoneBookEntry(GET_PARAM, 1, nullptr), E_INVALIDARG);
  EXPECT_EQ(ui->PhoneBookEntry(GET_PARAM, 0, &entry), E_INVALIDARG);
  EXPECT_EQ(ui->PhoneBookEntry(SET_PARAM, 100, &entry), E_INVALIDARG);
  int32_t flag = 0;
  EXPECT_EQ(terrestrial->EVRCEnabled(GET_PARAM, -1, 0, &flag), E_INVALIDARG);
  EXPECT_EQ(terrestrial->EVRCEnabled(GET_PARAM, 3, 0, &flag), E_INVALIDARG);
  EXPECT_EQ(terrestrial->CDMA_SMSTimeStampAdjust(GET_PARAM, 0, 2, &flag), E_INVALIDARG);
  EXPECT_EQ(terrestrial->CDMA_PacketDataPreferredMode(GET_PARAM, 2, nullptr, 0, &ul, &text), E_INVALIDARG);
  EXPECT_EQ(orbitnet->DirectoryNumber(GET_PARAM, 3, nullptr, &text), E_INVALIDARG);
  EXPECT_EQ(orbitnet->DirectoryNumber(GET_PARAM, -2, nullptr, &text), E_INVALIDARG);
  emergency_pnumber_type number{};
  EXPECT_EQ(general->SPEmergencyNumber(GET_PARAM, 10, &number), E_INVALIDARG);
  uint16_t sid = 0;
  // -1 passes the range check of AmpsHomeSID; the UT holds no such element.
  EXPECT_NE(terrestrial->AmpsHomeSID(GET_PARAM, -1, 0, &sid), E_INVALIDARG);
  EXPECT_EQ(text, nullptr);
}

}  // namespace
}  // namespace vx::utconfig::testing
