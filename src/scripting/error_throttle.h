// SPDX-License-Identifier: GPL-3.0-or-later
// How often a script's errors reach the view: a few at a time per file, then one line saying the rest wait.
#pragma once

#include <QByteArray>
#include <QHash>

#include <functional>

namespace wren {

/// Rate limits error reports per script file. Within a window of WindowMs from a file's first report, the
/// first Burst reports are shown; the next one is replaced by a single notice ("further errors from
/// demo.lua suppressed for 5 s"), and the rest are counted, not shown. The first report after the window
/// is led by how many were left out. A callback that fails on every line of a flood then costs the view a
/// few lines a second, not one per line.
class ErrorThrottle
{
public:
    static constexpr int Burst = 3;
    static constexpr qint64 WindowMs = 5000;
    /// Milliseconds from any fixed start; the tests give their own.
    using Clock = std::function<qint64()>;

    explicit ErrorThrottle(Clock clock = {});

    /// What to show for a report from @p source: the report itself (possibly led by a line about the
    /// reports left out), the notice instead, or nothing (empty).
    QByteArray Filter(const QByteArray &source, const QByteArray &report);
    void Clear() { m_sources.clear(); }

private:
    struct Window {
        qint64 Start = 0;
        int Shown = 0;
        qint64 Held = 0;
    };
    Clock m_clock;
    QHash<QByteArray, Window> m_sources;
};

} // namespace wren
