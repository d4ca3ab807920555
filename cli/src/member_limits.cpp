// The limits `list` shows and refusals are explained by, as the script
// server states them (UTVEX.ScriptFactory.MemberLimits, found from its own
// argument checks): nothing of them is kept here.
#include <algorithm>

#include "member_catalogue.h"

namespace vx::cli {

std::string rangesText(const std::vector<std::pair<int32_t, int32_t>>& ranges, bool length) {
  if (ranges.empty()) return "nothing";
  // A range of two values reads as the two values.
  std::vector<std::string> items;
  for (const auto& [low, high] : ranges) {
    items.push_back(std::to_string(low));
    if (high == low + 1) items.push_back(std::to_string(high));
    if (high > low + 1) items.back() += ".." + std::to_string(high);
  }
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return length ? text + " characters" : text;
}

std::string limitsText(const std::vector<ArgumentLimit>& limits) {
  std::string text;
  for (const ArgumentLimit& limit : limits) {
    if (!text.empty()) text += "; ";
    if (limit.argument != "newVal") text += limit.argument + " ";
    text += rangesText(limit.ranges, limit.length);
  }
  return text;
}

std::optional<std::string> whyRefused(const std::string& member, const std::vector<ArgumentLimit>& limits,
                                      const std::vector<Argument>& shape, const std::vector<BusValue>& values) {
  for (std::size_t i = 0; i < shape.size() && i < values.size(); ++i) {
    const std::string& name = shape[i].name;
    auto limit = std::find_if(limits.begin(), limits.end(), [&](const ArgumentLimit& l) { return l.argument == name; });
    if (limit == limits.end()) continue;
    int64_t number = 0;
    std::string shown;
    if (const auto* text = std::get_if<std::string>(&values[i])) {
      if (!limit->length) continue;
      number = static_cast<int64_t>(text->size());
      shown = "'" + *text + "' has " + std::to_string(number) + " characters, which";
    } else if (const auto* date = std::get_if<double>(&values[i])) {
      (void)date;
      continue;
    } else {
      number = std::visit([](const auto& v) -> int64_t {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(v)>>) return static_cast<int64_t>(v);
        return 0;
      }, values[i]);
      shown = std::to_string(number);
    }
    const bool inside = std::any_of(limit->ranges.begin(), limit->ranges.end(),
                                    [&](const auto& r) { return number >= r.first && number <= r.second; });
    if (inside) continue;
    const std::string who = name == "newVal" ? member : member + ": " + name;
    if (limit->length) return who + ": " + shown + " is out of range (" + rangesText(limit->ranges, true) + ")";
    return (name == "newVal" ? member + ": " : member + ": " + name + " ") + shown + " is out of range (" +
           rangesText(limit->ranges, false) + ")";
  }
  return std::nullopt;
}

}  // namespace vx::cli
