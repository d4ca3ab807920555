#include "member_table.h"
