// SPDX-License-Identifier: MIT
#pragma once
// The "VBScript.RegExp" automation class: Pattern, IgnoreCase, Global, Multiline, Execute,
// Replace and Test, with its match collection, matches and sub-match collections, matching with
// JScript's rules over UTF-16 code units.

namespace marrowtune::regexp {

/// The class's program identifier.
inline constexpr char RegExpProgId[] = "VBScript.RegExp";
/// The class's identifier in braces.
inline constexpr char RegExpClassId[] = "{3F4DACA4-160D-11D2-A8E9-00104B365C9F}";

/// Registers the class with the automation stand-in; later calls do nothing.
void registerRegExpClass();

} // namespace marrowtune::regexp
