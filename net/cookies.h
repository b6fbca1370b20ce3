// SPDX-License-Identifier: MIT
#pragma once
// Cookie lists: one text of name=value items separated by ";". Lists built here put "; "
// between items and nothing after the last one.

#include "net/text.h"

#include <vector>

namespace marrowtune {

/// Folds the cookies a response set (`received`) into the caller's list (`stored`): received
/// items come first, in order; a stored item stays unless an item of its name is already in the
/// list; items ending in "=deleted" are left out. Spaces are removed from both arguments in
/// place; `stored` becomes the merged list, and a copy of it is returned.
Text mergeCookies(Text& stored, Text& received);
/// The name of one item: the part before its first "=" (the whole item when it has none),
/// trimmed of spaces.
Text cookieName(const Text& item);
/// True when an item of `items` has exactly the name `name`.
bool cookieListHasName(const std::vector<Text>& items, const Text& name);

} // namespace marrowtune
