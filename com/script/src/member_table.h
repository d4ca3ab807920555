// The members of the script object as rows: the D-Bus method name, its
// argument signature and names, its result type, and the function that
// does it. The D-Bus layer registers every row as it stands; the rows of
// each settings family sit in a file of their own (members_*.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "script_object.h"

namespace vx::script {

// One argument or result: long (i), short (n), unsigned char (y), DATE (d)
// or BSTR (s).
using Value = std::variant<std::monostate, int32_t, int16_t, uint8_t, double, std::u16string>;

// The arguments of a call, already checked against the row's signature.
class Args {
 public:
  Args() = default;
  explicit Args(std::vector<Value> values) : values_(std::move(values)) {}
  int32_t i32(std::size_t at) const;  // any integer argument, widened
  std::u16string_view text(std::size_t at) const;
  double date(std::size_t at) const;
  std::size_t size() const { return values_.size(); }

 private:
  std::vector<Value> values_;
};

using Handler = HRESULT (*)(ScriptObject& object, const Args& args, Value& result);
// For members that may answer later (Connect); `reply` is called once.
using Reply = std::function<void(HRESULT, Value)>;
using AsyncHandler = void (*)(ScriptObject& object, const Args& args, Reply reply);

struct Member {
  std::string name;       // the D-Bus method name: Connect, get_ESN, put_Banner
  std::string signature;  // argument types, in order
  std::string argNames;   // comma-separated argument names
  std::string result;     // result type ("" for none)
  Handler handler = nullptr;
  AsyncHandler asyncHandler = nullptr;
};

using MemberRows = std::vector<Member>;

// The row's argument names, one per argument.
std::vector<std::string> argumentNames(const Member& member);

// A property as its accessor pair: get_<name>(index) -> type and
// put_<name>(index, newVal). Either handler may be null (read-only or
// write-only).
void addProperty(MemberRows& rows, std::string_view name, std::string_view indexSignature,
                 std::string_view indexNames, char type, Handler get, Handler put);
void addMethod(MemberRows& rows, std::string_view name, std::string_view signature, std::string_view argNames,
               std::string_view result, Handler handler);

// The rows of each family, in the object's slot order.
void addFrameMembers(MemberRows& rows);
void addIdentityMembers(MemberRows& rows);
void addGeneralMembers(MemberRows& rows);
void addOrbitnetMembers(MemberRows& rows);
void addTerrestrialMembers(MemberRows& rows);
void addUiMembers(MemberRows& rows);
void addAfutMembers(MemberRows& rows);

// Every member, once.
const MemberRows& scriptMembers();

}  // namespace vx::script
