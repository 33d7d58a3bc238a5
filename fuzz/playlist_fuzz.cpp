// SPDX-License-Identifier: GPL-3.0-or-later
// Playlists: any bytes as an ".m3u" or ".pls" file's songs.
#include "file_readers_fuzz.h"
#include "media/music_player.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = wren::fuzz::Bytes(data, size);
    const QStringList songs = wren::ParsePlaylist(bytes);
    Check(songs.size() <= bytes.count('\n') + 1, "at most a song a line");
    for (const QString &song : songs)
        wren::MusicPlayer::FilePart(song);
    return 0;
}
