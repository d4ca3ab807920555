// UTVEX.NVItems: raw NV item access by path on a script object's path, for
// items no setting covers. Values travel as text (see ScriptObject::NvRead).
// Arguments are read on the bus loop; the work runs on the object's thread
// and leaves what goes into the reply to a writer the bus loop runs.
#include <sdbus-c++/sdbus-c++.h>

#include "script_service.h"

namespace vx::script {
namespace {

// The reply of a call that answers a list of names.
ScriptService::ReplyWriter namesWriter(std::vector<std::string> names) {
  return [names = std::move(names)](sdbus::MethodReply& reply) { reply << names; };
}

}  // namespace

void ScriptService::registerNvItems(sdbus::IObject& dbusObject, uint64_t id) {
  using Names = std::vector<std::string>;
  dbusObject.registerMethod(kNvItemsInterface, "ListItems", "", Names{}, "as", Names{"items"},
                            [this, id](sdbus::MethodCall call) {
                              answer(id, std::move(call), [](ScriptObject& object, ReplyWriter* write) {
                                std::vector<std::string> names;
                                const HRESULT hr = object.NvItemNames(&names);
                                *write = namesWriter(std::move(names));
                                return hr;
                              });
                            });
  dbusObject.registerMethod(
      kNvItemsInterface, "ListLeaves", "s", Names{"item"}, "a(sssb)", Names{"leaves"},
      [this, id](sdbus::MethodCall call) {
        std::string item;
        call >> item;
        answer(id, std::move(call), [item](ScriptObject& object, ReplyWriter* write) {
          std::vector<ScriptObject::NvLeaf> leaves;
          const HRESULT hr = object.NvLeaves(item, &leaves);
          std::vector<sdbus::Struct<std::string, std::string, std::string, bool>> rows;
          for (auto& leaf : leaves) rows.emplace_back(leaf.path, leaf.type, leaf.value, leaf.changed);
          *write = [rows = std::move(rows)](sdbus::MethodReply& reply) { reply << rows; };
          return hr;
        });
      });
  dbusObject.registerMethod(kNvItemsInterface, "ReadNode", "s", Names{"path"}, "ss", Names{"type", "value"},
                            [this, id](sdbus::MethodCall call) {
                              std::string path;
                              call >> path;
                              answer(id, std::move(call), [path](ScriptObject& object, ReplyWriter* write) {
                                std::string type, value;
                                const HRESULT hr = object.NvRead(path, &type, &value);
                                *write = [type, value](sdbus::MethodReply& reply) { reply << type << value; };
                                return hr;
                              });
                            });
  dbusObject.registerMethod(kNvItemsInterface, "MissingFromFile", "s", Names{"file"}, "as", Names{"items"},
                            [this, id](sdbus::MethodCall call) {
                              std::string file;
                              call >> file;
                              answer(id, std::move(call), [file](ScriptObject& object, ReplyWriter* write) {
                                std::vector<std::string> names;
                                const HRESULT hr = object.NvMissingFrom(file, &names);
                                *write = namesWriter(std::move(names));
                                return hr;
                              });
                            });
  dbusObject.registerMethod(kNvItemsInterface, "WriteNode", "ss", Names{"path", "value"}, "", Names{},
                            [this, id](sdbus::MethodCall call) {
                              std::string path, value;
                              call >> path >> value;
                              answer(id, std::move(call), [path, value](ScriptObject& object, ReplyWriter*) {
                                return object.NvWrite(path, value);
                              });
                            });
}

}  // namespace vx::script
