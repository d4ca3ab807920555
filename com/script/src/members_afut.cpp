#include "member_table.h"
namespace vx::script {
void addTerrestrialMembers(MemberRows&) {}
void addUiMembers(MemberRows&) {}
void addAfutMembers(MemberRows&) {}
}
