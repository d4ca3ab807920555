// Everything of libvxcom: the minimal COM the suite's components use.
#pragma once

#include "vx/com/bstr.h"
#include "vx/com/class_factory.h"
#include "vx/com/com_ptr.h"
#include "vx/com/date.h"
#include "vx/com/guid.h"
#include "vx/com/no_throw.h"
#include "vx/com/object.h"
#include "vx/com/runtime.h"
#include "vx/com/strings.h"
#include "vx/com/task_memory.h"
#include "vx/com/types.h"
#include "vx/com/unknown.h"
