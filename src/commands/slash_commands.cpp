// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own commands, typed after the command character.
#include "commands/slash_commands.h"

#include "session/text_helpers.h"

#include <QList>

#include <climits>

namespace wren {

long long LeadingInteger(const QByteArray &word)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-'))
        negative = word[i++] == '-';
    int base = 10;
    if (i < word.size() && word[i] == '$') {
        base = 16, ++i;
    } else if (i < word.size() && (word[i] == 'x' || word[i] == 'X')) {
        base = 16, ++i;
    } else if (i + 1 < word.size() && word[i] == '0' && (word[i + 1] == 'x' || word[i + 1] == 'X')) {
        base = 16, i += 2;
    }
    long long value = 0;
    for (; i < word.size(); ++i) {
        const char c = word[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * base + digit;
        if (value > INT_MAX)
            value = INT_MAX; // held: anything this large is refused by the repeat bound anyway
    }
    return negative ? -value : value;
}

bool DispatchSlashCommand(SlashHost &host, const QByteArray &text)
{
    const QList<QByteArray> words = SplitText(text, ' ');
    if (words.isEmpty())
        return false;
    const QByteArray name = words.front().toUpper();
    const qsizetype space = text.indexOf(' ');
    const QByteArray args = space >= 0 ? text.mid(space + 1) : QByteArray();
    const qsizetype argWords = words.size() - 1;

    if (name == "ALL") {
        host.ProcessInAllSessions(args);
    } else if (name == "PAUSE" || name == "P") {
        host.TogglePause();
        host.ScrollToEnd();
    } else if (name == "ECHO") {
        host.Echo(args);
        host.EndFont();
    } else if (name == "SET") {
        host.SetColor("SILVER", 0);
        if (argWords < 1) {
            host.WriteText("Invalid parameters.  Expected: SET varname value\n");
        } else {
            const qsizetype valueAt = args.indexOf(' ');
            host.SetVariable("@" + words[1], valueAt >= 0 ? args.mid(valueAt + 1) : QByteArray());
        }
        host.EndFont();
    } else if (name == "SAVE") {
        host.SaveAll();
        host.WriteText("\nAll settings saved\n");
        host.ScrollToEnd();
    } else if (name == "LOCALECHO") {
        host.WriteText(host.ToggleLocalEcho() ? "\nLocal echo is now on\n" : "\nLocal echo is now off\n");
        host.ScrollToEnd();
    } else if (name == "CT" || name == "CLEARTEXT") {
        host.ClearText();
    } else if (name == "TOGGLE" || name == "ON" || name == "OFF") {
        if (argWords == 1 || argWords == 2)
            host.SetClassState(name == "ON", argWords == 2 ? words[2] : QByteArray(), name == "TOGGLE", words[1]);
    } else {
        const long long count = LeadingInteger(words.front());
        if (count <= 0)
            return false;
        if (count > MaxRepeatCount) {
            host.SetColor("SILVER", 0);
            host.WriteText("Repeat count " + QByteArray::number(count) + " is too large; the most is "
                           + QByteArray::number(MaxRepeatCount) + ".\n");
            host.EndFont();
            return true;
        }
        for (long long i = 0; i < count; ++i)
            host.ProcessCommand(args);
    }
    return true;
}

} // namespace wren
