// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program keeps its files: per-world settings, the world list, downloaded media and logs.
#pragma once

#include <QString>

namespace wren {

/// The executable's folder when it is writable (portable use, the build folder) and not an installed copy
/// (one whose desktop entry is installed beside its bin folder); otherwise the per-user data folder
/// ($XDG_DATA_HOME/Wren Client, by default ~/.local/share/Wren Client). Decided once; the folder exists
/// when this returns.
QString ProgramFolder();

/// For tests and the benchmark: use @p folder from now on.
void SetProgramFolder(const QString &folder);

} // namespace wren
