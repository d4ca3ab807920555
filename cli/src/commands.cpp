#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "backup_diff.h"
#include "offline_commands.h"
#include "progress.h"
#include "software_file.h"

namespace vx::cli {
namespace {

using std::chrono::minutes;

// Calls that wait for the UT: the NV database load, a backup, a download.
constexpr auto kLongCall = std::chrono::duration_cast<std::chrono::seconds>(minutes(30));
constexpr auto kDownloadCall = std::chrono::duration_cast<std::chrono::seconds>(minutes(120));

std::string indexText(const std::vector<Argument>& arguments) {
  std::string text;
  for (const Argument& a : arguments) {
    if (!text.empty()) text += ", ";
    text += a.name + ":" + typeName(a.type);
  }
  return text;
}

std::vector<BusValue> parseArguments(const std::vector<Argument>& shape, const std::vector<std::string>& words,
                                     std::size_t from, const std::string& member) {
  std::vector<BusValue> values;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    values.push_back(parseValue(shape[i].type, words[from + i], member + " " + shape[i].name));
  }
  return values;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* stateText(int state) {
  switch (state) {
    case 1: return "connected";
    case 2: return "link up, session starting";
    case 4: return "no link";
    default: return "not connected";
  }
}

// "Failed Critical Items: 0, Skipped Items: 16, Updated Items: 412": the
// report's sections ("[Title]" lines) with their entries counted.
std::string reportSummary(const std::string& report) {
  std::string summary;
  std::string title;
  int count = 0;
  auto close = [&] {
    if (title.empty()) return;
    if (!summary.empty()) summary += ", ";
    summary += title + ": " + std::to_string(count);
  };
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      close();
      title = line.substr(1, line.size() - 2);
      count = 0;
    } else if (!line.empty()) {
      ++count;
    }
  }
  close();
  return summary;
}

}  // namespace

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

Commands::Commands(const Invocation& invocation, ScriptClient& client, std::string port, PhoneOutput* phone)
    : inv_(invocation), client_(client), port_(std::move(port)), phone_(phone) {}

template <class Work>
auto Commands::progress(const std::string& label, const std::string& operation, Work&& work) {
  return withProgress(client_, label, operation, std::forward<Work>(work), phone_ != nullptr ? phone_->progress : nullptr);
}

std::string Commands::esn() {
  connect();
  return std::get<std::string>(*client_.call(kScriptInterface, "get_ESN", {}, 's'));
}

int Commands::run() {
  const std::string& c = inv_.command;
  if (c == "info") return info();
  if (c == "get") return get();
  if (c == "set") return set();
  if (c == "list") return list();
  if (c == "call") return callMethod();
  if (c == "backup") return backup();
  if (c == "restore") return restore();
  if (c == "download") return download();
  if (c == "reset") return reset();
  if (c == "state") return state();
  if (c == "nv") return nv();
  if (c == "diff") return diffWithUt();
  throw UsageError("unknown command '" + c + "'");
}

const MemberCatalogue& Commands::catalogue() {
  if (!catalogue_) {
    try {
      catalogue_ = MemberCatalogue::fromIntrospection(client_.introspect(), kScriptInterface);
    } catch (const std::runtime_error& error) {
      if (dynamic_cast<const UtError*>(&error) != nullptr) throw;
      throw UtError(0, error.what());
    }
  }
  return *catalogue_;
}

const std::vector<ArgumentLimit>& Commands::limits(const std::string& member) {
  if (!limits_) {
    limits_.emplace();
    for (const auto& row : client_.memberLimits()) {
      ArgumentLimit limit{row.get<1>(), row.get<2>() == "length", {}};
      for (const auto& range : row.get<3>()) limit.ranges.emplace_back(range.get<0>(), range.get<1>());
      (*limits_)[row.get<0>()].push_back(std::move(limit));
    }
  }
  static const std::vector<ArgumentLimit> kNone;
  auto it = limits_->find(member);
  return it == limits_->end() ? kNone : it->second;
}

std::optional<BusValue> Commands::accessor(const std::string& prefix, const Property& p,
                                           const std::vector<Argument>& shape, const std::vector<BusValue>& values,
                                           std::optional<char> result) {
  try {
    return client_.call(kScriptInterface, prefix + p.name, values, result);
  } catch (const UtError& error) {
    if (error.hresult() != 0x80070057u) throw;
    if (auto why = whyRefused(p.name, limits(p.name), shape, values)) throw UtError(error.hresult(), *why + " (0x80070057)");
    throw;
  }
}

