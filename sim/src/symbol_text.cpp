#include "symbol_text.h"

#include <cstdio>

namespace kmx::sim::catalogue {
namespace {

std::string hexAddress(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", address);
  return text;
}

// F mark, dimension list and '*' marks, in the order readers expect them.
std::string marks(bool function, const std::vector<uint16_t>& dims, int pointerLevel) {
  std::string text = function ? "F" : "";
  if (!dims.empty()) {
    text += '[';
    for (std::size_t i = 0; i < dims.size(); ++i) {
      if (i > 0) text += ',';
      text += std::to_string(dims[i]);
    }
    text += ']';
  }
  text.append(static_cast<std::size_t>(pointerLevel), '*');
  return text;
}

std::string typeLine(const Type& type) {
  std::string line = std::to_string(type.index) + " " + type.name + ":" + std::to_string(type.size);
  if (type.kind == Type::Kind::Base) return line;
  line += ':';
  line += static_cast<char>(type.kind);
  line += '{';
  std::string body;
  if (type.kind == Type::Kind::Enum) {
    for (const auto& c : type.constants) {
      if (!body.empty()) body += ',';
      body += c.name + ":" + std::to_string(c.value);
    }
  } else {
    for (const auto& m : type.members) {
      if (!body.empty()) body += ';';
      body += m.name + "," + marks(m.function, m.dims, m.pointerLevel);
      if (m.bitfield) {
        body += "b:" + std::to_string(m.type) + "," + std::to_string(m.bitWidth) + "," +
                std::to_string(m.bitPosition) + "," + std::to_string(m.offset);
      } else {
        body += std::to_string(m.type) + "," + std::to_string(m.offset);
      }
    }
  }
  return line + body + "}";
}

std::string symbolLine(const std::string& name, const std::string& marksText, int type, uint32_t address) {
  return name + ":" + marksText + std::to_string(type) + ":" + hexAddress(address);
}

}  // namespace

std::string symbolText(const Model& model, const TableSymbols& tables) {
  auto index = [&](const char* name) {
    const Type* type = model.findType(name);
    return type ? type->index : 1;
  };
  std::string text;
  // Records with a '.' name source files and static objects; readers skip them.
  text += "nvitems.c\n";
  for (const auto& type : model.types) text += typeLine(type) + "\n";
  text += "uinv.c\n";
  text += symbolLine("NVitems_item_name_table", marks(false, {static_cast<uint16_t>(tables.nameSize)}, 0),
                     index("T_CHAR"), tables.nameAddress) + "\n";
  text += symbolLine("NVitems_desc_table", marks(false, {static_cast<uint16_t>(tables.descriptorSize)}, 0),
                     index("T_CHAR"), tables.descriptorAddress) + "\n";
  text += "nv_cache.1402:[64]" + std::to_string(index("T_UCHAR")) + ":00210200\n";
  text += symbolLine("nv_read_item", "F", index("T_INT"), 0x0001A2B0) + "\n";
  text += symbolLine("nv_write_item", "F", index("T_INT"), 0x0001A3C4) + "\n";
  text += symbolLine("nv_cmd_q_ptr", "*", index("T_VOID"), 0x00200010) + "\n";
  text += symbolLine("nv_item_cache", marks(false, {16, 8}, 0), index("T_UCHAR"), 0x00210000) + "\n";
  text += symbolLine("nv_handlers", marks(false, {4}, 1), index("T_VOID"), 0x00210080) + "\n";
  text += symbolLine("nv_layout_version", "", index("T_ULONG"), 0x00210100) + "\n";
  return text;
}

std::string nameTable(const Model& model) {
  std::string text;
  for (const auto& item : model.items) {
    if (!text.empty()) text += ',';
    text += item.name;
  }
  return text;
}

std::string descriptorTable(const Model& model, std::size_t missing) {
  std::string text;
  std::size_t complete = model.items.size() > missing ? model.items.size() - missing : 0;
  for (std::size_t i = 0; i < model.items.size(); ++i) {
    const Item& item = model.items[i];
    if (i == complete && missing > 0) {
      // The table ends after two of this name's four fields.
      text += item.descriptor + "," + item.typeName;
      break;
    }
    text += item.descriptor + "," + item.typeName + "," + std::to_string(item.presence) + "," +
            std::to_string(item.flags);
    if (i + 1 < model.items.size()) text += ',';
  }
  return text;
}

}  // namespace kmx::sim::catalogue
