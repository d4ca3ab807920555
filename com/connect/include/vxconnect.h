// The connection object of libvxconnect.so: one link to the UT, its NV items
// by dotted path, its identity and versions, and its security codes.
//
// Create it with CoCreateInstance(CLSID_VexConnection) (ProgID
// "UTVEXConn.UTVEXConn"). Every interface below lists its methods in
// virtual-table order, so C++ code outside the suite can call the object
// through this header alone. Strings returned through LPWSTR* are
// task-allocated: the caller frees them with CoTaskMemFree.
//
// The object is apartment-threaded: call it from the thread that created
// it. The advise sink is called on the client library's listening thread.
#pragma once

#include "vxcom.h"

// --- type library enumerations ----------------------------------------------------

enum ComPortSpeedType : int32_t {
  COM_9600 = 9600,
  COM_19200 = 19200,
  COM_38400 = 38400,
  COM_57600 = 57600,
  COM_115200 = 115200,
};

enum ComPortType : int32_t {
  COM_1 = 1,
  COM_2 = 2,
  COM_3 = 3,
  COM_4 = 4,
};

enum UTMainModel : int32_t {
  UTM_TRIMODE_PORTABLE = 1,
  UTM_SINGLEMODE_PORTABLE = 2,
  UTM_DIGITAL_FIXED = 3,
  UTM_ANALOG_FIXED = 4,
  UTM_MODULE = 5,
  UTM_UNKNOWN = 99,
};

// The data type of an NV tree node.
enum NVNodeDataType : int32_t {
  NV_UNKNOWN = 0,
  NV_PTR = 1,
  NV_CHAR = 2,
  NV_SHORT = 3,
  NV_INT = 4,
  NV_LONG = 5,
  NV_FLOAT = 6,
  NV_DOUBLE = 7,
  NV_UCHAR = 8,
  NV_USHORT = 9,
  NV_UINT = 10,
  NV_ULONG = 11,
  NV_BLOB = 12,
  NV_BITFIELD = 13,
  NV_UBITFIELD = 14,
};

// --- failure codes of the connection object ----------------------------------------

inline constexpr HRESULT VEX_E_LINK_NOT_UP_REFRESH = vx::com::detail::hr(0x80040301u);
inline constexpr HRESULT VEX_E_NO_DATA = vx::com::detail::hr(0x80040302u);
inline constexpr HRESULT VEX_E_STATUS_REQUEST = vx::com::detail::hr(0x80040309u);
inline constexpr HRESULT VEX_E_TEXT_CONVERSION = vx::com::detail::hr(0x80040320u);
inline constexpr HRESULT VEX_E_DATA_TOO_SHORT = vx::com::detail::hr(0x80040321u);
inline constexpr HRESULT VEX_E_NOT_CONNECTED = vx::com::detail::hr(0x80040323u);
inline constexpr HRESULT VEX_E_SPC_REJECTED = vx::com::detail::hr(0x80040324u);
inline constexpr HRESULT VEX_E_SESSION_REFUSED = vx::com::detail::hr(0x80040327u);
inline constexpr HRESULT VEX_E_OTHER_MODEL = vx::com::detail::hr(0x80040328u);
inline constexpr HRESULT VEX_E_CREATE_CONNECTION = vx::com::detail::hr(0x8004032Cu);
inline constexpr HRESULT VEX_E_NV_DATABASE = vx::com::detail::hr(0x8004032Du);

// The size of the port name field that GetComPortName copies.
inline constexpr unsigned kVexPortNameSize = 20;
// The longest port name SetComPortName takes, its NUL included: a path such
// as /dev/serial/by-id/usb-..., not only a short device name.
inline constexpr unsigned kVexPortPathSize = 4096;

// --- interfaces ---------------------------------------------------------------------

// Implemented by the client; called on the client library's listening thread.
struct IVexAdviseConnectState : IUnknown {
  VX_COM_INTERFACE(IVexAdviseConnectState, IUnknown, "{F9780AD5-25A9-4A9F-B77F-65308C6AF581}")
  virtual HRESULT StateChange(UINT newState) = 0;
  virtual HRESULT LastGasp(UI4 w32TimeStampHigh, UI4 w32TimeStampLow, LPSTR errMsg) = 0;
  virtual HRESULT Alert(UI1 alertId) = 0;
};

