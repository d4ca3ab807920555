#include "nv_backup_writer.h"

#include <vector>

#include "node_value.h"

namespace vx::backup {

using vx::nvdb::NvUtAccess;

namespace {

// Whether the UT answers for the element: the read that first learns its
// value, or a fresh read when the tree holds it already. An element without
// a value gets no tree: its section is bare.
NvUtAccess::ItemRead readOutcome(vx::nvdb::NvDatabase& database, vx::nvdb::NVItemInfo& item, NvUtAccess& ut) {
  NvUtAccess::ItemRead outcome = NvUtAccess::ItemRead::Failed;
  if (!item.expanded) {
    database.fetchValue(item, ut, &outcome);
    return outcome;
  }
  const vx::nvdb::TypeRecord* type = database.symbols().typeByName(item.typeName);
  if (type == nullptr || item.elementIndex < 0) return NvUtAccess::ItemRead::Failed;
  std::vector<uint8_t> scratch(type->size);
  return ut.readItem(item.itemNumber, static_cast<uint32_t>(item.elementIndex), scratch);
}

}  // namespace

void writeNvSections(vx::nvdb::NvDatabase& database, NvUtAccess& ut, std::string& out,
                     const std::function<void(std::size_t, std::size_t)>& progress) {
  auto& items = database.items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    vx::nvdb::NVItemInfo& item = items[i];
    if (progress) progress(i, items.size());
    if (item.instanceCount == 0) continue;
    const auto outcome = readOutcome(database, item, ut);
    out += '[';
    out += item.name;
    out += ']';
    out += outcome == NvUtAccess::ItemRead::Failed ? kUnreadableItemWarning : "\n";
    if (outcome != NvUtAccess::ItemRead::Read) continue;
    const std::size_t prefix = item.name.size() + 1;
    for (const vx::nvdb::NodeRef& leaf : database.leaves(item, ut)) {
      out += database.pathOf(leaf).substr(prefix);
      out += ' ';
      out += std::to_string(vx::nvdb::readNodeValue(item, *leaf.subtreeNode()).value_or(0));
      out += '\n';
    }
  }
  if (progress) progress(items.size(), items.size());
}

}  // namespace vx::backup
