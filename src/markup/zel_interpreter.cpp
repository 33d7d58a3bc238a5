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

// One row per tag name: what the tag does. Names are compared exactly (the parser gives them upper case).
struct TagRow {
    const char *Name;
    void (*Run)(TagHost &host, const ZelTag &tag);
};

void BoldStyle(TagHost &host, const ZelTag &tag)
{
    host.SetStyle(Bold, !tag.Name.startsWith('/'));
}
void ItalicStyle(TagHost &host, const ZelTag &tag)
{
    host.SetStyle(Italic, !tag.Name.startsWith('/'));
}
void UnderlineStyle(TagHost &host, const ZelTag &tag)
{
    host.SetStyle(Underline, !tag.Name.startsWith('/'));
}
void StrikeStyle(TagHost &host, const ZelTag &tag)
{
    host.SetStyle(StrikeOut, !tag.Name.startsWith('/'));
}

void Back(TagHost &host, const ZelTag &tag)
{
    for (const QByteArray &colour : tag.Values("COLOR", "C"))
        host.SetColor(colour, 1);
}

void Image(TagHost &host, const ZelTag &tag)
{
    if (!host.TagOptions().AllowImages)
        return;
    for (const QByteArray &source : tag.Values("SRC"))
        host.LoadZelImage(source);
}

void Base(TagHost &host, const ZelTag &tag)
{
    for (const QByteArray &address : tag.Values("URL")) {
        if (IsWebAddress(address))
            host.BaseUrl() = address;
    }
}

void Audio(TagHost &host, const ZelTag &tag)
{
    for (const QByteArray &file : tag.Values("FILE")) {
        if (!file.isEmpty())
            host.PlayZelAudio(file);
    }
}

const TagRow TagRows[] = {
    {"B", BoldStyle},
    {"BOLD", BoldStyle},
    {"/B", BoldStyle},
    {"/BOLD", BoldStyle},
    {"I", ItalicStyle},
    {"ITALIC", ItalicStyle},
    {"/I", ItalicStyle},
    {"/ITALIC", ItalicStyle},
    {"U", UnderlineStyle},
    {"UNDERLINE", UnderlineStyle},
    {"/U", UnderlineStyle},
    {"/UNDERLINE", UnderlineStyle},
    {"S", StrikeStyle},
    {"STRIKETHRU", StrikeStyle},
    {"/S", StrikeStyle},
    {"/STRIKETHRU", StrikeStyle},
    {"F", Font},
    {"FONT", Font},
    {"/F", [](TagHost &host, const ZelTag &) { EndFont(host); }},
    {"/FONT", [](TagHost &host, const ZelTag &) { EndFont(host); }},
    {"BACK", Back},
    {"/BACK", [](TagHost &host, const ZelTag &) { host.RestoreBackground(); }},
    {"A", Link},
    {"/A", [](TagHost &host, const ZelTag &) { EndLink(host); }},
    {"IMG", Image},
    {"IMAGE", Image},
    {"BASE", Base},
    {"AUDIO", Audio},
    {"AU", Audio},
    {"RIGHT", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Right); }},
    {"R", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Right); }},
    {"CENTER", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Center); }},
    {"C", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Center); }},
    {"LEFT", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Left); }},
    {"/C", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Left); }},
    {"/RIGHT", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Left); }},
    {"/CENTER", [](TagHost &host, const ZelTag &) { host.SetAlignment(Alignment::Left); }},
    {"BR", [](TagHost &host, const ZelTag &) { host.WriteText("\n"); }},
    {"CT", [](TagHost &host, const ZelTag &) { host.ClearView(); }},
    {"CLEARTEXT", [](TagHost &host, const ZelTag &) { host.ClearView(); }},
    {"IP", [](TagHost &host, const ZelTag &) { host.WriteText(host.LocalAddress()); }},
};

} // namespace

// A tag the client does not know is shown as it came, between its brackets.
void InterpretZelTag(TagHost &host, const QByteArray &text)
{
    const ZelTag tag = ParseZelTag(text);
    for (const TagRow &row : TagRows) {
        if (tag.Name == row.Name) {
            row.Run(host, tag);
            return;
        }
    }
    host.WriteText("<" + tag.Trimmed + ">");
}

} // namespace wren
