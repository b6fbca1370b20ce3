#include "search/song_record.h"

#include "search/search_view.h"

namespace marrowtune {

void appendSongRecord(SearchView& view, const SongRecord& record)
{
    const int row = view.insertRow();
    view.setCellText(row, SongNameColumn, record.songName);
    view.setCellText(row, SingerColumn, record.singer);
    if (record.album) {
        view.setCellText(row, AlbumColumn, *record.album);
    }
    view.setCellText(row, LinkColumn, record.link);
}

void appendMessageRow(SearchView& view, std::string_view message)
{
    const int row = view.insertRow();
    view.setCellText(row, SongNameColumn, Text(message));
}

} // namespace marrowtune
// SPDX-License-Identifier: MIT
