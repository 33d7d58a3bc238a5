// SPDX-License-Identifier: GPL-3.0-or-later
// A map as a JSON file a player can keep, share or edit (docs/map-format.md), and back.
#pragma once

#include <QByteArray>
#include <QString>

namespace wren {

class MapModel;

inline constexpr int MapJsonVersion = 1;
/// Larger files are refused before they are parsed.
inline constexpr qsizetype MaxMapJsonBytes = qsizetype(256) * 1024 * 1024;

/// Every seen room with its exits, place, flags, and the player's room, as indented JSON.
QByteArray ExportMapJson(const MapModel &model);

/// Reads a map exported by ExportMapJson (or written by hand) into @p into, replacing what it holds. A file
/// that is not JSON, not a map, from a newer version, or holds a room that cannot be read is refused whole with
/// @p message saying why, and @p into is left as it was.
bool ImportMapJson(const QByteArray &json, MapModel &into, QString *message = nullptr);

} // namespace wren