struct IVexConnection : IUnknown {
  VX_COM_INTERFACE(IVexConnection, IUnknown, "{BF209E4D-4E33-4BE5-93E5-F0D05944A817}")
  virtual HRESULT StartConnection() = 0;
  virtual HRESULT FinishConnecting(LPCWSTR pwzPassword) = 0;
  virtual HRESULT CloseConnection() = 0;
  virtual HRESULT GetSpeed(ComPortSpeedType* speed) = 0;
  virtual HRESULT SetSpeed(ComPortSpeedType speed) = 0;
  virtual HRESULT GetComPort(ComPortType* port) = 0;
  virtual HRESULT SetComPort(ComPortType port) = 0;
  virtual HRESULT GetTimeout(UINT* seconds) = 0;
  virtual HRESULT SetTimeout(UINT seconds) = 0;
  virtual HRESULT IsConnected(UINT* connected) = 0;
  virtual HRESULT Advise(IVexAdviseConnectState* sink) = 0;
  virtual HRESULT UnAdvise() = 0;
  // Lends the KMX connection handle (null when there is none); the object
  // keeps owning it.
  virtual HRESULT GetKMXHandle(void** handle) = 0;
  virtual HRESULT PrepareForDownload() = 0;
  virtual HRESULT GetConnectionState(UINT* state) = 0;
  virtual HRESULT SendResetCmd() = 0;
  virtual HRESULT GetAvailableSpeeds(UINT* rates) = 0;
  virtual HRESULT GetLastTypedSPC(LPWSTR* spc) = 0;
};

// IVexConnection and three methods more: the port by any device name the
// serial driver resolves ("COM1", "ttyUSB0", "UT1"), and the messages flag.
struct IVexConnectionExt : IVexConnection {
  VX_COM_INTERFACE(IVexConnectionExt, IVexConnection, "{8709E85A-F601-11D3-8871-00805F9B5A6C}")
  // Copies the kVexPortNameSize-byte port name field (NUL-terminated): the
  // name, cut to fit when it is a longer path.
  virtual HRESULT GetComPortName(char* name) = 0;
  // Takes a NUL-terminated name (or path) of fewer than kVexPortPathSize
  // bytes, read no further than its terminator; a longer one is
  // E_INVALIDARG.
  virtual HRESULT SetComPortName(const char* name) = 0;
  // Whether the NV database load reports its failures (on standard error).
  virtual HRESULT SetMessagesEnabled(UINT enabled) = 0;
};

// NV backup files: save every NV item the UT holds into a text file, and
// restore such a file into the item cache and, on request, into the UT,
// with a report of what was restored. File names are UTF-8 paths.
struct IVexFile : IUnknown {
  VX_COM_INTERFACE(IVexFile, IUnknown, "{78D812A9-4740-4FB1-A2CC-943A77049163}")
  // The header of a backup file; the model (optional) is task-allocated.
  virtual HRESULT ReadNVFileInfo(const char* szFilename, UI2* pusNrVer, UI4* pulVer, LPWSTR* ppszUtModel) = 0;
  // The restore report goes to szLogFilename; with ActuallyUpdatePhone 0
  // only the cache is changed.
  virtual HRESULT ReadNVFromFile(const char* szFilename, const char* szLogFilename, I4 ActuallyUpdatePhone) = 0;
  virtual HRESULT WriteNVToFile(const char* szFilename) = 0;
};

// Markers without methods.
struct IVexDownload : IUnknown {
  VX_COM_INTERFACE(IVexDownload, IUnknown, "{8F22530D-DCF9-4A61-9E45-5AAC07F64D0E}")
};
struct IVexRFCal : IUnknown {
  VX_COM_INTERFACE(IVexRFCal, IUnknown, "{877619DE-9F6F-40EC-A7BA-BC4BA111F0A2}")
};

