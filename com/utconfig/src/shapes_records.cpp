#include "shapes_records.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "digit_codes.h"
#include "nv_path.h"
#include "nv_port.h"
#include "shapes_basic.h"
#include "vx/com/no_throw.h"
#include "vx/com/strings.h"
#include "vx/com/task_memory.h"

namespace vx::utconfig {

namespace {

constexpr UI4 kUnusedSp = 0xFFF;
constexpr int kSpNameLength = 12;

HRESULT readAll(const NvPort& nv, const std::vector<std::string>& paths, std::vector<UI4>* values,
                NVNodeDataType expected = NV_UNKNOWN) {
  values->assign(paths.size(), 0);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const HRESULT hr = nv.readChecked(paths[i], expected, &(*values)[i]);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT writeAll(const NvPort& nv, const std::vector<std::string>& paths, const std::vector<UI4>& values) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const HRESULT hr = nv.write(paths[i], values[i]);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// The row's non-null paths for index n.
std::vector<std::string> rowPaths(const Row& row, int n) {
  std::vector<std::string> paths;
  for (const char* path : {row.path, row.path2, row.path3, row.path4}) {
    if (path != nullptr) paths.push_back(NvPath(path, n));
  }
  return paths;
}

// The SP entry's name arrays: 12 characters of either layout's array.
std::string spNameArray(const NvPort& nv, const std::string& base, const char* name) {
  const std::string shortForm = base + ".sp_name." + name + "[12]";
  UI4 value = 0;
  if (SUCCEEDED(nv.readChecked(shortForm + "." + name + "[0]", NV_UNKNOWN, &value))) return shortForm;
  return base + ".sp_name." + name + "[33]";
}

// A leaf whose kind the UT's symbol information decides: a leaf declared
// with an enum type is read and written as an enum, any other as a number.
HRESULT readEnumOrNumber(const NvPort& nv, const std::string& path, UI4* value, bool* isEnum) {
  LPWSTR name = nullptr;
  const HRESULT asEnum = nv.readEnum(path, &name, value);
  CoTaskMemFree(name);
  *isEnum = SUCCEEDED(asEnum);
  return *isEnum ? asEnum : nv.readChecked(path, NV_UNKNOWN, value);
}

HRESULT writeEnumOrNumber(const NvPort& nv, const std::string& path, UI4 value) {
  UI4 current = 0;
  bool isEnum = false;
  const HRESULT hr = readEnumOrNumber(nv, path, &current, &isEnum);
  if (FAILED(hr)) return hr;
  return isEnum ? nv.writeEnumValue(path, value) : nv.write(path, value);
}

std::string element(const std::string& array, const char* name, int k) {
  return array + "." + name + "[" + std::to_string(k) + "]";
}

template <class Entry>
HRESULT spEntry(IVexParams1* params, const Row& row, GetSetType gstType, int n, Entry* caller) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, caller != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string base = NvPath(row.path, n);
    auto names = [](Entry& e) {
      if constexpr (requires { e.u_mcc_name; })
        return std::pair{e.u_mcc_name, e.u_mnc_name};
      else
        return std::pair{e.mcc_name, e.mnc_name};
    };

    if (!IsGet(gstType)) {
      Entry entry = *caller;
      auto [mccName, mncName] = names(entry);
      UI4 mcc = kUnusedSp, mnc = kUnusedSp;
      if (entry.valid == 0) {
        std::fill_n(mccName, kSpNameLength, ' ');
        std::fill_n(mncName, kSpNameLength, ' ');
        entry.pos_in_pref_list = 0xFF;
        entry.is_prohibited = 0;
      } else {
        mcc = PackSpDigits(entry.mcc);
        mnc = PackSpDigits(entry.mnc);
      }
      hr = writeAll(nv, {base + ".sp_id.mcc", base + ".sp_id.mnc", base + ".pos_in_pref_list", base + ".is_prohibited"},
                    {mcc, mnc, entry.pos_in_pref_list, entry.is_prohibited});
      if (FAILED(hr)) return hr;
      const std::string mccArray = spNameArray(nv, base, "mcc_name");
      const std::string mncArray = spNameArray(nv, base, "mnc_name");
      for (int k = 0; k < kSpNameLength; ++k) {
        using Unsigned = std::make_unsigned_t<std::remove_reference_t<decltype(mccName[0])>>;
        hr = nv.write(element(mccArray, "mcc_name", k), static_cast<Unsigned>(mccName[k]));
        if (FAILED(hr)) return hr;
      }
      for (int k = 0; k < kSpNameLength; ++k) {
        using Unsigned = std::make_unsigned_t<std::remove_reference_t<decltype(mncName[0])>>;
        hr = nv.write(element(mncArray, "mnc_name", k), static_cast<Unsigned>(mncName[k]));
        if (FAILED(hr)) return hr;
      }
      return nv.write(row.path2, 1);  // the table changed
    }

    Entry entry{};
    std::vector<UI4> id;
    hr = readAll(nv, {base + ".sp_id.mcc", base + ".sp_id.mnc"}, &id);
    if (FAILED(hr)) return hr;
    entry.ksp_position = n;
    if (id[0] != kUnusedSp || id[1] != kUnusedSp) {
      UnpackSpDigits(id[0], entry.mcc);
      UnpackSpDigits(id[1], entry.mnc);
      std::vector<UI4> flags;
      hr = readAll(nv, {base + ".pos_in_pref_list", base + ".is_prohibited"}, &flags);
      if (FAILED(hr)) return hr;
      entry.pos_in_pref_list = static_cast<uint8_t>(flags[0]);
      entry.is_prohibited = static_cast<uint8_t>(flags[1]);
      auto [mccName, mncName] = names(entry);
      const std::string mccArray = spNameArray(nv, base, "mcc_name");
      const std::string mncArray = spNameArray(nv, base, "mnc_name");
      for (int k = 0; k < kSpNameLength; ++k) {
        UI4 mccChar = 0, mncChar = 0;
        hr = nv.readChecked(element(mccArray, "mcc_name", k), NV_UNKNOWN, &mccChar);
        if (SUCCEEDED(hr)) hr = nv.readChecked(element(mncArray, "mnc_name", k), NV_UNKNOWN, &mncChar);
        if (FAILED(hr)) return hr;
        mccName[k] = static_cast<std::remove_reference_t<decltype(mccName[0])>>(mccChar);
        mncName[k] = static_cast<std::remove_reference_t<decltype(mncName[0])>>(mncChar);
      }
      entry.valid = 1;
    }
    *caller = entry;
    return S_OK;
  });
}