// Once for the run: the ESN of a phone of several is read before its command.
void Commands::connect() {
  if (connected_) return;
  const auto state = progress("connecting to " + port_ + " and loading the NV database", "connect", [&] {
    return client_.call(kScriptInterface, "Connect", {port_, inv_.baud, int32_t{-1}, inv_.spc}, 'n', kLongCall);
  });
  const auto value = std::get<int16_t>(*state);
  if (value != 1) throw UtError(0, "the UT on " + port_ + " does not answer (" + stateText(value) + ")");
  connected_ = true;
}

std::vector<std::string> Commands::missingItems(const std::string& file) {
  auto call = client_.newCall(kNvInterface, "MissingFromFile");
  call << file;
  auto reply = client_.callRaw(call);
  std::vector<std::string> missing;
  reply >> missing;
  if (missing.empty()) return missing;
  // A backup has no end marker: a file cut at a line boundary looks whole.
  constexpr std::size_t kNamed = 6;
  std::string names;
  for (std::size_t i = 0; i < missing.size() && i < kNamed; ++i) names += (i > 0 ? ", " : "") + missing[i];
  if (missing.size() > kNamed) names += ", ...";
  const std::string warning = inv_.words[0] + " lacks " + std::to_string(missing.size()) +
                              " of the UT's items (" + names +
                              "): the restore leaves them as they are, and deletes the entries of the lists among "
                              "them; the file may be cut short\n";
  if (phone_ != nullptr) {
    phone_->note(warning);
  } else {
    std::fputs(("vexctl: " + warning).c_str(), stderr);
  }
  if (!confirmed("Restore it anyway?")) throw UtError(0, "restore not started: nothing was written");
  return missing;
}

void Commands::safetyCopyChoice() {
  if (inv_.noSafetyCopy) client_.call(kScriptInterface, "put_SafetyCopies", {int32_t{0}}, std::nullopt);
}

const std::string& Commands::safetyCopy() {
  if (!safetyCopy_) {
    const auto path = client_.call(kScriptInterface, "get_LastSafetyCopy", {}, 's');
    safetyCopy_ = path ? std::get<std::string>(*path) : std::string();
  }
  return *safetyCopy_;
}

std::string Commands::safetyCopyLine() {
  return safetyCopy().empty() ? std::string() : "the UT's earlier settings are saved in " + safetyCopy() + "\n";
}

// Disconnect, the downloads and a failed Connect leave the object without a
// session: it holds no change to commit, and asking it would be refused.
bool Commands::stillConnected() {
  const auto state = client_.call(kScriptInterface, "get_ConnectionState", {}, 'n');
  return state && std::get<int16_t>(*state) == 1;
}

void Commands::commit() { client_.call(kScriptInterface, "CommitChanges", {}, std::nullopt, kLongCall); }

void Commands::emit(const std::string& plain, const JsonWriter& json) { emitText(plain, json.text()); }

