// UTVEX.NVItems: raw NV item access by path on a script object's path, for
// items no setting covers. Values travel as text (see ScriptObject::NvRead).
#include <sdbus-c++/sdbus-c++.h>

#include "script_service.h"

namespace vx::script {

void ScriptService::registerNvItems(sdbus::IObject& dbusObject, uint64_t id) {
  using Names = std::vector<std::string>;
  dbusObject.registerMethod(kNvItemsInterface, "ListItems", "", Names{}, "as", Names{"items"},
                            [this, id](sdbus::MethodCall call) {
                              answer(id, call, [](ScriptObject& object, sdbus::MethodReply& reply) {
                                std::vector<std::string> names;
                                const HRESULT hr = object.NvItemNames(&names);
                                if (SUCCEEDED(hr)) reply << names;
                                return hr;
                              });
                            });
  dbusObject.registerMethod(
      kNvItemsInterface, "ListLeaves", "s", Names{"item"}, "a(sssb)", Names{"leaves"},
      [this, id](sdbus::MethodCall call) {
        std::string item;
        call >> item;
        answer(id, call, [&item](ScriptObject& object, sdbus::MethodReply& reply) {
          std::vector<ScriptObject::NvLeaf> leaves;
          const HRESULT hr = object.NvLeaves(item, &leaves);
          if (FAILED(hr)) return hr;
          std::vector<sdbus::Struct<std::string, std::string, std::string, bool>> rows;
          for (auto& leaf : leaves) rows.emplace_back(leaf.path, leaf.type, leaf.value, leaf.changed);
          reply << rows;
          return hr;
        });
      });
  dbusObject.registerMethod(kNvItemsInterface, "ReadNode", "s", Names{"path"}, "ss", Names{"type", "value"},
                            [this, id](sdbus::MethodCall call) {
                              std::string path;
                              call >> path;
                              answer(id, call, [&path](ScriptObject& object, sdbus::MethodReply& reply) {
                                std::string type, value;
                                const HRESULT hr = object.NvRead(path, &type, &value);
                                if (SUCCEEDED(hr)) reply << type << value;
                                return hr;
                              });
                            });
  dbusObject.registerMethod(kNvItemsInterface, "MissingFromFile", "s", Names{"file"}, "as", Names{"items"},
                            [this, id](sdbus::MethodCall call) {
                              std::string file;
                              call >> file;
                              answer(id, call, [&file](ScriptObject& object, sdbus::MethodReply& reply) {
                                std::vector<std::string> names;
                                const HRESULT hr = object.NvMissingFrom(file, &names);
                                if (SUCCEEDED(hr)) reply << names;
                                return hr;
                              });
                            });
  dbusObject.registerMethod(kNvItemsInterface, "WriteNode", "ss", Names{"path", "value"}, "", Names{},
                            [this, id](sdbus::MethodCall call) {
                              std::string path, value;
                              call >> path >> value;
                              answer(id, call, [&](ScriptObject& object, sdbus::MethodReply&) {
                                return object.NvWrite(path, value);
                              });
                            });
}

}  // namespace vx::script