// A NAM per-item allocation check, for the optional items' get.
HRESULT optionalPresent(const NvPort& nv, const char* itemTemplate, int n, bool* present) {
  return nv.isAllocated(NvPath(itemTemplate, n), present);
}

}  // namespace

HRESULT SpEntryShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, knownsp_entry_type* entry) {
  return spEntry(params, row, gstType, n, entry);
}

HRESULT SpEntryShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                     knownsp_entry_unicode_type* entry) {
  return spEntry(params, row, gstType, n, entry);
}

HRESULT SpRegistrationShape(IVexParams1* params, const Row& row, GetSetType gstType, last_sp_reg_type* reg) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    HRESULT hr = Prologue(params, !get || reg != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!get) return writeAll(nv, {row.path, row.path2}, {kUnusedSp, kUnusedSp});  // clears
    std::vector<UI4> id;
    hr = readAll(nv, {row.path, row.path2}, &id);
    if (FAILED(hr)) return hr;
    last_sp_reg_type read{};
    if (id[0] != kUnusedSp || id[1] != kUnusedSp) {
      UI4 mode = 0;
      hr = nv.readChecked(row.path3, NV_UNKNOWN, &mode);
      if (FAILED(hr)) return hr;
      UnpackSpDigits(id[0], read.mcc);
      UnpackSpDigits(id[1], read.mnc);
      read.digit_tmode = static_cast<uint8_t>(mode);
      read.valid = 1;
    }
    *reg = read;
    return S_OK;
  });
}

