// Whether a file is a software image or a boot-block image that may be sent
// to the UT: S-record text or binary records, plain or gzip-compressed, that
// pass every record check, with the boot-block marker in its header exactly
// when a boot block is expected.
#pragma once

#include <string>

#include "vx/download/srecord_parser.h"

namespace vx::download {

enum class ImageKind { Software, BootBlock };

struct FileCheck {
  bool passed = false;
  SRecordError error = SRecordError::None;  // the parser's verdict
  bool bootBlockMarker = false;
  bool unpacked = false;                    // the file was gzip-compressed
};

// Unpacks a compressed file with the `gzip` program (the one beside the
// running program, else the first on PATH) into a temporary file, waiting
// at most 10 s for it, and checks the unpacked bytes; a file gzip does not
// unpack is checked as it is. Temporary files are always removed.
FileCheck checkSoftwareFile(const std::string& path, ImageKind expected);

// The record checks alone, on a file read in 1000-byte pieces.
SRecordError checkSRecordFile(const std::string& path, bool* bootBlockMarker);

// The gzip program used to unpack, or empty when none is found.
std::string unpackerPath();

}  // namespace vx::download
