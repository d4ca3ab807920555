// Class entry files under $XDG_DATA_HOME/vxcom/classes are read from disk:
// any text must parse or be refused without harm, and whatever is accepted
// must survive being written out and read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "class_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto record = vx::comimpl::ParseClassEntry(text);
  if (!record) return 0;
  if (record->library.empty() || record->library.front() != '/') std::abort();
  auto again = vx::comimpl::ParseClassEntry(vx::comimpl::FormatClassEntry(*record));
  if (!again || again->clsid != record->clsid || again->library.size() != record->library.size())
    std::abort();
  return 0;
}
