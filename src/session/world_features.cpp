// SPDX-License-Identifier: GPL-3.0-or-later
// What a world may use beyond the classic client: telnet options, modern colours, TLS, reconnecting.
#include "session/world_features.h"

#include "config/app_settings.h"

namespace wren {

namespace {

struct Switch {
    const char *Key;
    bool WorldFeatures::*Field;
};

constexpr Switch Switches[] = {
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
};

} // namespace

WorldFeatures WorldFeatures::Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port)
{
    WorldFeatures features;
    for (const Switch &s : Switches) {
        const QString key = QString::fromLatin1(s.Key);
        features.*s.Field = settings.WorldValue(host, port, key, features.*s.Field).toBool();
    }
    features.TrustedCertificate
        = settings.WorldValue(host, port, QStringLiteral("TrustedCertificate")).toString().toLatin1();
    return features;
}

void WorldFeatures::Save(AppSettings &settings, const QByteArray &host, const QByteArray &port) const
{
    for (const Switch &s : Switches)
        settings.SetWorldValue(host, port, QString::fromLatin1(s.Key), this->*s.Field);
    settings.SetWorldValue(host, port, QStringLiteral("TrustedCertificate"), QString::fromLatin1(TrustedCertificate));
}

TelnetFilter::Allowed WorldFeatures::Telnet() const
{
    TelnetFilter::Allowed allowed;
    allowed.Echo = Echo;
    allowed.WindowSize = WindowSize;
    allowed.Compression = Compression;
    allowed.Charset = Charset;
    allowed.TerminalType = TerminalType;
    allowed.EndOfRecord = EndOfRecord;
    allowed.ModernColours = ModernColours;
    return allowed;
}

} // namespace wren
