#include "nv_control.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "kmx/sim/ut_simulator.h"

namespace kmx::sim {
namespace {

bool integer(const std::string& text, int64_t& value) {
  if (text.size() == 3 && text[0] == '\'' && text[2] == '\'') {
    value = static_cast<unsigned char>(text[1]);
    return true;
  }
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return false;
  value = v;
  return true;
}

bool onOff(const std::string& text, bool& value) {
  if (text != "on" && text != "off") return false;
  value = text == "on";
  return true;
}

std::string hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text.empty() ? "-" : text;
}

std::string describe(const CatalogueVariant& v) {
  char model[8];
  std::snprintf(model, sizeof model, "0x%02x", v.mainModel);
  std::string itemFlags;
  for (const auto& [name, flags] : v.itemFlags) itemFlags += " item-flags " + name + "=" + std::to_string(flags);
  return std::string("model ") + model + " unicode " + (v.unicodePhoneBookNames ? "on" : "off") +
         " name-length " + std::to_string(v.nameArrayLength) + " sms " + (v.oldSmsLayout ? "old" : "new") + " directory " + (v.oldDirectoryNumber ? "old" : "new") +
         " symbols " + (v.emptySymbolInformation ? "none" : "full") + " descriptors " +
         (v.shortDescriptorTable ? "short" : "full") + " hostile-list " + hostileListName(v.hostileList) +
         itemFlags;
}

// "catalogue [default] [model B] [unicode on|off] [name-length N] [sms old|new]
// [directory old|new] [symbols none|full] [descriptors short|full]
// [hostile-list none|inactive|dimension] [item-flags NAME=FLAGS]...": changes
// the current variant.
std::string catalogueCommand(UtSimulator& sim, const std::vector<std::string>& w) {
  CatalogueVariant variant = sim.catalogue()->variant();
  if (w.size() == 1) return describe(variant);
  std::size_t i = 1;
  if (w[1] == "default") {
    variant = CatalogueVariant{};
    i = 2;
  }
  for (; i < w.size(); i += 2) {
    if (i + 1 >= w.size()) return "error: " + w[i] + " needs a value";
    const std::string& key = w[i];
    const std::string& value = w[i + 1];
    int64_t n = 0;
    if (key == "model" && integer(value, n) && n >= 0 && n <= 255) {
      variant.mainModel = static_cast<uint8_t>(n);
    } else if (key == "unicode" && onOff(value, variant.unicodePhoneBookNames)) {
    } else if (key == "name-length" && integer(value, n) && (n == 12 || n == 33)) {
      variant.nameArrayLength = static_cast<uint32_t>(n);
    } else if (key == "sms" && (value == "old" || value == "new")) {
      variant.oldSmsLayout = value == "old";
    } else if (key == "directory" && (value == "old" || value == "new")) {
      variant.oldDirectoryNumber = value == "old";
    } else if (key == "symbols" && (value == "none" || value == "full")) {
      variant.emptySymbolInformation = value == "none";
    } else if (key == "descriptors" && (value == "short" || value == "full")) {
      variant.shortDescriptorTable = value == "short";
    } else if (key == "hostile-list" && parseHostileList(value, variant.hostileList)) {
    } else if (key == "item-flags" && parseItemFlags(value, variant.itemFlags)) {
    } else {
      return "error: bad catalogue setting: " + key + " " + value;
    }
  }
  if (!sim.setCatalogue(variant)) return "error: " + sim.lastError();
  return "ok";
}

const CatalogueItem* findItem(const NvCatalogue& catalogue, const std::string& text) {
  int64_t number = 0;
  if (integer(text, number)) {
    if (number < 0 || static_cast<std::size_t>(number) >= catalogue.items().size()) return nullptr;
    return &catalogue.items()[static_cast<std::size_t>(number)];
  }
  return catalogue.find(text);
}

std::string itemLine(const CatalogueItem& item) {
  return "number " + std::to_string(item.number) + " name " + item.name + " type " + item.typeName + " size " +
         std::to_string(item.size) + " dimension " + std::to_string(item.listDimension) + " presence " +
         std::to_string(item.presence) + " flags " + std::to_string(item.flags) + " described " +
         (item.described ? "yes" : "no") + " descriptor " + item.descriptor;
}

std::string getCommand(UtSimulator& sim, const std::string& path) {
  auto catalogue = sim.catalogue();
  std::string error;
  auto node = catalogue->locate(path, error);
  if (!node) return "error: " + error;
  if (!node->isLeaf()) {
    auto bytes = sim.nvBytes(node->item, node->element);
    if (!bytes) return "error: the element holds no value";
    if (uint64_t{node->offset} + node->size > bytes->size()) return "error: the element is shorter than its type";
    auto begin = bytes->begin() + node->offset;
    return hex(std::vector<uint8_t>(begin, begin + node->size));
  }
  auto value = sim.nvValue(path, &error);
  if (!value) return "error: " + error;
  std::string answer = std::to_string(*value);
  if (node->kind == NvNode::Kind::Enum) {
    for (const auto& [name, constant] : catalogue->enumConstants(node->typeName)) {
      if (constant == *value) return answer + " " + name;
    }
  }
  return answer;
}

std::string setCommand(UtSimulator& sim, const std::string& path, const std::string& text) {
  auto catalogue = sim.catalogue();
  std::string error;
  auto node = catalogue->locate(path, error);
  if (!node) return "error: " + error;
  if (!node->isLeaf()) return "error: " + path + " is not a leaf";
  int64_t value = 0;
  bool known = integer(text, value);
  if (!known && node->kind == NvNode::Kind::Enum) {
    for (const auto& [name, constant] : catalogue->enumConstants(node->typeName)) {
      if (name == text) {
        value = constant;
        known = true;
      }
    }
  }
  if (!known) return "error: not a value: " + text;
  if (!sim.setNvValue(path, value, &error)) return "error: " + error;
  return "ok";
}

std::string nvCommand(UtSimulator& sim, const std::vector<std::string>& w) {
  auto catalogue = sim.catalogue();
  if (w.size() == 3 && w[1] == "get") return getCommand(sim, w[2]);
  if (w.size() == 4 && w[1] == "set") return setCommand(sim, w[2], w[3]);
  if (w.size() == 3 && w[1] == "item") {
    const CatalogueItem* item = findItem(*catalogue, w[2]);
    return item ? itemLine(*item) : "error: no item " + w[2];
  }
  if (w.size() == 2 && w[1] == "items") {
    std::string answer = std::to_string(catalogue->items().size());
    for (const auto& item : catalogue->items()) answer += " " + item.name;
    return answer;
  }
  if (w.size() == 2 && w[1] == "entries") {
    auto names = catalogue->entryNames();
    std::string answer = std::to_string(names.size());
    for (const auto& name : names) answer += " " + name;
    return answer;
  }
  if (w.size() == 3 && w[1] == "paths") {
    auto paths = catalogue->leafPaths(w[2]);
    if (paths.empty()) return "error: no entry " + w[2];
    std::string answer = std::to_string(paths.size());
    for (const auto& path : paths) answer += " " + path;
    return answer;
  }
  return "error: usage: nv get PATH | nv set PATH VALUE | nv item NAME | nv items | nv entries | nv paths ENTRY";
}

}  // namespace

std::optional<std::string> catalogueControl(UtSimulator& sim, const std::vector<std::string>& w) {
  if (w.empty()) return std::nullopt;
  if (w[0] == "catalogue") return catalogueCommand(sim, w);
  if (w[0] == "nv") return nvCommand(sim, w);
  return std::nullopt;
}

}  // namespace kmx::sim
