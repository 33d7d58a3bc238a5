// SPDX-License-Identifier: GPL-3.0-or-later
// Moving automations in and out: comma-delimited text export, zMUD export import, and ".wns" import.
#include "automation/settings_exchange.h"

#include "automation/key_names.h"
#include "base/text_helpers.h"

namespace wren {

namespace {

bool IsSystem(const TAdvancedItem &item)
{
    return TrimBlanks(item.ItemClass) == "System";
}

QByteArray Quoted(const QByteArray &text)
{
    return '"' + text + '"';
}

QByteArray OnLoad(const TAdvancedItem &item)
{
    return item.EnableOnLoad ? "-1" : "0";
}

QList<QByteArray> Lines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

} // namespace

QByteArray ModifierWords(std::uint8_t shift)
{
    QList<QByteArray> words;
    if (shift & 2)
        words.append("Alt");
    if (shift & 4)
        words.append("Ctrl");
    if (shift & 1)
        words.append("Shift");
    return words.join(' ');
}

QByteArray ExportTextBytes(const AutomationStore &store)
{
    QByteArray out = ";Advanced settings, exported by Wren Client\r\n";
    const auto named = [&out](const QList<TAdvancedItem> &items) {
        for (const TAdvancedItem &item : items)
            out += item.Kind + ',' + item.ItemClass + ',' + Quoted(item.Name) + ',' + Quoted(TrimBlanks(item.Command))
                   + ',' + OnLoad(item) + "\r\n";
    };
    const auto typed = [&out](const QList<TAdvancedItem> &items) {
        for (const TAdvancedItem &item : items) {
            if (IsSystem(item))
                continue;
            out += item.Kind + ',' + item.ItemClass + ',' + Quoted(item.Name) + ',' + QByteArray::number(item.Number)
                   + ',' + Quoted(TrimBlanks(item.Command)) + ',' + OnLoad(item) + "\r\n";
        }
    };
    out += ";Aliases : type, class, name, command, enableonload\r\n";
    named(store.Aliases());
    out += ";Macros : type, class, key, shift, command, enableonload\r\n";
    for (const TAdvancedItem &item : store.Macros())
        out += item.Kind + ',' + item.ItemClass + ',' + QByteArray::number(item.Number) + ','
               + ModifierWords(item.Shift) + ',' + Quoted(TrimBlanks(item.Command)) + ',' + OnLoad(item) + "\r\n";
    out += ";Events : type, class, name, command, enableonload\r\n";
    named(store.Events());
    out += ";Triggers : type, class, name, trigger type, command, enableonload\r\n";
    typed(store.Triggers());
    out += ";Variables : type, class, name, variable type, command, enableonload\r\n";
    typed(store.Variables());
    return out;
}

QList<QByteArray> BraceTokens(const QByteArray &line)
{
    QList<QByteArray> tokens;
    QByteArray current;
    bool inBrace = false;
    for (const char c : line) {
        if (inBrace) {
            if (c == '}') {
                tokens.append(current);
                current.clear();
                inBrace = false;
            } else {
                current += c;
            }
        } else if (c == ' ') {
            if (!current.isEmpty())
                tokens.append(current);
            current.clear();
        } else if (c == '{') {
            current.clear(); // what came since the last boundary is dropped
            inBrace = true;
        } else {
            current += c;
        }
    }
    if (inBrace || !current.isEmpty())
        tokens.append(current);
    return tokens;
}

int ImportZMudBytes(const QByteArray &bytes, AutomationStore &store, const QByteArray &pathChar)
{
    const QByteArray trimmedPath = TrimBlanks(pathChar);
    const QByteArray path = trimmedPath.isEmpty() ? QByteArray(".") : trimmedPath;
    int taken = 0;
    for (const QByteArray &line : Lines(bytes)) {
        const QList<QByteArray> t = BraceTokens(line);
        if (t.size() < 3)
            continue; // an action needs a name and a value
        bool added = false;
        if (t[0] == "#ALIAS")
            added = store.AddAlias(t[1], t[2], "Main");
        else if (t[0] == "#KEY")
            added = store.AddMacro(t[1], KeyNameToCode(t[1]), "Main", t[2], 0);
        else if (t[0] == "#PATH")
            added = store.AddAlias(t[1], path + t[2], "Main");
        else if (t[0] == "#TRIGGER")
            added = store.AddTrigger(t[1], t[2], "Main", 1);
        taken += added ? 1 : 0;
    }
    return taken;
}

// The old file's fields in the order it holds them.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
int ImportWnsBytes(const QByteArray &bytes, AutomationStore &store)
{
    int taken = 0;
    enum class Section { None, Aliases, Macros, Triggers, Dropped };
    Section section = Section::None;
    for (const QByteArray &line : Lines(bytes)) {
        if (line.isEmpty())
            continue;
        if (line == "[Aliases]" || line == "[Macros]" || line == "[Triggers]" || line == "[Events]" || line == "[Vars]"
            || line == "[Menu]") {
            section = line == "[Aliases]"    ? Section::Aliases
                      : line == "[Macros]"   ? Section::Macros
                      : line == "[Triggers]" ? Section::Triggers
                                             : Section::Dropped;
            continue;
        }
        if (section == Section::None || section == Section::Dropped)
            continue;
        // Each field is followed by the separator; text after the last one is no field.
        QList<QByteArray> fields;
        for (qsizetype at = 0;;) {
            const qsizetype end = line.indexOf(QByteArrayView(WnsSeparator, 3), at);
            if (end < 0)
                break;
            fields.append(line.mid(at, end - at));
            at = end + 3;
        }
        const auto field = [&fields](int i) { return i < fields.size() ? fields[i] : QByteArray(); };
        const QByteArray itemClass = field(0).isEmpty() ? QByteArray("Main") : field(0);
        if (section == Section::Aliases) {
            taken += store.AddAlias(field(5), field(1), itemClass) ? 1 : 0;
        } else if (section == Section::Macros) {
            const int modifiers = field(6).toInt();
            std::uint8_t shift = 0;
            if (modifiers & 1)
                shift |= 1; // Shift
            if (modifiers & 2)
                shift |= 4; // Ctrl
            if (modifiers & 4)
                shift |= 2; // Alt
            taken += store.AddMacro(field(5), KeyNameToCode(field(5)), itemClass, field(1), shift) ? 1 : 0;
        } else {
            taken += store.AddTrigger(field(1), field(2), itemClass, field(3).toInt()) ? 1 : 0;
        }
    }
    return taken;
}

} // namespace wren