HRESULT HomeSpShape(IVexParams1* params, const Row& row, GetSetType gstType, last_sp_reg_type* sp) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, sp != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!IsGet(gstType)) {
      const bool used = sp->valid != 0;
      return writeAll(nv, {row.path, row.path2},
                      {used ? PackSpDigits(sp->mcc) : kUnusedSp, used ? PackSpDigits(sp->mnc) : kUnusedSp});
    }
    std::vector<UI4> id;
    hr = readAll(nv, {row.path, row.path2}, &id);
    if (FAILED(hr)) return hr;
    last_sp_reg_type read{};
    if (id[0] != kUnusedSp || id[1] != kUnusedSp) {
      UnpackSpDigits(id[0], read.mcc);
      UnpackSpDigits(id[1], read.mnc);
      read.valid = 1;
    }
    *sp = read;
    return S_OK;
  });
}

HRESULT SatelliteImsiShape(IVexParams1* params, const Row& row, GetSetType gstType, orbitnet_imsi_type* imsi) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, imsi != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    // 16 half-bytes, high half first: MCC, MNC, MSIN.
    auto digitAt = [](orbitnet_imsi_type& r, int i) -> char& {
      return i < 3 ? r.mcc[i] : i < 6 ? r.mnc[i - 3] : r.msin[i - 6];
    };
    if (!IsGet(gstType)) {
      orbitnet_imsi_type source = *imsi;
      hr = writeEnumOrNumber(nv, row.path, static_cast<UI4>(source.imsi_type));
      if (FAILED(hr)) return hr;
      for (int j = 0; j < row.count; ++j) {
        const UI4 byte = (EncodeImsiDigit(digitAt(source, 2 * j)) << 4) | EncodeImsiDigit(digitAt(source, 2 * j + 1));
        hr = nv.write(NvPath(row.path2, 0, j), byte);
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    }
    orbitnet_imsi_type read{};
    UI4 type = 0;
    bool isEnum = false;
    hr = readEnumOrNumber(nv, row.path, &type, &isEnum);
    if (FAILED(hr)) return hr;
    read.imsi_type = static_cast<OBIMSIType>(type);
    for (int j = 0; j < row.count; ++j) {
      UI4 byte = 0;
      hr = nv.readChecked(NvPath(row.path2, 0, j), NV_UNKNOWN, &byte);
      if (FAILED(hr)) return hr;
      digitAt(read, 2 * j) = DecodeImsiDigit((byte >> 4) & 0xFu);
      digitAt(read, 2 * j + 1) = DecodeImsiDigit(byte & 0xFu);
    }
    read.valid = 1;
    *imsi = read;
    return S_OK;
  });
}

HRESULT HomeGatewayShape(IVexParams1* params, const Row& row, GetSetType gstType, int16_t* channel, int32_t* gateway) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, channel != nullptr && gateway != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!IsGet(gstType)) {
      return writeAll(nv, {row.path, row.path2},
                      {static_cast<UI4>(static_cast<uint16_t>(*channel)), static_cast<UI4>(*gateway)});
    }
    UI4 readChannel = 0, readGateway = 0;
    hr = nv.readChecked(row.path, NV_SHORT, &readChannel);
    if (SUCCEEDED(hr)) hr = nv.readChecked(row.path2, NV_LONG, &readGateway);
    if (FAILED(hr)) return hr;
    *channel = static_cast<int16_t>(readChannel);
    *gateway = static_cast<int32_t>(readGateway);
    return S_OK;
  });
}

