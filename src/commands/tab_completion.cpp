// SPDX-License-Identifier: GPL-3.0-or-later
// Tab completion of a typed word from the session's completion words.
#include "commands/tab_completion.h"

#include <algorithm>

namespace wren {

QByteArray CompleteWord(const QList<QByteArray> &words, const QByteArray &prefix)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const QByteArray &word : words) {
        if (word.size() > prefix.size() && std::equal(prefix.begin(), prefix.end(), word.begin(), [&](char a, char b) {
                return lower(a) == lower(b);
            }))
            return word;
    }
    return prefix;
}

} // namespace wren
