#include "symbol_parser.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

namespace vx::nvdb {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A forward-only reader over one record. Every read checks the end, so a
// record cut anywhere fails cleanly.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[at_]; }
  bool take(char c) {
    if (peek() != c || atEnd()) return false;
    ++at_;
    return true;
  }
  bool skipOne() {
    if (atEnd()) return false;
    ++at_;
    return true;
  }
  // The text up to (not including) `stop`, which is consumed; nullopt when
  // `stop` does not follow.
  std::optional<std::string_view> upTo(char stop) {
    const std::size_t found = text_.find(stop, at_);
    if (found == std::string_view::npos) return std::nullopt;
    const std::string_view part = text_.substr(at_, found - at_);
    at_ = found + 1;
    return part;
  }
  // Moves past the next of `stops`; false when none follows (the cursor then
  // stands at the end).
  bool skipPastEither(char first, char second) {
    for (; at_ < text_.size(); ++at_) {
      if (text_[at_] == first || text_[at_] == second) {
        ++at_;
        return true;
      }
    }
    return false;
  }
  std::optional<uint64_t> unsignedDecimal(uint64_t max) {
    if (!isDigit(peek())) return std::nullopt;
    uint64_t value = 0;
    while (isDigit(peek())) {
      value = value * 10 + static_cast<uint64_t>(text_[at_] - '0');
      if (value > max) return std::nullopt;
      ++at_;
    }
    return value;
  }
  std::optional<int32_t> signedDecimal() {
    const bool negative = take('-');
    const auto magnitude = unsignedDecimal(uint64_t{std::numeric_limits<int32_t>::max()} + 1);
    if (!magnitude) return std::nullopt;
    const int64_t value = negative ? -static_cast<int64_t>(*magnitude)
                                   : static_cast<int64_t>(*magnitude);
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
  }
  std::optional<uint32_t> hexadecimal() {
    if (peek() == '0' && at_ + 1 < text_.size() && (text_[at_ + 1] == 'x' || text_[at_ + 1] == 'X')) {
      at_ += 2;
    }
    if (hexDigit(peek()) < 0) return std::nullopt;
    uint64_t value = 0;
    while (hexDigit(peek()) >= 0) {
      value = value * 16 + static_cast<uint64_t>(hexDigit(text_[at_]));
      if (value > std::numeric_limits<uint32_t>::max()) return std::nullopt;
      ++at_;
    }
    return static_cast<uint32_t>(value);
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

constexpr uint64_t kMaxIndex = std::numeric_limits<int32_t>::max();
constexpr uint32_t kMaxDeclaratorCount = 255;  // dimensions or pointer levels

// The optional marks that may stand between a name and a type index:
// 'F', a dimension list and pointer stars.
struct Declarator {
  bool function = false;
  uint32_t dimensionsBegin = 0;
  uint32_t dimensionCount = 0;
  uint32_t pointerLevel = 0;
};

}  // namespace

class SymbolParser {
 public:
  explicit SymbolParser(std::string text) {
    table_.text_ = std::make_unique<const std::string>(std::move(text));
  }

  SymbolParseResult run() {
    const std::string_view all = *table_.text_;
    reserveFor(all);
    std::size_t record = 0;
    std::size_t at = 0;
    while (at < all.size()) {
      std::size_t end = all.find('\n', at);
      if (end == std::string_view::npos) end = all.size();
      // A long line is read in pieces of the longest record, each a record.
      for (std::size_t piece = at; piece < end || piece == at; piece += kMaxRecordLength) {
        const std::size_t length = std::min(kMaxRecordLength, end - piece);
        if (!parseRecord(all.substr(piece, length))) return {std::nullopt, record};
        ++record;
        if (end - piece <= kMaxRecordLength) break;
      }
      at = end + 1;
    }
    return {std::move(table_), 0};
  }

 private:
  // Rough counts from the text, so that the tables grow once rather than
  // many times: a record per line, a member per ';' or ','.
  void reserveFor(std::string_view all) {
    const auto lines = static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n')) + 1;
    table_.types_.reserve(lines);
    // A vector covers the indices a file of this many records plausibly
    // uses, without letting one huge index claim much memory.
    table_.denseLimit_ = static_cast<uint32_t>(std::min<std::size_t>(std::max<std::size_t>(lines * 4, 65536), 1u << 24));
    table_.typeNames_.reserve(lines);
    table_.members_.reserve(all.size() / 12);
  }

  bool parseRecord(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return true;  // blank lines carry nothing
    if (isDigit(line.front())) return parseType(line);
    if (line.find('.') != std::string_view::npos) return true;
    return parseSymbol(line);
  }

  bool parseType(std::string_view line) {
    Cursor in(line);
    TypeRecord type;
    const auto index = in.unsignedDecimal(kMaxIndex);
    if (!index || !in.take(' ')) return false;
    const auto name = in.upTo(':');
    const auto size = name ? in.unsignedDecimal(std::numeric_limits<uint32_t>::max()) : std::nullopt;
    if (!size) return false;
    type.index = static_cast<int32_t>(*index);
    type.name = *name;
    type.size = static_cast<uint32_t>(*size);
    if (!in.atEnd()) {
      if (!in.take(':')) return false;
      const char kind = in.peek();
      if (kind != 'e' && kind != 's' && kind != 'u') return false;
      in.skipOne();
      if (!in.skipOne() || in.atEnd()) return false;  // the separator, then a body
      type.kind = static_cast<TypeKind>(kind);
      type.membersBegin = static_cast<uint32_t>(table_.members_.size());
      const bool parsed = kind == 'e' ? parseEnumBody(in) : parseFieldBody(in);
      if (!parsed) return false;
      type.memberCount = static_cast<uint32_t>(table_.members_.size()) - type.membersBegin;
    }
    if (type.kind == TypeKind::Base) {
      if (const auto base = baseTypeByName(type.name)) {
        type.scalarType = base->scalar;
        type.bitfieldType = base->bitfield;
      }
    }
    const auto position = static_cast<uint32_t>(table_.types_.size());
    table_.types_.push_back(type);
    table_.indexType(type.index, position);
    table_.typeNames_.try_emplace(type.name, position);
    return true;
  }

