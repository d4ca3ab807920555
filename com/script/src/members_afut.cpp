#include "member_table.h"
namespace vx::script {
void addAfutMembers(MemberRows&) {}
}
