// SPDX-License-Identifier: GPL-3.0-or-later
// What a session's view shows and the few session settings it reads.
#pragma once

#include <QString>

namespace wren {

class SessionDocument;

/// The view paints the document and reads these settings; it never writes the session. What the user does
/// in it (holding the view, clicking it) comes back as the view's signals.
class ViewModel
{
public:
    virtual ~ViewModel() = default;
    virtual SessionDocument &Document() = 0;
    /// The user holds the view: new text does not move it.
    virtual bool IsScrolledBack() const = 0;
    /// Web addresses in the text are underlined and can be clicked.
    virtual bool HighlightLinks() const = 0;
    /// A selection made with the mouse goes to the clipboard.
    virtual bool AutoCopy() const = 0;
    /// While the user reads back, a pane at the bottom keeps showing the newest text.
    virtual bool SplitWhenHeld() const { return true; }
    /// The world's name, which a screen reader gives the view ("Output of <name>").
    virtual QString WorldName() const { return {}; }
    /// New text is told to screen readers as it arrives.
    virtual bool AnnounceNewText() const { return true; }
    /// ... but only while the view is at its end, not while the user reads back.
    virtual bool AnnounceOnlyAtEnd() const { return false; }
};

} // namespace wren