void Commands::emitText(const std::string& plain, const std::string& json) {
  if (phone_ != nullptr) {
    phone_->plain += plain;
    phone_->json = json;
    return;
  }
  const std::string& text = inv_.json ? json + "\n" : plain;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

int Commands::info() {
  const auto& members = catalogue();
  connect();
  Table table;
  JsonWriter json;
  json.beginObject();
  std::vector<std::pair<std::string, std::string>> failures;
  for (const std::string& name : identityMembers()) {
    const Property* p = members.property(name);
    if (p == nullptr || !p->readable) continue;
    try {
      const auto value = client_.call(kScriptInterface, "get_" + name, {}, p->type);
      table.row({name, formatValue(*value)});
      json.key(name).fragment(jsonValue(*value));
    } catch (const UtError& error) {
      failures.emplace_back(name, error.what());
      table.row({name, std::string("(") + error.what() + ")"});
    }
  }
  if (!failures.empty()) {
    json.key("errors").beginObject();
    for (const auto& [name, text] : failures) json.key(name).string(text);
    json.endObject();
  }
  json.endObject();
  emit(table.text(), json);
  return 0;
}

int Commands::get() {
  const std::string& name = inv_.words[0];
  const Property* p = catalogue().property(name);
  if (p == nullptr || !p->readable) throw UsageError("get: no readable property '" + name + "' (see vexctl list)");
  if (inv_.words.size() - 1 != p->indexes.size()) {
    throw UsageError("get " + name + ": takes " + std::to_string(p->indexes.size()) + " index(es) (" +
                     indexText(p->indexes) + ")");
  }
  const auto indexes = parseArguments(p->indexes, inv_.words, 1, name);
  connect();
  const auto value = accessor("get_", *p, p->indexes, indexes, p->type);
  JsonWriter json;
  json.beginObject().key("name").string(name).key("indexes").beginArray();
  for (const auto& index : indexes) json.fragment(jsonValue(index));
  json.endArray().key("value").fragment(jsonValue(*value)).endObject();
  emit(formatValue(*value) + "\n", json);
  return 0;
}

int Commands::set() {
  const std::string& name = inv_.words[0];
  const Property* p = catalogue().property(name);
  if (p == nullptr || !p->writable) throw UsageError("set: no writable property '" + name + "' (see vexctl list)");
  if (inv_.words.size() - 2 != p->indexes.size()) {
    throw UsageError("set " + name + ": takes " + std::to_string(p->indexes.size()) + " index(es) (" +
                     indexText(p->indexes) + ") and a value");
  }
  auto arguments = parseArguments(p->indexes, inv_.words, 1, name);
  const auto indexes = arguments;
  arguments.push_back(parseValue(p->type, inv_.words.back(), name));
  connect();
  std::vector<Argument> shape = p->indexes;
  shape.push_back(Argument{"newVal", p->type});
  accessor("put_", *p, shape, arguments, std::nullopt);
  if (!inv_.noCommit) commit();
  // What the UT (or, uncommitted, the staged change) now holds.
  BusValue now = arguments.back();
  if (p->readable) now = *client_.call(kScriptInterface, "get_" + name, indexes, p->type);
  JsonWriter json;
  json.beginObject().key("name").string(name).key("value").fragment(jsonValue(now));
  json.key("committed").boolean(!inv_.noCommit).endObject();
  emit(name + " = " + formatValue(now) + (inv_.noCommit ? " (not committed)\n" : "\n"), json);
  return 0;
}

int Commands::list() {
  const auto& members = catalogue();
  if (inv_.names) {
    std::string plain;
    JsonWriter json;
    json.beginArray();
    for (const auto& [name, p] : members.properties()) {
      plain += name + "\n";
      json.string(name);
    }
    for (const auto& [name, m] : members.methods()) {
      plain += name + "\n";
      json.string(name);
    }
    json.endArray();
    emit(plain, json);
    return 0;
  }
  Table table;
  table.row({"NAME", "KIND", "INDEXES/ARGUMENTS", "TYPE", "LIMITS"});
  JsonWriter json;
  json.beginArray();
  for (const auto& [name, p] : members.properties()) {
    const std::string access = p.readable && p.writable ? "rw" : p.readable ? "r" : "w";
    const std::string limitText = limitsText(limits(name));
    table.row({name, "property " + access, indexText(p.indexes), typeName(p.type), limitText});
    json.beginObject().key("name").string(name).key("kind").string("property").key("access").string(access);
    json.key("type").string(typeName(p.type)).key("indexes").beginArray();
    for (const Argument& a : p.indexes) json.beginObject().key("name").string(a.name).key("type").string(typeName(a.type)).endObject();
    json.endArray().key("limits").string(limitText).endObject();
  }
  for (const auto& [name, m] : members.methods()) {
    table.row({name, "method", indexText(m.arguments), m.result ? typeName(*m.result) : "", ""});
    json.beginObject().key("name").string(name).key("kind").string("method").key("arguments").beginArray();
    for (const Argument& a : m.arguments) json.beginObject().key("name").string(a.name).key("type").string(typeName(a.type)).endObject();
    json.endArray();
    if (m.result) json.key("result").string(typeName(*m.result));
    json.endObject();
  }
  json.endArray();
  emit(table.text(terminalWidth()), json);
  return 0;
}

int Commands::callMethod() {
  const std::string& name = inv_.words[0];
  const Method* m = catalogue().method(name);
  if (m == nullptr) throw UsageError("call: no method '" + name + "' (see vexctl list)");
  if (inv_.words.size() - 1 != m->arguments.size()) {
    throw UsageError("call " + name + ": takes " + std::to_string(m->arguments.size()) + " argument(s) (" +
                     indexText(m->arguments) + ")");
  }
  const auto arguments = parseArguments(m->arguments, inv_.words, 1, name);
  if (name != "Connect") connect();
  const auto result = client_.call(kScriptInterface, name, arguments, m->result, kLongCall);
  bool committed = false;
  if (!inv_.noCommit && stillConnected()) {
    const auto changed = client_.call(kScriptInterface, "get_IsChanged", {}, 'i');
    if (changed && std::get<int32_t>(*changed) != 0) {
      commit();
      committed = true;
    }
  }
  JsonWriter json;
  json.beginObject().key("name").string(name);
  if (result) json.key("result").fragment(jsonValue(*result));
  json.key("committed").boolean(committed).endObject();
  // A method without a result prints nothing for scripts; a person is told it ran.
  std::string plain = result ? formatValue(*result) + "\n" : std::string();
  if (!result && ::isatty(STDOUT_FILENO) != 0) plain = name + ": done" + (committed ? ", changes committed\n" : "\n");
  emit(plain, json);
  return 0;
}

int Commands::backup() {
  const std::string file = absolutePath(inv_.words[0]);
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) throw UtError(0, folder.string() + ": no such directory");
  connect();
  progress("saving the NV items to " + inv_.words[0], "save",
               [&] { client_.call(kScriptInterface, "SaveSettings", {file}, std::nullopt, kLongCall); });
  JsonWriter json;
  json.beginObject().key("file").string(file).endObject();
  emit("settings saved to " + file + "\n", json);
  return 0;
}

