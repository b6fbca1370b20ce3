// SPDX-License-Identifier: MIT
#include "automation/automation_object.h"
#include "platform/system_classes.h"

namespace marrowtune {

void registerObjectClasses()
{
    registerSystemClasses();
}

} // namespace marrowtune
