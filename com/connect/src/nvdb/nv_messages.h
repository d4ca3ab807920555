// Messages of the NV database load, by the string numbers of the language
// resource libraries. The host program decides where they go (the service
// tool shows them, the script server logs them).
#pragma once

#include <functional>
#include <string>

namespace vx::nvdb {

enum class NvMessageId : int {
  ErrorNodeText = 107,
  CouldNotOpenFile = 114,
  ParseError = 115,
  SymbolInformationUnreadable = 205,
  DecompressorNotFound = 206,
};

struct NvMessage {
  NvMessageId id;
  std::string argument;  // the file name, record index or path the text carries
};

using NvMessageSink = std::function<void(const NvMessage&)>;

// The English text of a message, its argument filled in.
std::string englishText(const NvMessage& message);
// The default sink: the English text on standard error.
void printToStandardError(const NvMessage& message);

}  // namespace vx::nvdb
