#include "member_catalogue.h"

#include <stdexcept>

namespace vx::cli {
namespace {

// The attribute `name` of the tag text `tag` (between '<' and '>').
std::string attribute(const std::string& tag, const std::string& name) {
  const std::string key = " " + name + "=\"";
  auto at = tag.find(key);
  if (at == std::string::npos) return {};
  at += key.size();
  auto end = tag.find('"', at);
  return end == std::string::npos ? std::string() : tag.substr(at, end - at);
}

struct RawMethod {
  std::string name;
  std::vector<Argument> in;
  std::vector<Argument> out;
};

// The methods of one interface. Introspection XML is machine-made: tags
// with double-quoted attributes, no entities in names or signatures.
std::vector<RawMethod> methodsOf(const std::string& xml, const std::string& interfaceName) {
  std::vector<RawMethod> methods;
  bool inside = false;
  std::size_t at = 0;
  while ((at = xml.find('<', at)) != std::string::npos) {
    auto end = xml.find('>', at);
    if (end == std::string::npos) break;
    const std::string tag = xml.substr(at + 1, end - at - 1);
    at = end + 1;
    if (tag.starts_with("interface ")) {
      inside = attribute(tag, "name") == interfaceName;
    } else if (tag.starts_with("/interface")) {
      inside = false;
    } else if (inside && tag.starts_with("method ")) {
      methods.push_back(RawMethod{attribute(tag, "name"), {}, {}});
    } else if (inside && tag.starts_with("arg ") && !methods.empty()) {
      const std::string type = attribute(tag, "type");
      Argument argument{attribute(tag, "name"), type.size() == 1 ? type[0] : '?'};
      (attribute(tag, "direction") == "out" ? methods.back().out : methods.back().in).push_back(argument);
    }
  }
  return methods;
}

}  // namespace

MemberCatalogue MemberCatalogue::fromIntrospection(const std::string& xml, const std::string& interfaceName) {
  MemberCatalogue catalogue;
  const auto methods = methodsOf(xml, interfaceName);
  if (methods.empty()) throw std::runtime_error("the script object shows no members of " + interfaceName);
  for (const RawMethod& raw : methods) {
    if (raw.name.starts_with("get_") && raw.out.size() == 1) {
      Property& p = catalogue.properties_[raw.name.substr(4)];
      p.name = raw.name.substr(4);
      p.indexes = raw.in;
      p.type = raw.out.front().type;
      p.readable = true;
    } else if (raw.name.starts_with("put_") && !raw.in.empty()) {
      Property& p = catalogue.properties_[raw.name.substr(4)];
      p.name = raw.name.substr(4);
      if (!p.readable) {
        p.indexes.assign(raw.in.begin(), raw.in.end() - 1);
        p.type = raw.in.back().type;
      }
      p.writable = true;
    } else {
      Method m{raw.name, raw.in, std::nullopt};
      if (!raw.out.empty()) m.result = raw.out.front().type;
      catalogue.methods_[raw.name] = std::move(m);
    }
  }
  return catalogue;
}

const Property* MemberCatalogue::property(const std::string& name) const {
  auto it = properties_.find(name);
  return it == properties_.end() ? nullptr : &it->second;
}

const Method* MemberCatalogue::method(const std::string& name) const {
  auto it = methods_.find(name);
  return it == methods_.end() ? nullptr : &it->second;
}

const std::vector<std::string>& identityMembers() {
  static const std::vector<std::string> names = {
      "ESN", "ManufacturersCode", "CDMA_SCM", "GAIProtocolRev", "IS95ProtocolRev", "UTVersion", "UTModel",
      "WarrantyDateCode", "GUMHardwareVersion", "GUMSoftwareVersion", "DSPFirmwareVersion", "SMID", "UTType",
      "ServiceProgrammingDate", "CalBlockVersion", "CalStationCodeVersion", "CalibrationDate", "CalTestStation"};
  return names;
}

}  // namespace vx::cli
