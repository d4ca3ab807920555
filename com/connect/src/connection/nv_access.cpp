// IVexParams1: NV values by dotted path, staged in the item cache and
// written to the UT by CommitChanges.
#include <string>

#include "node_value.h"
#include "nv_commit.h"
#include "task_text.h"
#include "vex_connection.h"

namespace vx::connect {

namespace {

std::string narrow(LPCWSTR text) {
  return vx::com::Utf16ToUtf8(std::u16string_view(text, vx::com::WideLength(text)));
}

// The database's data types are the type library's values, one for one.
static_assert(static_cast<int32_t>(nvdb::NVNodeDataType::NV_UNKNOWN) == NV_UNKNOWN &&
              static_cast<int32_t>(nvdb::NVNodeDataType::NV_CHAR) == NV_CHAR &&
              static_cast<int32_t>(nvdb::NVNodeDataType::NV_ULONG) == NV_ULONG &&
              static_cast<int32_t>(nvdb::NVNodeDataType::NV_UBITFIELD) == NV_UBITFIELD);
NVNodeDataType publicType(nvdb::NVNodeDataType type) { return static_cast<NVNodeDataType>(type); }

}  // namespace

HRESULT CVexConnection::connectedCheck() {
  UINT flag = 0;
  if (FAILED(IsConnected(&flag))) return E_FAIL;
  return flag != 0 ? S_OK : VEX_E_NOT_CONNECTED;
}

std::optional<nvdb::NodeRef> CVexConnection::resolve(LPCWSTR path) {
  return database_->resolve(narrow(path), *ut_);
}

std::optional<CVexConnection::EnumNode> CVexConnection::resolveEnum(LPCWSTR path) {
  const auto ref = resolve(path);
  if (!ref || ref->isItemNode()) return std::nullopt;
  const auto field = nvdb::enumFieldOf(database_->symbols(), *ref->subtreeNode());
  if (!field) return std::nullopt;
  return EnumNode{*ref, *field};
}

HRESULT CVexConnection::stage(const nvdb::NodeRef& ref, uint32_t value) {
  if (!nvdb::writeNodeValue(*ref.item, *ref.subtreeNode(), value)) return E_FAIL;
  database_->markChanged(ref);
  return S_OK;
}

HRESULT CVexConnection::ReadNode32BitValue(LPCWSTR path, NVNodeDataType* type, UI4* value) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (path == nullptr || type == nullptr || value == nullptr) return E_INVALIDARG;
  *type = NV_UNKNOWN;
  *value = 0;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto ref = resolve(path);
    if (!ref) return E_FAIL;
    if (ref->isItemNode()) return S_OK;  // the item node holds no scalar
    const auto read = nvdb::readNodeValue(*ref->item, *ref->subtreeNode());
    if (!read) return E_FAIL;
    *type = publicType(ref->subtreeNode()->data.dataType);
    *value = *read;
    return S_OK;
  });
}

HRESULT CVexConnection::WriteNode32BitValue(LPCWSTR path, UI4 value) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (path == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto ref = resolve(path);
    if (!ref || ref->isItemNode()) return E_FAIL;
    return stage(*ref, value);
  });
}

HRESULT CVexConnection::ReadNodeEnumValue(LPCWSTR path, LPWSTR* name, UI4* value) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (path == nullptr || name == nullptr || value == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto node = resolveEnum(path);
    if (!node) return E_FAIL;
    const auto current = nvdb::readEnumValue(*node->ref.item, *node->ref.subtreeNode(), node->field);
    if (!current) return E_FAIL;
    // A value no constant has reads as 0 with an empty name.
    const nvdb::MemberRecord* constant = nvdb::constantWithValue(node->field, *current);
    const std::string text = constant != nullptr ? std::string(database_->symbols().nameOf(*constant)) : "";
    LPWSTR result = vx::com::CoTaskMemStrDupUtf8(text);
    if (result == nullptr) return E_OUTOFMEMORY;
    *name = result;
    *value = constant != nullptr ? static_cast<UI4>(*current) : 0;
    return S_OK;
  });
}

HRESULT CVexConnection::ReadNodeEnumEntries(LPCWSTR path, LPWSTR* entries, UI4* count) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (path == nullptr || entries == nullptr || count == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto node = resolveEnum(path);
    if (!node) return E_FAIL;
    std::string text;
    for (const nvdb::MemberRecord& constant : node->field.constants) {
      text += database_->symbols().nameOf(constant);
      text += ',';
      text += std::to_string(constant.typeOrValue);
      text += ",\r\n";
    }
    LPWSTR result = vx::com::CoTaskMemStrDupUtf8(text);
    if (result == nullptr) return E_OUTOFMEMORY;
    *entries = result;
    *count = static_cast<UI4>(node->field.constants.size());
    return S_OK;
  });
}

HRESULT CVexConnection::WriteNodeEnumValue(LPCWSTR path, UI4 value) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (path == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto node = resolveEnum(path);
    if (!node || nvdb::constantWithValue(node->field, static_cast<int32_t>(value)) == nullptr) return E_FAIL;
    return stage(node->ref, value);
  });
}

HRESULT CVexConnection::WriteNodeEnumString(LPCWSTR path, LPCWSTR name) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (path == nullptr || name == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const auto node = resolveEnum(path);
    if (!node) return E_FAIL;
    const nvdb::MemberRecord* constant = nvdb::constantNamed(database_->symbols(), node->field, narrow(name));
    if (constant == nullptr) return E_FAIL;
    return stage(node->ref, static_cast<uint32_t>(constant->typeOrValue));
  });
}

HRESULT CVexConnection::CommitChanges() {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  return vx::com::NoThrow([&]() -> HRESULT { return nvdb::commitChanges(*database_, *ut_) ? S_OK : E_FAIL; });
}

HRESULT CVexConnection::IsItemAllocatedInPhone(LPCWSTR item, UINT* allocated) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (item == nullptr || allocated == nullptr) return E_INVALIDARG;
  *allocated = 0;
  return vx::com::NoThrow([&]() -> HRESULT {
    const nvdb::NVItemInfo* info = database_->findItem(narrow(item));
    if (info == nullptr || info->instanceCount == 0 || info->isNew || info->elementIndex < 0) return S_OK;
    const nvdb::TypeRecord* type = database_->symbols().typeByName(info->typeName);
    if (type == nullptr || type->size > nvdb::kMaxItemSize) return E_FAIL;
    // A fresh read: the answer is about the UT, not about the cache.
    std::vector<uint8_t> scratch(type->size);
    switch (ut_->readItem(info->itemNumber, static_cast<uint32_t>(info->elementIndex), scratch)) {
      case nvdb::NvUtAccess::ItemRead::Read:
        *allocated = 1;
        return S_OK;
      case nvdb::NvUtAccess::ItemRead::NotActive:
        return S_OK;
      case nvdb::NvUtAccess::ItemRead::Failed:
        break;
    }
    return E_FAIL;
  });
}

HRESULT CVexConnection::IsItemAllocatedInBrowser(LPCWSTR item, UINT* allocated) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (item == nullptr || allocated == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    const nvdb::NVItemInfo* info = database_->findItem(narrow(item));
    *allocated = info != nullptr && info->expanded ? 1 : 0;
    return S_OK;
  });
}

HRESULT CVexConnection::IsBrowserDirty(UINT* changedItems) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (changedItems == nullptr) return E_INVALIDARG;
  *changedItems = static_cast<UINT>(database_->changedItemCount());
  return S_OK;
}

}  // namespace vx::connect
