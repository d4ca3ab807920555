#include "nv_file_reader.h"

#include <cstdio>
#include <fstream>

namespace vx::backup {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The text at fault, as much of it as an error message should carry.
std::string quoted(std::string_view text) {
  constexpr std::size_t kShown = 60;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return shown;
}

// Hands out the lines of a text one at a time, as a reader with a
// kLineBufferSize buffer sees them.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // False at the end of the text.
  bool next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    ++number_;
    std::size_t end = text_.find('\n', at_);
    const bool terminated = end != std::string_view::npos;
    if (!terminated) end = text_.size();
    line = text_.substr(at_, end - at_);
    at_ = terminated ? end + 1 : end;
    // The buffer holds the line, its line feed and a terminator.
    if (line.size() >= kLineBufferSize - 1) {
      throw CNVFileParsingException("Line too long.", number_,
                                    "longer than " + std::to_string(kLineBufferSize - 2) + " characters");
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // A last line without a line feed is taken where nothing can have been
    // cut from it (a section name must close its bracket); a value may have
    // lost digits.
    if (!terminated && !line.empty() && line.front() != '[') {
      throw CNVFileParsingException("Unexpected end of file.", number_,
                                    "the last line has no line feed, so its value may be cut short: " + quoted(line) +
                                        " (end it with a line feed if the file is whole)");
    }
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  int number_ = 0;
};

// The text between a section line's outer brackets; an inner '[' needs its
// own ']'.
std::string_view sectionName(std::string_view line, int number) {
  int depth = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '[') ++depth;
    if (line[i] == ']' && --depth == 0) return line.substr(1, i - 1);
  }
  throw CNVFileParsingException("No matching ]", number, "no ] closes the section name: " + quoted(line));
}

}  // namespace

std::string CNVFileParsingException::description() const { return "line " + std::to_string(line_) + ": " + problem_; }

std::string CNVFileParsingException::report() const {
  char text[64];
  std::snprintf(text, sizeof text, "Parse error on line %d:  ", line_);
  return text + std::string(what());
}

void parseNvFile(std::string_view text, NvFileVisitor& visitor) {
  LineReader reader(text);
  std::string_view line;
  // The header lies before the first section.
  for (;;) {
    if (!reader.next(line)) {
      throw CNVFileParsingException("Unexpected end of file.", reader.number(), "the file ends before its first section");
    }
    if (!line.empty() && line.front() == '[') break;
  }
  do {
    if (!line.empty() && line.front() == '[') {
      visitor.section(sectionName(line, reader.number()));
      continue;
    }
    std::size_t pathEnd = 0;
    while (pathEnd < line.size() && !isSpace(line[pathEnd])) ++pathEnd;
    std::size_t valueBegin = pathEnd;
    while (valueBegin < line.size() && isSpace(line[valueBegin])) ++valueBegin;
    if (pathEnd == 0 || valueBegin == line.size()) {
      throw CNVFileParsingException("Not an item name or path definition.", reader.number(),
                                    "neither a [section] nor a \"path value\" line: " + quoted(line));
    }
    if (!parseNumber(line.substr(valueBegin))) {
      throw CNVFileParsingException("Not a number.", reader.number(),
                                    "not a number: " + quoted(line.substr(valueBegin)));
    }
    visitor.value(line.substr(0, pathEnd), line.substr(valueBegin));
  } while (reader.next(line));
}

std::vector<NVFileSection> parseNvFile(std::string_view text) {
  struct Sections final : NvFileVisitor {
    std::vector<NVFileSection> sections;
    void section(std::string_view name) override { sections.push_back({std::string(name), {}, {}}); }
    void value(std::string_view path, std::string_view value) override {
      NVFileSection& section = sections.back();
      // Built in place: a path is longer than a short string, and a file
      // has tens of thousands of them.
      std::string& full = section.paths.emplace_back();
      full.reserve(section.name.size() + 1 + path.size());
      full.append(section.name).append(1, '.').append(path);
      section.values.emplace_back(value);
    }
  } sections;
  parseNvFile(text, sections);
  return std::move(sections.sections);
}

std::optional<int64_t> parseNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && isSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  const std::size_t digits = at;
  int64_t number = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    number = number * 10 + (text[at++] - '0');
    if (number > int64_t{UINT32_MAX}) return std::nullopt;
  }
  if (at == digits) return std::nullopt;
  while (at < text.size() && isSpace(text[at])) ++at;
  if (at != text.size()) return std::nullopt;
  return negative ? -number : number;
}

bool parseValue(std::string_view text, uint32_t& value) {
  const auto number = parseNumber(text);
  if (!number) return false;
  value = static_cast<uint32_t>(*number);
  return true;
}

bool readFileText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxBackupFileSize) return false;
  in.seekg(0);
  text.assign(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), size);
  return static_cast<std::streamoff>(in.gcount()) == size;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    at = next;
  }
  return lines;
}

}  // namespace vx::backup
