// SPDX-License-Identifier: MIT
#pragma once
// The "ScriptControl" automation class: a script host with the members Language, Timeout,
// Error, Eval, ExecuteStatement, Run, Reset and AddCode. Language "JScript" runs on the Duktape
// engine; "VBScript" is accepted, but this host has no VBScript engine, so every run then fails
// with an error that says so.

#include <string_view>

namespace marrowtune::scripthost {

/// The class's program identifier and class identifier.
inline constexpr std::string_view ScriptControlProgId = "ScriptControl";
inline constexpr std::string_view ScriptControlClassId = "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}";

/// Registers "ScriptControl" with the automation class registry; later calls do nothing.
void registerScriptControlClass();

} // namespace marrowtune::scripthost
