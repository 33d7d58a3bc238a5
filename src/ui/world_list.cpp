// SPDX-License-Identifier: GPL-3.0-or-later
// The saved worlds ("muds.ini") and the downloaded public MUD list ("mudlist.txt").
#include "ui/world_list.h"

#include "base/text_helpers.h"
#include "config/save_file.h"

namespace wren {

namespace {

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

QList<SavedWorld> ParseWorldList(const QByteArray &bytes)
{
    QList<SavedWorld> worlds;
    for (const QByteArray &line : Lines(bytes)) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = SplitText(line, '\t');
        if (fields.size() < 3)
            continue;
        worlds.append({fields[0], fields[1], fields[2]});
    }
    return worlds;
}

QByteArray WorldListBytes(const QList<SavedWorld> &worlds)
{
    QByteArray bytes;
    for (const SavedWorld &world : worlds)
        bytes += world.ID + '\t' + world.Host + '\t' + world.Port + "\r\n";
    return bytes;
}

QList<ListedMud> ParseMudList(const QByteArray &bytes)
{
    QList<ListedMud> muds;
    for (const QByteArray &line : Lines(bytes)) {
        const QList<QByteArray> fields = SplitText(line, '\t');
        if (line.isEmpty() || fields.size() < 4)
            continue;
        ListedMud mud;
        mud.Name = fields[1];
        mud.Host = fields[2];
        RemoveByte(mud.Host, ' ');
        mud.Port = fields[3];
        RemoveByte(mud.Port, '\t');
        if (fields.size() > 4) {
            mud.WebSite = fields[4];
            RemoveByte(mud.WebSite, '\t');
        }
        muds.append(mud);
    }
    return muds;
}

QByteArray MudListAddress(const QByteArray &host)
{
    const QByteArray trimmed = host.trimmed();
    return trimmed.isEmpty() ? QByteArray() : "http://" + trimmed + "/zmud/mudlist2.txt";
}

HttpOptions MudListHttpOptions()
{
    HttpOptions options;
    options.UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
    return options;
}

bool DownloadMudList(const HttpClient &http, const QByteArray &address, const QString &path, QString *error)
{
    const HttpResult result = http.Get(address);
    if (!result.Ok) {
        *error = result.Error;
        return false;
    }
    return SaveFileAtomically(path, result.Body, error);
}

int PortNumber(const QByteArray &text)
{
    return LeadingNumber(text);
}

} // namespace wren
