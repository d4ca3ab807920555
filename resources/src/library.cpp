// The exported C interface of a resource library, over the string table of
// the language it is linked with and the shared binary resources.
#include <algorithm>

#include "loader_image_data.h"
#include "string_table.h"
#include "vexres.h"

namespace {

bool sameTypeName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(*a) != lower(*b)) return false;
    if (*a == '\0') return true;
  }
}

}  // namespace

#define VEXRES_EXPORT __attribute__((visibility("default")))

extern "C" {

VEXRES_EXPORT const char* VexResString(uint32_t id) {
  for (const auto rows : {vx::res::kLanguageTable.rows, vx::res::kSharedRows}) {
    auto it = std::find_if(rows.begin(), rows.end(), [id](const vx::res::StringRow& row) { return row.id == id; });
    if (it != rows.end()) return it->text;
  }
  return nullptr;
}

VEXRES_EXPORT int VexResBinary(const char* type, uint32_t id, const void** data, uint32_t* size) {
  if (data != nullptr) *data = nullptr;
  if (size != nullptr) *size = 0;
  if (type == nullptr || data == nullptr || size == nullptr) return 0;
  if (sameTypeName(type, VEXRES_TYPE_FLASH) && id == VEXRES_ID_LOADER) {
    const auto image = vx::res::loaderImage();
    *data = image.data();
    *size = static_cast<uint32_t>(image.size());
    return 1;
  }
  return 0;
}

VEXRES_EXPORT const char* VexResLanguage(void) { return vx::res::kLanguageTable.code; }

}  // extern "C"
