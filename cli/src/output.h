// What vexctl prints: aligned tables for people, JSON for scripts.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vx::cli {

// `text` as a JSON string literal, quotes included (RFC 8259 escapes;
// control characters as \u00XX; bytes above 0x7F pass as UTF-8).
std::string jsonString(std::string_view text);

// Builds one JSON document: objects and arrays nest, commas are placed
// by the writer. Values given as fragments (jsonValue) are inserted as they are.
class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view name);
  JsonWriter& string(std::string_view text);
  JsonWriter& number(long long value);
  JsonWriter& boolean(bool value);
  JsonWriter& fragment(std::string_view json);
  const std::string& text() const { return out_; }

 private:
  void beforeValue();
  std::string out_;
  std::vector<bool> first_;  // per open container: no element yet
  bool afterKey_ = false;
};

// Text with its line breaks shown as " / " (none at the end), for one
// table cell: version texts of a UT run over several lines.
std::string oneLine(std::string_view text);

// Columns padded to their widest cell; the last column is not padded.
// With a width (a terminal's columns), the columns after the first are
// narrowed alike until a row fits, and their cells wrap at spaces onto
// lines of their own; the first column (the names) is never wrapped.
class Table {
 public:
  void row(std::vector<std::string> cells);
  std::string text(std::size_t width = 0) const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

// The columns of the terminal on standard output; 0 when standard output
// is no terminal. A terminal that does not tell its size has $COLUMNS,
// else 80.
std::size_t terminalWidth();

}  // namespace vx::cli
