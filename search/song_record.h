// SPDX-License-Identifier: MIT
#pragma once
// The rows of the result list `超级列表框1` and the rules by which the searches write them.

#include "base/text.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace marrowtune {

class SearchView;

/// Columns of the result list, counted from 0.
inline constexpr int SongNameColumn = 0;
inline constexpr int SingerColumn = 1;
inline constexpr int AlbumColumn = 2;
inline constexpr int LinkColumn = 3;
/// How many columns the result list has.
inline constexpr int ColumnCount = 4;

/// One row of the result list. A Zone lookup has no album: its column 2 is left unset.
struct SongRecord {
    Text songName;
    Text singer;
    std::optional<Text> album;
    Text link;
};

/// Inserts a row at the end and sets its cells in column order, skipping an unset album.
void appendSongRecord(SearchView& view, const SongRecord& record);
/// Lists one row per match of a service answer. `fields` holds `fieldCount` texts per match:
/// song name, singer, the album when there are four, and the link last. The links are shown
/// as `linkForms` gives them, asked once for all of them before the first row is listed.
void appendSongRows(SearchView& view, std::vector<Text> fields, std::size_t fieldCount,
                    const std::function<std::vector<Text>(const std::vector<Text>&)>& linkForms);
/// Inserts a row at the end whose column 0 holds `message`.
void appendMessageRow(SearchView& view, std::string_view message);

} // namespace marrowtune
