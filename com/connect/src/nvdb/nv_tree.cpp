#include "nv_tree.h"

#include <charconv>

namespace vx::nvdb {

std::string nodeText(const NVNode& node) {
  if (node.suffix == NodeSuffix::Error) return std::string(kErrorNodeText);
  std::string text(node.name);
  if (node.suffix != NodeSuffix::None) {
    text += '[';
    text += std::to_string(node.suffixValue);
    text += ']';
  }
  text.append(node.stars, '*');
  return text;
}

bool nodeTextEquals(const NVNode& node, std::string_view component) {
  if (node.suffix == NodeSuffix::Error) return component == kErrorNodeText;
  if (component.size() < node.stars ||
      component.find_first_not_of('*', component.size() - node.stars) != std::string_view::npos) {
    return false;
  }
  component.remove_suffix(node.stars);
  switch (node.suffix) {
    case NodeSuffix::None:
      return component == node.name;
    case NodeSuffix::Error:
      return false;
    case NodeSuffix::Index:
    case NodeSuffix::Bound: {
      if (!component.starts_with(node.name)) return false;
      std::string_view rest = component.substr(node.name.size());
      if (rest.size() < 3 || rest.front() != '[' || rest.back() != ']') return false;
      rest = rest.substr(1, rest.size() - 2);
      // The number must be written as the tree writes it: no sign, no leading zeros.
      if (rest.size() > 1 && rest.front() == '0') return false;
      uint32_t value = 0;
      const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
      return error == std::errc() && end == rest.data() + rest.size() && value == node.suffixValue;
    }
  }
  return false;
}

}  // namespace vx::nvdb
