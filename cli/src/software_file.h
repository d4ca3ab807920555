// What a software file is and whether its records pass, read as the
// download's own check reads it: the suite's S-record parser over the
// file's bytes, plain or gzip-compressed (zlib's gzread reads both). The
// boot block is the file whose S0 data starts with the parser's marker.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vx/download/srecord_parser.h"

namespace vx::cli {

enum class SoftwareKind { Software, BootBlock };

struct SoftwareFile {
  SoftwareKind kind = SoftwareKind::Software;
  std::string header;       // the S0 data as text (printable characters)
  bool compressed = false;  // gzip data
  uint64_t size = 0;        // bytes of records (unpacked)
  uint32_t dataRecords = 0;  // S1, S2 and S3 records
  std::optional<uint32_t> startAddress;  // of the termination record
  vx::download::SRecordError error = vx::download::SRecordError::None;
  uint64_t errorLine = 0;   // the line (1-based) the parser refused, when error
};

// Reads the whole file through the parser; nullopt with `error` set when
// the file cannot be opened or its compressed data is corrupt. A file
// whose records fail keeps the parser's verdict in `error` and `errorLine`.
std::optional<SoftwareFile> inspectSoftwareFile(const std::string& path, std::string* error);

// The parser's error as text ("a checksum does not match").
std::string srecordErrorText(vx::download::SRecordError error);

}  // namespace vx::cli
