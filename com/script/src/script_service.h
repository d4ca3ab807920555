// The script server's D-Bus face: the factory object that makes script
// objects, one D-Bus object per script object with a method for each
// member row, error replies that carry the HRESULT and the resource text,
// the release of objects whose caller left the bus, and the end of the
// server a while after its last object went.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <sdbus-c++/sdbus-c++.h>

#include "member_table.h"
#include "port_claims.h"
#include "service_loop.h"


namespace vx::script {

inline constexpr const char* kBusName = "UTVEX.Script";
inline constexpr const char* kFactoryPath = "/UTVEX/Script";
inline constexpr const char* kFactoryInterface = "UTVEX.ScriptFactory";
inline constexpr const char* kObjectInterface = "UTVEX.IVexScript";
inline constexpr const char* kNvItemsInterface = "UTVEX.NVItems";
// Signal Progress(s operation, s step, t done, t total) on each object's path.
inline constexpr const char* kProgressInterface = "UTVEX.Progress";

class ScriptService {
 public:
  struct Options {
    int idleEndMs = 5000;  // the server ends this long after its last object
  };

  // `resources` holds the loader program that software downloads send.
  ScriptService(sdbus::IConnection& bus, ServiceLoop& loop, ScriptObject::TextLookup texts,
                std::shared_ptr<const vx::res::ResourceLibrary> resources, Options options);
  ~ScriptService();
  ScriptService(const ScriptService&) = delete;
  ScriptService& operator=(const ScriptService&) = delete;

  std::size_t objectCount() const { return objects_.size(); }

  // The D-Bus error name of a failing HRESULT: UTVEX.Error.H80040323.
  static std::string errorName(HRESULT hr);

 private:
  struct Entry;

  void createObject(sdbus::MethodCall call, bool ownedByCaller);
  void releaseObject(uint64_t id, sdbus::MethodCall call);
  void dispatch(uint64_t id, const Member& member, sdbus::MethodCall call);
  // The raw NV item interface on an object's path (nv_items_interface.cpp).
  void registerNvItems(sdbus::IObject& dbusObject, uint64_t id);
  // Runs `work` on the object `id` and sends its reply, or its failure as
  // an error reply.
  void answer(uint64_t id, sdbus::MethodCall& call,
              const std::function<HRESULT(ScriptObject&, sdbus::MethodReply&)>& work);
  void reply(sdbus::MethodCall& call, const Member& member, ScriptObject& object, HRESULT hr, const Value& result);
  void ownerLeft(const std::string& owner);
  void dropObject(uint64_t id);
  void objectsChanged();
  void emitProgress(uint64_t id, const ProgressEvent& event);
  std::string errorText(const ReportedError& error, HRESULT hr) const;

  sdbus::IConnection& bus_;
  ServiceLoop& loop_;
  ScriptObject::TextLookup texts_;
  std::shared_ptr<const vx::res::ResourceLibrary> resources_;
  Options options_;
  PortClaims claims_;
  std::unique_ptr<sdbus::IObject> factory_;
  sdbus::Slot ownerWatch_;
  std::map<uint64_t, std::unique_ptr<Entry>> objects_;
  uint64_t nextId_ = 1;
  LoopScheduler::TimerId idleTimer_ = LoopScheduler::kNoTimer;
};

}  // namespace vx::script
