// A small strict JSON reader for the tests: vexctl's --json output is
// parsed back, so that a malformed document fails the test.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx::cli::testing {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json& operator[](const std::string& key) const {
    auto it = members.find(key);
    if (kind != Kind::Object || it == members.end()) throw std::runtime_error("no member " + key);
    return it->second;
  }
  bool has(const std::string& key) const { return members.count(key) != 0; }
};

class JsonReader {
 public:
  static Json parse(const std::string& text) {
    JsonReader reader(text);
    Json value = reader.value();
    reader.space();
    if (reader.at_ != text.size()) throw std::runtime_error("text after the JSON value");
    return value;
  }

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}

  void space() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\t' || s_[at_] == '\r')) ++at_;
  }
  char peek() {
    space();
    if (at_ >= s_.size()) throw std::runtime_error("JSON ends early");
    return s_[at_];
  }
  void expect(char c) {
    if (peek() != c) throw std::runtime_error(std::string("expected ") + c + " at " + std::to_string(at_));
    ++at_;
  }
  bool literal(const char* word) {
    const std::string w(word);
    if (s_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  std::string string() {
    expect('"');
    std::string out;
    while (at_ < s_.size() && s_[at_] != '"') {
      char c = s_[at_++];
      if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("raw control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) break;
      char e = s_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (at_ + 4 > s_.size()) throw std::runtime_error("short \\u escape");
          const long code = std::strtol(s_.substr(at_, 4).c_str(), nullptr, 16);
          at_ += 4;
          if (code >= 0x80) throw std::runtime_error("the reader takes ASCII escapes only");
          out += static_cast<char>(code);
          break;
        }
        default: throw std::runtime_error("bad escape");
      }
    }
    expect('"');
    return out;
  }
  Json value() {
    Json v;
    const char c = peek();
    if (c == '{') {
      v.kind = Json::Kind::Object;
      ++at_;
      if (peek() == '}') { ++at_; return v; }
      do {
        std::string key = string();
        expect(':');
        v.members[key] = value();
      } while (peek() == ',' && ++at_);
      expect('}');
    } else if (c == '[') {
      v.kind = Json::Kind::Array;
      ++at_;
      if (peek() == ']') { ++at_; return v; }
      do {
        v.items.push_back(value());
      } while (peek() == ',' && ++at_);
      expect(']');
    } else if (c == '"') {
      v.kind = Json::Kind::String;
      v.text = string();
    } else if (literal("true") || literal("false")) {
      v.kind = Json::Kind::Bool;
      v.boolean = s_[at_ - 1] == 'e' && s_[at_ - 2] == 'u';
    } else if (literal("null")) {
      v.kind = Json::Kind::Null;
    } else {
      char* end = nullptr;
      v.number = std::strtod(s_.c_str() + at_, &end);
      if (end == s_.c_str() + at_) throw std::runtime_error("not a JSON value at " + std::to_string(at_));
      at_ = static_cast<std::size_t>(end - s_.c_str());
      v.kind = Json::Kind::Number;
    }
    return v;
  }

  const std::string& s_;
  std::size_t at_ = 0;
};

}  // namespace vx::cli::testing
