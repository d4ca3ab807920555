#include "bench.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "bus_session.h"
#include "commands.h"
#include "kmx/platform/runtime_dir.h"
#include "offline_commands.h"
#include "output.h"
#include "progress.h"
#include "script_client.h"
#include "serial_ports.h"

namespace vx::cli {
namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
}

// What becomes of one phone's run.
struct Phone {
  std::string port;
  std::string esn;
  PhoneOutput output;
  int status = 0;
  bool failed = false;
  bool usage = false;
  std::string error;
  uint32_t hresult = 0;
  double seconds = 0;
  std::optional<Invocation> invocation;  // once the phone is ready to start
};

// The phones' threads meet once they are connected and know their files;
// the run then starts them all, or none when two would write one file.
class StartLine {
 public:
  explicit StartLine(std::size_t phones) : waiting_(phones) {}
  void arrive() {
    std::lock_guard lock(mutex_);
    --waiting_;
    changed_.notify_all();
  }
  void waitForAll() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_ == 0; });
  }
  void decide(bool go) {
    std::lock_guard lock(mutex_);
    decision_ = go;
    changed_.notify_all();
  }
  bool go() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return decision_.has_value(); });
    return *decision_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t waiting_;
  std::optional<bool> decision_;
};

void runPhone(const Invocation& inv, BusSession& bus, Phone& phone, StartLine& start) {
  const auto begun = std::chrono::steady_clock::now();
  bool arrived = false;
  try {
    // Declared before the client: the object is released on it.
    const std::unique_ptr<sdbus::IConnection> connection = bus.newConnection();
    ScriptClient client(*connection);
    // The commands read `mine`, which takes the phone's names once its ESN is known.
    Invocation mine = forPhone(inv, phone.port, "");
    Commands commands(mine, client, phone.port, &phone.output);
    // state reports the link as it is, without waiting for the session.
    if (inv.command != "state") phone.esn = commands.esn();
    mine = forPhone(inv, phone.port, phone.esn);
    phone.invocation = mine;
    arrived = true;
    start.arrive();
    if (!start.go()) return;
    phone.status = commands.run();
    phone.failed = phone.status != 0 && !(inv.command == "diff" && phone.status == kDiffDiffers);
  } catch (const UsageError& error) {
    phone.failed = phone.usage = true;
    phone.error = error.what();
  } catch (const UtError& error) {
    phone.failed = true;
    phone.error = error.what();
    phone.hresult = error.hresult();
  } catch (const sdbus::Error& error) {
    phone.failed = true;
    phone.error = utErrorOf(error).what();
  } catch (const std::exception& error) {
    phone.failed = true;
    phone.error = error.what();
  }
  phone.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  if (phone.failed && phone.status == 0) phone.status = phone.usage ? 2 : inv.command == "diff" ? kDiffTrouble : 1;
  if (!arrived) start.arrive();
}

std::vector<std::string> portsOf(const Invocation& inv) {
  if (!inv.allPorts) return inv.ports;
  PortRoots roots;
  roots.portDir = kmx::portDir();
  std::vector<std::string> names;
  for (const SerialPort& port : listSerialPorts(roots)) names.push_back(port.name);
  return names;
}

bool onTerminal() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1; }

// The questions of a single phone, settled before any phone starts: a
// restore's depends on each UT's items, so it needs --yes on a terminal;
// the boot block's is asked once for all the phones.
bool questionsSettled(const Invocation& inv, const std::vector<std::string>& ports) {
  if (inv.yes || !onTerminal()) return true;
  if (inv.command == "restore" && !inv.dryRun) {
    throw UsageError("restore on several phones asks no questions: give --yes (each phone's missing items are still told)");
  }
  if (inv.command != "download" || !inv.bootBlock) return true;
  std::string names;
  for (const std::string& port : ports) names += (names.empty() ? "" : ", ") + port;
  std::fprintf(stderr, "Write the boot block from %s into the UTs on %s? [y/N] ", inv.words[0].c_str(), names.c_str());
  std::string answer;
  for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) answer += static_cast<char>(c);
  return answer == "y" || answer == "Y" || answer == "yes";
}

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

std::string resultText(const Invocation& inv, const Phone& phone) {
  if (!phone.failed) return inv.command == "diff" && phone.status == kDiffDiffers ? "different" : "ok";
  return "failed: " + phone.error;
}

}  // namespace

bool severalPhones(const Invocation& invocation) { return invocation.allPorts || invocation.ports.size() > 1; }