int Commands::restore() {
  const std::string file = absolutePath(inv_.words[0]);
  if (::access(file.c_str(), R_OK) != 0) throw UtError(0, file + ": cannot be read");
  std::string report;
  std::string temporary;
  if (inv_.report) {
    report = absolutePath(*inv_.report);
  } else {
    std::string pattern = (std::getenv("TMPDIR") != nullptr ? std::string(std::getenv("TMPDIR")) : "/tmp") +
                          "/vexctl-report-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw UtError(0, "cannot make a file for the restore report");
    ::close(fd);
    report = temporary = pattern;
  }
  struct Remove {
    std::string path;
    ~Remove() {
      if (!path.empty()) std::remove(path.c_str());
    }
  } removeTemporary{temporary};
  const int32_t write = inv_.dryRun ? 0 : 1;
  connect();
  const std::vector<std::string> missing = inv_.dryRun ? std::vector<std::string>{} : missingItems(file);
  safetyCopyChoice();
  try {
    progress(std::string(inv_.dryRun ? "comparing the UT with " : "restoring the NV items of ") + inv_.words[0],
                 "restore", [&] {
                   client_.call(kScriptInterface, "RestoreSettings", {file, report, write}, std::nullopt, kLongCall);
                 });
  } catch (const UtError&) {
    // A restore cut short keeps its report, and its error names it: the
    // record of what reached the UT stays.
    std::error_code ec;
    if (std::filesystem::file_size(report, ec) > 0 && !ec) removeTemporary.path.clear();
    throw;
  }
  const std::string text = readFile(report);
  JsonWriter json;
  json.beginObject().key("file").string(file).key("written").boolean(!inv_.dryRun);
  json.key("report").string(text);
  if (inv_.report) json.key("reportFile").string(report);
  if (!safetyCopy().empty()) json.key("safetyCopy").string(safetyCopy());
  json.key("missingItems").beginArray();
  for (const std::string& name : missing) json.string(name);
  json.endArray();
  json.endObject();
  // The whole report where it is the point (a dry run) or asked for
  // (--verbose); else its sections counted.
  std::string plain = inv_.dryRun || inv_.verbose ? text : reportSummary(text) + "\n";
  if (!plain.empty() && plain.back() != '\n') plain += '\n';
  plain += inv_.dryRun ? "dry run: nothing was written to the UT\n" : "settings restored from " + file + "\n";
  if (inv_.report) plain += "report in " + report + "\n";
  plain += safetyCopyLine();
  emit(plain, json);
  return 0;
}

// Whether the user at a terminal says yes (No by default); true without
// a question when --yes was given or nobody is there to ask.
bool Commands::confirmed(const std::string& question) {
  if (inv_.yes || phone_ != nullptr || ::isatty(STDIN_FILENO) == 0 || ::isatty(STDERR_FILENO) == 0) return true;
  std::fputs((question + " [y/N] ").c_str(), stderr);
  std::string answer;
  for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) answer += static_cast<char>(c);
  return answer == "y" || answer == "Y" || answer == "yes";
}

