// SPDX-License-Identifier: MIT
#pragma once
// A match collection whose capture groups can be read in place: the program's own fast path
// beside the late-bound Item/SubMatches reads, for callers that read every group of every match.

#include <cstddef>
#include <optional>
#include <string_view>

namespace marrowtune::com {

/// The capture groups of a collection's matches, read without an automation call per field.
class GroupTexts {
public:
    virtual ~GroupTexts() = default;
    /// Number of matches in the collection.
    virtual std::size_t matchCount() const = 0;
    /// Group `group` (0-based) of match `match` (0-based); nothing when either index is out of
    /// range or the group took no part in the match. The view lives as long as the collection.
    virtual std::optional<std::u16string_view> groupText(std::size_t match,
                                                         std::size_t group) const = 0;
};

} // namespace marrowtune::com
