// SPDX-License-Identifier: MIT
#pragma once
// The program's skin library replaced by one that records what reaches it, so the start-up and
// 换肤 tests see the calls without loading the library.

#include "app/skin/skin_themes.h"

#include <QTemporaryDir>

#include <string>
#include <vector>

namespace marrowtune::test {

/// While it lives, the program's skin calls are recorded instead of reaching the library, and
/// the theme sequence starts from its beginning; both are restored when it goes. It owns a
/// temporary folder, so it is neither copied nor moved.
class RecordingSkin {
public:
    RecordingSkin();
    ~RecordingSkin();

    /// The calls so far, oldest first: "theme N" (the theme whose bytes were attached) or
    /// "aero N", each followed by "/shown" or "/hidden" for the main window at that moment.
    const std::vector<std::string>& calls() const;

private:
    QTemporaryDir m_directory;
    skin::SkinController m_savedSkin;
    skin::ThemeSequence m_savedSequence;
};

} // namespace marrowtune::test
