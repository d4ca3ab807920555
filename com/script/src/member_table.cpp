#include "member_table.h"

#include "member_shapes.h"

namespace vx::script {

int32_t Args::i32(std::size_t at) const {
  if (at >= values_.size()) return 0;
  const Value& value = values_[at];
  if (auto* v = std::get_if<int32_t>(&value)) return *v;
  if (auto* v = std::get_if<int16_t>(&value)) return *v;
  if (auto* v = std::get_if<uint8_t>(&value)) return *v;
  return 0;
}

std::u16string_view Args::text(std::size_t at) const {
  if (at >= values_.size()) return {};
  auto* v = std::get_if<std::u16string>(&values_[at]);
  return v != nullptr ? std::u16string_view(*v) : std::u16string_view();
}

double Args::date(std::size_t at) const {
  if (at >= values_.size()) return 0;
  auto* v = std::get_if<double>(&values_[at]);
  return v != nullptr ? *v : 0;
}

void addProperty(MemberRows& rows, std::string_view name, std::string_view indexSignature,
                 std::string_view indexNames, char type, Handler get, Handler put) {
  if (get != nullptr) {
    rows.push_back(Member{"get_" + std::string(name), std::string(indexSignature), std::string(indexNames),
                          std::string(1, type), get, nullptr});
  }
  if (put != nullptr) {
    std::string names(indexNames);
    if (!names.empty()) names += ',';
    names += "newVal";
    rows.push_back(Member{"put_" + std::string(name), std::string(indexSignature) + type, std::move(names), "", put,
                          nullptr});
  }
}

void addMethod(MemberRows& rows, std::string_view name, std::string_view signature, std::string_view argNames,
               std::string_view result, Handler handler) {
  rows.push_back(
      Member{std::string(name), std::string(signature), std::string(argNames), std::string(result), handler, nullptr});
}

const MemberRows& scriptMembers() {
  static const MemberRows rows = [] {
    MemberRows all;
    addFrameMembers(all);
    addIdentityMembers(all);
    addGeneralMembers(all);
    addOrbitnetMembers(all);
    addTerrestrialMembers(all);
    addUiMembers(all);
    addAfutMembers(all);
    return all;
  }();
  return rows;
}

namespace shapes {

std::u16string takeText(LPWSTR text) {
  if (text == nullptr) return {};
  std::u16string copy(text, vx::com::WideLength(text));
  CoTaskMemFree(text);
  return copy;
}

}  // namespace shapes
std::vector<std::string> argumentNames(const Member& member) {
  std::vector<std::string> names;
  const std::string& all = member.argNames;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t comma = all.find(',', start);
    if (comma == std::string::npos) comma = all.size();
    names.push_back(all.substr(start, comma - start));
    start = comma + 1;
  }
  return names;
}

}  // namespace vx::script
