// SPDX-License-Identifier: GPL-3.0-or-later
// What a world may use beyond the classic client: telnet options, modern colours, TLS, reconnecting.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace wren {

class AppSettings;

/// Kept per world (host and port) in the program's own settings file; every feature can be switched off.
struct WorldFeatures {
    bool Echo = true; ///< the server may hide typed text (passwords)
    bool WindowSize = true; ///< report the view's size in characters
    bool Compression = true; ///< compressed text from the server
    bool Charset = true; ///< agree to UTF-8 when the server offers it
    bool TerminalType = true; ///< report the client and what it renders
    bool EndOfRecord = true; ///< prompts marked by the server
    bool ModernColours = true; ///< bright, 256-colour, true-colour and inverse codes
    bool Secure = false; ///< connect through TLS
    bool AutoReconnect = false; ///< reconnect by itself after an unexpected disconnect
    bool SplitView = true; ///< show the newest text below while reading back
    bool Gmcp = true; ///< game data as GMCP (telnet option 201)
    bool Msdp = true; ///< game data as MSDP (69)
    bool Mssp = true; ///< the server's status as MSSP (70)
    bool Map = true; ///< draw a map from the world's room data and keep it in a file
    bool AnnounceNewText = true; ///< tell screen readers of new text as it arrives
    bool AnnounceOnlyAtEnd = false; ///< ... only while the view is at its end, not while reading back
    bool SpeakIncoming = false; ///< the built-in speech reads the world's lines aloud
    bool Speech = true; ///< /SPEAK and the speech keys speak in this world
    bool TypingStopsSpeech = true; ///< a key typed in the command box silences the speech
    bool Zoom = true; ///< the zoom keys change the text's size, which is kept for the world
    /// The SHA-256 digest (hex) of a certificate the user chose to trust though it does not verify.
    QByteArray TrustedCertificate;

    static WorldFeatures Load(const AppSettings &settings, const QByteArray &host, const QByteArray &port);
    /// The switch kept under @p key ("Secure", "Telnet/Echo", ...), null for an unknown key.
    bool *Switch(const QString &key);
    /// Changes one switch here and that key alone in the settings, so that what another session of the
    /// same world changed meanwhile is kept. False for an unknown key.
    bool SaveSwitch(AppSettings &settings, const QByteArray &host, const QByteArray &port, const QString &key, bool on);
    /// The keys of every switch, in the order the options dialog shows them.
    static QStringList SwitchKeys();
};

} // namespace wren
