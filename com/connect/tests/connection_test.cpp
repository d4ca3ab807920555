// The connection object's identity, settings, link lifecycle and advise
// sink, against the simulated UT through the real link server.
#include <cstring>

#include "connection_fixture.h"
#include "kmx/sim/ut_commands.h"
#include "kmxclient.h"

namespace vx::connect::testing {
namespace {

TEST_F(ConnectionTest, OneObjectAnswersEveryInterfaceAndTheExtensionsShareTheirBaseTables) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"UTVEXConn.UTVEXConn", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_VexConnection);
  ASSERT_EQ(CLSIDFromProgID(u"UTVEX_NVNode.UTVEX_NVNode", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_VexNVNode);
  vx::com::ComPtr<IUnknown> node;
  EXPECT_EQ(vx::com::CreateInstance(CLSID_VexNVNode, &node), CLASS_E_CLASSNOTAVAILABLE);

  vx::com::ComPtr<IVexConnection> base;
  ASSERT_EQ(connection.As(&base), S_OK);
  EXPECT_EQ(static_cast<IVexConnection*>(connection.Get()), base.Get());
  vx::com::ComPtr<IVexVersion> versionBase;
  ASSERT_EQ(connection.As(&versionBase), S_OK);
  EXPECT_EQ(static_cast<IVexVersion*>(version.Get()), versionBase.Get());
  vx::com::ComPtr<IVexDownload> download;
  vx::com::ComPtr<IVexRFCal> rfcal;
  vx::com::ComPtr<IVexSecurity> security;
  EXPECT_EQ(connection.As(&download), S_OK);
  EXPECT_EQ(connection.As(&rfcal), S_OK);
  EXPECT_EQ(connection.As(&security), S_OK);
  vx::com::ComPtr<IUnknown> a, b;
  ASSERT_EQ(params.As(&a), S_OK);
  ASSERT_EQ(security.As(&b), S_OK);
  EXPECT_EQ(a.Get(), b.Get());
}

TEST_F(ConnectionTest, PortSpeedAndTimeoutSettings) {
  ComPortType port = COM_4;
  EXPECT_EQ(connection->GetComPort(&port), E_FAIL);  // "UT1" is none of COM1..COM4
  ASSERT_EQ(connection->SetComPort(static_cast<ComPortType>(7)), S_OK);
  ASSERT_EQ(connection->GetComPort(&port), S_OK);
  EXPECT_EQ(port, COM_1);
  ASSERT_EQ(connection->SetComPort(COM_3), S_OK);
  ASSERT_EQ(connection->GetComPort(&port), S_OK);
  EXPECT_EQ(port, COM_3);
  char name[kVexPortNameSize];
  ASSERT_EQ(connection->GetComPortName(name), S_OK);
  EXPECT_STREQ(name, "COM3");

  // A path of any length a file name can have; the copy is cut to fit the field.
  EXPECT_EQ(connection->SetComPortName("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"), S_OK);
  ASSERT_EQ(connection->GetComPortName(name), S_OK);
  EXPECT_STREQ(name, "/dev/serial/by-id/u");
  EXPECT_EQ(connection->SetComPortName(std::string(kVexPortPathSize, 'x').c_str()), E_INVALIDARG);
  EXPECT_EQ(connection->SetComPortName("ttyUSB0"), S_OK);
  ASSERT_EQ(connection->GetComPortName(name), S_OK);
  EXPECT_STREQ(name, "ttyUSB0");
  EXPECT_EQ(connection->SetComPortName(nullptr), E_INVALIDARG);
  EXPECT_EQ(connection->GetComPortName(nullptr), E_INVALIDARG);

  ComPortSpeedType speed{};
  ASSERT_EQ(connection->GetSpeed(&speed), S_OK);
  EXPECT_EQ(speed, COM_115200);
  ASSERT_EQ(connection->SetSpeed(COM_38400), S_OK);
  ASSERT_EQ(connection->GetSpeed(&speed), S_OK);
  EXPECT_EQ(speed, COM_38400);
  UINT timeout = 1;
  ASSERT_EQ(connection->GetTimeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 0u);
  EXPECT_EQ(connection->GetSpeed(nullptr), E_INVALIDARG);
  EXPECT_EQ(connection->GetTimeout(nullptr), E_INVALIDARG);
  EXPECT_EQ(connection->GetComPort(nullptr), E_INVALIDARG);

  // The rates of a port no server owns come from the serial driver.
  ASSERT_EQ(connection->SetComPortName("UT1"), S_OK);
  UINT rates = 0;
  ASSERT_EQ(connection->GetAvailableSpeeds(&rates), S_OK);
  EXPECT_NE(rates & KMX_RATE_115200, 0u);
  void* handle = &rates;
  ASSERT_EQ(connection->GetKMXHandle(&handle), S_OK);
  EXPECT_EQ(handle, nullptr);
  UINT state = 0;
  ASSERT_EQ(connection->GetConnectionState(&state), S_OK);
  EXPECT_EQ(state, 4u);
  EXPECT_EQ(connection->SendResetCmd(), E_FAIL);
}

TEST_F(ConnectionTest, OneSinkAtATime) {
  auto first = vx::com::Make<RecordingSink>();
  auto second = vx::com::Make<RecordingSink>();
  EXPECT_EQ(connection->UnAdvise(), E_FAIL);
  EXPECT_EQ(connection->Advise(nullptr), E_INVALIDARG);
  ASSERT_EQ(connection->Advise(first.Get()), S_OK);
  EXPECT_EQ(connection->Advise(second.Get()), E_FAIL);
  connect();
  // The first sink still hears the object.
  sim->sendAlert(0, {1, 2});
  EXPECT_TRUE(first->waitForEvent("alert 0"));
  EXPECT_TRUE(second->events().empty());
  ASSERT_EQ(connection->UnAdvise(), S_OK);
  EXPECT_EQ(connection->UnAdvise(), E_FAIL);
}

TEST_F(ConnectionTest, FinishingBeforeTheLinkIsUpRecordsTheSpcAndFails) {
  EXPECT_EQ(connection->FinishConnecting(nullptr), E_INVALIDARG);
  EXPECT_EQ(connection->FinishConnecting(u"123456789"), VEX_E_NOT_CONNECTED);
  LPWSTR spc = nullptr;
  ASSERT_EQ(connection->GetLastTypedSPC(&spc), S_OK);
  EXPECT_EQ(take(spc), u"1234567");
  EXPECT_EQ(connection->GetLastTypedSPC(nullptr), E_INVALIDARG);
  UINT connected = 1;
  ASSERT_EQ(connection->IsConnected(&connected), S_OK);
  EXPECT_EQ(connected, 0u);
}

TEST_F(ConnectionTest, AWrongSpcIsRefusedAndLeavesTheObjectUnconnected) {
  startLink();
  EXPECT_EQ(connection->FinishConnecting(u"999999"), VEX_E_SPC_REJECTED);
  UINT connected = 1;
  ASSERT_EQ(connection->IsConnected(&connected), S_OK);
  EXPECT_EQ(connected, 0u);
  // The link stays; the right code finishes the connection.
  EXPECT_EQ(connection->FinishConnecting(kSpc), S_OK);
}

TEST_F(ConnectionTest, AServiceLockedUtRefusesTheSessionAfterTheCommandWasSent) {
  sim->withModel([](kmx::sim::UtModel& model) { model.status.set(0x1F, {9, 0}); });
  startLink();
  EXPECT_EQ(connection->FinishConnecting(kSpc), VEX_E_SESSION_REFUSED);
  bool session = false;
  sim->withModel([&](kmx::sim::UtModel& model) { session = model.serviceSession; });
  EXPECT_TRUE(session);
  // Another answer length is no lock.
  sim->withModel([](kmx::sim::UtModel& model) { model.status.set(0x1F, {9}); });
  EXPECT_EQ(connection->FinishConnecting(kSpc), S_OK);
}

TEST_F(ConnectionTest, PrepareForDownloadKeepsTheLinkAndDropsTheTree) {
  connect();
  EXPECT_EQ(connection->StartConnection(), E_FAIL);
  EXPECT_EQ(connection->SetSpeed(COM_9600), E_FAIL);
  EXPECT_EQ(connection->SetComPort(COM_2), E_FAIL);
  EXPECT_EQ(connection->SetTimeout(3), E_FAIL);
  UINT rates = 0;
  EXPECT_EQ(connection->GetAvailableSpeeds(&rates), E_FAIL);

  ASSERT_EQ(connection->PrepareForDownload(), S_OK);
  UINT connected = 1;
  ASSERT_EQ(connection->IsConnected(&connected), S_OK);
  EXPECT_EQ(connected, 0u);
  void* handle = nullptr;
  ASSERT_EQ(connection->GetKMXHandle(&handle), S_OK);
  ASSERT_NE(handle, nullptr);
  uint8_t versionBlock[KMX_VERSION_INFO_SIZE] = {};
  EXPECT_EQ(KMXGetKMXVersionInfo(handle, versionBlock), 1) << KMXGetErrorDesc(KMXGetLastError());
  EXPECT_EQ(read("NV_VER_NO_I.T_ULONG").result, VEX_E_NOT_CONNECTED);

  // Finished again on the kept link, as after a download.
  ASSERT_EQ(connection->FinishConnecting(kSpc), S_OK);
  ASSERT_EQ(connection->CloseConnection(), S_OK);
  ASSERT_EQ(connection->GetKMXHandle(&handle), S_OK);
  EXPECT_EQ(handle, nullptr);
  UINT state = 0;
  ASSERT_EQ(connection->GetConnectionState(&state), S_OK);
  EXPECT_EQ(state, 4u);
  // Closed, the object can connect again.
  connect();
}

TEST_F(ConnectionTest, TheSinkHearsTheLinkDropAndReturnAlertsAndLastGasps) {
  auto sink = vx::com::Make<RecordingSink>();
  ASSERT_EQ(connection->Advise(sink.Get()), S_OK);
  connect();
  sink->clear();

  sim->sendAlert(0, {7});
  sim->sendAlert(3, {7});  // not registered
  ASSERT_TRUE(sink->waitForEvent("alert 0"));
  sim->sendLastGasp(true, "main.c", 42, "fatal %d", 7);
  ASSERT_TRUE(sink->waitFor([](const auto& events) {
    return std::any_of(events.begin(), events.end(),
                       [](const std::string& e) { return e.rfind("lastgasp ", 0) == 0; });
  }));

  sim->powerCycle(300);
  ASSERT_TRUE(sink->waitFor([](const auto& events) {
    const auto down = std::find_if(events.begin(), events.end(),
                                   [](const std::string& e) { return e.rfind("state ", 0) == 0 && e != "state 1"; });
    return down != events.end() && std::find(down, events.end(), "state 1") != events.end();
  })) << ::testing::PrintToString(sink->events());
  for (const std::string& event : sink->events()) EXPECT_NE(event, "alert 3");
  // No state is reported twice in a row.
  std::string last;
  for (const std::string& event : sink->events()) {
    if (event.rfind("state ", 0) != 0) continue;
    EXPECT_NE(event, last);
    last = event;
  }
}

TEST_F(ConnectionTest, TheResetCommandRestartsTheUt) {
  auto sink = vx::com::Make<RecordingSink>();
  ASSERT_EQ(connection->Advise(sink.Get()), S_OK);
  connect();
  const uint32_t restarts = sim->counters().restarts;
  ASSERT_EQ(connection->SendResetCmd(), S_OK);
  EXPECT_TRUE(sim->waitUntil([&](const auto& counters) { return counters.restarts > restarts; }, 10000));
}

TEST_F(ConnectionTest, SecurityCodesAreCheckedByTheUt) {
  vx::com::ComPtr<IVexSecurity> security;
  ASSERT_EQ(connection.As(&security), S_OK);
  UINT valid = 7;
  EXPECT_EQ(security->SendSecurityPassword(u"SECRET", &valid), VEX_E_NOT_CONNECTED);
  startLink();
  ASSERT_EQ(security->SendSecurityPassword(u"SECRET", &valid), S_OK);
  EXPECT_EQ(valid, 1u);
  ASSERT_EQ(security->SendSecurityPassword(u"secret", &valid), S_OK);
  EXPECT_EQ(valid, 0u);
  ASSERT_EQ(security->SendSPCode(u"000000", &valid), S_OK);
  EXPECT_EQ(valid, 1u);
  ASSERT_EQ(security->SendSPCode(u"000001", &valid), S_OK);
  EXPECT_EQ(valid, 0u);
  // The UT compares the password's bytes in its 8-bit code page, Windows-1252.
  sim->withModel([](kmx::sim::UtModel& model) { model.securityPassword = "\xC9T\xC9\x80"; });
  ASSERT_EQ(security->SendSecurityPassword(u"\u00C9T\u00C9\u20AC", &valid), S_OK);
  EXPECT_EQ(valid, 1u);
  EXPECT_EQ(security->SendSPCode(nullptr, &valid), E_INVALIDARG);
  EXPECT_EQ(security->SendSPCode(u"0", nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace vx::connect::testing
