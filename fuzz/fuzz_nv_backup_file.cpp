// NV backup files as a restore reads them: the header, the converter chain
// (for a UT of either SMS layout) and the section reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "nv_converters.h"
#include "nv_file_info.h"
#include "nv_file_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace vx::backup;
  const std::string input(reinterpret_cast<const char*>(data), size);
  (void)parseNvFileInfo(input);
  for (bool newSmsLayout : {false, true}) {
    std::string text = input;
    if (!convertForRestore(text, newSmsLayout)) continue;
    try {
      (void)parseNvFile(text);
    } catch (const CNVFileParsingException& error) {
      (void)error.report();
    }
  }
  return 0;
}
