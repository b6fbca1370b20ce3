// SPDX-License-Identifier: MIT
#pragma once
// The automation classes the system provides, registered once at start-up, in place of the
// platform's own class registrations.

namespace marrowtune {

/// Registers every built-in automation class ("VBScript.RegExp" and "ScriptControl" among
/// them); later calls do nothing. The program calls it where it initialises OLE; tests call it
/// before creating.
void registerSystemClasses();

} // namespace marrowtune
