#include "script_service.h"

#include <cstdio>
#include "member_limits.h"

namespace vx::script {
namespace {

constexpr const char* kUnknownErrorText = "Unknown Error";

std::vector<std::string> splitNames(const std::string& names) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t comma = names.find(',', start);
    if (comma == std::string::npos) comma = names.size();
    out.push_back(names.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

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
  std::shared_ptr<ScriptObject> object;
  std::unique_ptr<sdbus::IObject> dbusObject;
  std::string owner;  // the bus connection that owns it; empty when shared
  std::string path;
};

ScriptService::ScriptService(sdbus::IConnection& bus, ServiceLoop& loop, ScriptObject::TextLookup texts,
                             std::shared_ptr<const vx::res::ResourceLibrary> resources,
                             Options options)
    : bus_(bus), loop_(loop), texts_(std::move(texts)), resources_(std::move(resources)), options_(options) {
  factory_ = sdbus::createObject(bus_, kFactoryPath);
  factory_->registerMethod(kFactoryInterface, "CreateObject", "", std::vector<std::string>{}, "o",
                           std::vector<std::string>{"object"},
                           [this](sdbus::MethodCall call) { createObject(std::move(call), true); });
  // For callers that cannot stay on the bus between calls (a shell script
  // that runs one gdbus per call): an object that only Release ends.
  factory_->registerMethod(kFactoryInterface, "CreateSharedObject", "", std::vector<std::string>{}, "o",
                           std::vector<std::string>{"object"},
                           [this](sdbus::MethodCall call) { createObject(std::move(call), false); });
  registerMemberLimits(*factory_, loop_, claims_);
  factory_->finishRegistration();
  ownerWatch_ = bus_.addMatch(
      "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged'",
      [this](sdbus::Message& message) {
        std::string name, oldOwner, newOwner;
        message >> name >> oldOwner >> newOwner;
        if (newOwner.empty() && name == oldOwner) ownerLeft(name);
      });
  // A server started for a caller that never asks for an object ends too.
  objectsChanged();
}

ScriptService::~ScriptService() {
  loop_.cancel(idleTimer_);
  // Objects still held by pending loop work report to nobody once the service is gone.
  for (auto& [id, entry] : objects_) entry->object->setProgressListener(nullptr);
  // A download still running ends here, not in a thread that outlives the loop.
  for (auto& [id, entry] : objects_) entry->object->Disconnect();
  objects_.clear();
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

void ScriptService::createObject(sdbus::MethodCall call, bool ownedByCaller) {
  const uint64_t id = nextId_++;
  auto entry = std::make_unique<Entry>();
  entry->object = std::make_shared<ScriptObject>(loop_, claims_, texts_, resources_);
  if (ownedByCaller) entry->owner = call.getSender();
  entry->path = std::string(kFactoryPath) + "/" + std::to_string(id);
  entry->dbusObject = sdbus::createObject(bus_, entry->path);
  for (const Member& member : scriptMembers()) {
    std::vector<std::string> outNames;
    if (!member.result.empty()) outNames.emplace_back("pVal");
    entry->dbusObject->registerMethod(kObjectInterface, member.name, member.signature, splitNames(member.argNames),
                                      member.result, outNames,
                                      [this, id, &member](sdbus::MethodCall c) { dispatch(id, member, std::move(c)); });
  }
  registerNvItems(*entry->dbusObject, id);
  entry->dbusObject->registerSignal(kProgressInterface, "Progress", "sstt",
                                    std::vector<std::string>{"operation", "step", "done", "total"});
  entry->object->setProgressListener([this, id](const ProgressEvent& event) { emitProgress(id, event); });
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

void ScriptService::releaseObject(uint64_t id, sdbus::MethodCall call) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return;
  if (!it->second->owner.empty() && call.getSender() != it->second->owner) {
    call.createErrorReply(sdbus::Error(errorName(E_ACCESSDENIED), "the object belongs to another caller")).send();
    return;
  }
  call.createReply().send();
  // Gone for every later call at once; the D-Bus object itself, which is
  // dispatching this very call, is destroyed after it.
  std::shared_ptr<Entry> entry(std::move(it->second));
  objects_.erase(it);
  entry->object->Disconnect();
  objectsChanged();
  loop_.after(0, [entry] {});
}

void ScriptService::dropObject(uint64_t id) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return;
  it->second->object->Disconnect();
  objects_.erase(it);
  objectsChanged();
}

void ScriptService::ownerLeft(const std::string& owner) {
  for (const auto& [id, entry] : objects_) {
    if (entry->owner == owner) loop_.after(0, [this, id = id] { dropObject(id); });
  }
}

// The server ends `idleEndMs` after the object count last fell to zero.
void ScriptService::objectsChanged() {
  loop_.cancel(idleTimer_);
  idleTimer_ = LoopScheduler::kNoTimer;
  if (!objects_.empty()) return;
  idleTimer_ = loop_.after(options_.idleEndMs, [this] {
    idleTimer_ = LoopScheduler::kNoTimer;
    if (objects_.empty()) loop_.quit();
  });
}

void ScriptService::dispatch(uint64_t id, const Member& member, sdbus::MethodCall call) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return;
  std::shared_ptr<ScriptObject> object = it->second->object;
  Args args = readArgs(call, member.signature);
  object->clearError();
  if (member.asyncHandler != nullptr) {
    member.asyncHandler(*object, args, [this, call, object, &member](HRESULT hr, Value result) mutable {
      reply(call, member, *object, hr, result);
    });
    return;
  }
  Value result;
  HRESULT hr = member.handler(*object, args, result);
  reply(call, member, *object, hr, result);
}

void ScriptService::answer(uint64_t id, sdbus::MethodCall& call,
                           const std::function<HRESULT(ScriptObject&, sdbus::MethodReply&)>& work) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return;
  ScriptObject& object = *it->second->object;
  object.clearError();
  auto reply = call.createReply();
  const HRESULT hr = work(object, reply);
  if (FAILED(hr)) {
    call.createErrorReply(sdbus::Error(errorName(hr), errorText(object.lastError(), hr))).send();
    return;
  }
  reply.send();
}

void ScriptService::reply(sdbus::MethodCall& call, const Member& member, ScriptObject& object, HRESULT hr,
                          const Value& result) {
  if (FAILED(hr)) {
    const std::string text = errorText(object.lastError(), hr);
    // What the object reports would have been shown to the user; keep it.
    if (object.lastError().message != Message::None) {
      std::fprintf(stderr, "vxscript: %s: %s (0x%08X)\n", member.name.c_str(), text.c_str(),
                   static_cast<uint32_t>(hr));
    }
    call.createErrorReply(sdbus::Error(errorName(hr), text)).send();
    return;
  }
  auto reply = call.createReply();
  writeResult(reply, member.result, result);
  reply.send();
}

}  // namespace vx::script