struct IVexVersion : IUnknown {
  VX_COM_INTERFACE(IVexVersion, IUnknown, "{C6B1ED2E-26CA-466A-B94B-C18ECDB15B5D}")
  virtual HRESULT UpdateAllItems() = 0;
  virtual HRESULT GetESN(LPWSTR* text) = 0;
  virtual HRESULT GetCDMAStationClassMark(LPWSTR* text) = 0;
  virtual HRESULT GetGAIProtocolRev(LPWSTR* text) = 0;
  virtual HRESULT GetIS95ProtocolRev(LPWSTR* text) = 0;
  virtual HRESULT GetUTFirmwareRev(LPWSTR* text) = 0;
  virtual HRESULT GetUTModel(LPWSTR* text) = 0;
  virtual HRESULT GetWarrantyDateCode(LPWSTR* text) = 0;
  virtual HRESULT GetGUMVersion(UI2* hardware, UI2* firmware) = 0;
  virtual HRESULT GetDSPFirmwareVersion(LPWSTR* text) = 0;
  virtual HRESULT GetUTType(UI2* type) = 0;
  virtual HRESULT GetSMID(LPWSTR* text) = 0;
  virtual HRESULT GetServiceProgrammingDate(SYSTEMTIME* date) = 0;
  virtual HRESULT GetCalBlockFormatVer(LPWSTR* text) = 0;
  virtual HRESULT GetCalBlockStationCodeVer(LPWSTR* text) = 0;
  virtual HRESULT GetCalDate(UI2* month, UI2* day, UI2* year) = 0;
  virtual HRESULT GetCalTestStation(LPWSTR* text) = 0;
  virtual HRESULT GetManufacturerCode(LPWSTR* text) = 0;
  virtual HRESULT GetUTVersionStr(LPWSTR* text) = 0;
  virtual HRESULT GetUTMainModel(UTMainModel* model) = 0;
};

// IVexVersion and one method more: the calibration block version of the
// newer layout, "%d.%d.%d".
struct IVexVersionExt : IVexVersion {
  VX_COM_INTERFACE(IVexVersionExt, IVexVersion, "{5C4A0846-9B92-11D3-8954-00805F9B5A6C}")
  virtual HRESULT GetCalBlockVersion(LPWSTR* text) = 0;
};

struct IVexSecurity : IUnknown {
  VX_COM_INTERFACE(IVexSecurity, IUnknown, "{AD635692-3591-40D9-85BE-17AC2CC49F66}")
  virtual HRESULT SendSecurityPassword(LPCWSTR pwzPassword, UINT* puIsValid) = 0;
  virtual HRESULT SendSPCode(LPCWSTR pwzPassword, UINT* puIsValid) = 0;
};

// NV values by dotted path ("NV_UI_WARRANTY_DATE_CODE.
// ui_nv_warranty_date_code_type.wdc[5].wdc[0]"). Writes are staged in the
// object's item cache; nothing reaches the UT before CommitChanges.
struct IVexParams1 : IUnknown {
  VX_COM_INTERFACE(IVexParams1, IUnknown, "{A23BEB4B-C51D-11D2-88FD-00805F9B5A6C}")
  virtual HRESULT ReadNode32BitValue(LPCWSTR path, NVNodeDataType* type, UI4* value) = 0;
  virtual HRESULT WriteNode32BitValue(LPCWSTR path, UI4 value) = 0;
  virtual HRESULT ReadNodeEnumValue(LPCWSTR path, LPWSTR* name, UI4* value) = 0;
  // One "%s,%d,\r\n" line per constant, in declaration order.
  virtual HRESULT ReadNodeEnumEntries(LPCWSTR path, LPWSTR* entries, UI4* count) = 0;
  virtual HRESULT WriteNodeEnumValue(LPCWSTR path, UI4 value) = 0;
  virtual HRESULT WriteNodeEnumString(LPCWSTR path, LPCWSTR name) = 0;
  virtual HRESULT CommitChanges() = 0;
  virtual HRESULT IsItemAllocatedInPhone(LPCWSTR item, UINT* allocated) = 0;
  virtual HRESULT IsItemAllocatedInBrowser(LPCWSTR item, UINT* allocated) = 0;
  virtual HRESULT IsBrowserDirty(UINT* changedItems) = 0;
};