HRESULT ChannelListShape(IVexParams1* params, const Row& row, GetSetType gstType, aclist_type* list) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, list != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!IsGet(gstType)) {
      for (int k = 0; k < row.count; ++k) {
        hr = nv.write(NvPath(row.path, 0, k), static_cast<uint16_t>(list->acl[k]));
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    }
    aclist_type read{};
    for (int k = 0; k < row.count; ++k) {
      UI4 channel = 0;
      hr = nv.readChecked(NvPath(row.path, 0, k), NV_UNKNOWN, &channel);
      if (FAILED(hr)) return hr;
      read.acl[k] = static_cast<int16_t>(channel);
    }
    read.valid = 1;
    *list = read;
    return S_OK;
  });
}

HRESULT CellularImsiShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, cellular_imsi_type* imsi) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, imsi != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::vector<std::string> paths = rowPaths(row, n);  // MCC, 11_12, MIN2, MIN1
    if (!IsGet(gstType)) {
      return writeAll(nv, paths,
                      {EncodeDigitGroup(imsi->mcc, 3), EncodeDigitGroup(imsi->i11_12, 2),
                       EncodeDigitGroup(imsi->min2, 3), EncodeMin1(imsi->min1)});
    }
    std::vector<UI4> values;
    hr = readAll(nv, paths, &values);
    if (FAILED(hr)) return hr;
    cellular_imsi_type read{};  // valid stays 0
    DecodeDigitGroup(values[0], 3, read.mcc);
    DecodeDigitGroup(values[1], 2, read.i11_12);
    DecodeDigitGroup(values[2], 3, read.min2);
    DecodeMin1(values[3], read.min1);
    *imsi = read;
    return S_OK;
  });
}

HRESULT AmpsMinShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, amps_min_type* min) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, min != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::vector<std::string> paths = rowPaths(row, n);  // MIN2, MIN1
    if (!IsGet(gstType)) return writeAll(nv, paths, {EncodeDigitGroup(min->min2, 3), EncodeMin1(min->min1)});
    std::vector<UI4> values;
    hr = readAll(nv, paths, &values);
    if (FAILED(hr)) return hr;
    amps_min_type read{};
    DecodeDigitGroup(values[0], 3, read.min2);
    DecodeMin1(values[1], read.min1);
    *min = read;
    return S_OK;
  });
}

namespace {

// A record of plain leaves: `fields` reads and writes them in row order.
template <class Record, class Fields>
HRESULT leafRecord(IVexParams1* params, const Row& row, GetSetType gstType, int n, Record* caller, Fields fields) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, caller != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::vector<std::string> paths = rowPaths(row, n);
    if (!IsGet(gstType)) {
      std::vector<UI4> values;
      fields.store(*caller, values);
      return writeAll(nv, paths, values);
    }
    std::vector<UI4> values;
    hr = readAll(nv, paths, &values);
    if (FAILED(hr)) return hr;
    Record read{};
    fields.load(read, values);
    read.valid = 1;
    *caller = read;
    return S_OK;
  });
}

struct CdmaChannelFields {
  void store(const cdma_channels_type& r, std::vector<UI4>& v) const {
    v = {r.primary_a, r.primary_b, r.secondary_a, r.secondary_b};
  }
  void load(cdma_channels_type& r, const std::vector<UI4>& v) const {
    r.primary_a = static_cast<uint16_t>(v[0]);
    r.primary_b = static_cast<uint16_t>(v[1]);
    r.secondary_a = static_cast<uint16_t>(v[2]);
    r.secondary_b = static_cast<uint16_t>(v[3]);
  }
};

struct ControlChannelFields {
  void store(const amps_first_control_channel_type& r, std::vector<UI4>& v) const {
    v = {r.usChannelBandA, r.usChannelBandB};
  }
  void load(amps_first_control_channel_type& r, const std::vector<UI4>& v) const {
    r.usChannelBandA = static_cast<uint16_t>(v[0]);
    r.usChannelBandB = static_cast<uint16_t>(v[1]);
  }
};

