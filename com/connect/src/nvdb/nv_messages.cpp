#include "nv_messages.h"

#include <cstdio>

#include "nv_tree.h"

namespace vx::nvdb {

std::string englishText(const NvMessage& message) {
  switch (message.id) {
    case NvMessageId::ErrorNodeText:
      return std::string(kErrorNodeText);
    case NvMessageId::CouldNotOpenFile:
      return "Could not open file:  " + message.argument;
    case NvMessageId::ParseError:
      return "There was an error parsing type information.  The zero-based record index is: " +
             message.argument;
    case NvMessageId::SymbolInformationUnreadable:
      return "The symbol information needed could not be read from the phone.  Some possible "
             "causes are:\n - incorrect security information\n - lost connection with the "
             "phone\n - phone software with no symbol information";
    case NvMessageId::DecompressorNotFound:
      return "Could not find " + message.argument +
             " to decompress the symbol information retrieved from the phone.";
  }
  return {};
}

void printToStandardError(const NvMessage& message) {
  std::fprintf(stderr, "%s\n", englishText(message).c_str());
}

}  // namespace vx::nvdb
