// The commands of vexctl over one script object. Each prints its result
// (a table or JSON) on standard output and throws UsageError or UtError.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "member_catalogue.h"
#include "output.h"
#include "script_client.h"

namespace vx::cli {

class ProgressSink;

// One phone of several: what its command says is kept for the run's summary
// rather than printed, its progress goes to its line of the display, and
// its warnings to `note`. Its questions were settled before the start.
struct PhoneOutput {
  ProgressSink* progress = nullptr;
  std::function<void(const std::string&)> note;
  std::string plain;  // what the command would have printed
  std::string json;   // its JSON document
};

class Commands {
 public:
  // `port` is the UT's port (the simulator's for --sim); `phone` is given
  // when the command runs on several phones at once.
  Commands(const Invocation& invocation, ScriptClient& client, std::string port, PhoneOutput* phone = nullptr);

  // Runs the invocation's command; the exit status.
  int run();
  // Connects (once for the run) and reads the UT's ESN.
  std::string esn();

 private:
  const MemberCatalogue& catalogue();
  const std::vector<ArgumentLimit>& limits(const std::string& member);
  // Calls a property accessor; a refused argument is explained by its limits.
  std::optional<BusValue> accessor(const std::string& prefix, const Property& p, const std::vector<Argument>& shape,
                                   const std::vector<BusValue>& values, std::optional<char> result);
  void connect();
  void commit();
  bool stillConnected();
  bool confirmed(const std::string& question);
  // Restores and downloads save the UT's settings first unless told not to;
  // where the copy went, once asked ("" for none), and the line that says so.
  void safetyCopyChoice();
  // The UT's items the backup file lacks, told on standard error; on a
  // terminal the user is asked whether to go on (UtError when not).
  std::vector<std::string> missingItems(const std::string& file);
  const std::string& safetyCopy();
  std::string safetyCopyLine();
  void emit(const std::string& plain, const JsonWriter& json);
  void emitText(const std::string& plain, const std::string& json);
  template <class Work>
  auto progress(const std::string& label, const std::string& operation, Work&& work);

  int info();
  int get();
  int set();
  int list();
  int callMethod();
  int backup();
  int restore();
  int download();
  int reset();
  int state();
  int diffWithUt();
  int nv();  // commands_nv.cpp
  int nvCommand();
  void explainNvRefusal(const std::string& path, const std::string& value);

  const Invocation& inv_;
  ScriptClient& client_;
  std::string port_;
  PhoneOutput* phone_;
  bool connected_ = false;
  std::optional<MemberCatalogue> catalogue_;
  std::optional<MemberLimits> limits_;
  std::optional<std::string> safetyCopy_;
};

// A file name as the server needs it: absolute, since the server's
// working directory is not ours.
std::string absolutePath(const std::string& path);

}  // namespace vx::cli
