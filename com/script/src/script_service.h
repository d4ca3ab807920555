// The script server's D-Bus face: the factory object that makes script
// objects, one D-Bus object per script object with a method for each
// member row, error replies that carry the HRESULT and the resource text,
// the release of objects whose caller left the bus, and the end of the
// server a while after its last object went.
//
// The bus loop only dispatches: each object's calls run on that object's
// own thread (ObjectLoop), and their replies are sent from the bus loop
// when they end, so no file, link or UT wait holds up another caller.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "loop_mailbox.h"
#include "member_limits.h"
#include "member_table.h"
#include "object_loop.h"
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
  // Puts a call's results into its reply, on the bus loop.
  using ReplyWriter = std::function<void(sdbus::MethodReply&)>;

  struct Options {
    int idleEndMs = 5000;  // the server ends this long after its last object
    // What one bus can make the server hold: objects in all (those still
    // ending included), objects of one caller, shared objects.
    std::size_t maxObjects = 256;
    std::size_t maxObjectsPerCaller = 64;
    std::size_t maxSharedObjects = 64;
    // A shared object that no call has used for this long ends.
    int sharedIdleEndMs = 10 * 60 * 1000;
  };

  // `resources` holds the loader program that software downloads send.
  ScriptService(sdbus::IConnection& bus, ServiceLoop& loop, ScriptObject::TextLookup texts,
                std::shared_ptr<const vx::res::ResourceLibrary> resources, Options options);
  ~ScriptService();
  ScriptService(const ScriptService&) = delete;
  ScriptService& operator=(const ScriptService&) = delete;

  std::size_t objectCount() const { return objects_.size(); }

  // Answers every call still under way with an error and ends every
  // object's thread, waiting for them at most `patience`. False when a
  // thread is still in a call (a file or a UT that does not answer): the
  // process must then end without running its static destructors.
  bool shutDown(std::chrono::milliseconds patience);
  // The D-Bus error name of a failing HRESULT: UTVEX.Error.H80040323.
  static std::string errorName(HRESULT hr);

 private:
  struct Entry;
  // How a call ended on its object's thread.
  struct Outcome {
    HRESULT hr = S_OK;
    ReportedError error;
    ReplyWriter write;
  };
  // A call under way: answered once, by its outcome or when its object or
  // the server ends first.
  struct PendingCall {
    sdbus::MethodCall call;
    uint64_t objectId;
    std::string member;
  };

  void createObject(sdbus::MethodCall call, bool ownedByCaller);
  // Why a new object may not be made ("" when it may).
  std::string objectLimitReached(const std::string& owner, bool shared) const;
  void releaseObject(uint64_t id, sdbus::MethodCall call);
  void dispatch(uint64_t id, const Member& member, sdbus::MethodCall call);
  // The raw NV item interface on an object's path (nv_items_interface.cpp).
  void registerNvItems(sdbus::IObject& dbusObject, uint64_t id);
  // Runs `work` on the object's thread and sends its reply, with what the
  // work's writer puts in it, or its failure as an error reply.
  void answer(uint64_t id, sdbus::MethodCall call, std::function<HRESULT(ScriptObject&, ReplyWriter*)> work);
  // The entry a call may use, or nothing once its error reply is sent: the
  // object is gone, or it is another caller's.
  Entry* entryFor(uint64_t id, sdbus::MethodCall& call);
  // Keeps `call` until its outcome arrives; the function hands that
  // outcome back to the bus loop from any thread.
  std::function<void(Outcome)> track(sdbus::MethodCall call, uint64_t objectId, std::string member);
  void finishCall(uint64_t callId, Outcome outcome);
  void failPendingCalls(uint64_t objectId, const char* why);
  void ownerLeft(const std::string& owner);
  // Takes the object out of service and lets its thread end after what it
  // is doing; its calls still waiting are answered at once.
  void endObject(uint64_t id, const char* why);
  void objectEnded(const std::shared_ptr<ObjectLoop>& loop);
  void endIdleSharedObjects();
  void objectsChanged();
  void emitProgress(uint64_t id, const ProgressEvent& event);
  std::string errorText(const ReportedError& error, HRESULT hr) const;

  using Clock = std::chrono::steady_clock;

  sdbus::IConnection& bus_;
  ServiceLoop& loop_;
  std::shared_ptr<LoopMailbox> mailbox_;
  ScriptObject::TextLookup texts_;
  std::shared_ptr<const vx::res::ResourceLibrary> resources_;
  Options options_;
  PortClaims claims_;
  std::unique_ptr<sdbus::IObject> factory_;
  std::unique_ptr<MemberLimitsPublisher> limits_;
  sdbus::Slot ownerWatch_;
  std::map<uint64_t, std::unique_ptr<Entry>> objects_;
  // Threads of objects taken out of service that are still finishing.
  std::vector<std::shared_ptr<ObjectLoop>> ending_;
  std::map<uint64_t, PendingCall> pending_;
  uint64_t nextId_ = 1;
  uint64_t nextCallId_ = 1;
  LoopScheduler::TimerId idleTimer_ = LoopScheduler::kNoTimer;
  LoopScheduler::TimerId sharedSweep_ = LoopScheduler::kNoTimer;
  bool shutDown_ = false;
};

}  // namespace vx::script
