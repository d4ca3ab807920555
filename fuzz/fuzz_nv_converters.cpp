// The converters that rewrite older backup files, each on its own: whatever
// they are given they end, and a file the reader takes stays one it takes
// after a conversion; the directory-number conversion is not done twice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "nv_converters.h"
#include "nv_file_reader.h"

namespace {

bool parses(const std::string& text) {
  try {
    (void)vx::backup::parseNvFile(text);
    return true;
  } catch (const vx::backup::CNVFileParsingException&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace vx::backup;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const bool whole = parses(input);
  CNVCNAMName names;
  CNVCSMSFormat sms(true);
  for (CNVConvertFile* converter : {static_cast<CNVConvertFile*>(&names), static_cast<CNVConvertFile*>(&sms)}) {
    std::string output;
    const auto result = converter->convert(input, output);
    if (result == CNVConvertFile::Result::Failed && converter->failure().empty()) std::abort();
    if (result != CNVConvertFile::Result::Converted) continue;
    if (whole && !parses(output)) std::abort();
    if (converter == &names) {
      std::string again;
      if (names.convert(output, again) != CNVConvertFile::Result::Unchanged) std::abort();
    }
  }
  return 0;
}
