// SPDX-License-Identifier: GPL-3.0-or-later
// GMCP messages read from the wire (good, odd and hostile) and the client's own messages written.
#include "config/app_settings.h"
#include "gamedata/gmcp.h"
#include "gamedata/json_text.h"
#include "support/test_support.h"

#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace
{

struct ParseCase {
    const char *Name;
    QByteArray Payload;
    QByteArray Package; ///< expected package ("" when refused)
    QByteArray Data; ///< expected data as compact JSON ("" for none)
    QByteArray Error; ///< a part of the expected reason ("" when read)
};

void PrintTo(const ParseCase &c, std::ostream *os)
{
    *os << c.Name;
}

QByteArray Nested(int depth)
{
    return QByteArray(depth, '[') + QByteArray(depth, ']');
}

class GmcpParse : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(GmcpParse, ReadsPackageAndData)
{
    const ParseCase &c = GetParam();
    const gmcp::Message message = gmcp::Parse(c.Payload);
    EXPECT_EQ(message.Package, c.Package);
    EXPECT_EQ(JsonText(message.Data), c.Data);
    if (c.Error.isEmpty()) {
        EXPECT_TRUE(message.Ok()) << message.Error.constData();
    } else {
        EXPECT_TRUE(message.Error.contains(c.Error)) << message.Error.constData();
        EXPECT_TRUE(message.Data.isUndefined()) << "refused data is never handed on";
    }
}

const QByteArray OverLimit = "Big \"" + QByteArray(gmcp::MaxPayload, 'a') + '"';
// A message of exactly the limit is still read.
const QByteArray AtLimit = "Big \"" + QByteArray(gmcp::MaxPayload - 6, 'a') + '"';

INSTANTIATE_TEST_SUITE_P(Payloads, GmcpParse,
    ::testing::Values(
        ParseCase { "Object", "Char.Vitals {\"hp\":42,\"maxhp\":50}", "Char.Vitals", "{\"hp\":42,\"maxhp\":50}", "" },
        ParseCase { "LowerCaseName", "char.vitals {\"hp\":1}", "char.vitals", "{\"hp\":1}", "" },
        ParseCase { "BareString", "Comm.Channel.Text \"hello\"", "Comm.Channel.Text", "\"hello\"", "" },
        ParseCase { "BareNumber", "Char.Level 42", "Char.Level", "42", "" },
        ParseCase { "BareTrue", "Char.Afk true", "Char.Afk", "true", "" },
        ParseCase { "BareNull", "Char.Target null", "Char.Target", "null", "" },
        ParseCase { "Array", "Char.Items.List [1,\"a\",{}]", "Char.Items.List", "[1,\"a\",{}]", "" },
        ParseCase { "NoData", "Core.Goodbye", "Core.Goodbye", "", "" },
        ParseCase { "OnlyASpace", "Core.Ping ", "Core.Ping", "", "" },
        ParseCase { "SpacesAround", "Char.Vitals   {\"hp\":1}  \r\n", "Char.Vitals", "{\"hp\":1}", "" },
        ParseCase {
            "Utf8String", "Room.Info {\"name\":\"Caf\xC3\xA9\"}", "Room.Info", "{\"name\":\"Caf\xC3\xA9\"}", "" },
        ParseCase { "AtTheLimit", AtLimit, "Big", "\"" + QByteArray(gmcp::MaxPayload - 6, 'a') + '"', "" },
        ParseCase { "Empty", "", "", "", "empty" },
        ParseCase { "LeadingSpace", " Char.Vitals {}", "", "", "no package name" },
        ParseCase { "NameAbove127", "Ch\xE4r.Vitals {}", "", "", "above 127" },
        ParseCase { "NameWithControlByte", B("Char\x01Vitals {}"), "", "", "control byte" },
        ParseCase { "NameWithTab", "Char.Vitals\t{\"hp\":1}", "", "", "control byte" },
        ParseCase { "NameTooLong", QByteArray(300, 'x') + " 1", "", "", "longer than 256" },
        // The name ends at the first space: "Vitals {...}" is then not JSON.
        ParseCase { "SpaceInsideName", "Char Vitals {\"hp\":1}", "Char", "", "malformed JSON at byte 0" },
        ParseCase { "TrailingComma", "Char.Vitals {\"hp\":42,}", "Char.Vitals", "", "malformed JSON at byte" },
        ParseCase { "Unterminated", "Char.Vitals {\"hp\":42", "Char.Vitals", "", "malformed JSON" },
        ParseCase { "TwoValues", "Char.Vitals 1, 2", "Char.Vitals", "", "more than one value" },
        ParseCase { "BreaksOutOfTheWrapping", "Char.Vitals 1],[2", "Char.Vitals", "", "malformed JSON" },
        ParseCase { "BadUtf8InString", "Room.Info \"\xFF\"", "Room.Info", "", "malformed JSON" },
        ParseCase { "NestedTenThousandDeep", "Deep " + Nested(10000), "Deep", "", "too deeply nested" },
        ParseCase { "OverOneMegabyte", OverLimit, "Big", "", "over the 1 MB limit" }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(GmcpEncode, ClientMessagesAreExact)
{
    EXPECT_EQ(gmcp::CoreHello("2.13"), "Core.Hello {\"client\":\"Wren Client\",\"version\":\"2.13\"}");
    EXPECT_EQ(gmcp::CoreSupportsSet(gmcp::DefaultModules()),
        "Core.Supports.Set [\"Char 1\",\"Char.Vitals 1\",\"Room 1\",\"Comm.Channel 1\"]");
    EXPECT_EQ(gmcp::Encode("Core.Ping"), "Core.Ping");
    EXPECT_EQ(gmcp::Encode("Char.Say", QStringLiteral("a \"quoted\" word")), "Char.Say \"a \\\"quoted\\\" word\"");
    // What is written reads back the same.
    const QJsonObject object { { QStringLiteral("n"), 1.5 }, { QStringLiteral("s"), QStringLiteral("\xE2\x98\x95") } };
    const gmcp::Message back = gmcp::Parse(gmcp::Encode("X.Y", object));
    EXPECT_EQ(back.Package, "X.Y");
    EXPECT_EQ(back.Data, QJsonValue(object));
}

TEST(GmcpModules, PerWorldListWithDefault)
{
    QTemporaryDir folder;
    AppSettings settings(folder.filePath(QStringLiteral("wrenclient.ini")));
    EXPECT_EQ(gmcp::LoadModules(settings, "mud.example", "4000"), gmcp::DefaultModules());

    gmcp::SaveModules(settings, "mud.example", "4000", { "Char 1", " IRE.Rift 1 ", "", "Comm.Channel 1" });
    EXPECT_EQ(gmcp::LoadModules(settings, "mud.example", "4000"),
        (QList<QByteArray> { "Char 1", "IRE.Rift 1", "Comm.Channel 1" }));
    EXPECT_EQ(gmcp::LoadModules(settings, "mud.example", "4001"), gmcp::DefaultModules()) << "another world";

    // A player who removes every module means it: the default does not come back.
    gmcp::SaveModules(settings, "mud.example", "4000", {});
    EXPECT_TRUE(gmcp::LoadModules(settings, "mud.example", "4000").isEmpty());
    gmcp::SaveModules(settings, "mud.example", "4000", { "Room 1" });
    EXPECT_EQ(gmcp::LoadModules(settings, "mud.example", "4000"), QList<QByteArray> { "Room 1" }) << "a single entry";
}

struct CommandCase {
    const char *Name;
    QByteArray Arguments;
    QByteArray Payload;
    QByteArray Error;
};

void PrintTo(const CommandCase &c, std::ostream *os)
{
    *os << c.Name;
}

class GmcpCommand : public ::testing::TestWithParam<CommandCase>
{
};

TEST_P(GmcpCommand, TextBecomesPayloadOrReason)
{
    const CommandCase &c = GetParam();
    const gmcp::Command command = gmcp::FromCommandText(c.Arguments);
    EXPECT_EQ(command.Payload, c.Payload);
    if (c.Error.isEmpty()) {
        EXPECT_TRUE(command.Error.isEmpty()) << command.Error.constData();
    } else {
        EXPECT_TRUE(command.Error.contains(c.Error)) << "reason: " << command.Error.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(Arguments, GmcpCommand,
    ::testing::Values(CommandCase { "PackageOnly", "Core.Ping", "Core.Ping", "" },
        CommandCase { "JsonAsTyped", "Char.Skills.Get {\"group\" : \"x\"}", "Char.Skills.Get {\"group\" : \"x\"}", "" },
        CommandCase { "Trimmed", "   Core.Ping   ", "Core.Ping", "" },
        CommandCase { "Scalar", "Comm.Channel.Enable \"chat\"", "Comm.Channel.Enable \"chat\"", "" },
        CommandCase { "Nothing", "  ", "", "Usage: /GMCP <package> [json]" },
        CommandCase { "BadJson", "Char.Skills.Get {group}", "", "malformed JSON at byte 2: unterminated object" },
        CommandCase { "TwoJsonWords", "Core.Hello 1 2", "", "malformed JSON" },
        CommandCase { "NameAbove127", "Ch\xE4r 1", "", "above 127" }),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
