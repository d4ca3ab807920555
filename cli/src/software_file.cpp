#include "software_file.h"

#include <zlib.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <span>
#include <vector>

namespace vx::cli {

using vx::download::SRecord;
using vx::download::SRecordError;
using vx::download::SRecordParser;

std::optional<SoftwareFile> inspectSoftwareFile(const std::string& path, std::string* error) {
  errno = 0;
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path + ": " + std::strerror(errno != 0 ? errno : ENOENT);
    return std::nullopt;
  }
  SoftwareFile result;
  SRecordParser parser([&](const SRecord& record) {
    if (record.type == 0 && result.header.empty()) {
      for (uint8_t b : record.data) {
        if (b == 0 || std::isprint(b) == 0) break;
        result.header += static_cast<char>(b);
      }
    }
    if (record.type >= 1 && record.type <= 3) ++result.dataRecords;
    if (record.type >= 7 && record.type <= 9) result.startAddress = record.address;
  });
  std::vector<uint8_t> buffer(64 * 1024);
  uint64_t line = 1;
  bool failed = false;
  int got = 0;
  while ((got = gzread(file, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
    const std::span<const uint8_t> bytes(buffer.data(), static_cast<std::size_t>(got));
    result.size += bytes.size();
    // Line by line, so that a refusal is told at its line.
    std::size_t from = 0;
    while (!failed && from < bytes.size()) {
      const auto* end = static_cast<const uint8_t*>(std::memchr(bytes.data() + from, '\n', bytes.size() - from));
      const std::size_t to = end == nullptr ? bytes.size() : static_cast<std::size_t>(end - bytes.data()) + 1;
      if (!parser.feed(bytes.subspan(from, to - from))) {
        failed = true;
        result.errorLine = line;
      } else if (end != nullptr) {
        ++line;
      }
      from = to;
    }
  }
  if (got < 0) {
    int code = Z_OK;
    const char* text = gzerror(file, &code);
    const std::string why = text != nullptr && *text != '\0' ? text : "bad data";
    gzclose(file);
    if (code == Z_ERRNO) {
      *error = path + ": cannot be read (" + std::strerror(errno) + ")";
    } else {
      *error = path + ": the file was read, but its compressed data is corrupt after " + std::to_string(result.size) +
               " unpacked bytes (" + why + ")";
    }
    return std::nullopt;
  }
  result.compressed = gzdirect(file) == 0;
  gzclose(file);
  result.error = parser.finish();
  if (result.error != SRecordError::None && result.errorLine == 0) result.errorLine = line;
  if (parser.bootBlockMarkerSeen()) result.kind = SoftwareKind::BootBlock;
  return result;
}

std::string srecordErrorText(SRecordError error) {
  switch (error) {
    case SRecordError::None: return "no error";
    case SRecordError::EmptyFile: return "the file holds no records";
    case SRecordError::BadRecordType: return "not a record type (S4 and S6 are refused)";
    case SRecordError::BadChecksum: return "the checksum does not match";
    case SRecordError::UnexpectedByte: return "a byte that starts no record";
    case SRecordError::BadHexDigit: return "not a hex digit";
    case SRecordError::BadLength: return "a record count of 0 or above 64, or a data record without data";
    case SRecordError::BadRecordCount: return "the S5 record count does not match the data records";
    case SRecordError::BadTermination: return "a start address of the wrong size, odd, or after another";
    case SRecordError::NoTermination: return "the file does not end with a termination record (cut short?)";
  }
  return "error " + std::to_string(static_cast<unsigned>(error));
}

}  // namespace vx::cli
