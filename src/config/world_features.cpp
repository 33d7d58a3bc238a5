// SPDX-License-Identifier: GPL-3.0-or-later
// What a world may use beyond the classic client: telnet options, modern colours, TLS, reconnecting.
#include "config/world_features.h"

#include "config/app_settings.h"

namespace wren {

namespace {

struct SwitchEntry {
    const char *Key;
    bool WorldFeatures::*Field;
};

constexpr SwitchEntry Switches[] = {
    {"Telnet/Echo", &WorldFeatures::Echo},
    {"Telnet/WindowSize", &WorldFeatures::WindowSize},
    {"Telnet/Compression", &WorldFeatures::Compression},
    {"Telnet/Charset", &WorldFeatures::Charset},
    {"Telnet/TerminalType", &WorldFeatures::TerminalType},
    {"Telnet/EndOfRecord", &WorldFeatures::EndOfRecord},
    {"ModernColours", &WorldFeatures::ModernColours},
    {"Secure", &WorldFeatures::Secure},
    {"AutoReconnect", &WorldFeatures::AutoReconnect},
    {"SplitView", &WorldFeatures::SplitView},
    {"GameData/Gmcp", &WorldFeatures::Gmcp},
    {"GameData/Msdp", &WorldFeatures::Msdp},
    {"GameData/Mssp", &WorldFeatures::Mssp},
    {"Map", &WorldFeatures::Map},
    {"Access/AnnounceNewText", &WorldFeatures::AnnounceNewText},
    {"Access/AnnounceOnlyAtEnd", &WorldFeatures::AnnounceOnlyAtEnd},
    {"Speech/SpeakIncoming", &WorldFeatures::SpeakIncoming},
    {"Speech/Enabled", &WorldFeatures::Speech},
    {"Speech/TypingStopsSpeech", &WorldFeatures::TypingStopsSpeech},
    {"View/Zoom", &WorldFeatures::Zoom},
};

} // namespace

WorldFeatures WorldFeatures::Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    WorldFeatures features;
    for (const SwitchEntry &s : Switches) {
        const QString key = QString::fromLatin1(s.Key);
        features.*s.Field = settings.WorldValue(host, port, key, features.*s.Field).toBool();
    }
    features.TrustedCertificate
        = settings.WorldValue(host, port, QStringLiteral("TrustedCertificate")).toString().toLatin1();
    return features;
}

bool *WorldFeatures::Switch(const QString &key)
{
    for (const auto &s : Switches) {
        if (key == QLatin1String(s.Key))
            return &(this->*s.Field);
    }
    return nullptr;
}

bool WorldFeatures::SaveSwitch(AppSettings &settings, const QByteArray &host, const QByteArray &port,
                               const QString &key, bool on)
{
    bool *field = Switch(key);
    if (!field)
        return false;
    *field = on;
    settings.SetWorldValue(host, port, key, on);
    return true;
}

QStringList WorldFeatures::SwitchKeys()
{
    QStringList keys;
    for (const auto &s : Switches)
        keys.append(QString::fromLatin1(s.Key));
    return keys;
}

} // namespace wren
