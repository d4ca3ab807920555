// Connecting, committing, saving and restoring: the members of the script
// object that are not settings.
#include "member_table.h"

namespace vx::script {
namespace {

void connect(ScriptObject& object, const Args& args, Reply reply) {
  object.Connect(args.text(0), args.i32(1), args.i32(2), args.text(3),
                 [reply = std::move(reply)](HRESULT hr, int16_t state) { reply(hr, Value(state)); });
}

HRESULT disconnect(ScriptObject& object, const Args&, Value&) { return object.Disconnect(); }

HRESULT connectionState(ScriptObject& object, const Args&, Value& result) {
  int16_t state = 0;
  HRESULT hr = object.ConnectionState(&state);
  result = state;
  return hr;
}

HRESULT resetUt(ScriptObject& object, const Args&, Value&) { return object.ResetUT(); }
HRESULT commitChanges(ScriptObject& object, const Args&, Value&) { return object.CommitChanges(); }

HRESULT isChanged(ScriptObject& object, const Args&, Value& result) {
  int32_t changed = 0;
  HRESULT hr = object.IsChanged(&changed);
  if (SUCCEEDED(hr)) result = changed;
  return hr;
}

HRESULT saveSettings(ScriptObject& object, const Args& args, Value&) { return object.SaveSettings(args.text(0)); }

HRESULT restoreSettings(ScriptObject& object, const Args& args, Value&) {
  return object.RestoreSettings(args.text(0), args.text(1), args.i32(2));
}

HRESULT scriptObjectVersion(ScriptObject& object, const Args&, Value& result) {
  std::u16string text;
  HRESULT hr = object.ScriptObjectVersion(&text);
  result = std::move(text);
  return hr;
}

HRESULT getExclusive(ScriptObject& object, const Args&, Value& result) {
  int32_t exclusive = 0;
  HRESULT hr = object.ExclusivePort(&exclusive);
  result = exclusive;
  return hr;
}

HRESULT putExclusive(ScriptObject& object, const Args& args, Value&) { return object.SetExclusivePort(args.i32(0)); }

HRESULT getSafetyCopies(ScriptObject& object, const Args&, Value& result) {
  int32_t on = 0;
  HRESULT hr = object.SafetyCopies(&on);
  result = on;
  return hr;
}

HRESULT putSafetyCopies(ScriptObject& object, const Args& args, Value&) { return object.SetSafetyCopies(args.i32(0)); }

HRESULT lastSafetyCopy(ScriptObject& object, const Args&, Value& result) {
  std::u16string path;
  HRESULT hr = object.LastSafetyCopy(&path);
  result = std::move(path);
  return hr;
}

template <DownloadMethod method>
void download(ScriptObject& object, const Args& args, Reply reply) {
  object.Download(method, args.text(0), [reply = std::move(reply)](HRESULT hr) { reply(hr, Value()); });
}

}  // namespace

void addFrameMembers(MemberRows& rows) {
  rows.push_back(Member{"Connect", "siis", "bsPort,nBaudRate,nTimeOut,bsSPC", "n", nullptr, &connect});
  addMethod(rows, "Disconnect", "", "", "", &disconnect);
  addProperty(rows, "ConnectionState", "", "", 'n', &connectionState, nullptr);
  addMethod(rows, "ResetUT", "", "", "", &resetUt);
  addMethod(rows, "CommitChanges", "", "", "", &commitChanges);
  addProperty(rows, "IsChanged", "", "", 'i', &isChanged, nullptr);
  addMethod(rows, "SaveSettings", "s", "bsSettingsFile", "", &saveSettings);
  addMethod(rows, "RestoreSettings", "ssi", "bsSettingsFile,bsLogFile,bWriteToPhone", "", &restoreSettings);
  addProperty(rows, "ScriptObjectVersion", "", "", 's', &scriptObjectVersion, nullptr);
  addProperty(rows, "ExclusiveVEXCOMPort", "", "", 'i', &getExclusive, &putExclusive);
  addProperty(rows, "SafetyCopies", "", "", 'i', &getSafetyCopies, &putSafetyCopies);
  addProperty(rows, "LastSafetyCopy", "", "", 's', &lastSafetyCopy, nullptr);
  rows.push_back(Member{"SoftwareUpgrade", "s", "bsSoftwareFile", "", nullptr, &download<DownloadMethod::Software>});
  rows.push_back(
      Member{"BootblockUpgrade", "s", "bsBootblockFile", "", nullptr, &download<DownloadMethod::BootBlock>});
  rows.push_back(
      Member{"DownloadRAMProgram", "s", "bsSoftwareFile", "", nullptr, &download<DownloadMethod::RamProgram>});
}

}  // namespace vx::script
