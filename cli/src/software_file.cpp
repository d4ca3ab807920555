#include "software_file.h"

#include <zlib.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vx::cli {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<SoftwareFile> inspectSoftwareFile(const std::string& path, std::string* error) {
  // gzread passes a file that is not gzip data through unchanged.
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": " + std::strerror(errno != 0 ? errno : ENOENT);
    return std::nullopt;
  }
  char buffer[600];
  const int got = gzread(file, buffer, sizeof buffer);
  gzclose(file);
  if (got < 0) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  std::string line(buffer, static_cast<std::size_t>(got));
  if (auto end = line.find_first_of("\r\n"); end != std::string::npos) line.resize(end);
  // S0, a count byte, then count bytes: address (2), data, checksum (1).
  // Without a readable S0 record the file is taken for software; the
  // server's file check then judges it.
  SoftwareFile result;
  if (line.size() < 4 || line[0] != 'S' || line[1] != '0') return result;
  std::vector<unsigned char> bytes;
  for (std::size_t i = 2; i + 1 < line.size(); i += 2) {
    const int high = hexDigit(line[i]);
    const int low = hexDigit(line[i + 1]);
    if (high < 0 || low < 0) return result;
    bytes.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  if (bytes.empty() || bytes[0] + 1u != bytes.size() || bytes.size() < 4) return result;
  for (std::size_t i = 3; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0 || !std::isprint(bytes[i])) break;
    result.header += static_cast<char>(bytes[i]);
  }
  result.kind = result.header.starts_with("utbootbloc") ? SoftwareKind::BootBlock : SoftwareKind::Software;
  return result;
}

}  // namespace vx::cli