struct TermRegistrationFields {
  void store(const term_registration_type& r, std::vector<UI4>& v) const {
    v = {static_cast<UI4>(r.bHomeSIDTerm), static_cast<UI4>(r.bForeignSIDTerm), static_cast<UI4>(r.bForeignNIDTerm)};
  }
  void load(term_registration_type& r, const std::vector<UI4>& v) const {
    r.bHomeSIDTerm = static_cast<int32_t>(v[0]);
    r.bForeignSIDTerm = static_cast<int32_t>(v[1]);
    r.bForeignNIDTerm = static_cast<int32_t>(v[2]);
  }
};

}  // namespace

HRESULT CdmaChannelsShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                          cdma_channels_type* channels) {
  return leafRecord(params, row, gstType, n, channels, CdmaChannelFields{});
}

HRESULT ControlChannelsShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                             amps_first_control_channel_type* channels) {
  return leafRecord(params, row, gstType, n, channels, ControlChannelFields{});
}

HRESULT TermRegistrationShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                              term_registration_type* reg) {
  return leafRecord(params, row, gstType, n, reg, TermRegistrationFields{});
}

HRESULT SidNidPairsShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, nv_sid_nid_type* pairs) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, pairs != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    nv_sid_nid_type read{};
    for (int r = 0; r < 2; ++r) {
      for (int k = 0; k < row.count; ++k) {
        const std::string sid = NvPath(row.path, n, k, r);
        const std::string nid = NvPath(row.path2, n, k, r);
        if (!IsGet(gstType)) {
          hr = writeAll(nv, {sid, nid}, {pairs->pair[r][k].sid, pairs->pair[r][k].nid});
          if (FAILED(hr)) return hr;
          continue;
        }
        std::vector<UI4> values;
        hr = readAll(nv, {sid, nid}, &values);
        if (FAILED(hr)) return hr;
        read.pair[r][k] = {static_cast<uint16_t>(values[0]), static_cast<uint16_t>(values[1])};
      }
    }
    if (IsGet(gstType)) {
      read.valid = 1;
      *pairs = read;
    }
    return S_OK;
  });
}

HRESULT SidLockShape(IVexParams1* params, const Row& row, GetSetType gstType, int32_t cdma, int n,
                     lock_sid_list_type* list) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, list != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const char* sids = cdma != 0 ? row.path : row.path2;
    if (!IsGet(gstType)) {
      for (int k = 0; k < row.count; ++k) {
        hr = nv.write(NvPath(sids, n, k), list->sid[k]);
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    }
    lock_sid_list_type read{};  // valid stays 0
    bool present = false;
    hr = optionalPresent(nv, cdma != 0 ? row.path3 : row.path4, n, &present);
    if (FAILED(hr)) return hr;
    for (int k = 0; present && k < row.count; ++k) {
      UI4 sid = 0;
      hr = nv.readChecked(NvPath(sids, n, k), NV_UNKNOWN, &sid);
      if (FAILED(hr)) return hr;
      read.sid[k] = static_cast<uint16_t>(sid);
    }
    *list = read;
    return S_OK;
  });
}

HRESULT AccolcShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, int32_t cdma, uint8_t set,
                    uint8_t* out) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, !IsGet(gstType) || out != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const int element = std::clamp(cdma, 0, 1);
    if (IsGet(gstType)) {
      bool present = false;
      hr = optionalPresent(NvPort(params), row.path2, n, &present);
      if (FAILED(hr)) return hr;
      if (!present) {
        *out = 0;
        return S_OK;
      }
    }
    return ScalarShape<uint8_t>(params, row, gstType, n, set, out, element);
  });
}

HRESULT OptionalChannelShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, uint16_t set,
                             uint16_t* out) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, !IsGet(gstType) || out != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    if (IsGet(gstType)) {
      bool present = false;
      hr = optionalPresent(NvPort(params), row.path2, n, &present);
      if (FAILED(hr)) return hr;
      if (!present) {
        *out = 0;
        return S_OK;
      }
    }
    return ScalarShape<uint16_t>(params, row, gstType, n, set, out);
  });
}

