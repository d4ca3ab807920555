// Raw NV items by path, through the script object's second interface
// UTVEX.NVItems, for items that no setting covers.
#include <algorithm>
#include <vector>

#include "commands.h"

namespace vx::cli {
namespace {

constexpr uint32_t kInvalidArgument = 0x80070057u;

}  // namespace

// The server refuses an unknown item, path or value alike: say which.
void Commands::explainNvRefusal(const std::string& path, const std::string& value) {
  const std::string item = path.substr(0, path.find('.'));
  auto call = client_.newCall(kNvInterface, "ListItems");
  auto reply = client_.callRaw(call);
  std::vector<std::string> items;
  reply >> items;
  if (std::find(items.begin(), items.end(), item) == items.end()) {
    throw UtError(kInvalidArgument, "no NV item " + item + " (0x80070057); see vexctl nv items");
  }
  if (item == path) return;
  throw UtError(kInvalidArgument, path + ": no such leaf of " + item +
                                      (value.empty() ? "" : ", or " + value + " does not fit it") +
                                      " (0x80070057); see vexctl nv tree " + item);
}

int Commands::nv() {
  try {
    return nvCommand();
  } catch (const UtError& error) {
    if (error.hresult() != kInvalidArgument || inv_.words[0] == "items") throw;
    explainNvRefusal(inv_.words[1], inv_.words.size() > 2 ? inv_.words[2] : "");
    throw;
  }
}

int Commands::nvCommand() {
  const std::string& sub = inv_.words[0];
  connect();
  JsonWriter json;
  if (sub == "items") {
    auto call = client_.newCall(kNvInterface, "ListItems");
    auto reply = client_.callRaw(call);
    std::vector<std::string> items;
    reply >> items;
    std::string plain;
    json.beginArray();
    for (const std::string& item : items) {
      plain += item + "\n";
      json.string(item);
    }
    json.endArray();
    emit(plain, json);
    return 0;
  }
  if (sub == "tree") {
    auto call = client_.newCall(kNvInterface, "ListLeaves");
    call << inv_.words[1];
    auto reply = client_.callRaw(call);
    std::vector<sdbus::Struct<std::string, std::string, std::string, bool>> leaves;
    reply >> leaves;
    Table table;
    json.beginArray();
    for (const auto& leaf : leaves) {
      const std::string& path = leaf.get<0>();
      const std::string& type = leaf.get<1>();
      const std::string& value = leaf.get<2>();
      const bool changed = leaf.get<3>();
      table.row({path, type, value, changed ? "changed" : ""});
      json.beginObject().key("path").string(path).key("type").string(type).key("value").string(value);
      json.key("changed").boolean(changed).endObject();
    }
    json.endArray();
    emit(table.text(), json);
    return 0;
  }
  const std::string& path = inv_.words[1];
  if (sub == "set") {
    auto write = client_.newCall(kNvInterface, "WriteNode");
    write << path << inv_.words[2];
    client_.callRaw(write);
    if (!inv_.noCommit) commit();
  }
  auto read = client_.newCall(kNvInterface, "ReadNode");
  read << path;
  auto reply = client_.callRaw(read);
  std::string type, value;
  reply >> type >> value;
  json.beginObject().key("path").string(path).key("type").string(type).key("value").string(value);
  if (sub == "set") json.key("committed").boolean(!inv_.noCommit);
  json.endObject();
  emit(sub == "set" ? path + " = " + value + (inv_.noCommit ? " (not committed)\n" : "\n") : value + "\n", json);
  return 0;
}

}  // namespace vx::cli
