// IVexNVTree: the item list and an item's leaves as text lines.
#include <string>

#include "node_value.h"
#include "nv_enum.h"
#include "vex_connection.h"

namespace vx::connect {

HRESULT CVexConnection::GetItemNames(LPWSTR* names) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (names == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    std::string text;
    for (const nvdb::NVItemInfo& item : database_->items()) {
      text += item.name;
      text += '\n';
    }
    LPWSTR result = vx::com::CoTaskMemStrDupUtf8(text);
    if (result == nullptr) return E_OUTOFMEMORY;
    *names = result;
    return S_OK;
  });
}

HRESULT CVexConnection::GetItemLeaves(LPCWSTR item, LPWSTR* lines) {
  if (HRESULT hr = connectedCheck(); FAILED(hr)) return hr;
  if (item == nullptr || lines == nullptr) return E_INVALIDARG;
  return vx::com::NoThrow([&]() -> HRESULT {
    nvdb::NVItemInfo* info =
        database_->findItem(vx::com::Utf16ToUtf8(std::u16string_view(item, vx::com::WideLength(item))));
    if (info == nullptr) return E_INVALIDARG;
    if (!database_->expand(*info, *ut_)) return E_FAIL;
    std::string text;
    for (const nvdb::NodeRef& ref : database_->leaves(*info, *ut_)) {
      const nvdb::NVNode& node = *ref.subtreeNode();
      const auto type = static_cast<NVNodeDataType>(node.data.dataType);
      const auto raw = nvdb::readNodeValue(*info, node);
      std::string value;
      std::string typeName = VexNodeTypeName(type);
      if (const auto field = nvdb::enumFieldOf(database_->symbols(), node); field && raw) {
        typeName = "enum";
        const auto current = nvdb::readEnumValue(*info, node, *field);
        const nvdb::MemberRecord* constant = current ? nvdb::constantWithValue(*field, *current) : nullptr;
        value = constant != nullptr ? std::string(database_->symbols().nameOf(*constant))
                                    : std::to_string(static_cast<int32_t>(*raw));
      } else if (raw) {
        value = VexNodeTypeIsSigned(type) ? std::to_string(static_cast<int32_t>(*raw)) : std::to_string(*raw);
      }
      text += database_->pathOf(ref) + '\t' + typeName + '\t' + value + '\t' + (node.changed ? "1" : "0") + '\n';
    }
    LPWSTR result = vx::com::CoTaskMemStrDupUtf8(text);
    if (result == nullptr) return E_OUTOFMEMORY;
    *lines = result;
    return S_OK;
  });
}

}  // namespace vx::connect