std::string portFilePart(const std::string& port) {
  std::string name = port;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const auto slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string expandNames(const std::string& word, const std::string& port, const std::string& esn) {
  std::string text = word;
  replaceAll(text, "{port}", portFilePart(port));
  replaceAll(text, "{esn}", portFilePart(esn));
  return text;
}

Invocation forPhone(const Invocation& invocation, const std::string& port, const std::string& esn) {
  Invocation phone = invocation;
  phone.port = port;
  phone.ports = {port};
  phone.allPorts = false;
  for (std::string& word : phone.words) word = expandNames(word, port, esn);
  if (phone.report) phone.report = expandNames(*phone.report, port, esn);
  return phone;
}

std::vector<std::string> filesWritten(const Invocation& phone) {
  std::vector<std::string> files;
  if (phone.command == "backup") files.push_back(absolutePath(phone.words[0]));
  if (phone.command == "restore" && phone.report) files.push_back(absolutePath(*phone.report));
  return files;
}

std::optional<std::string> sharedWrite(const std::vector<Invocation>& phones) {
  std::map<std::string, std::string> writer;  // file -> the port that writes it
  for (const Invocation& phone : phones) {
    for (const std::string& file : filesWritten(phone)) {
      const auto [it, fresh] = writer.emplace(file, phone.port);
      if (!fresh) return it->second + " and " + phone.port + " would both write " + file;
    }
  }
  return std::nullopt;
}

int runOnPhones(const Invocation& inv, BusSession& bus, const std::function<void()>& beforeOutput) {
  const std::vector<std::string> ports = portsOf(inv);
  if (ports.empty()) throw UtError(0, "no serial ports and no simulated ones to run " + inv.command + " on");
  if (!questionsSettled(inv, ports)) throw UtError(0, "boot block download not started: nothing was written");

  std::vector<Phone> phones(ports.size());
  for (std::size_t i = 0; i < ports.size(); ++i) phones[i].port = ports[i];
  ProgressBoard board(ports, progressWanted());
  StartLine start(phones.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < phones.size(); ++i) {
    phones[i].output.progress = &board.row(i);
    phones[i].output.note = [&board, i](const std::string& text) { board.note(i, text); };
    threads.emplace_back([&, i] {
      runPhone(inv, bus, phones[i], start);
      if (phones[i].failed) board.note(i, phones[i].error);
    });
  }
  start.waitForAll();
  bus.noteServer();
  std::vector<Invocation> ready;
  for (const Phone& phone : phones) {
    if (phone.invocation) ready.push_back(*phone.invocation);
  }
  const auto clash = sharedWrite(ready);
  start.decide(!clash);
  for (std::thread& thread : threads) thread.join();
  board.close();
  beforeOutput();
  if (clash) throw UsageError(*clash + " (give each phone its own name with {port} or {esn})");

  int status = 0;
  for (const Phone& phone : phones) {
    if (phone.usage) status = 2;
    else if (inv.command == "diff") status = std::max(status, phone.status);
    else if (phone.failed && status == 0) status = 1;
  }
  if (inv.json) {
    JsonWriter json;
    json.beginArray();
    for (const Phone& phone : phones) {
      json.beginObject().key("port").string(phone.port).key("esn");
      if (phone.esn.empty()) json.fragment("null");
      else json.string(phone.esn);
      json.key("ok").boolean(!phone.failed);
      if (phone.failed) {
        json.key("error").string(phone.error);
        if (phone.hresult != 0) {
          char number[16];
          std::snprintf(number, sizeof number, "0x%08X", phone.hresult);
          json.key("hresult").string(number);
        }
      }
      json.key("seconds").fragment(secondsText(phone.seconds));
      if (!phone.output.json.empty()) json.key("result").fragment(phone.output.json);
      json.endObject();
    }
    json.endArray();
    std::printf("%s\n", json.text().c_str());
  } else {
    // Each phone's own output, its lines led by its port, then the table.
    std::string text;
    for (const Phone& phone : phones) {
      std::size_t at = 0;
      for (std::size_t end; (end = phone.output.plain.find('\n', at)) != std::string::npos; at = end + 1) {
        text += phone.port + ": " + phone.output.plain.substr(at, end + 1 - at);
      }
      if (at < phone.output.plain.size()) text += phone.port + ": " + phone.output.plain.substr(at) + "\n";
    }
    if (!text.empty()) text += "\n";
    Table table;
    table.row({"PORT", "ESN", "RESULT", "TIME"});
    for (const Phone& phone : phones) {
      table.row({phone.port, phone.esn.empty() ? "-" : phone.esn, oneLine(resultText(inv, phone)),
                 clockText(phone.seconds)});
    }
    text += table.text(terminalWidth());
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  std::fflush(stdout);
  return status;
}

}  // namespace vx::cli
