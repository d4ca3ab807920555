#include "vx/com/task_memory.h"

#include <cstdlib>

// One allocator for the whole process (this library is loaded once), so a
// block may be freed by another library than the one that allocated it.
extern "C" {

void* CoTaskMemAlloc(std::size_t cb) { return std::malloc(cb == 0 ? 1 : cb); }

void* CoTaskMemRealloc(void* pv, std::size_t cb) { return std::realloc(pv, cb == 0 ? 1 : cb); }

void CoTaskMemFree(void* pv) { std::free(pv); }

}  // extern "C"
