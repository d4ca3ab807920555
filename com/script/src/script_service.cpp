#include "script_service.h"

#include <algorithm>
#include <cstdio>

namespace vx::script {
namespace {

constexpr const char* kUnknownErrorText = "Unknown Error";

// Reads the arguments of a call by the row's signature. The bus has
// already checked the message against that signature.
Args readArgs(sdbus::MethodCall& call, const std::string& signature) {
  std::vector<Value> values;
  values.reserve(signature.size());
  for (char type : signature) {
    switch (type) {
      case 'i': {
        int32_t v = 0;
        call >> v;
        values.emplace_back(v);
        break;
      }
      case 'n': {
        int16_t v = 0;
        call >> v;
        values.emplace_back(v);
        break;
      }
      case 'y': {
        uint8_t v = 0;
        call >> v;
        values.emplace_back(v);
        break;
      }
      case 'd': {
        double v = 0;
        call >> v;
        values.emplace_back(v);
        break;
      }
      default: {
        std::string v;
        call >> v;
        values.emplace_back(vx::com::Utf8ToUtf16(v));
        break;
      }
    }
  }
  return Args(std::move(values));
}

int64_t numberOf(const Value& value) {
  if (auto* v = std::get_if<int32_t>(&value)) return *v;
  if (auto* v = std::get_if<int16_t>(&value)) return *v;
  if (auto* v = std::get_if<uint8_t>(&value)) return *v;
  if (auto* v = std::get_if<double>(&value)) return static_cast<int64_t>(*v);
  return 0;
}

// Puts the result into the reply as the row's type says.
void writeResult(sdbus::MethodReply& reply, const std::string& type, const Value& value) {
  if (type.empty()) return;
  switch (type.front()) {
    case 'i': reply << static_cast<int32_t>(numberOf(value)); break;
    case 'n': reply << static_cast<int16_t>(numberOf(value)); break;
    case 'y': reply << static_cast<uint8_t>(numberOf(value)); break;
    case 'd': {
      auto* date = std::get_if<double>(&value);
      reply << (date != nullptr ? *date : 0.0);
      break;
    }
    default: {
      auto* text = std::get_if<std::u16string>(&value);
      reply << (text != nullptr ? vx::com::Utf16ToUtf8(*text) : std::string());
      break;
    }
  }
}

}  // namespace

struct ScriptService::Entry {
  std::shared_ptr<ObjectLoop> loop;
  std::shared_ptr<ScriptObject> object;
  std::unique_ptr<sdbus::IObject> dbusObject;
  std::string owner;  // the bus connection that owns it; empty when shared
  std::string path;
  std::chrono::steady_clock::time_point lastCall;
};

ScriptService::ScriptService(sdbus::IConnection& bus, ServiceLoop& loop, ScriptObject::TextLookup texts,
                             std::shared_ptr<const vx::res::ResourceLibrary> resources,
                             Options options)
    : bus_(bus),
      loop_(loop),
      mailbox_(std::make_shared<LoopMailbox>(loop)),
      texts_(std::move(texts)),
      resources_(std::move(resources)),
      options_(options) {
  factory_ = sdbus::createObject(bus_, kFactoryPath);
  factory_->registerMethod(kFactoryInterface, "CreateObject", "", std::vector<std::string>{}, "o",
                           std::vector<std::string>{"object"},
                           [this](sdbus::MethodCall call) { createObject(std::move(call), true); });
  // For callers that cannot stay on the bus between calls (a shell script
  // that runs one gdbus per call): an object that Release ends, or a long
  // time without a call.
  factory_->registerMethod(kFactoryInterface, "CreateSharedObject", "", std::vector<std::string>{}, "o",
                           std::vector<std::string>{"object"},
                           [this](sdbus::MethodCall call) { createObject(std::move(call), false); });
  limits_ = std::make_unique<MemberLimitsPublisher>(*factory_, mailbox_, claims_);
  factory_->finishRegistration();
  ownerWatch_ = bus_.addMatch(
      "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged'",
      [this](sdbus::Message& message) {
        std::string name, oldOwner, newOwner;
        message >> name >> oldOwner >> newOwner;
        if (newOwner.empty() && name == oldOwner) ownerLeft(name);
      });
  sharedSweep_ = loop_.every(std::max(options_.sharedIdleEndMs / 10, 10), [this] { endIdleSharedObjects(); });
  // A server started for a caller that never asks for an object ends too.
  objectsChanged();
}

ScriptService::~ScriptService() { shutDown(std::chrono::milliseconds(800)); }

bool ScriptService::shutDown(std::chrono::milliseconds patience) {
  if (shutDown_) return true;
  shutDown_ = true;
  loop_.cancel(idleTimer_);
  loop_.cancel(sharedSweep_);
  const auto deadline = Clock::now() + patience;
  bool allEnded = true;
  // A call under way may still end within the patience, and is answered
  // with what it did; calls still queued behind it are not started.
  for (auto& [id, entry] : objects_) {
    // A download still running is cancelled, a link closed, a port given up.
    allEnded &= entry->loop->finish([object = std::move(entry->object)]() mutable {
      object->Disconnect();
      object.reset();
    }, deadline);
  }
  for (auto& loop : ending_) allEnded &= loop->finish({}, deadline);
  allEnded &= limits_->finish(deadline);
  loop_.runPostedAfterEnd();
  // The threads still in a call can no longer reach the service; their
  // callers, and those whose calls never started, are told.
  mailbox_->close();
  for (auto& [callId, pending] : pending_) {
    pending.call.createErrorReply(sdbus::Error(errorName(E_ABORT), "the script server is ending")).send();
  }
  pending_.clear();
  objects_.clear();
  ending_.clear();
  return allEnded;
}

std::string ScriptService::errorName(HRESULT hr) {
  char name[32];
  std::snprintf(name, sizeof name, "UTVEX.Error.H%08X", static_cast<uint32_t>(hr));
  return name;
}

std::string ScriptService::errorText(const ReportedError& error, HRESULT hr) const {
  if (error.message == Message::None || error.hr != hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(hr));
    // What the failing object said of it, when it said anything.
    if (error.message == Message::None && error.hr == hr && !error.detail.empty()) return error.detail;
    return text;
  }
  std::optional<std::string> text = texts_ ? texts_(static_cast<uint32_t>(error.message)) : std::nullopt;
  std::string whole = text.value_or(kUnknownErrorText);
  if (!error.detail.empty()) whole += " (" + error.detail + ")";
  return whole;
}

