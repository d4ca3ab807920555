// CVexConnection: one link to the UT through the link server, the UT's NV
// item database once the connection is finished, its status answers, and
// the advise sink that hears of link state changes, last gasps and alerts.
//
// The object is used on the thread that created it. Three callbacks of the
// client library arrive on its listening thread: they write only the state
// field (atomically) and call the sink, which they read under a lock.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "kmx_ut_access.h"
#include "nv_enum.h"
#include "nv_database.h"
#include "status_cache.h"
#include "vxconnect.h"

namespace vx::connect {

class CVexConnection final
    : public vx::com::Implements<IVexConnectionExt, IVexFile, IVexDownload, IVexRFCal, IVexVersionExt,
                                 IVexSecurity, IVexParams1, IVexNVTree, IVexProgress> {
 public:
  CVexConnection() = default;
  ~CVexConnection() override;

  // IVexConnection
  HRESULT StartConnection() override;
  HRESULT FinishConnecting(LPCWSTR pwzPassword) override;
  HRESULT CloseConnection() override;
  HRESULT GetSpeed(ComPortSpeedType* speed) override;
  HRESULT SetSpeed(ComPortSpeedType speed) override;
  HRESULT GetComPort(ComPortType* port) override;
  HRESULT SetComPort(ComPortType port) override;
  HRESULT GetTimeout(UINT* seconds) override;
  HRESULT SetTimeout(UINT seconds) override;
  HRESULT IsConnected(UINT* connected) override;
  HRESULT Advise(IVexAdviseConnectState* sink) override;
  HRESULT UnAdvise() override;
  HRESULT GetKMXHandle(void** handle) override;
  HRESULT PrepareForDownload() override;
  HRESULT GetConnectionState(UINT* state) override;
  HRESULT SendResetCmd() override;
  HRESULT GetAvailableSpeeds(UINT* rates) override;
  HRESULT GetLastTypedSPC(LPWSTR* spc) override;
  // IVexConnectionExt
  HRESULT GetComPortName(char* name) override;
  HRESULT SetComPortName(const char* name) override;
  HRESULT SetMessagesEnabled(UINT enabled) override;

  // IVexFile
  HRESULT ReadNVFileInfo(const char* szFilename, UI2* pusNrVer, UI4* pulVer, LPWSTR* ppszUtModel) override;
  HRESULT ReadNVFromFile(const char* szFilename, const char* szLogFilename, I4 ActuallyUpdatePhone) override;
  HRESULT WriteNVToFile(const char* szFilename) override;

  // IVexVersion, IVexVersionExt
  HRESULT UpdateAllItems() override;
  HRESULT GetESN(LPWSTR* text) override;
  HRESULT GetCDMAStationClassMark(LPWSTR* text) override;
  HRESULT GetGAIProtocolRev(LPWSTR* text) override;
  HRESULT GetIS95ProtocolRev(LPWSTR* text) override;
  HRESULT GetUTFirmwareRev(LPWSTR* text) override;
  HRESULT GetUTModel(LPWSTR* text) override;
  HRESULT GetWarrantyDateCode(LPWSTR* text) override;
  HRESULT GetGUMVersion(UI2* hardware, UI2* firmware) override;
  HRESULT GetDSPFirmwareVersion(LPWSTR* text) override;
  HRESULT GetUTType(UI2* type) override;
  HRESULT GetSMID(LPWSTR* text) override;
  HRESULT GetServiceProgrammingDate(SYSTEMTIME* date) override;
  HRESULT GetCalBlockFormatVer(LPWSTR* text) override;
  HRESULT GetCalBlockStationCodeVer(LPWSTR* text) override;
  HRESULT GetCalDate(UI2* month, UI2* day, UI2* year) override;
  HRESULT GetCalTestStation(LPWSTR* text) override;
  HRESULT GetManufacturerCode(LPWSTR* text) override;
  HRESULT GetUTVersionStr(LPWSTR* text) override;
  HRESULT GetUTMainModel(UTMainModel* model) override;
  HRESULT GetCalBlockVersion(LPWSTR* text) override;

  // IVexSecurity
  HRESULT SendSecurityPassword(LPCWSTR pwzPassword, UINT* puIsValid) override;
  HRESULT SendSPCode(LPCWSTR pwzPassword, UINT* puIsValid) override;

  // IVexParams1
  HRESULT ReadNode32BitValue(LPCWSTR path, NVNodeDataType* type, UI4* value) override;
  HRESULT WriteNode32BitValue(LPCWSTR path, UI4 value) override;
  HRESULT ReadNodeEnumValue(LPCWSTR path, LPWSTR* name, UI4* value) override;
  HRESULT ReadNodeEnumEntries(LPCWSTR path, LPWSTR* entries, UI4* count) override;
  HRESULT WriteNodeEnumValue(LPCWSTR path, UI4 value) override;
  HRESULT WriteNodeEnumString(LPCWSTR path, LPCWSTR name) override;
  HRESULT CommitChanges() override;
  HRESULT IsItemAllocatedInPhone(LPCWSTR item, UINT* allocated) override;
  HRESULT IsItemAllocatedInBrowser(LPCWSTR item, UINT* allocated) override;
  HRESULT IsBrowserDirty(UINT* changedItems) override;

  // IVexNVTree
  HRESULT GetItemNames(LPWSTR* names) override;
  HRESULT GetItemLeaves(LPCWSTR item, LPWSTR* lines) override;
  HRESULT GetItemsMissingFrom(const char* szFilename, LPWSTR* names) override;

  // IVexProgress
  HRESULT SetProgressSink(IVexProgressSink* sink) override;

 private:
  // Closes the registrations and, unless the link is kept for a download,
  // the connection; drops the NV database either way.
  HRESULT closeInternally(bool keepLink);
  // Closes the connection after a failed finishing step.
  void dropLink();
  // Loads the NV database (a failed load leaves an empty one).
  HRESULT loadDatabase();
  // IsConnected as a flag.
  bool connected();
  // The check every NV method makes first: S_OK when connected.
  HRESULT connectedCheck();
  // Resolves a path to an enumerated field.
  struct EnumNode {
    vx::nvdb::NodeRef ref;
    vx::nvdb::EnumField field;
  };
  std::optional<EnumNode> resolveEnum(LPCWSTR path);
  // Stores a value into a node's item buffer and marks the node changed;
  // E_FAIL for a node that holds no writable scalar.
  HRESULT stage(const vx::nvdb::NodeRef& ref, uint32_t value);
  // Resolves a wide path in the NV database, expanding its item.
  std::optional<vx::nvdb::NodeRef> resolve(LPCWSTR path);
  // The shared body of the two security methods.
  HRESULT sendCode(LPCWSTR code, UINT* valid, bool serviceCode);
  // A leaf's value through ReadNode32BitValue, for the version getters.
  HRESULT readNvValue(const std::u16string& path, UI4* value);

  // The UT's model text, as GetUTModel gives it, after a refresh.
  HRESULT utModelText(std::string& model);
  // Reports a message of a file operation when messages are enabled.
  void reportMessage(const std::string& text) const;

  // Called by the client library on its listening thread.
  static void onStateChange(uint32_t linkState, void* self);
  static void onLastGasp(uint32_t timeStampHigh, uint32_t timeStampLow, const char* text, void* self);
  static void onAlert(uint32_t id, const void* data, uint32_t length, void* self);
  vx::com::ComPtr<IVexAdviseConnectState> currentSink();
  // Tells the progress sink, if one is set, of a step's figures.
  void reportProgress(VexProgressStep step, uint64_t done, uint64_t total);

  void* connection_ = nullptr;
  void* lastGaspRegistration_ = nullptr;
  void* alertRegistration_ = nullptr;
  std::unique_ptr<vx::nvdb::KmxUtAccess> ut_;

  UINT timeoutSeconds_ = 0;
  std::atomic<UINT> state_{4};
  // How often the link has left the up state: a long job that spans a drop
  // knows that what it read meanwhile is not the UT's.
  std::atomic<uint32_t> linkDrops_{0};
  std::string portName_ = "COM1";
  ComPortSpeedType speed_ = COM_115200;
  bool messagesEnabled_ = true;
  std::u16string lastTypedSpc_;

  std::mutex sinkLock_;
  vx::com::ComPtr<IVexAdviseConnectState> sink_;
  // Called on the caller's thread only, so it needs no lock.
  vx::com::ComPtr<IVexProgressSink> progressSink_;

  // The NV database ("the browser"): exists from a finished connection until
  // the connection is closed or prepared for a download.
  std::unique_ptr<vx::nvdb::NvDatabase> database_;
  StatusCache status_;
};

}  // namespace vx::connect
