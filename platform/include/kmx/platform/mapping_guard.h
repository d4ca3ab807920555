// Shared mappings that survive their file being shrunk by another process.
//
// A page of a MAP_SHARED mapping that lies past the end of its file raises
// SIGBUS when touched, so any process that truncates a named object's file
// could kill every other process that maps it. A process that cannot afford
// that (the link server, which maps every client's block) installs the guard:
// a fault inside a guarded mapping replaces the faulting page with a private
// zero page, marks the mapping damaged and lets the access go on. The owner
// of the mapping checks damaged() after its work and treats the object as
// corrupt. Faults anywhere else go on to the handler installed before.
#pragma once

#include <cstddef>

namespace kmx {

// Installs the SIGBUS handler, once per process. False (last-error set) when
// it could not be installed.
bool guardSharedMappings();

// One mapping's registration with the guard; without the handler installed
// it only costs its table entry. A full table leaves the mapping unguarded.
class GuardedMapping {
 public:
  GuardedMapping() = default;
  GuardedMapping(const void* base, std::size_t size);
  ~GuardedMapping();
  GuardedMapping(GuardedMapping&& other) noexcept;
  GuardedMapping& operator=(GuardedMapping&& other) noexcept;
  GuardedMapping(const GuardedMapping&) = delete;
  GuardedMapping& operator=(const GuardedMapping&) = delete;

  // True once a fault past the end of the file was caught in the mapping.
  bool damaged() const;
  // Ends the registration (before the mapping is unmapped).
  void release();

 private:
  int entry_ = -1;
};

}  // namespace kmx
