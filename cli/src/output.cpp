#include "output.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace vx::cli {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (byte < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ += ',';
    first_.back() = false;
  }
}

JsonWriter& JsonWriter::beginObject() {
  beforeValue();
  out_ += '{';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::endObject() {
  out_ += '}';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::beginArray() {
  beforeValue();
  out_ += '[';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::endArray() {
  out_ += ']';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  beforeValue();
  out_ += jsonString(name);
  out_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) { return fragment(jsonString(text)); }
JsonWriter& JsonWriter::number(long long value) { return fragment(std::to_string(value)); }
JsonWriter& JsonWriter::boolean(bool value) { return fragment(value ? "true" : "false"); }

JsonWriter& JsonWriter::fragment(std::string_view json) {
  beforeValue();
  out_ += json;
  return *this;
}

std::string oneLine(std::string_view text) {
  std::string out;
  bool lineBreak = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      lineBreak = true;
      continue;
    }
    if (lineBreak && !out.empty()) out += " / ";
    lineBreak = false;
    out += c;
  }
  return out;
}

void Table::row(std::vector<std::string> cells) {
  for (std::string& cell : cells) cell = oneLine(cell);
  rows_.push_back(std::move(cells));
}

namespace {

// A cell cut into lines of at most `width` characters, at the last space
// that fits; a word longer than the width is cut.
std::vector<std::string> wrapCell(std::string_view text, std::size_t width) {
  std::vector<std::string> lines;
  while (text.size() > width) {
    std::size_t cut = text.rfind(' ', width);
    std::size_t next = cut + 1;
    if (cut == std::string_view::npos || cut == 0) next = cut = width;
    lines.emplace_back(text.substr(0, cut));
    text.remove_prefix(next);
  }
  lines.emplace_back(text);
  return lines;
}

}  // namespace

std::string Table::text(std::size_t width) const {
  std::vector<std::size_t> widths;
  for (const auto& cells : rows_) {
    if (widths.size() < cells.size()) widths.resize(cells.size(), 0);
    for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
  }
  if (width > 0 && widths.size() > 1) {
    // The widest cap on the later columns that lets a row fit (at least
    // 8 characters: a narrower terminal gets long lines).
    constexpr std::size_t kNarrowest = 8;
    auto total = [&](std::size_t cap) {
      std::size_t sum = widths[0] + 2 * (widths.size() - 1);
      for (std::size_t i = 1; i < widths.size(); ++i) sum += std::min(widths[i], cap);
      return sum;
    };
    std::size_t cap = *std::max_element(widths.begin() + 1, widths.end());
    while (cap > kNarrowest && total(cap) > width) --cap;
    for (std::size_t i = 1; i < widths.size(); ++i) widths[i] = std::min(widths[i], cap);
  }
  std::string out;
  for (const auto& cells : rows_) {
    std::vector<std::vector<std::string>> wrapped;
    std::size_t height = 1;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      wrapped.push_back(i == 0 || width == 0 ? std::vector<std::string>{cells[i]} : wrapCell(cells[i], widths[i]));
      height = std::max(height, wrapped.back().size());
    }
    for (std::size_t l = 0; l < height; ++l) {
      std::string line;
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string& part = l < wrapped[i].size() ? wrapped[i][l] : std::string();
        line += part;
        if (i + 1 < cells.size()) line.append(std::max(widths[i], part.size()) - part.size() + 2, ' ');
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out += line;
      out += '\n';
    }
  }
  return out;
}

std::size_t terminalWidth() {
  if (::isatty(STDOUT_FILENO) == 0) return 0;
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    const long value = std::strtol(columns, nullptr, 10);
    if (value > 0 && value < 10000) return static_cast<std::size_t>(value);
  }
  return 80;
}

}  // namespace vx::cli
