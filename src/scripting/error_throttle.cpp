// SPDX-License-Identifier: GPL-3.0-or-later
// How often a script's errors reach the view: a few at a time per file, then one line saying the rest wait.
#include "scripting/error_throttle.h"

#include <QElapsedTimer>

namespace wren {

ErrorThrottle::ErrorThrottle(Clock clock)
    : m_clock(std::move(clock))
{
    if (!m_clock) {
        m_clock = [] {
            static QElapsedTimer timer;
            if (!timer.isValid())
                timer.start();
            return timer.elapsed();
        };
    }
}

QByteArray ErrorThrottle::Filter(const QByteArray &source, const QByteArray &report)
{
    const qint64 now = m_clock();
    Window &window = m_sources[source];
    QByteArray lead;
    if (window.Shown == 0 || now - window.Start >= WindowMs) {
        if (window.Held > 0)
            lead = QByteArray::number(window.Held) + (window.Held == 1 ? " error" : " errors") + " from " + source
                   + " not shown\n";
        window = {now, 0, 0};
    }
    ++window.Shown;
    if (window.Shown <= Burst)
        return lead + report;
    if (window.Shown == Burst + 1) {
        const qint64 seconds = (window.Start + WindowMs - now + 999) / 1000;
        window.Held = 1;
        return "Further errors from " + source + " suppressed for " + QByteArray::number(seconds) + " s";
    }
    ++window.Held;
    return {};
}

} // namespace wren
