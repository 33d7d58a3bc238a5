// SPDX-License-Identifier: GPL-3.0-or-later
// What the options dialog sees of a session: its options record and its world's own switches.
#pragma once

#include "config/world_features.h"
#include "options/session_options.h"

#include <QString>

namespace wren {

/// The options dialog reads and changes one session through this face; it never sees the session itself.
class OptionsFace
{
public:
    virtual ~OptionsFace() = default;
    /// The record every control writes at once.
    virtual TSessionOptions &SessionOptions() = 0;
    /// The world's switches as the session holds them.
    virtual const WorldFeatures &SessionFeatures() const = 0;
    /// Changes one switch: the session's copy, and that key alone in the settings file (another session
    /// of the same world may have changed others meanwhile).
    virtual void SetFeature(const QString &key, bool on) = 0;
    /// The options that take effect at once: the view's background and fonts.
    virtual void ApplyViewOptions() = 0;
    /// The view's background from now on; what an ANSI reset returns to stays the session's.
    virtual void ShowBackground(Colour colour) = 0;
    /// Asks the view to draw again with changed settings.
    virtual void Restyle() = 0;
    virtual bool SaveOptions() = 0;
};

} // namespace wren
