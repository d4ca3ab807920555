#include "symbol_grammar.h"

#include <cctype>
#include <sstream>

namespace kmx::sim::testing {
namespace {

// A cursor over one record.
class Cursor {
 public:
  explicit Cursor(const std::string& text) : text_(text) {}
  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[at_]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at_;
    return true;
  }
  void skip() { ++at_; }
  std::string until(char stop) {
    std::size_t end = text_.find(stop, at_);
    if (end == std::string::npos) end = text_.size();
    std::string out = text_.substr(at_, end - at_);
    at_ = end;
    return out;
  }
  bool decimal(long& value) {
    std::size_t start = at_;
    bool negative = take('-');
    long v = 0;
    while (std::isdigit(static_cast<unsigned char>(peek()))) v = v * 10 + (text_[at_++] - '0');
    if (at_ == start + (negative ? 1 : 0)) return false;
    value = negative ? -v : v;
    return true;
  }
  bool hex(unsigned long& value) {
    std::size_t start = at_;
    value = 0;
    while (std::isxdigit(static_cast<unsigned char>(peek()))) {
      value = value * 16 + static_cast<unsigned long>(std::stoul(std::string(1, text_[at_++]), nullptr, 16));
    }
    return at_ > start;
  }

 private:
  const std::string& text_;
  std::size_t at_ = 0;
};

// Optional 'F', optional dimension list, any number of '*'.
bool marks(Cursor& in, bool& function, std::vector<uint32_t>& dims, int& pointers) {
  function = in.take('F');
  if (in.take('[')) {
    do {
      long bound = 0;
      if (!in.decimal(bound) || bound < 0 || bound > 0xFFFF) return false;
      dims.push_back(static_cast<uint32_t>(bound));
    } while (in.take(','));
    if (!in.take(']')) return false;
  }
  while (in.take('*')) ++pointers;
  return true;
}

bool structBody(Cursor& in, GrammarType& type, std::string& why) {
  for (;;) {
    GrammarField field;
    field.name = in.until(',');
    if (!in.take(',') || field.name.empty()) return (why = "field without ','"), false;
    if (!marks(in, field.function, field.dims, field.pointers)) return (why = "bad field marks"), false;
    if (in.take('b')) {
      field.bitfield = true;
      in.skip();
      if (!in.decimal(field.type) || !in.take(',') || !in.decimal(field.width) || !in.take(',') ||
          !in.decimal(field.position) || !in.take(',') || !in.decimal(field.offset))
        return (why = "bad bitfield " + field.name), false;
    } else if (!in.decimal(field.type) || !in.take(',') || !in.decimal(field.offset)) {
      return (why = "bad field " + field.name), false;
    }
    if (field.type < 0) return (why = "field without a type"), false;
    type.fields.push_back(field);
    if (in.take('}')) return in.atEnd() || ((why = "text after the body"), false);
    if (!in.take(';')) return (why = "field not ended by ';' or '}'"), false;
    if (in.atEnd()) return true;
  }
}

bool enumBody(Cursor& in, GrammarType& type, std::string& why) {
  for (;;) {
    std::string name = in.until(':');
    long value = 0;
    if (!in.take(':') || name.empty() || !in.decimal(value)) return (why = "bad constant"), false;
    type.constants.emplace_back(name, value);
    if (in.take('}')) return in.atEnd() || ((why = "text after the body"), false);
    if (!in.take(',')) return (why = "constant not ended by ',' or '}'"), false;
    if (in.atEnd()) return true;
  }
}

bool typeRecord(const std::string& line, GrammarType& type, std::string& why) {
  Cursor in(line);
  if (!in.decimal(type.index) || type.index < 0 || !in.take(' ')) return (why = "bad type index"), false;
  type.name = in.until(':');
  long size = 0;
  if (!in.take(':') || type.name.empty() || !in.decimal(size) || size < 0) return (why = "bad type size"), false;
  type.size = static_cast<unsigned long>(size);
  if (in.atEnd()) return true;
  if (!in.take(':')) return (why = "text after the size"), false;
  type.kind = in.peek();
  if (type.kind != 'e' && type.kind != 's' && type.kind != 'u') return (why = "bad kind letter"), false;
  in.skip();
  in.skip();  // the separator
  if (in.atEnd()) return (why = "empty body"), false;
  return type.kind == 'e' ? enumBody(in, type, why) : structBody(in, type, why);
}

bool symbolRecord(const std::string& line, GrammarSymbol& symbol, std::string& why) {
  Cursor in(line);
  symbol.name = in.until(':');
  if (!in.take(':') || symbol.name.empty()) return (why = "symbol without ':'"), false;
  if (!marks(in, symbol.function, symbol.dims, symbol.pointers)) return (why = "bad symbol marks"), false;
  if (!in.decimal(symbol.type) || symbol.type < 0 || !in.take(':') || !in.hex(symbol.address) || !in.atEnd())
    return (why = "bad symbol type or address"), false;
  return true;
}

}  // namespace

const GrammarType* SymbolFile::type(long index) const {
  for (const auto& t : types) {
    if (t.index == index) return &t;
  }
  return nullptr;
}

const GrammarType* SymbolFile::typeNamed(const std::string& name) const {
  for (const auto& t : types) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

const GrammarSymbol* SymbolFile::symbol(const std::string& name) const {
  for (const auto& s : symbols) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

std::optional<SymbolFile> readSymbolText(const std::string& text, std::string& error) {
  SymbolFile file;
  std::istringstream in(text);
  std::string line;
  for (; std::getline(in, line); ++file.records) {
    std::string why;
    bool good = true;
    if (line.size() > 8191) {
      why = "record longer than 8191 bytes";
      good = false;
    } else if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
      GrammarType type;
      good = typeRecord(line, type, why);
      file.types.push_back(type);
    } else if (line.find('.') != std::string::npos) {
      ++file.skipped;
    } else {
      GrammarSymbol symbol;
      good = symbolRecord(line, symbol, why);
      const GrammarType* type = good ? file.type(symbol.type) : nullptr;
      if (good && !type) {
        why = "symbol of an unknown type";
        good = false;
      }
      if (good) {
        unsigned long element = (symbol.function || symbol.pointers > 0) ? 4 : type->size;
        unsigned long count = 1;
        for (uint32_t d : symbol.dims) count *= d;
        symbol.size = symbol.dims.empty() ? ((symbol.function || symbol.pointers > 0) ? 4 : type->size) : count * element;
        file.symbols.push_back(symbol);
      }
    }
    if (!good) {
      error = "record " + std::to_string(file.records) + ": " + why + ": " + line.substr(0, 80);
      return std::nullopt;
    }
  }
  return file;
}

}  // namespace kmx::sim::testing
