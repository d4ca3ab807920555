#include "nv_file_info.h"

#include <cctype>

namespace vx::backup {

namespace {

// White-space separated tokens, read one at a time.
class Tokens {
 public:
  explicit Tokens(std::string_view text) : text_(text) {}
  std::optional<std::string_view> next() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    const std::size_t begin = at_;
    while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    if (begin == at_) return std::nullopt;
    return text_.substr(begin, at_ - begin);
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// An unsigned decimal number that fits `limit`.
std::optional<uint32_t> number(std::optional<std::string_view> token, uint64_t limit) {
  if (!token) return std::nullopt;
  uint64_t value = 0;
  for (char c : *token) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<NvFileInfo> parseNvFileInfo(std::string_view text) {
  if (text.size() < 4 || text.substr(0, 3) != "VEX") return std::nullopt;
  Tokens tokens(text.substr(4));
  NvFileInfo info;
  const auto format = number(tokens.next(), UINT32_MAX);
  const auto model = tokens.next();
  const auto nrVersion = number(tokens.next(), UINT16_MAX);
  const auto version = number(tokens.next(), UINT32_MAX);
  if (!format || *format == 0 || !model || !nrVersion || !version) return std::nullopt;
  info.format = *format;
  info.model = std::string(*model);
  info.nrVersion = static_cast<uint16_t>(*nrVersion);
  info.version = *version;
  return info;
}

std::string nvFileHeader(const std::string& model, uint32_t nrVersion, uint32_t version) {
  return "VEX\n1\n" + model + "\n" + std::to_string(nrVersion) + "\n" + std::to_string(version) + "\n";
}

}  // namespace vx::backup
