#include "class_entry.h"

namespace vx::comimpl {

namespace {

struct Field {
  std::string_view key;
  std::string ClassRecord::*member;
};

constexpr Field kTextFields[] = {
    {"Library", &ClassRecord::library},
    {"ProgID", &ClassRecord::progId},
    {"VersionIndependentProgID", &ClassRecord::versionIndependentProgId},
    {"ThreadingModel", &ClassRecord::threadingModel},
    {"Description", &ClassRecord::description},
};

std::string oneLine(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  return out;
}

}  // namespace

std::optional<ClassRecord> ParseClassEntry(std::string_view text) {
  if (text.size() > kMaxEntryBytes) return std::nullopt;
  ClassRecord record;
  bool haveClsid = false;
  bool seen[std::size(kTextFields)] = {};
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    std::string_view key = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    if (value.find('\0') != std::string_view::npos) return std::nullopt;
    if (key == "CLSID") {
      auto clsid = vx::com::ParseGuid(value);
      if (haveClsid || !clsid) return std::nullopt;
      record.clsid = *clsid;
      haveClsid = true;
      continue;
    }
    for (std::size_t i = 0; i < std::size(kTextFields); ++i) {
      if (key != kTextFields[i].key) continue;
      if (seen[i]) return std::nullopt;
      seen[i] = true;
      record.*kTextFields[i].member = std::string(value);
    }
  }
  if (!haveClsid || record.library.empty() || record.library.front() != '/') return std::nullopt;
  return record;
}

std::string FormatClassEntry(const ClassRecord& record) {
  std::string text = "# vxcom class entry\n";
  text += "CLSID=" + vx::com::GuidToString(record.clsid) + "\n";
  for (const Field& field : kTextFields)
    text += std::string(field.key) + "=" + oneLine(record.*field.member) + "\n";
  return text;
}

}  // namespace vx::comimpl
