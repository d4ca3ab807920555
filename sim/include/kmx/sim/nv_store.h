// The UT's non-volatile items: each item number has a fixed size and a list
// dimension (0 for a single item, n for a list of n elements); every element
// is active (holds a value) or not.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "kmx/sim/ut_errors.h"

namespace kmx::sim {

class NvStore {
 public:
  // Defines (or redefines) an item; its elements start active and zeroed.
  void define(uint16_t number, uint16_t size, uint16_t dimension);
  bool isDefined(uint16_t number) const { return items_.count(number) != 0; }
  void clear() { items_.clear(); }

  NvStatus read(uint16_t number, uint16_t index, std::vector<uint8_t>& out) const;
  // Writing an element stores the value (a shorter value is zero-padded) and
  // makes it active.
  NvStatus write(uint16_t number, uint16_t index, std::span<const uint8_t> data);
  // Inserting a list element is a write that must find the element inactive
  // before; for a single item it is a plain write.
  NvStatus insert(uint16_t number, uint16_t index, std::span<const uint8_t> data);
  // Deleting makes the element inactive.
  NvStatus remove(uint16_t number, uint16_t index);
  NvStatus listDimension(uint16_t number, uint16_t& dimension) const;
  NvStatus setActive(uint16_t number, uint16_t index, bool active);

  // Counts of the changes that reached the store, for tests that check a
  // repeated request was not applied twice.
  uint32_t writeCount() const { return writes_; }

 private:
  struct Element {
    bool active = true;
    std::vector<uint8_t> value;  // the bytes written, at most the item's size; the rest read as 0
  };
  struct Item {
    uint16_t size = 0;
    uint16_t dimension = 0;
    std::vector<Element> elements;
  };

  NvStatus find(uint16_t number, uint16_t index, const Item** item, const Element** element) const;
  NvStatus store(uint16_t number, uint16_t index, std::span<const uint8_t> data, bool mustBeInactive);

  std::map<uint16_t, Item> items_;
  uint32_t writes_ = 0;
};

}  // namespace kmx::sim
