#include "item_tables.h"

#include <cstring>
#include <limits>
#include <string_view>

namespace vx::nvdb {

namespace {

std::string_view textOf(std::span<const uint8_t> bytes) {
  const auto* chars = reinterpret_cast<const char*>(bytes.data());
  const void* nul = bytes.empty() ? nullptr : std::memchr(chars, '\0', bytes.size());
  const std::size_t length =
      nul == nullptr ? bytes.size() : static_cast<std::size_t>(static_cast<const char*>(nul) - chars);
  return {chars, length};
}

// Reads ','-separated fields one after another; past the end every field is
// empty.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}
  bool atEnd() const { return at_ > text_.size(); }
  std::string_view next() {
    if (atEnd()) return {};
    std::size_t end = text_.find(',', at_);
    if (end == std::string_view::npos) end = text_.size();
    const std::string_view field = text_.substr(at_, end - at_);
    at_ = end + 1;
    return field;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// The integer at the start of a field, as the UT's tables write them
// (optional sign, decimal digits); anything after the digits is ignored and
// values beyond 32 bits are clamped.
int32_t leadingInteger(std::string_view field) {
  std::size_t at = 0;
  while (at < field.size() && (field[at] == ' ' || field[at] == '\t')) ++at;
  bool negative = false;
  if (at < field.size() && (field[at] == '-' || field[at] == '+')) negative = field[at++] == '-';
  int64_t value = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    value = value * 10 + (field[at] - '0');
    if (value > std::numeric_limits<int32_t>::max()) {
      value = std::numeric_limits<int32_t>::max();
      break;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

std::vector<ItemTableRow> parseItemTables(std::span<const uint8_t> nameTable,
                                          std::span<const uint8_t> descriptorTable) {
  std::vector<ItemTableRow> rows;
  FieldReader names(textOf(nameTable));
  FieldReader fields(textOf(descriptorTable));
  for (uint32_t number = 0; !names.atEnd(); ++number) {
    const std::string_view name = names.next();
    const std::string_view descriptor = fields.next();
    const std::string_view typeName = fields.next();
    const std::string_view presence = fields.next();
    const std::string_view flags = fields.next();
    // An unnamed entry (a trailing ',') cannot be addressed by a path.
    if (name.empty() || descriptor.empty() || typeName.empty() || presence.empty() ||
        flags.empty()) {
      continue;
    }
    rows.push_back({std::string(name), std::string(descriptor), std::string(typeName),
                    leadingInteger(presence), leadingInteger(flags), number});
  }
  return rows;
}

}  // namespace vx::nvdb