  bool parseFieldBody(Cursor& in) {
    for (;;) {
      MemberRecord field;
      const auto name = in.upTo(',');
      if (!name) return false;
      setName(field, *name);
      const auto declarator = parseDeclarator(in);
      if (!declarator) return false;
      field.function = declarator->function;
      field.dimensionsBegin = declarator->dimensionsBegin;
      field.dimensionCount = static_cast<uint8_t>(declarator->dimensionCount);
      field.pointerLevel = static_cast<uint8_t>(declarator->pointerLevel);
      if (in.take('b')) {
        field.bitfield = true;
        if (!in.skipOne()) return false;
        const auto type = in.unsignedDecimal(kMaxIndex);
        if (!type || !in.take(',')) return false;
        const auto width = in.unsignedDecimal(kMaxIndex);
        if (!width || !in.take(',')) return false;
        const auto position = in.unsignedDecimal(kMaxIndex);
        if (!position || !in.take(',')) return false;
        const auto offset = in.unsignedDecimal(kMaxIndex);
        if (!offset) return false;
        field.typeOrValue = static_cast<int32_t>(*type);
        field.bitWidth = static_cast<uint8_t>(std::min<uint64_t>(*width, 255));
        field.bitPosition = static_cast<uint8_t>(std::min<uint64_t>(*position, 255));
        field.offset = static_cast<int32_t>(*offset);
      } else {
        const auto type = in.unsignedDecimal(kMaxIndex);
        if (!type || !in.take(',')) return false;
        const auto offset = in.unsignedDecimal(kMaxIndex);
        if (!offset) return false;
        field.typeOrValue = static_cast<int32_t>(*type);
        field.offset = static_cast<int32_t>(*offset);
      }
      table_.members_.push_back(field);
      if (!in.skipPastEither(';', '}') || in.atEnd()) return true;
    }
  }

  bool parseEnumBody(Cursor& in) {
    for (;;) {
      MemberRecord constant;
      const auto name = in.upTo(':');
      if (!name) return false;
      const auto value = in.signedDecimal();
      if (!value) return false;
      setName(constant, *name);
      constant.typeOrValue = *value;
      table_.members_.push_back(constant);
      if (!in.skipPastEither(',', '}') || in.atEnd()) return true;
    }
  }

  bool parseSymbol(std::string_view line) {
    Cursor in(line);
    TypeRecord symbol;
    const auto name = in.upTo(':');
    if (!name) return false;
    symbol.name = *name;
    const auto declarator = parseDeclarator(in);
    if (!declarator) return false;
    const auto typeIndex = in.unsignedDecimal(kMaxIndex);
    if (!typeIndex || !in.take(':')) return false;
    const auto address = in.hexadecimal();
    if (!address || !in.atEnd()) return false;
    const TypeRecord* type = table_.typeByIndex(static_cast<int32_t>(*typeIndex));
    if (type == nullptr) return false;

    symbol.kind = type->kind;
    symbol.index = type->index;
    symbol.address = *address;
    symbol.function = declarator->function;
    symbol.pointerLevel = declarator->pointerLevel;
    symbol.dimensionsBegin = declarator->dimensionsBegin;
    symbol.dimensionCount = declarator->dimensionCount;
    const bool wordSized = symbol.function || symbol.pointerLevel > 0;
    uint64_t size = wordSized ? 4 : type->size;
    if (symbol.dimensionCount > 0) {
      for (const uint16_t bound : table_.dimensions(symbol)) {
        size *= bound;
        if (size > std::numeric_limits<uint32_t>::max()) return false;
      }
    }
    symbol.size = static_cast<uint32_t>(size);

    table_.symbols_.push_back(symbol);
    return true;
  }

  void setName(MemberRecord& member, std::string_view name) const {
    // Records are at most kMaxRecordLength long, so the length fits.
    member.nameOffset = static_cast<uint32_t>(name.data() - table_.text_->data());
    member.nameLength = static_cast<uint16_t>(name.size());
  }

  std::optional<Declarator> parseDeclarator(Cursor& in) {
    Declarator result;
    result.function = in.take('F');
    result.dimensionsBegin = static_cast<uint32_t>(table_.dimensions_.size());
    if (in.take('[')) {
      do {
        const auto bound = in.unsignedDecimal(std::numeric_limits<uint16_t>::max());
        if (!bound) return std::nullopt;
        table_.dimensions_.push_back(static_cast<uint16_t>(*bound));
      } while (in.take(','));
      if (!in.take(']')) return std::nullopt;
    }
    result.dimensionCount =
        static_cast<uint32_t>(table_.dimensions_.size()) - result.dimensionsBegin;
    while (in.take('*')) ++result.pointerLevel;
    // No real declaration comes near these; members store them in a byte.
    if (result.dimensionCount > kMaxDeclaratorCount || result.pointerLevel > kMaxDeclaratorCount) {
      return std::nullopt;
    }
    return result;
  }

  SymbolTable table_;
};

SymbolParseResult parseSymbolInformation(std::string text) {
  return SymbolParser(std::move(text)).run();
}

}  // namespace vx::nvdb