std::string ScriptService::objectLimitReached(const std::string& owner, bool shared) const {
  std::size_t sharedCount = 0;
  std::size_t ownedByCaller = 0;
  for (const auto& [id, entry] : objects_) {
    if (entry->owner.empty()) ++sharedCount;
    if (!owner.empty() && entry->owner == owner) ++ownedByCaller;
  }
  if (objects_.size() + ending_.size() >= options_.maxObjects) {
    return "the script server holds " + std::to_string(options_.maxObjects) +
           " objects, as many as it allows; release some first";
  }
  if (shared && sharedCount >= options_.maxSharedObjects) {
    return "there are " + std::to_string(options_.maxSharedObjects) +
           " shared objects, as many as the server allows; release one first (a shared object also ends after " +
           std::to_string(options_.sharedIdleEndMs / 60000) + " minutes without a call)";
  }
  if (!shared && ownedByCaller >= options_.maxObjectsPerCaller) {
    return "this caller holds " + std::to_string(options_.maxObjectsPerCaller) +
           " objects, as many as one caller may; release some first";
  }
  return {};
}

void ScriptService::createObject(sdbus::MethodCall call, bool ownedByCaller) {
  const std::string owner = ownedByCaller ? call.getSender() : std::string();
  if (std::string why = objectLimitReached(owner, !ownedByCaller); !why.empty()) {
    call.createErrorReply(sdbus::Error(errorName(SCRIPT_E_TOO_MANY_OBJECTS), why)).send();
    return;
  }
  const uint64_t id = nextId_++;
  auto entry = std::make_unique<Entry>();
  entry->loop = ObjectLoop::start();
  entry->object = std::make_shared<ScriptObject>(*entry->loop, claims_, texts_, resources_);
  entry->owner = owner;
  entry->lastCall = Clock::now();
  entry->path = std::string(kFactoryPath) + "/" + std::to_string(id);
  entry->dbusObject = sdbus::createObject(bus_, entry->path);
  for (const Member& member : scriptMembers()) {
    std::vector<std::string> outNames;
    if (!member.result.empty()) outNames.emplace_back("pVal");
    entry->dbusObject->registerMethod(kObjectInterface, member.name, member.signature, argumentNames(member),
                                      member.result, outNames,
                                      [this, id, &member](sdbus::MethodCall c) { dispatch(id, member, std::move(c)); });
  }
  registerNvItems(*entry->dbusObject, id);
  entry->dbusObject->registerSignal(kProgressInterface, "Progress", "sstt",
                                    std::vector<std::string>{"operation", "step", "done", "total"});
  // Reports come on the object's thread; the signal goes out from the bus loop.
  entry->object->setProgressListener([mailbox = mailbox_, this, id](const ProgressEvent& event) {
    mailbox->post([this, id, event] { emitProgress(id, event); });
  });
  entry->dbusObject->registerMethod(kObjectInterface, "Release", "", std::vector<std::string>{}, "",
                                    std::vector<std::string>{},
                                    [this, id](sdbus::MethodCall c) { releaseObject(id, std::move(c)); });
  entry->dbusObject->finishRegistration();
  const std::string path = entry->path;
  objects_.emplace(id, std::move(entry));
  objectsChanged();
  auto reply = call.createReply();
  reply << sdbus::ObjectPath(path);
  reply.send();
}

