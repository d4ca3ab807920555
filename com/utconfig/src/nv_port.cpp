#include "nv_port.h"

#include "vx/com/strings.h"
#include "vx/com/task_memory.h"

namespace vx::utconfig {

namespace {
std::u16string wide(const std::string& path) { return vx::com::Utf8ToUtf16(path); }
}  // namespace

HRESULT NvPort::read(const std::string& path, NVNodeDataType* type, UI4* value) const {
  return params_->ReadNode32BitValue(wide(path).c_str(), type, value);
}

HRESULT NvPort::readChecked(const std::string& path, NVNodeDataType expected, UI4* value) const {
  NVNodeDataType type = NV_UNKNOWN;
  UI4 read = 0;
  const HRESULT hr = this->read(path, &type, &read);
  if (FAILED(hr)) return hr;
  if (expected != NV_UNKNOWN && type != expected) return UTC_E_WRONG_TYPE;
  *value = read;
  return S_OK;
}

HRESULT NvPort::write(const std::string& path, UI4 value) const {
  return params_->WriteNode32BitValue(wide(path).c_str(), value);
}

HRESULT NvPort::readEnum(const std::string& path, LPWSTR* name, UI4* value) const {
  return params_->ReadNodeEnumValue(wide(path).c_str(), name, value);
}

HRESULT NvPort::readEnumName(const std::string& path, std::u16string* name) const {
  LPWSTR text = nullptr;
  UI4 value = 0;
  const HRESULT hr = readEnum(path, &text, &value);
  if (SUCCEEDED(hr)) {
    // Copying may throw; the task block is freed either way.
    try {
      *name = text != nullptr ? std::u16string(text) : std::u16string();
    } catch (...) {
      CoTaskMemFree(text);
      throw;
    }
  }
  CoTaskMemFree(text);
  return hr;
}

HRESULT NvPort::writeEnumName(const std::string& path, LPCWSTR name) const {
  return params_->WriteNodeEnumString(wide(path).c_str(), name);
}

HRESULT NvPort::writeEnumValue(const std::string& path, UI4 value) const {
  return params_->WriteNodeEnumValue(wide(path).c_str(), value);
}

HRESULT NvPort::readEnumEntries(const std::string& path, std::u16string* entries, UI4* count) const {
  LPWSTR text = nullptr;
  const HRESULT hr = params_->ReadNodeEnumEntries(wide(path).c_str(), &text, count);
  if (SUCCEEDED(hr)) {
    try {
      *entries = text != nullptr ? std::u16string(text) : std::u16string();
    } catch (...) {
      CoTaskMemFree(text);
      throw;
    }
  }
  CoTaskMemFree(text);
  return hr;
}

HRESULT NvPort::isAllocated(const std::string& item, bool* allocated) const {
  const std::u16string name = wide(item);
  UINT flag = 0;
  HRESULT hr = params_->IsItemAllocatedInBrowser(name.c_str(), &flag);
  if (FAILED(hr)) return hr;
  if (flag == 0) {
    hr = params_->IsItemAllocatedInPhone(name.c_str(), &flag);
    if (FAILED(hr)) return hr;
  }
  *allocated = flag != 0;
  return S_OK;
}

}  // namespace vx::utconfig
