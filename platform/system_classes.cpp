// SPDX-License-Identifier: MIT
#include "platform/system_classes.h"

#include "platform/regexp/regexp.h"
#include "platform/scripthost/script_control.h"

namespace marrowtune {

void registerSystemClasses()
{
    // Each registration is idempotent on its own, so this may run any number of times.
    regexp::registerRegExpClass();
    scripthost::registerScriptControlClass();
}

} // namespace marrowtune
