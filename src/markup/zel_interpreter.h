// SPDX-License-Identifier: GPL-3.0-or-later
// Runs one markup tag: styles, fonts, colours, alignment, links, pictures, sounds, line breaks, clearing.
#pragma once

#include "base/text_attributes.h"
#include "options/session_options.h"

#include <QByteArray>
#include <QList>
#include <QPair>

namespace wren {

/// A tag as parsed: its name in upper case, its attributes in the order written (names as written, values
/// with their case), and the trimmed text as received, which an unknown tag is shown as.
struct ZelTag {
    QByteArray Name;
    QList<QPair<QByteArray, QByteArray>> Attributes;
    QByteArray Trimmed;

    /// The values of every attribute named @p name or @p shortName (compared without case), in order.
    QList<QByteArray> Values(const char *name, const char *shortName = nullptr) const;
};

/// Parses the text between "<" and ">". An unquoted value ends at a blank; a quoted one at the next quote;
/// a blank right after "=" gives an empty value and makes the words after it the next attribute's name;
/// text without "=" gives no attribute. Quotes cannot be escaped.
ZelTag ParseZelTag(const QByteArray &tag);

/// What a tag acts on: the session's options, its view's insertion point and background, and its media.
class TagHost
{
public:
    virtual ~TagHost() = default;
    virtual TSessionOptions &TagOptions() = 0;
    virtual void WriteText(QByteArrayView text) = 0;
    virtual void SetColor(const QByteArray &name, int target) = 0;
    /// Adds or removes style bits at the insertion point.
    virtual void SetStyle(std::uint8_t bits, bool on) = 0;
    virtual void SetAlignment(Alignment alignment) = 0;
    /// The whole view's background back to the session's default one.
    virtual void RestoreBackground() = 0;
    /// Empties the view, text and pictures.
    virtual void ClearView() = 0;
    virtual void LoadZelImage(const QByteArray &source) = 0;
    virtual void PlayZelAudio(const QByteArray &source) = 0;
    virtual QByteArray LocalAddress() const = 0;
    virtual QByteArray &LinkTarget() = 0;
    virtual QByteArray &BaseUrl() = 0;
};

/// Runs one tag (the text between "<" and ">"). Unknown tags, and the empty tag, are written back as
/// "<" + the trimmed text + ">".
void InterpretZelTag(TagHost &host, const QByteArray &tag);

/// True when @p text starts with "http://" (lower case), holds a "." from its seventh character on, and is
/// longer than eight characters.
bool IsWebAddress(const QByteArray &text);

} // namespace wren