void ScriptService::emitProgress(uint64_t id, const ProgressEvent& event) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return;
  try {
    auto signal = it->second->dbusObject->createSignal(kProgressInterface, "Progress");
    signal << event.operation << event.step << event.done << event.total;
    it->second->dbusObject->emitSignal(signal);
  } catch (const sdbus::Error& error) {
    // A progress report that cannot be sent loses nothing the caller needs.
    std::fprintf(stderr, "vxscript: progress not sent: %s\n", error.getMessage().c_str());
  }
}

ScriptService::Entry* ScriptService::entryFor(uint64_t id, sdbus::MethodCall& call) {
  auto it = objects_.find(id);
  if (it == objects_.end()) {
    call.createErrorReply(sdbus::Error("org.freedesktop.DBus.Error.UnknownObject", "the object has been released"))
        .send();
    return nullptr;
  }
  if (!it->second->owner.empty() && call.getSender() != it->second->owner) {
    call.createErrorReply(sdbus::Error(errorName(E_ACCESSDENIED), "the object belongs to another caller")).send();
    return nullptr;
  }
  it->second->lastCall = Clock::now();
  return it->second.get();
}

std::function<void(ScriptService::Outcome)> ScriptService::track(sdbus::MethodCall call, uint64_t objectId,
                                                                  std::string member) {
  const uint64_t callId = nextCallId_++;
  pending_.emplace(callId, PendingCall{std::move(call), objectId, std::move(member)});
  return [mailbox = mailbox_, this, callId](Outcome outcome) {
    mailbox->post([this, callId, outcome = std::move(outcome)]() mutable { finishCall(callId, std::move(outcome)); });
  };
}

void ScriptService::finishCall(uint64_t callId, Outcome outcome) {
  auto it = pending_.find(callId);
  if (it == pending_.end()) return;  // answered already: its object ended first
  PendingCall pending = std::move(it->second);
  pending_.erase(it);
  if (FAILED(outcome.hr)) {
    const std::string text = errorText(outcome.error, outcome.hr);
    // What the object reports would have been shown to the user; keep it.
    if (outcome.error.message != Message::None) {
      std::fprintf(stderr, "vxscript: %s: %s (0x%08X)\n", pending.member.c_str(), text.c_str(),
                   static_cast<uint32_t>(outcome.hr));
    }
    pending.call.createErrorReply(sdbus::Error(errorName(outcome.hr), text)).send();
    return;
  }
  auto reply = pending.call.createReply();
  if (outcome.write) outcome.write(reply);
  reply.send();
}

void ScriptService::failPendingCalls(uint64_t objectId, const char* why) {
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.objectId != objectId) {
      ++it;
      continue;
    }
    it->second.call.createErrorReply(sdbus::Error(errorName(E_ABORT), why)).send();
    it = pending_.erase(it);
  }
}