// The NV item tree as text, for browsers and command lines. Results are
// task-allocated; lines end in "\n".
struct IVexNVTree : IUnknown {
  VX_COM_INTERFACE(IVexNVTree, IUnknown, "{6B1E0F42-3C57-4D8A-9E21-7F0C5B3A9D14}")
  // Every item of the tree, in tree order, one name per line.
  virtual HRESULT GetItemNames(LPWSTR* names) = 0;
  // Every leaf of one item (expanding it), one line each:
  // path TAB type name TAB value TAB changed ("0" or "1"). The value is
  // decimal (signed for signed types), or the constant's name for an
  // enumerated leaf whose value has one.
  virtual HRESULT GetItemLeaves(LPCWSTR item, LPWSTR* lines) = 0;
  // The UT's items a restore of the backup file (a UTF-8 path) would find
  // nothing for, one name per line: plain items it would skip, and lists
  // whose entries it would delete. A file that cannot be read or parsed is
  // E_FAIL, with the reason in the thread's error description.
  virtual HRESULT GetItemsMissingFrom(const char* szFilename, LPWSTR* names) = 0;
};

// The steps of the object's long work that report progress. Each counts
// its own units from 0 to its total.
enum VexProgressStep : int32_t {
  VEX_STEP_SYMBOL_INFORMATION = 1,  // FinishConnecting: bytes of the symbol information read
  VEX_STEP_ITEM_TABLES = 2,         // FinishConnecting: bytes of the two item tables read
  VEX_STEP_ITEM_DIMENSIONS = 3,     // FinishConnecting: items whose element count is known
  VEX_STEP_SAVE_ITEMS = 4,          // WriteNVToFile: item elements saved
  VEX_STEP_RESTORE_ITEMS = 5,       // ReadNVFromFile: item elements restored
};

// Implemented by the client; called on the thread of the call that does the
// work, between its UT exchanges.
struct IVexProgressSink : IUnknown {
  VX_COM_INTERFACE(IVexProgressSink, IUnknown, "{2D4C7A90-5B1E-4F63-8C0A-91E7D35B6F28}")
  virtual HRESULT Progress(VexProgressStep step, UI4 done, UI4 total) = 0;
};

// Where the connection object reports the progress of FinishConnecting,
// WriteNVToFile and ReadNVFromFile. A null sink stops the reports.
struct IVexProgress : IUnknown {
  VX_COM_INTERFACE(IVexProgress, IUnknown, "{A7E3B5C1-0F4D-4E92-B6A8-3C1D9E2F7B05}")
  virtual HRESULT SetProgressSink(IVexProgressSink* sink) = 0;
};

// The name of a node data type as GetItemLeaves writes it.
inline const char* VexNodeTypeName(NVNodeDataType type) {
  switch (type) {
    case NV_PTR: return "ptr";
    case NV_CHAR: return "char";
    case NV_SHORT: return "short";
    case NV_INT: return "int";
    case NV_LONG: return "long";
    case NV_FLOAT: return "float";
    case NV_DOUBLE: return "double";
    case NV_UCHAR: return "uchar";
    case NV_USHORT: return "ushort";
    case NV_UINT: return "uint";
    case NV_ULONG: return "ulong";
    case NV_BLOB: return "blob";
    case NV_BITFIELD: return "bitfield";
    case NV_UBITFIELD: return "ubitfield";
    case NV_UNKNOWN: break;
  }
  return "unknown";
}

// Whether values of the type are read as signed numbers.
inline bool VexNodeTypeIsSigned(NVNodeDataType type) {
  return type == NV_CHAR || type == NV_SHORT || type == NV_INT || type == NV_LONG || type == NV_BITFIELD;
}

// --- classes ------------------------------------------------------------------------

inline constexpr CLSID CLSID_VexConnection =
    vx::com::MakeGuid("{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}");
// Registered so that its ProgID resolves; no object of it is served.
inline constexpr CLSID CLSID_VexNVNode = vx::com::MakeGuid("{437EF703-DB08-11D2-8909-00805F9B5A6C}");
inline constexpr GUID LIBID_VexConnection =
    vx::com::MakeGuid("{F6EDB331-C2C3-11D2-88FD-00805F9B5A6C}");
