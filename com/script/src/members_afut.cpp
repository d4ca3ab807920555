#include "member_table.h"
namespace vx::script {
void addUiMembers(MemberRows&) {}
void addAfutMembers(MemberRows&) {}
}