void ScriptService::dispatch(uint64_t id, const Member& member, sdbus::MethodCall call) {
  Entry* entry = entryFor(id, call);
  if (entry == nullptr) return;
  Args args = readArgs(call, member.signature);
  auto done = track(std::move(call), id, member.name);
  entry->loop->post([object = entry->object, args = std::move(args), &member, done = std::move(done)] {
    // The object owns a reply it has not given yet, so it is held by address.
    auto finished = [self = object.get(), &member, done](HRESULT hr, const Value& result) {
      Outcome outcome{hr, self->lastError(), nullptr};
      if (SUCCEEDED(hr)) {
        outcome.write = [type = member.result, result](sdbus::MethodReply& reply) { writeResult(reply, type, result); };
      }
      done(std::move(outcome));
    };
    object->clearError();
    if (member.asyncHandler != nullptr) {
      member.asyncHandler(*object, args, [finished](HRESULT hr, Value result) { finished(hr, result); });
      return;
    }
    Value result;
    const HRESULT hr = member.handler(*object, args, result);
    finished(hr, result);
  });
}

void ScriptService::answer(uint64_t id, sdbus::MethodCall call,
                           std::function<HRESULT(ScriptObject&, ReplyWriter*)> work) {
  Entry* entry = entryFor(id, call);
  if (entry == nullptr) return;
  const std::string member = call.getMemberName();
  auto done = track(std::move(call), id, member);
  entry->loop->post([object = entry->object, work = std::move(work), done = std::move(done)] {
    object->clearError();
    Outcome outcome;
    outcome.hr = work(*object, &outcome.write);
    outcome.error = object->lastError();
    if (FAILED(outcome.hr)) outcome.write = nullptr;
    done(std::move(outcome));
  });
}

void ScriptService::releaseObject(uint64_t id, sdbus::MethodCall call) {
  if (entryFor(id, call) == nullptr) return;
  call.createReply().send();
  endObject(id, "the object was released while this call was under way");
}

void ScriptService::endObject(uint64_t id, const char* why) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return;
  // Gone for every later call at once; the D-Bus object itself, which may be
  // dispatching this very call, is destroyed after it.
  std::shared_ptr<Entry> entry(std::move(it->second));
  objects_.erase(it);
  failPendingCalls(id, why);
  ending_.push_back(entry->loop);
  // The object ends on its own thread, after the call it may be in: a
  // download is cancelled, the link closed, the port given up.
  entry->loop->finish(
      [object = std::move(entry->object), mailbox = mailbox_, this, loop = std::weak_ptr<ObjectLoop>(entry->loop)]() mutable {
        object->Disconnect();
        object.reset();
        mailbox->post([this, loop] {
          if (auto ended = loop.lock()) objectEnded(ended);
        });
      },
      Clock::now());
  objectsChanged();
  loop_.after(0, [entry] {});
}

void ScriptService::objectEnded(const std::shared_ptr<ObjectLoop>& loop) {
  auto it = std::find(ending_.begin(), ending_.end(), loop);
  if (it == ending_.end()) return;
  // Its last call has run: the thread is leaving, and is joined here.
  loop->finish({}, Clock::time_point::max());
  ending_.erase(it);
  objectsChanged();
}

void ScriptService::ownerLeft(const std::string& owner) {
  for (const auto& [id, entry] : objects_) {
    if (entry->owner == owner) {
      loop_.after(0, [this, id = id] { endObject(id, "the object's caller left the bus"); });
    }
  }
}

void ScriptService::endIdleSharedObjects() {
  const auto idleSince = Clock::now() - std::chrono::milliseconds(options_.sharedIdleEndMs);
  std::vector<uint64_t> idle;
  for (const auto& [id, entry] : objects_) {
    if (!entry->owner.empty() || entry->lastCall > idleSince) continue;
    const bool busy = std::any_of(pending_.begin(), pending_.end(),
                                  [id = id](const auto& pending) { return pending.second.objectId == id; });
    if (!busy) idle.push_back(id);
  }
  for (uint64_t id : idle) endObject(id, "the shared object was idle too long");
}

// The server ends `idleEndMs` after the object count last fell to zero
// and every ended object's thread is gone.
void ScriptService::objectsChanged() {
  loop_.cancel(idleTimer_);
  idleTimer_ = LoopScheduler::kNoTimer;
  if (!objects_.empty() || !ending_.empty()) return;
  idleTimer_ = loop_.after(options_.idleEndMs, [this] {
    idleTimer_ = LoopScheduler::kNoTimer;
    if (objects_.empty() && ending_.empty()) loop_.quit();
  });
}

}  // namespace vx::script