HRESULT OptionalEnumShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet, uint32_t ulSet,
                          uint32_t* pulResult, LPWSTR* ppszResult) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    HRESULT hr = Prologue(params, !get || (pulResult != nullptr && ppszResult != nullptr), row.index, n);
    if (FAILED(hr)) return hr;
    if (get) {
      bool present = false;
      hr = optionalPresent(NvPort(params), row.path2, n, &present);
      if (FAILED(hr)) return hr;
      if (!present) {
        LPWSTR name = vx::com::CoTaskMemStrDup(u"NV_WHEREABOUTS_KNOWN");
        if (name == nullptr) return E_OUTOFMEMORY;
        *ppszResult = name;
        *pulResult = 0;
        return S_OK;
      }
    }
    return EnumShape(params, row, row.path, gstType, n, szSet, ulSet, pulResult, ppszResult);
  });
}

HRESULT OrderReasonShape(IVexParams1* params, const Row& row, GetSetType gstType, uint8_t* first, uint8_t* second) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    HRESULT hr = Prologue(params, !get || (first != nullptr && second != nullptr), row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    if (!get) {
      // Both leaves are cleared even when the first write fails.
      const HRESULT firstWrite = nv.write(row.path, 0);
      const HRESULT secondWrite = nv.write(row.path2, 0);
      return FAILED(firstWrite) ? firstWrite : secondWrite;
    }
    std::vector<UI4> values;
    hr = readAll(nv, {row.path, row.path2}, &values, row.type);
    if (FAILED(hr)) return hr;
    *first = static_cast<uint8_t>(values[0]);
    *second = static_cast<uint8_t>(values[1]);
    return S_OK;
  });
}

HRESULT CallTimeShape(IVexParams1* params, const Row& row, GetSetType gstType, nv_calltime_type* time) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    HRESULT hr = Prologue(params, !get || time != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string base = row.path;
    const std::vector<std::string> paths = {base + ".hr", base + ".min", base + ".sec"};
    if (!get) return writeAll(nv, paths, {0, 0, 0});  // set clears
    std::vector<UI4> values;
    hr = readAll(nv, paths, &values);
    if (FAILED(hr)) return hr;
    time->usHours = static_cast<uint16_t>(values[0]);  // valid is left as the caller passed it
    time->ucMinutes = static_cast<uint8_t>(values[1]);
    time->ucSeconds = static_cast<uint8_t>(values[2]);
    return S_OK;
  });
}

HRESULT CallCountShape(IVexParams1* params, const Row& row, GetSetType gstType, uint32_t* count) {
  return ScalarShape<uint32_t>(params, row, gstType, 0, 0u, count);  // set clears
}

HRESULT ToneIndexShape(IVexParams1* params, const Row& row, GetSetType gstType, AFUTToneIDs tone, uint8_t* data) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, data != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    if (tone < AFUT_RING || tone >= AFUT_END_OF_ENUMS) return UTC_E_TONE_TYPE;
    const std::string path = WithTone(row.path, rows::kToneNames[tone]);
    const Row toneRow{row.method, row.shape, path.c_str(), row.type};
    return ScalarShape<uint8_t>(params, toneRow, gstType, 0, *data, data);
  });
}

HRESULT CustomToneShape(IVexParams1* params, const Row& row, GetSetType gstType, nv_afut_custom_tone_type* tone) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, tone != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    if (tone->toneType < AFUT_RING || tone->toneType >= AFUT_END_OF_ENUMS) return UTC_E_TONE_TYPE;
    const NvPort nv(params);
    const std::string tones = WithTone(row.path, rows::kToneNames[tone->toneType]);
    const std::string durations = WithTone(row.path2, rows::kToneNames[tone->toneType]);
    nv_afut_custom_tone_type read = *tone;
    for (int k = 0; k < row.count; ++k) {
      const std::vector<std::string> paths = {NvPath(tones.c_str(), 0, k), NvPath(durations.c_str(), 0, k)};
      if (!IsGet(gstType)) {
        hr = writeAll(nv, paths, {tone->tone[k], tone->duration_ms[k]});
        if (FAILED(hr)) return hr;
        continue;
      }
      std::vector<UI4> values;
      hr = readAll(nv, paths, &values);
      if (FAILED(hr)) return hr;
      read.tone[k] = static_cast<uint16_t>(values[0]);
      read.duration_ms[k] = static_cast<uint16_t>(values[1]);
    }
    if (IsGet(gstType)) {
      read.valid = 1;
      *tone = read;
    }
    return S_OK;
  });
}

