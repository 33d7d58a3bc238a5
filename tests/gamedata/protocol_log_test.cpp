// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol inspector's record: readable lines for negotiations and game data, errors beside them,
// and the caps on entries and bytes.
#include "gamedata/protocol_log.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;
using Dir = ProtocolLog::Direction;
using Kind = ProtocolLog::Kind;

namespace
{

class ProtocolLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_log.SetClock([this] { return m_now; });
    }
    QList<QByteArray> Texts() const
    {
        QList<QByteArray> texts;
        for (const ProtocolLog::Entry &entry : m_log.Entries())
            texts.append(entry.Text + (entry.Error.isEmpty() ? QByteArray() : " !" + entry.Error));
        return texts;
    }

    ProtocolLog m_log;
    qint64 m_now = QDateTime(QDate(2024, 5, 1), QTime(13, 45, 2, 123)).toMSecsSinceEpoch();
};

TEST_F(ProtocolLogTest, ReadableLines)
{
    m_log.AddNegotiation(Dir::In, 251, 201);
    m_log.AddNegotiation(Dir::Out, 253, 201);
    m_log.AddNegotiation(Dir::Out, 254, 99);
    m_log.AddNegotiation(Dir::In, 251, 39);
    m_log.AddSubnegotiation(Dir::Out, 31, B("\x00P\x00\x18"));
    m_log.AddGmcp(Dir::In, "Char.Vitals {\"hp\":42}");
    m_log.AddGmcp(Dir::In, "Char.Vitals {\"hp\":", "malformed JSON at byte 6: unterminated object");
    m_log.AddMsdp(Dir::In,
        "\x01HEALTH\x02"
        "90\x01ROOM\x02\x03\x01n\x02"
        "1");
    m_log.AddMssp(Dir::In,
        "\x01NAME\x02Wren\x01PORT\x02"
        "4000\x02"
        "4443");
    EXPECT_EQ(Texts(),
        (QList<QByteArray> { "IAC WILL GMCP", "IAC DO GMCP", "IAC DONT 99", "IAC WILL NEW-ENVIRON",
            "IAC SB NAWS \\x00P\\x00\\x18 IAC SE", "Char.Vitals {\"hp\":42}",
            "Char.Vitals {\"hp\": !malformed JSON at byte 6: unterminated object", "HEALTH = 90",
            "ROOM = {\"n\":\"1\"} !a table was not closed", "NAME = Wren", "PORT = 4000, 4443" }));
    const auto &entries = m_log.Entries();
    EXPECT_EQ(entries[0].Type, Kind::Telnet);
    EXPECT_EQ(entries[7].Type, Kind::Msdp);
    EXPECT_EQ(entries[10].Type, Kind::Mssp);
    EXPECT_EQ(ProtocolLog::FormatEntry(entries[1]), "13:45:02.123 out telnet IAC DO GMCP");
    EXPECT_EQ(ProtocolLog::FormatEntry(entries[6]),
        "13:45:02.123 in  GMCP   Char.Vitals {\"hp\":  (error: malformed JSON at byte 6: unterminated object)");
    EXPECT_EQ(m_log.ToText().count('\n'), 11);
    EXPECT_TRUE(m_log.ToText().startsWith("13:45:02.123 in  telnet IAC WILL GMCP\n"));
}

TEST_F(ProtocolLogTest, EmptyOrUnreadableMessagesStillGetALine)
{
    m_log.AddMsdp(Dir::In, "junk");
    m_log.AddMssp(Dir::In, "");
    EXPECT_EQ(Texts(), (QList<QByteArray> { " !stray bytes were skipped", " !no names" }));
}

TEST_F(ProtocolLogTest, KeepsTheNewestWithinItsCaps)
{
    QSignalSpy appended(&m_log, &ProtocolLog::Appended);
    for (int i = 0; i < ProtocolLog::MaxEntries + 1000; ++i)
        m_log.AddGmcp(Dir::In, "Core.Ping " + QByteArray::number(i));
    EXPECT_EQ(m_log.Entries().size(), size_t(ProtocolLog::MaxEntries));
    EXPECT_EQ(m_log.FirstSerial(), 1000u);
    EXPECT_EQ(m_log.At(999), nullptr);
    ASSERT_NE(m_log.At(1000), nullptr);
    EXPECT_EQ(m_log.At(1000)->Text, "Core.Ping 1000");
    EXPECT_EQ(appended.count(), ProtocolLog::MaxEntries + 1000);

    // A 1 MB message is cut in its entry; many of them stay under the byte cap.
    const QByteArray big = "Big \"" + QByteArray(1024 * 1024, 'x') + '"';
    for (int i = 0; i < 2000; ++i)
        m_log.AddGmcp(Dir::In, big);
    const ProtocolLog::Entry &last = m_log.Entries().back();
    EXPECT_EQ(last.Text.size(), ProtocolLog::MaxEntryText + QByteArray("... (1048582 bytes in all)").size());
    EXPECT_TRUE(last.Text.endsWith("... (1048582 bytes in all)"));
    qsizetype bytes = 0;
    for (const ProtocolLog::Entry &entry : m_log.Entries())
        bytes += entry.Text.size() + entry.Error.size();
    EXPECT_LE(bytes, ProtocolLog::MaxBytes);
    EXPECT_GT(m_log.Entries().size(), 900u);

    // Serials go on counting after Clear, so a view can tell old rows from new ones.
    const quint64 end = m_log.EndSerial();
    m_log.Clear();
    EXPECT_TRUE(m_log.Entries().empty());
    EXPECT_EQ(m_log.FirstSerial(), end);
    m_log.AddNegotiation(Dir::In, 251, 201);
    EXPECT_EQ(m_log.Entries().front().Serial, end);
}

} // namespace
