#include "nv_converters.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "nv_file_reader.h"

namespace vx::backup {

namespace {

constexpr std::size_t kNams = 3;
constexpr std::size_t kDirNumberDigits = 10;
constexpr std::size_t kNamNameCharacters = 12;
constexpr std::size_t kDialledNumberLines = 35;
constexpr std::size_t kDialledNumberDigits = 32;
constexpr std::size_t kDialledNumberLengthLine = 34;
constexpr std::size_t kNibbleBytes = 16;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// prefix + n + suffix, appended piece by piece (g++ 12 warns falsely about
// a literal put before a temporary string).
std::string numbered(std::string_view prefix, std::size_t n, std::string_view suffix) {
  std::string text(prefix);
  text += std::to_string(n);
  text += suffix;
  return text;
}

std::optional<std::size_t> findLine(const std::vector<std::string_view>& lines, std::string_view start) {
  const auto found =
      std::find_if(lines.begin(), lines.end(), [&](std::string_view line) { return startsWith(line, start); });
  if (found == lines.end()) return std::nullopt;
  return static_cast<std::size_t>(found - lines.begin());
}

// The values of the `count` lines after the section line `at`: each the
// number after the line's last space. An empty vector for a bare section
// (an element the old UT held without a value); nullopt, with the reason in
// `why`, when a line is missing, has no space or carries no number.
std::optional<std::vector<uint32_t>> valuesAfter(const std::vector<std::string_view>& lines, std::size_t at,
                                                 std::size_t count, std::string& why) {
  const bool bare = at + 1 >= lines.size() || startsWith(lines[at + 1], "[");
  if (bare) return std::vector<uint32_t>{};
  std::vector<uint32_t> values;
  for (std::size_t i = at + 1; i <= at + count; ++i) {
    const std::string section(lines[at]);
    if (i >= lines.size() || startsWith(lines[i], "[")) {
      why = "line " + std::to_string(at + 1) + ": " + section + " holds " + std::to_string(values.size()) + " of its " +
            std::to_string(count) + " values";
      return std::nullopt;
    }
    const std::size_t space = lines[i].rfind(' ');
    uint32_t value = 0;
    if (space == std::string_view::npos || !parseValue(lines[i].substr(space + 1), value)) {
      why = "line " + std::to_string(i + 1) + ": not a \"path value\" line of " + section;
      return std::nullopt;
    }
    values.push_back(value);
  }
  return values;
}

// One display-copy section, its lines ending in CR LF.
std::string displayCopySection(const std::string& name, const std::vector<uint32_t>& digits, std::size_t digitsIndex,
                               bool alphaValid, const std::vector<uint32_t>& nameCharacters) {
  const std::string entry = "ui_nv_phone_book_entry_type.";
  auto line = [](const std::string& path, uint32_t value) { return path + " " + std::to_string(value) + "\r\n"; };
  auto digit = [&](std::size_t k) -> uint32_t {
    if (k >= digitsIndex || k >= digits.size() || digits[k] < '0' || digits[k] > '9') return 0;
    return digits[k] - '0';
  };
  std::string out = "[" + name + "]\r\n";
  out += line(entry + "hdr.digits_index", static_cast<uint32_t>(digitsIndex));
  out += line(entry + "hdr.flags.valid", 1);
  out += line(entry + "hdr.flags.secret", 0);
  out += line(entry + "hdr.flags.alpha_valid", alphaValid ? 1 : 0);
  out += line(entry + "hdr.flags.international", 0);
  out += line(entry + "hdr.flags.reserve", 0);
  for (std::size_t i = 0; i < kNibbleBytes; ++i) {
    out += line(entry + numbered("nibble[16].nibble[", i, "]"), digit(2 * i) << 4 | digit(2 * i + 1));
  }
  for (std::size_t i = 0; i < kNamNameCharacters; ++i) {
    out += line(entry + numbered("alpha[12].alpha[", i, "]"), i < nameCharacters.size() ? nameCharacters[i] : 0);
  }
  return out;
}

}  // namespace

CNVConvertFile::Result CNVCNAMName::convert(std::string_view input, std::string& output) {
  const auto lines = splitLines(input);
  if (findLine(lines, "[NV_UI_DIRECTORY_NUMBER")) return Result::Unchanged;

  // Empty where the old UT held the element without a value.
  std::array<std::vector<uint32_t>, kNams> digits;
  std::array<std::vector<uint32_t>, kNams> names;
  bool digitsFound = false;
  bool namesFound = false;
  std::string why;
  for (std::size_t n = 0; n < kNams; ++n) {
    if (const auto at = findLine(lines, numbered("[NV_UI_DIR_NUMBER_I[", n, "]]"))) {
      auto values = valuesAfter(lines, *at, kDirNumberDigits, why);
      if (!values) return fail(why);
      digits[n] = std::move(*values);
      digitsFound = true;
    }
    if (const auto at = findLine(lines, numbered("[NV_UI_NAM_NAME_I[", n, "]]"))) {
      auto values = valuesAfter(lines, *at, kNamNameCharacters, why);
      if (!values) return fail(why);
      names[n] = std::move(*values);
      namesFound = true;
    }
  }
  std::optional<std::vector<uint32_t>> dialled;
  if (!digitsFound || !namesFound) {
    if (const auto at = findLine(lines, "[NV_UI_SP_MOBILE_DIALED_NUM]")) {
      dialled = valuesAfter(lines, *at, kDialledNumberLines, why);
      if (!dialled) return fail(why);
      if (dialled->empty()) dialled.reset();
    }
  }
  if (!(digitsFound && namesFound) && !dialled) return Result::Unchanged;

  output.assign(input);
  if (!output.empty() && output.back() != '\n') output += '\n';
  if (digitsFound && namesFound) {
    for (std::size_t n = 0; n < kNams; ++n) {
      const std::string copy = numbered("NV_UI_DIRECTORY_NUMBER_I[", n, "]");
      if (digits[n].empty() && names[n].empty()) {
        // Neither half had a value: the copy has none either.
        output += "[" + copy + "]\r\n";
        continue;
      }
      std::size_t digitsIndex = 0;
      while (digitsIndex < digits[n].size() && digits[n][digitsIndex] != 0) ++digitsIndex;
      output += displayCopySection(copy, digits[n], digitsIndex, !names[n].empty(), names[n]);
    }
  } else {
    const std::vector<uint32_t> number(dialled->begin(), dialled->begin() + kDialledNumberDigits);
    const std::size_t digitsIndex = std::min<std::size_t>((*dialled)[kDialledNumberLengthLine], kDialledNumberDigits);
    output += displayCopySection("NV_UI_DIRECTORY_NUMBER_I", number, digitsIndex, false, {});
  }
  return Result::Converted;
}

CNVConvertFile::Result CNVCSMSFormat::convert(std::string_view input, std::string& output) {
  if (!utUsesNewLayout_ || input.find("smsi_msg_type") == std::string_view::npos) return Result::Unchanged;
  static constexpr std::array<std::string_view, 5> kBoxes = {"[NV_SMS_MSGS_1_0", "[NV_SMS_MSGS_2_0", "[NV_SMS_MSGS_3_0",
                                                             "[NV_SMS_MSGS_4_0", "[NV_SMS_MSGS_5_0"};
  constexpr std::string_view kOld = "smsi_msg_type.";
  constexpr std::string_view kNew = "sms_dm_msg_type.sms_msg.";
  const auto lines = splitLines(input);
  output.clear();
  output.reserve(input.size() + input.size() / 4);
  uint32_t sequence = 0;
  bool inBox = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (startsWith(line, "[")) {
      output.append(line).append("\n");
      inBox = std::any_of(kBoxes.begin(), kBoxes.end(), [&](std::string_view box) { return startsWith(line, box); });
      const bool valuesFollow = i + 1 < lines.size() && !startsWith(lines[i + 1], "[");
      if (inBox && valuesFollow) {
        output += "sms_dm_msg_type.nv_msg_hdr.status 0\n";
        output += "sms_dm_msg_type.nv_msg_hdr.length 0\n";
        output += "sms_dm_msg_type.nv_msg_hdr.sms_seq_num " + std::to_string(++sequence) + "\n";
      }
      continue;
    }
    if (inBox && startsWith(line, kOld)) {
      // The new path is longer: it must still fit a line the reader takes.
      if (line.size() - kOld.size() + kNew.size() >= kLineBufferSize - 1) {
        return fail("line " + std::to_string(i + 1) + ": too long once its path is that of the new SMS layout");
      }
      output.append(kNew).append(line.substr(kOld.size())).append("\n");
    } else {
      output.append(line).append("\n");
    }
  }
  return Result::Converted;
}

bool convertForRestore(std::string& text, bool utUsesNewSmsLayout, std::string* failure) {
  CNVCNAMName names;
  CNVCSMSFormat sms(utUsesNewSmsLayout);
  for (CNVConvertFile* converter : {static_cast<CNVConvertFile*>(&names), static_cast<CNVConvertFile*>(&sms)}) {
    std::string output;
    switch (converter->convert(text, output)) {
      case CNVConvertFile::Result::Failed:
        if (failure != nullptr) *failure = converter->failure();
        return false;
      case CNVConvertFile::Result::Converted: text = std::move(output); break;
      case CNVConvertFile::Result::Unchanged: break;
    }
  }
  return true;
}

}  // namespace vx::backup
