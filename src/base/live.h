// SPDX-License-Identifier: GPL-3.0-or-later
// Run this with the live session, or not at all: for code that waits in a nested event loop.
#pragma once

#include <functional>
#include <utility>

namespace wren {

/// What a dialog or a question works on may be closed while it waits (a modal dialog, a question, a wait
/// for a socket all run the event loop). A Live looks its object up afresh every time, and work given to
/// it runs only while the object is there; after any nested event loop, reach the object through it again
/// rather than through a pointer taken before.
template <typename T>
class Live
{
public:
    using Lookup = std::function<T *()>;

    Live() = default;
    explicit Live(Lookup lookup)
        : m_lookup(std::move(lookup))
    {
    }

    /// The object now, or null when it is gone (or closing).
    T *Get() const { return m_lookup ? m_lookup() : nullptr; }
    explicit operator bool() const { return Get() != nullptr; }

    /// Runs @p work with the object when it is there; false when it is not.
    template <typename Work>
    bool Run(Work &&work) const
    {
        T *object = Get();
        if (!object)
            return false;
        std::forward<Work>(work)(*object);
        return true;
    }

private:
    Lookup m_lookup;
};

} // namespace wren