HRESULT CustomDtmfShape(IVexParams1* params, const Row& row, GetSetType gstType, nv_afut_custom_dtmf_tone_type* dtmf) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, dtmf != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    nv_afut_custom_dtmf_tone_type read{};
    for (int k = 0; k < row.count; ++k) {
      const std::vector<std::string> paths = {NvPath(row.path, 0, k), NvPath(row.path2, 0, k)};
      if (!IsGet(gstType)) {
        hr = writeAll(nv, paths, {dtmf->index_hi[k], dtmf->index_lo[k]});
        if (FAILED(hr)) return hr;
        continue;
      }
      std::vector<UI4> values;
      hr = readAll(nv, paths, &values);
      if (FAILED(hr)) return hr;
      read.index_hi[k] = static_cast<uint16_t>(values[0]);
      read.index_lo[k] = static_cast<uint16_t>(values[1]);
    }
    if (IsGet(gstType)) {
      read.valid = 1;
      *dtmf = read;
    }
    return S_OK;
  });
}

HRESULT ProgDateNowAction(IVexParams1* params, const Row& row) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, true, row.index, 0);
    if (FAILED(hr)) return hr;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    const std::string base = row.path;
    return writeAll(
        NvPort(params),
        {base + ".Year", base + ".Month", base + ".DayOfWeek", base + ".Day", base + ".Hour", base + ".Minute",
         base + ".Second", base + ".Milliseconds"},
        {static_cast<UI4>(local.tm_year + 1900), static_cast<UI4>(local.tm_mon + 1), static_cast<UI4>(local.tm_wday),
         static_cast<UI4>(local.tm_mday), static_cast<UI4>(local.tm_hour), static_cast<UI4>(local.tm_min),
         static_cast<UI4>(local.tm_sec), static_cast<UI4>(now.tv_nsec / 1000000)});
  });
}

HRESULT IncrementWdcAction(IVexParams1* params, const Row& row) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, true, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    UI4 swaps = 0;
    hr = nv.readChecked(row.path, NV_UNKNOWN, &swaps);
    if (FAILED(hr)) return hr;
    // '9' (and anything not a digit) stays: the count stops there.
    if (swaps >= '0' && swaps <= '8') return nv.write(row.path, swaps + 1);
    return S_OK;
  });
}

HRESULT ResetSidNidListAction(IVexParams1* params, const Row& row) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, true, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    hr = writeAll(nv, {row.path, row.path2, row.path3}, {0, 0, 0});
    if (FAILED(hr)) return hr;
    return nv.writeEnumValue(row.path4, 0);
  });
}

HRESULT IsLanguageShape(IVexParams1* params, const Row& row, const int16_t* name, int32_t* result) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, name != nullptr && result != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    std::u16string entries;
    UI4 count = 0;
    hr = NvPort(params).readEnumEntries(row.path, &entries, &count);
    if (FAILED(hr)) return hr;
    if (entries.empty()) return E_OUTOFMEMORY;
    std::u16string wanted;
    for (const int16_t* unit = name; *unit != 0; ++unit) wanted += static_cast<char16_t>(*unit);
    const std::string list = vx::com::Utf16ToUtf8(entries);
    *result = list.find(vx::com::Utf16ToUtf8(wanted)) != std::string::npos ? 1 : 0;
    return S_OK;
  });
}

}  // namespace vx::utconfig
