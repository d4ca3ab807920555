// Reading NV backup files: the sections of a file and their "path value"
// lines. A file is outside input: every line is bounded and every value must
// be a number before anything is done with the file.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vx::backup {

// One "[name]" section: the full paths (name + '.' + path as written) and
// the value texts, in file order.
struct NVFileSection {
  std::string name;
  std::vector<std::string> paths;
  std::vector<std::string> values;
};

// A file that does not follow the grammar: the message and the number of the
// line being read (counting from 1).
class CNVFileParsingException : public std::runtime_error {
 public:
  // `problem`: the fault in words for the user, with the text at fault.
  CNVFileParsingException(const std::string& message, int line, std::string problem)
      : std::runtime_error(message), line_(line), problem_(std::move(problem)) {}
  int line() const { return line_; }
  // "Parse error on line %d:  %s".
  std::string report() const;
  // "line 214: not a number: 42abc".
  std::string description() const;

 private:
  int line_;
  std::string problem_;
};

// The longest line the reader takes, line feed included, is one byte less.
inline constexpr std::size_t kLineBufferSize = 1000;
// Backup files of a whole UT are some hundred kilobytes.
inline constexpr std::size_t kMaxBackupFileSize = 64u << 20;

// The sections of a file's text. Throws CNVFileParsingException. Lines may
// end in CR LF; a last line without a line feed is taken unless it is a
// value line, whose value may have been cut ("Unexpected end of file.").
std::vector<NVFileSection> parseNvFile(std::string_view text);

// What the reader finds, in file order, for a caller that keeps its own
// record of a file: each section's name and each of its "path value" lines
// (the path as written, without the section's name). Every view lies in the
// text being read; a value has been checked to be a number.
class NvFileVisitor {
 public:
  virtual ~NvFileVisitor() = default;
  virtual void section(std::string_view name) = 0;
  virtual void value(std::string_view path, std::string_view value) = 0;
};
// Reads the text as parseNvFile does, and throws as it does.
void parseNvFile(std::string_view text, NvFileVisitor& visitor);

// A value text as the number it stands for (decimal, optionally signed,
// white space around it; a negative number wraps to 32 bits). False for
// anything else, or a number beyond 32 bits.
bool parseValue(std::string_view text, uint32_t& value);
// The same number unwrapped, for checking it against the leaf it is for.
std::optional<int64_t> parseNumber(std::string_view text);

// The whole file; false when it cannot be opened or read, or is larger than
// kMaxBackupFileSize.
bool readFileText(const std::string& path, std::string& text);

// The file's lines without their line feeds (a carriage return before one is
// dropped too): the converters work on lines.
std::vector<std::string_view> splitLines(std::string_view text);

}  // namespace vx::backup
