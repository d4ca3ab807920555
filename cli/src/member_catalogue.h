// The members of the script object as a live server introspects them:
// properties (from the get_/put_ accessor pairs) and methods, with their
// argument names and D-Bus types. Nothing of the member table is copied
// here; only the limits that `list` shows come from a table of this
// program (member_limits.cpp), since introspection carries none.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

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

// The limits of a property's value and indexes as text ("" when none are
// known), and the identity members in the order `info` shows them.
std::string memberLimits(const std::string& name);
const std::vector<std::string>& identityMembers();

}  // namespace vx::cli
