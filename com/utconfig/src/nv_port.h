// The configuration object's one way to the UT: single NV values by path
// through the attached connection object's IVexParams1. Paths arrive as
// ASCII text built from the settings table.
#pragma once

#include <string>

#include "vxconnect.h"
#include "vxutconfig.h"

namespace vx::utconfig {

class NvPort {
 public:
  explicit NvPort(IVexParams1* params) : params_(params) {}

  // A leaf's value and data type.
  HRESULT read(const std::string& path, NVNodeDataType* type, UI4* value) const;
  // A leaf's value when its data type is `expected` (NV_UNKNOWN: any type);
  // UTC_E_WRONG_TYPE otherwise.
  HRESULT readChecked(const std::string& path, NVNodeDataType expected, UI4* value) const;
  HRESULT write(const std::string& path, UI4 value) const;

  // An enum leaf's member name (task-allocated, handed on to the caller) and number.
  HRESULT readEnum(const std::string& path, LPWSTR* name, UI4* value) const;
  // The same, keeping only the name as text.
  HRESULT readEnumName(const std::string& path, std::u16string* name) const;
  HRESULT writeEnumName(const std::string& path, LPCWSTR name) const;
  HRESULT writeEnumValue(const std::string& path, UI4 value) const;
  // All member names of the enum type, as one text.
  HRESULT readEnumEntries(const std::string& path, std::u16string* entries, UI4* count) const;

  // Whether the whole item is in the cache or, failing that, in the UT.
  HRESULT isAllocated(const std::string& item, bool* allocated) const;

 private:
  IVexParams1* params_;
};

}  // namespace vx::utconfig
