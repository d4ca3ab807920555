// The members of the script object as a live server introspects them:
// properties (from the get_/put_ accessor pairs) and methods, with their
// argument names and D-Bus types. Nothing of the member table is copied
// here; the limits come from the server's own statement of them
// (MemberLimits, member_limits.cpp), since introspection carries none.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "values.h"

namespace vx::cli {

struct Argument {
  std::string name;
  char type = 's';
};

struct Property {
  std::string name;
  std::vector<Argument> indexes;  // from the getter, else from the putter
  char type = 's';
  bool readable = false;
  bool writable = false;
};

struct Method {
  std::string name;
  std::vector<Argument> arguments;
  std::optional<char> result;
};

class MemberCatalogue {
 public:
  // From the introspection XML of a script object: the methods of
  // `interfaceName`. Throws std::runtime_error when it holds none.
  static MemberCatalogue fromIntrospection(const std::string& xml, const std::string& interfaceName);

  const Property* property(const std::string& name) const;
  const Method* method(const std::string& name) const;
  const std::map<std::string, Property>& properties() const { return properties_; }
  const std::map<std::string, Method>& methods() const { return methods_; }

 private:
  std::map<std::string, Property> properties_;
  std::map<std::string, Method> methods_;
};

// What one argument of a member accepts, as the server states it.
struct ArgumentLimit {
  std::string argument;  // sNAM, sPosition; newVal for a property's value
  bool length = false;   // a text's length in characters, else a number
  std::vector<std::pair<int32_t, int32_t>> ranges;
};
using MemberLimits = std::map<std::string, std::vector<ArgumentLimit>>;

// "0 or 5..60", "9600, 19200, 38400, 57600 or 115200", "6 characters".
std::string rangesText(const std::vector<std::pair<int32_t, int32_t>>& ranges, bool length);
// A member's limits in one line: "sNAM 0..2; 0..3" (the value unnamed).
std::string limitsText(const std::vector<ArgumentLimit>& limits);
// Why the server refused these values, when one of them is outside its
// limits: "DeepSleepDuration: 3 is out of range (0 or 5..60)".
std::optional<std::string> whyRefused(const std::string& member, const std::vector<ArgumentLimit>& limits,
                                      const std::vector<Argument>& shape, const std::vector<BusValue>& values);

// The identity members in the order `info` shows them.
const std::vector<std::string>& identityMembers();

}  // namespace vx::cli
