#include "offline_commands.h"

#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>

#include "commands.h"
#include "kmx/platform/runtime_dir.h"
#include "output.h"
#include "serial_ports.h"
#include "software_file.h"
#include "vx/download/software_file_check.h"

namespace vx::cli {
namespace {

void emit(const Invocation& inv, const std::string& plain, const JsonWriter& json) {
  const std::string& text = inv.json ? json.text() + "\n" : plain;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// A value of a backup as a JSON number; the reader has checked that it is one.
void jsonNumber(JsonWriter& json, const std::string& value) {
  json.number(vx::backup::parseNumber(value).value_or(0));
}

int show(const Invocation& inv) {
  const BackupFile file = readBackupFile(inv.words[0]);
  Table head;
  head.row({"file", absolutePath(inv.words[0])});
  head.row({"model", file.info.model});
  head.row({"NV numbers", std::to_string(file.info.nrVersion)});
  head.row({"NV version", std::to_string(file.info.version)});
  head.row({"format", std::to_string(file.info.format)});
  head.row({"items", std::to_string(file.items.size()) + " with " + std::to_string(file.values.size()) + " values"});
  Table items;
  JsonWriter json;
  json.beginObject().key("file").string(absolutePath(inv.words[0])).key("format").number(file.info.format);
  json.key("model").string(file.info.model).key("nrVersion").number(file.info.nrVersion);
  json.key("version").number(file.info.version).key("items").beginArray();
  for (std::size_t item = 0; item < file.items.size(); ++item) {
    const std::string name(file.itemName(item));
    json.beginObject().key("name").string(name).key("values").beginArray();
    if (file.valuesOf(item).empty()) items.row({"[" + name + "]", "(no value)"});
    for (const BackupFile::Value& value : file.valuesOf(item)) {
      const std::string path = file.fullPath(item, value);
      const std::string text(file.view(value.value));
      items.row({path, text});
      json.beginObject().key("path").string(path).key("value");
      jsonNumber(json, text);
      json.endObject();
    }
    json.endArray().endObject();
  }
  json.endArray().endObject();
  emit(inv, head.text() + "\n" + items.text(), json);
  return 0;
}

int diffFiles(const Invocation& inv) {
  const BackupFile before = readBackupFile(inv.words[0]);
  const BackupFile after = readBackupFile(inv.words[1]);
  return printBackupDiff(inv, before, after);
}

int check(const Invocation& inv) {
  const std::string file = absolutePath(inv.words[0]);
  std::string error;
  const auto software = inspectSoftwareFile(file, &error);
  if (!software) throw std::runtime_error(error);
  const bool bootBlock = software->kind == SoftwareKind::BootBlock;
  // The download's own check, as SoftwareUpgrade or BootblockUpgrade makes it.
  const auto verdict = vx::download::checkSoftwareFile(
      file, bootBlock ? vx::download::ImageKind::BootBlock : vx::download::ImageKind::Software);
  std::string problem;
  if (software->error != vx::download::SRecordError::None) {
    problem = "line " + std::to_string(software->errorLine) + ": " + srecordErrorText(software->error);
  } else if (!verdict.passed) {
    problem = verdict.error != vx::download::SRecordError::None
                  ? srecordErrorText(verdict.error)
                  : std::string("the download's check reads the file otherwise (is gzip installed?)");
  }
  const bool accepted = problem.empty() && verdict.passed;
  struct stat info {};
  const uint64_t fileSize = ::stat(file.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
  const char* method = bootBlock ? "BootblockUpgrade" : "SoftwareUpgrade";
  char start[16] = "none";
  if (software->startAddress) std::snprintf(start, sizeof start, "0x%08X", *software->startAddress);

  Table table;
  table.row({"file", file});
  table.row({"kind", bootBlock ? "boot block (download --boot-block)" : "software"});
  table.row({"header", software->header});
  table.row({"size", std::to_string(fileSize) + " bytes" +
                         (software->compressed ? ", gzip: " + std::to_string(software->size) + " bytes unpacked" : "")});
  table.row({"data records", std::to_string(software->dataRecords)});
  table.row({"start address", start});
  table.row({"verdict", accepted ? std::string("accepted by ") + method : "refused: " + problem});
  JsonWriter json;
  json.beginObject().key("file").string(file).key("kind").string(bootBlock ? "bootblock" : "software");
  json.key("header").string(software->header).key("compressed").boolean(software->compressed);
  json.key("fileSize").number(static_cast<long long>(fileSize));
  json.key("size").number(static_cast<long long>(software->size));
  json.key("dataRecords").number(software->dataRecords);
  if (software->startAddress) json.key("startAddress").number(*software->startAddress);
  json.key("method").string(method).key("accepted").boolean(accepted);
  if (!accepted) {
    json.key("problem").string(problem);
    if (software->errorLine != 0) json.key("line").number(static_cast<long long>(software->errorLine));
  }
  json.endObject();
  emit(inv, table.text(), json);
  return accepted ? 0 : 1;
}

int ports(const Invocation& inv) {
  PortRoots roots;
  roots.portDir = kmx::portDir();
  const auto found = listSerialPorts(roots);
  Table table;
  table.row({"PORT", "DEVICE", "DRIVER", "ACCESS"});
  JsonWriter json;
  json.beginArray();
  for (const SerialPort& port : found) {
    std::string access = port.accessible ? "yes" : "no";
    if (!port.accessible && !port.group.empty()) access += " (group " + port.group + ")";
    table.row({port.name, port.device, port.driver, access});
    json.beginObject().key("name").string(port.name).key("device").string(port.device);
    json.key("driver").string(port.driver).key("simulated").boolean(port.simulated);
    json.key("accessible").boolean(port.accessible);
    if (!port.group.empty()) json.key("group").string(port.group);
    json.endObject();
  }
  json.endArray();
  emit(inv, found.empty() ? "no serial ports\n" : table.text(terminalWidth()), json);
  return 0;
}

}  // namespace

bool isOffline(const Invocation& inv) {
  const std::string& c = inv.command;
  return c == "show" || c == "check" || c == "ports" || (c == "diff" && inv.words.size() == 2);
}

int runOffline(const Invocation& inv) {
  const std::string& c = inv.command;
  if (c == "show") return show(inv);
  if (c == "check") return check(inv);
  if (c == "ports") return ports(inv);
  if (c == "diff") return diffFiles(inv);
  throw UsageError("unknown command '" + c + "'");
}

int printBackupDiff(const Invocation& inv, const BackupFile& before, const BackupFile& after) {
  const DiffReport report = backupDiffReport(before, after);
  const std::string& text = inv.json ? report.json + "\n" : report.plain;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return report.status;
}

DiffReport backupDiffReport(const BackupFile& before, const BackupFile& after) {
  const BackupDiff diff = diffBackups(before, after);
  std::string plain;
  JsonWriter json;
  json.beginObject().key("before").string(before.name).key("after").string(after.name);
  json.key("same").boolean(diff.same());
  json.key("added").number(static_cast<long long>(diff.count(ItemChange::Added)));
  json.key("removed").number(static_cast<long long>(diff.count(ItemChange::Removed)));
  json.key("changed").number(static_cast<long long>(diff.count(ItemChange::Changed)));
  json.key("header").beginArray();
  for (const HeaderDifference& h : diff.header) {
    plain += "header " + h.field + ": " + h.before + " -> " + h.after + "\n";
    json.beginObject().key("field").string(h.field).key("old").string(h.before).key("new").string(h.after).endObject();
  }
  json.endArray().key("items").beginArray();
  for (const ItemDifference& item : diff.items) {
    json.beginObject().key("name").string(item.item).key("change").string(changeName(item.change));
    json.key("values").beginArray();
    if (item.values.empty()) plain += std::string(item.change == ItemChange::Added ? "+ [" : "- [") + item.item + "]\n";
    for (const ValueDifference& v : item.values) {
      if (v.before && v.after) {
        plain += "~ " + v.path + ": " + *v.before + " -> " + *v.after + "\n";
      } else {
        plain += (v.after ? "+ " : "- ") + v.path + ": " + (v.after ? *v.after : *v.before) + "\n";
      }
      json.beginObject().key("path").string(v.path);
      if (v.before) jsonNumber(json.key("old"), *v.before);
      if (v.after) jsonNumber(json.key("new"), *v.after);
      json.endObject();
    }
    json.endArray().endObject();
  }
  json.endArray().endObject();
  if (diff.same()) {
    plain = "no differences: " + before.name + " and " + after.name + " hold the same items and values\n";
  } else {
    plain += std::to_string(diff.items.size()) + " items differ: " + std::to_string(diff.count(ItemChange::Added)) +
             " added, " + std::to_string(diff.count(ItemChange::Removed)) + " removed, " +
             std::to_string(diff.count(ItemChange::Changed)) + " changed\n";
  }
  return DiffReport{plain, json.text(), diff.same() ? 0 : kDiffDiffers};
}

}  // namespace vx::cli
