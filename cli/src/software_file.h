// What a software file is, from its S0 header record: the boot block
// (S0 data, after its two address bytes, starting with "utbootbloc") or
// the UT software. Plain and gzip-compressed files alike.
#pragma once

#include <optional>
#include <string>

namespace vx::cli {

enum class SoftwareKind { Software, BootBlock };

struct SoftwareFile {
  SoftwareKind kind = SoftwareKind::Software;
  std::string header;  // the S0 data as text (printable characters)
};

// Reads the first record; nullopt with `error` set when the file cannot
// be read. A file without a readable S0 record counts as software.
std::optional<SoftwareFile> inspectSoftwareFile(const std::string& path, std::string* error);

}  // namespace vx::cli
