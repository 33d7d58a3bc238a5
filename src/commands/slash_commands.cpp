// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own commands, typed after the command character.
#include "commands/slash_commands.h"

#include "base/text_helpers.h"

#include <QList>

#include <algorithm>
#include <climits>

namespace wren {

long long LeadingInteger(const QByteArray &word)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-'))
        negative = word[i++] == '-';
    int base = 10;
    if (i < word.size() && (word[i] == '$' || word[i] == 'x' || word[i] == 'X')) {
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
            value = INT_MAX; // held: a repeat that large is ended by the work budget anyway
    }
    return negative ? -value : value;
}

namespace {

/// One slash command's call: its session, the program around it, its words and the text after its name.
struct SlashCall {
    SessionHost &Session;
    WorkspaceHost &Workspace;
    const QList<QByteArray> &Words; ///< the name first
    const QByteArray &Args;
    qsizetype ArgWords() const { return Words.size() - 1; }
};

void All(SlashCall &c)
{
    c.Workspace.ProcessInAllSessions(c.Args);
}

void Pause(SlashCall &c)
{
    c.Session.TogglePause();
    c.Session.ScrollToEnd();
}

void Run(SlashCall &c)
{
    c.Workspace.Run(c.Args);
}

void Play(SlashCall &c)
{
    if (c.ArgWords() >= 1)
        c.Session.PlayZelAudio(c.Args);
    else
        c.Workspace.PlaySound({});
}

// GET feeds the page through the incoming pipeline. A failed request is reported in a message box and ends
// the rest of the command; the text being received when a trigger ran it goes on as usual.
void Get(SlashCall &c)
{
    if (c.ArgWords() != 1) {
        c.Session.WriteText("Invalid parameters.  Expected: GET url\n");
        c.Session.EndFont();
        return;
    }
    const HttpResult result = c.Session.HttpGet(c.Words[1]);
    if (!result.Ok) {
        c.Session.ReportFailure(result.Error);
        c.Session.StopCommand();
        return;
    }
    c.Session.HandleFetchedText(result.Body);
    c.Session.EndFont();
}

void Hit(SlashCall &c)
{
    c.Session.SetColor("SILVER", 0);
    if (c.ArgWords() != 1) {
        c.Session.WriteText("Invalid parameters.  Expected: HIT url\n");
    } else if (c.Session.HttpGet(c.Words[1]).Ok) {
        c.Session.WriteText("URL " + c.Words[1] + " hit.\n");
    } else {
        c.Session.WriteText("Error trying to hit " + c.Words[1] + "\n");
        c.Session.EndFont();
        return;
    }
    c.Session.EndFont();
    c.Session.ScrollToEnd();
}

void WpHit(SlashCall &c)
{
    c.Session.SetColor("SILVER", 0);
    if (c.ArgWords() != 2) {
        c.Session.WriteText("Invalid parameters.  Expected: WPHIT variablename variablevalue\n");
    } else {
        const QByteArray address = c.Workspace.PortalDataAddress(c.Words[1], c.Words[2]);
        if (!address.isEmpty() && c.Session.HttpGet(address).Ok) {
            c.Session.WriteText("Data (" + c.Words[1] + "=" + c.Words[2] + ") posted to Quenmarch.\n");
        } else {
            c.Session.WriteText("Error trying to post data\n");
            c.Session.EndFont();
            return;
        }
    }
    c.Session.EndFont();
    c.Session.ScrollToEnd();
}

void Song(SlashCall &c)
{
    c.Session.SetColor("SILVER", 0);
    // With no line selected there is no current song to name.
    if (const auto line = c.Workspace.SelectedSongLine())
        c.Session.WriteText("\nCurrent song is: " + *line + "\n");
    else
        c.Session.WriteText("\nNo song is selected.\n");
    c.Session.EndFont();
}

void Add(SlashCall &c)
{
    if (!TrimBlanks(c.Args).isEmpty())
        c.Workspace.AddSong(c.Args);
}

void Random(SlashCall &c)
{
    c.Workspace.RandomSong();
}

void Next(SlashCall &c)
{
    c.Workspace.NextSong();
}

void Previous(SlashCall &c)
{
    c.Workspace.PreviousSong();
}

void Stop(SlashCall &c)
{
    if (c.Workspace.StopSong())
        c.Session.ScrollToEnd();
}

void Echo(SlashCall &c)
{
    c.Session.Echo(c.Args);
    c.Session.EndFont();
}

void Set(SlashCall &c)
{
    c.Session.SetColor("SILVER", 0);
    if (c.ArgWords() < 1) {
        c.Session.WriteText("Invalid parameters.  Expected: SET varname value\n");
    } else {
        const qsizetype valueAt = c.Args.indexOf(' ');
        c.Session.SetVariable("@" + c.Words[1], valueAt >= 0 ? c.Args.mid(valueAt + 1) : QByteArray());
    }
    c.Session.EndFont();
}

void Save(SlashCall &c)
{
    c.Session.SaveAll();
    c.Session.WriteText("\nAll settings saved\n");
    c.Session.ScrollToEnd();
}

void Connect(SlashCall &c)
{
    c.Workspace.ConnectCurrent();
}

void LocalEcho(SlashCall &c)
{
    c.Session.WriteText(c.Session.ToggleLocalEcho() ? "\nLocal echo is now on\n" : "\nLocal echo is now off\n");
    c.Session.ScrollToEnd();
}

void Close(SlashCall &c)
{
    c.Workspace.CloseCurrent();
    c.Workspace.ClearCurrent();
}

void ClearText(SlashCall &c)
{
    c.Session.ClearText();
}

void Settings(SlashCall &c)
{
    c.Workspace.OpenSettings();
}

void New(SlashCall &c)
{
    c.Workspace.OpenConnectionManager();
}

void Quit(SlashCall &c)
{
    c.Workspace.Quit();
}

// TOGGLE, ON and OFF take exactly one or two words; other counts do nothing.
void ClassState(SlashCall &c, bool enable, bool toggle)
{
    if (c.ArgWords() == 1 || c.ArgWords() == 2)
        c.Session.SetClassState(enable, c.ArgWords() == 2 ? c.Words[2] : QByteArray(), toggle, c.Words[1]);
}

void Toggle(SlashCall &c)
{
    ClassState(c, false, true);
}

void On(SlashCall &c)
{
    ClassState(c, true, false);
}

void Off(SlashCall &c)
{
    ClassState(c, false, false);
}

void Disconnect(SlashCall &c)
{
    c.Workspace.DisconnectCurrent();
}

// SPEAK text says it aloud, interrupting; SPEAK alone stops the speech.
void Speak(SlashCall &c)
{
    const QByteArray notice = c.Session.Speak(TrimBlanks(c.Args));
    if (notice.isEmpty())
        return;
    c.Session.SetColor("SILVER", 0);
    c.Session.WriteText(notice + "\n");
    c.Session.EndFont();
}

struct SlashCommand {
    const char *Name;
    void (*Handler)(SlashCall &);
};

// In the order names are compared; the first equal one runs.
constexpr SlashCommand Commands[] = {
    {"ALL", All},
    {"PAUSE", Pause},
    {"P", Pause},
    {"RUN", Run},
    {"PLAY", Play},
    {"SONG", Song},
    {"ECHO", Echo},
    {"SET", Set},
    {"GET", Get},
    {"WPHIT", WpHit},
    {"HIT", Hit},
    {"ADD", Add},
    {"RANDOM", Random},
    {"NEXT", Next},
    {"PREVIOUS", Previous},
    {"STOP", Stop},
    {"SETTINGS", Settings},
    {"SAVE", Save},
    {"NEW", New},
    {"CONNECT", Connect},
    {"RECONNECT", Connect},
    {"LOCALECHO", LocalEcho},
    {"CLOSE", Close},
    {"CT", ClearText},
    {"CLEARTEXT", ClearText},
    {"QUIT", Quit},
    {"TOGGLE", Toggle},
    {"ON", On},
    {"OFF", Off},
    {"DISCONNECT", Disconnect},
    {"SPEAK", Speak},
};

} // namespace

bool IsSlashCommand(const QByteArray &name)
{
    return std::any_of(std::begin(Commands), std::end(Commands),
                       [&](const SlashCommand &command) { return name == command.Name; });
}

bool DispatchSlashCommand(SessionHost &session, WorkspaceHost &workspace, const QByteArray &text)
{
    const QList<QByteArray> words = SplitText(text, ' ');
    if (words.isEmpty())
        return false;
    const QByteArray name = words.front().toUpper();
    const qsizetype space = text.indexOf(' ');
    const QByteArray args = space >= 0 ? text.mid(space + 1) : QByteArray();
    SlashCall call {session, workspace, words, args};
    for (const SlashCommand &command : Commands) {
        if (name == command.Name) {
            command.Handler(call);
            return true;
        }
    }
    // The repeat form: "/3 kill rat". The count has no bound of its own: the command's work budget ends a
    // repeat that would run too much.
    const long long count = LeadingInteger(words.front());
    if (count <= 0)
        return false;
    for (long long i = 0; i < count && !session.WorkStopped(); ++i)
        session.ProcessCommand(args);
    return true;
}

} // namespace wren
