// SPDX-License-Identifier: GPL-3.0-or-later
// Runs one markup tag: styles, fonts, colours, alignment, links, pictures, sounds, line breaks, clearing.
#include "markup/zel_interpreter.h"

#include "base/text_helpers.h"

namespace wren {

QList<QByteArray> ZelTag::Values(const char *name, const char *shortName) const
{
    QList<QByteArray> values;
    for (const auto &[attribute, value] : Attributes) {
        const QByteArray upper = attribute.toUpper();
        if (upper == name || (shortName && upper == shortName))
            values.append(value);
    }
    return values;
}

ZelTag ParseZelTag(const QByteArray &tag)
{
    ZelTag parsed;
    parsed.Trimmed = TrimBlanks(tag);
    parsed.Name = TrimBlanks(FirstToken(parsed.Trimmed.toUpper(), " "));
    QByteArray rest = parsed.Trimmed.mid(parsed.Name.size() + 1);
    while (rest.contains('=')) {
        const qsizetype equals = rest.indexOf('=');
        const QByteArray name = TrimBlanks(rest.left(equals));
        rest.remove(0, equals + 1);
        char endMark = ' ';
        if (rest.startsWith('"')) {
            rest.remove(0, 1);
            endMark = '"';
        }
        const qsizetype end = rest.indexOf(endMark);
        if (end < 0) {
            parsed.Attributes.append({name, TrimLeadingBlanks(rest)});
            break;
        }
        parsed.Attributes.append({name, TrimLeadingBlanks(rest.left(end))});
        rest.remove(0, end + 1);
    }
    return parsed;
}

bool IsWebAddress(const QByteArray &text)
{
    return text.startsWith("http://") && text.indexOf('.', 6) >= 0 && text.size() > 8;
}

namespace {

void Font(TagHost &host, const ZelTag &tag)
{
    TSessionOptions &o = host.TagOptions();
    if (!o.AllowFontChanges)
        return;
    for (const auto &[attribute, value] : tag.Attributes) {
        const QByteArray name = attribute.toUpper();
        if (name == "FACE" || name == "F") {
            o.CurFontName = value.left(40);
        } else if (name == "SIZE" || name == "S") {
            // A size that is not a decimal number is left out, like any other unusable attribute.
            bool ok = false;
            const int size = value.toInt(&ok, 10);
            if (ok)
                o.CurFontSize = size;
        } else if (name == "COLOR" || name == "C") {
            host.SetColor(value, 0);
        }
    }
}

void EndFont(TagHost &host)
{
    TSessionOptions &o = host.TagOptions();
    o.CurFontName = TrimBlanks(o.FontName);
    o.CurFontSize = o.FontSize;
    o.CurTextColor = o.TextColor;
}

void Link(TagHost &host, const ZelTag &tag)
{
    const QList<QByteArray> targets = tag.Values("HREF");
    host.LinkTarget() = targets.isEmpty() ? QByteArray() : targets.back();
}

void EndLink(TagHost &host)
{
    if (host.LinkTarget().isEmpty())
        return;
    InterpretZelTag(host, "F COLOR=blue");
    host.WriteText(" " + host.LinkTarget() + " ");
    InterpretZelTag(host, "/F");
    host.LinkTarget().clear();
}

} // namespace

void InterpretZelTag(TagHost &host, const QByteArray &text)
{
    const ZelTag tag = ParseZelTag(text);
    const QByteArray &n = tag.Name;
    const auto is = [&n](std::initializer_list<const char *> names) {
        for (const char *name : names) {
            if (n == name)
                return true;
        }
        return false;
    };
    if (is({"B", "BOLD"}) || is({"/B", "/BOLD"})) {
        host.SetStyle(Bold, !n.startsWith('/'));
    } else if (is({"I", "ITALIC"}) || is({"/I", "/ITALIC"})) {
        host.SetStyle(Italic, !n.startsWith('/'));
    } else if (is({"U", "UNDERLINE"}) || is({"/U", "/UNDERLINE"})) {
        host.SetStyle(Underline, !n.startsWith('/'));
    } else if (is({"S", "STRIKETHRU"}) || is({"/S", "/STRIKETHRU"})) {
        host.SetStyle(StrikeOut, !n.startsWith('/'));
    } else if (is({"F", "FONT"})) {
        Font(host, tag);
    } else if (is({"/F", "/FONT"})) {
        EndFont(host);
    } else if (n == "BACK") {
        for (const QByteArray &colour : tag.Values("COLOR", "C"))
            host.SetColor(colour, 1);
    } else if (n == "/BACK") {
        host.RestoreBackground();
    } else if (n == "A") {
        Link(host, tag);
    } else if (n == "/A") {
        EndLink(host);
    } else if (is({"IMG", "IMAGE"})) {
        if (host.TagOptions().AllowImages) {
            for (const QByteArray &source : tag.Values("SRC"))
                host.LoadZelImage(source);
        }
    } else if (n == "BASE") {
        for (const QByteArray &address : tag.Values("URL")) {
            if (IsWebAddress(address))
                host.BaseUrl() = address;
        }
    } else if (is({"AUDIO", "AU"})) {
        for (const QByteArray &file : tag.Values("FILE")) {
            if (!file.isEmpty())
                host.PlayZelAudio(file);
        }
    } else if (is({"RIGHT", "R"})) {
        host.SetAlignment(Alignment::Right);
    } else if (is({"CENTER", "C"})) {
        host.SetAlignment(Alignment::Center);
    } else if (is({"LEFT", "/C", "/RIGHT", "/CENTER"})) {
        host.SetAlignment(Alignment::Left);
    } else if (n == "BR") {
        host.WriteText("\n");
    } else if (is({"CT", "CLEARTEXT"})) {
        host.ClearView();
    } else if (n == "IP") {
        host.WriteText(host.LocalAddress());
    } else {
        host.WriteText("<" + tag.Trimmed + ">");
    }
}

} // namespace wren
