#include "kmx/sim/nv_store.h"

#include <algorithm>

namespace kmx::sim {

void NvStore::define(uint16_t number, uint16_t size, uint16_t dimension) {
  Item item;
  item.size = size;
  item.dimension = dimension;
  // Values are kept as written: an element never written holds no bytes, so
  // a long list of large elements costs only what was put into it.
  item.elements.resize(dimension == 0 ? 1 : dimension);
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
  out.assign(item->size, 0);
  std::copy(element->value.begin(), element->value.end(), out.begin());
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
  element.value.assign(data.begin(), data.end());
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