int Commands::download() {
  const std::string file = absolutePath(inv_.words[0]);
  std::string error;
  const auto software = inspectSoftwareFile(file, &error);
  if (!software) throw UtError(0, error);
  const bool bootBlock = software->kind == SoftwareKind::BootBlock;
  // A boot block replaces what starts the UT: never by a file's say-so alone.
  if (bootBlock && !inv_.bootBlock) {
    throw UsageError(inv_.words[0] + " is a boot block (\"" + software->header +
                     "\"): writing it needs --boot-block");
  }
  if (!bootBlock && inv_.bootBlock) {
    throw UsageError(inv_.words[0] + " is not a boot block (its S0 header \"" + software->header +
                     "\" does not start with utbootbloc)");
  }
  if (bootBlock && !confirmed("Write the boot block \"" + software->header + "\" from " + inv_.words[0] +
                              " into the UT on " + port_ + "?")) {
    throw UtError(0, "boot block download not started: nothing was written");
  }
  connect();
  const std::string method = bootBlock ? "BootblockUpgrade" : "SoftwareUpgrade";
  safetyCopyChoice();
  progress(std::string("downloading ") + (bootBlock ? "the boot block " : "software ") + inv_.words[0],
               "download",
               [&] { client_.call(kScriptInterface, method, {file}, std::nullopt, kDownloadCall); });
  JsonWriter json;
  json.beginObject().key("file").string(file).key("kind").string(bootBlock ? "bootblock" : "software");
  json.key("header").string(software->header).key("method").string(method);
  if (!safetyCopy().empty()) json.key("safetyCopy").string(safetyCopy());
  json.endObject();
  emit(std::string(bootBlock ? "boot block" : "software") + " \"" + software->header + "\" downloaded from " + file +
           "\n" + safetyCopyLine(),
       json);
  return 0;
}

// The file against the UT as it is now: the UT's items saved to a
// temporary backup (a save only reads the UT) and the two files compared.
int Commands::diffWithUt() {
  const BackupFile file = readBackupFile(absolutePath(inv_.words[0]));
  connect();
  std::string folder = (std::getenv("TMPDIR") != nullptr ? std::string(std::getenv("TMPDIR")) : "/tmp") +
                       "/vexctl-diff-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) throw UtError(0, "cannot make a folder for the UT's items");
  struct RemoveFolder {
    std::string path;
    ~RemoveFolder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  } removeFolder{folder};
  const std::string saved = folder + "/ut.vex";
  progress("reading the NV items of the UT on " + port_, "save",
               [&] { client_.call(kScriptInterface, "SaveSettings", {saved}, std::nullopt, kLongCall); });
  BackupFile ut = readBackupFile(saved);
  ut.name = "the UT on " + port_;
  const DiffReport report = backupDiffReport(file, ut);
  emitText(report.plain, report.json);
  return report.status;
}

int Commands::reset() {
  connect();
  client_.call(kScriptInterface, "ResetUT", {}, std::nullopt, kLongCall);
  JsonWriter json;
  json.beginObject().key("reset").boolean(true).endObject();
  emit("the UT on " + port_ + " restarts\n", json);
  return 0;
}

int Commands::state() {
  // Timeout 0: the link state at once, without waiting for the session.
  const auto state = progress("connecting to " + port_, "connect", [&] {
    return client_.call(kScriptInterface, "Connect", {port_, inv_.baud, int32_t{0}, inv_.spc}, 'n', kLongCall);
  });
  int value = std::get<int16_t>(*state);
  // With the link up the object finishes the session on its own (the NV
  // database load): the state is told once that has ended either way.
  if (value == 2) {
    value = progress("waiting for the session on " + port_, "connect", [&] {
      int16_t now = 2;
      while (now == 2) {
        now = std::get<int16_t>(*client_.call(kScriptInterface, "get_ConnectionState", {}, 'n', kLongCall));
        if (now == 2) client_.pause(std::chrono::milliseconds(200));
      }
      return now;
    });
  }
  JsonWriter json;
  json.beginObject().key("port").string(port_).key("state").number(value).key("text").string(stateText(value));
  json.endObject();
  emit(port_ + ": " + stateText(value) + "\n", json);
  return 0;
}

}  // namespace vx::cli
