// SPDX-License-Identifier: MIT
#include "platform/system_classes.h"

namespace marrowtune {

void registerSystemClasses()
{
    // Windows registers "VBScript.RegExp" and "ScriptControl" itself; createObject reaches
    // them through the system's class registry.
}

} // namespace marrowtune
