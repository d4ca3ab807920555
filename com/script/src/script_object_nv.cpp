// The script object's raw NV item access: the connection object's item
// tree by path, with values as text.
#include <charconv>
#include <limits>

#include "readable_file.h"
#include "script_object.h"
#include "vx/com/error_info.h"

namespace vx::script {
namespace {

using vx::com::ComPtr;

// Frees a task-allocated text on every path out.
struct TaskText {
  LPWSTR text = nullptr;
  ~TaskText() { CoTaskMemFree(text); }
  std::string utf8() const {
    return text == nullptr ? std::string() : vx::com::Utf16ToUtf8(std::u16string_view(text, vx::com::WideLength(text)));
  }
  // The text's lines, one name each.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    const std::string all = utf8();
    for (std::size_t at = 0; at < all.size();) {
      const std::size_t end = all.find('\n', at);
      out.push_back(all.substr(at, end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    return out;
  }
};

std::u16string wide(std::string_view text) { return vx::com::Utf8ToUtf16(text); }

// A number as the user writes it: decimal with an optional sign, or 0x-hex.
std::optional<int64_t> parseNumber(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || magnitude > (1ull << 32)) {
    return std::nullopt;
  }
  return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

// Whether a number fits a scalar of the type; bitfields are checked by the
// node when it is stored.
bool fits(NVNodeDataType type, int64_t value) {
  switch (type) {
    case NV_CHAR: return value >= -128 && value <= 127;
    case NV_UCHAR: return value >= 0 && value <= 255;
    case NV_SHORT: return value >= -32768 && value <= 32767;
    case NV_USHORT: return value >= 0 && value <= 65535;
    case NV_INT:
    case NV_LONG: return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
    case NV_UINT:
    case NV_ULONG: return value >= 0 && value <= std::numeric_limits<uint32_t>::max();
    case NV_BITFIELD: return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
    case NV_UBITFIELD: return value >= 0 && value <= std::numeric_limits<uint32_t>::max();
    default: return false;
  }
}

// A leaf as IVexParams1 gives it: its data type, raw value and, for an
// enumerated leaf, its constant's name.
struct LeafRead {
  NVNodeDataType type = NV_UNKNOWN;
  UI4 raw = 0;
  bool enumerated = false;
  std::string constant;
};

// Reads the leaf at `path`; E_INVALIDARG when the path names no leaf.
HRESULT readLeaf(IVexParams1& params, const std::u16string& path, LeafRead* leaf) {
  if (FAILED(params.ReadNode32BitValue(path.c_str(), &leaf->type, &leaf->raw)) || leaf->type == NV_UNKNOWN) {
    return E_INVALIDARG;
  }
  TaskText name;
  UI4 enumValue = 0;
  leaf->enumerated = SUCCEEDED(params.ReadNodeEnumValue(path.c_str(), &name.text, &enumValue));
  leaf->constant = name.utf8();
  return S_OK;
}

}  // namespace

HRESULT ScriptObject::NvItemNames(std::vector<std::string>* names) {
  ComPtr<IVexNVTree> tree;
  if (!connected() || FAILED(connection_.As(&tree))) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  TaskText text;
  if (HRESULT hr = tree->GetItemNames(&text.text); FAILED(hr)) return hr;
  *names = text.lines();
  return S_OK;
}

HRESULT ScriptObject::NvMissingFrom(std::string_view file, std::vector<std::string>* names) {
  ComPtr<IVexNVTree> tree;
  if (!connected() || FAILED(connection_.As(&tree))) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  if (std::string problem = regularFileProblem(std::string(file)); !problem.empty()) {
    lastError_ = ReportedError{E_INVALIDARG, Message::None, std::move(problem)};
    return E_INVALIDARG;
  }
  TaskText text;
  const HRESULT hr = tree->GetItemsMissingFrom(std::string(file).c_str(), &text.text);
  if (FAILED(hr)) {
    lastError_ = ReportedError{hr, Message::None, vx::com::TakeErrorDescription()};
    return hr;
  }
  *names = text.lines();
  return S_OK;
}

HRESULT ScriptObject::NvLeaves(std::string_view item, std::vector<NvLeaf>* leaves) {
  ComPtr<IVexNVTree> tree;
  if (!connected() || FAILED(connection_.As(&tree))) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  TaskText text;
  if (HRESULT hr = tree->GetItemLeaves(wide(item).c_str(), &text.text); FAILED(hr)) return hr;
  leaves->clear();
  const std::string all = text.utf8();
  std::size_t at = 0;
  while (at < all.size()) {
    const std::size_t end = all.find('\n', at);
    const std::string line = all.substr(at, end - at);
    at = end == std::string::npos ? all.size() : end + 1;
    NvLeaf leaf;
    std::size_t field = 0, start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
      if (i < line.size() && line[i] != '\t') continue;
      const std::string part = line.substr(start, i - start);
      if (field == 0) leaf.path = part;
      if (field == 1) leaf.type = part;
      if (field == 2) leaf.value = part;
      if (field == 3) leaf.changed = part == "1";
      ++field;
      start = i + 1;
    }
    if (field == 4) leaves->push_back(std::move(leaf));
  }
  return S_OK;
}

HRESULT ScriptObject::NvRead(std::string_view path, std::string* type, std::string* value) {
  ComPtr<IVexParams1> params;
  if (!connected() || FAILED(connection_.As(&params))) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  LeafRead leaf;
  if (HRESULT hr = readLeaf(*params.Get(), wide(path), &leaf); FAILED(hr)) return hr;
  const UI4 raw = leaf.raw;
  const NVNodeDataType dataType = leaf.type;
  if (leaf.enumerated) {
    *type = "enum";
    *value = leaf.constant.empty() ? std::to_string(static_cast<int32_t>(raw)) : leaf.constant;
    return S_OK;
  }
  *type = VexNodeTypeName(dataType);
  *value = VexNodeTypeIsSigned(dataType) ? std::to_string(static_cast<int32_t>(raw)) : std::to_string(raw);
  return S_OK;
}

HRESULT ScriptObject::NvWrite(std::string_view path, std::string_view value) {
  ComPtr<IVexParams1> params;
  if (!connected() || FAILED(connection_.As(&params))) return report(Message::NotConnected, VEX_E_NOT_CONNECTED);
  const std::u16string path16 = wide(path);
  LeafRead leaf;
  if (HRESULT hr = readLeaf(*params.Get(), path16, &leaf); FAILED(hr)) return hr;
  const std::optional<int64_t> number = parseNumber(value);
  HRESULT hr = E_INVALIDARG;
  if (leaf.enumerated) {
    // An enumerated leaf takes one of its constants, by name or by value.
    hr = number ? params->WriteNodeEnumValue(path16.c_str(), static_cast<UI4>(*number))
                : params->WriteNodeEnumString(path16.c_str(), wide(value).c_str());
  } else if (number && fits(leaf.type, *number)) {
    hr = params->WriteNode32BitValue(path16.c_str(), static_cast<UI4>(*number));
  }
  return FAILED(hr) ? E_INVALIDARG : S_OK;
}

}  // namespace vx::script
