#include "kmx/sim/nv_store.h"

#include <algorithm>

namespace kmx::sim {

void NvStore::define(uint16_t number, uint16_t size, uint16_t dimension) {
  Item item;
  item.size = size;
  item.dimension = dimension;
  item.elements.resize(dimension == 0 ? 1 : dimension);
  for (auto& element : item.elements) element.value.assign(size, 0);
  items_[number] = std::move(item);
}

NvStatus NvStore::find(uint16_t number, uint16_t index, const Item** item,
                       const Element** element) const {
  auto it = items_.find(number);
  if (it == items_.end()) return NvStatus::BadItem;
  if (index >= it->second.elements.size()) return NvStatus::BadIndex;
  *item = &it->second;
  *element = &it->second.elements[index];
  return NvStatus::Done;
}

NvStatus NvStore::read(uint16_t number, uint16_t index, std::vector<uint8_t>& out) const {
  const Item* item = nullptr;
  const Element* element = nullptr;
  NvStatus status = find(number, index, &item, &element);
  if (status != NvStatus::Done) return status;
  if (!element->active) return NvStatus::NotActive;
  out = element->value;
  return NvStatus::Done;
}

NvStatus NvStore::store(uint16_t number, uint16_t index, std::span<const uint8_t> data,
                        bool mustBeInactive) {
  const Item* item = nullptr;
  const Element* found = nullptr;
  NvStatus status = find(number, index, &item, &found);
  if (status != NvStatus::Done) return status;
  if (data.size() > item->size) return NvStatus::BadLength;
  auto& element = items_[number].elements[index];
  if (mustBeInactive && element.active) return NvStatus::BadIndex;
  std::fill(element.value.begin(), element.value.end(), 0);
  std::copy(data.begin(), data.end(), element.value.begin());
  element.active = true;
  ++writes_;
  return NvStatus::Done;
}

NvStatus NvStore::write(uint16_t number, uint16_t index, std::span<const uint8_t> data) {
  return store(number, index, data, false);
}

NvStatus NvStore::insert(uint16_t number, uint16_t index, std::span<const uint8_t> data) {
  auto it = items_.find(number);
  bool isList = it != items_.end() && it->second.dimension > 0;
  return store(number, index, data, isList);
}

NvStatus NvStore::remove(uint16_t number, uint16_t index) { return setActive(number, index, false); }

NvStatus NvStore::setActive(uint16_t number, uint16_t index, bool active) {
  const Item* item = nullptr;
  const Element* element = nullptr;
  NvStatus status = find(number, index, &item, &element);
  if (status != NvStatus::Done) return status;
  items_[number].elements[index].active = active;
  ++writes_;
  return NvStatus::Done;
}

NvStatus NvStore::listDimension(uint16_t number, uint16_t& dimension) const {
  auto it = items_.find(number);
  if (it == items_.end()) return NvStatus::BadItem;
  dimension = it->second.dimension;
  return NvStatus::Done;
}

}  // namespace kmx::sim
