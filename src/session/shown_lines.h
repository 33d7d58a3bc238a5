// SPDX-License-Identifier: GPL-3.0-or-later
// A narrow listener for the lines a session shows, such as the speech that reads them aloud.
#pragma once

#include <QByteArray>

namespace wren {

/// Sees each line of shown text once it is complete (a line end, a prompt, the end of a block), as the
/// line triggers see it. The pipeline asks for every piece of text whether lines are wanted, so that is a
/// flag the sink points at (a world's switch), read without a call.
class ShownLineSink
{
public:
    explicit ShownLineSink(const bool &wanted)
        : m_wanted(wanted)
    {
    }
    virtual ~ShownLineSink() = default;
    bool Wanted() const { return m_wanted; }
    virtual void LineShown(const QByteArray &line) = 0;

private:
    const bool &m_wanted;
};

} // namespace wren
