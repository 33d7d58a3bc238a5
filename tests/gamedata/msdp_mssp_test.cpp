// SPDX-License-Identifier: GPL-3.0-or-later
// MSDP and MSSP messages as servers send them: tables, arrays, empty elements, messages that never close,
// stray bytes and floods.
#include "gamedata/json_text.h"
#include "gamedata/msdp.h"
#include "gamedata/mssp.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;

namespace
{

/// Framing written readably: '@' is VAR, '=' VAL, '{' '}' a table, '[' ']' an array (MSSP uses '@' and '=').
QByteArray Frame(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char &ch : out) {
        switch (ch) {
        case '@':
            ch = msdp::Var;
            break;
        case '=':
            ch = msdp::Val;
            break;
        case '{':
            ch = msdp::TableOpen;
            break;
        case '}':
            ch = msdp::TableClose;
            break;
        case '[':
            ch = msdp::ArrayOpen;
            break;
        case ']':
            ch = msdp::ArrayClose;
            break;
        default:
            break;
        }
    }
    return out;
}

/// The variables as "NAME:json; NAME:json".
QByteArray Show(const msdp::Result &result)
{
    QByteArray text;
    for (const msdp::Variable &variable : result.Variables) {
        if (!text.isEmpty())
            text += "; ";
        text += variable.Name + ':' + JsonText(msdp::ToJson(variable.Data));
    }
    return text;
}

struct MsdpCase {
    const char *Name;
    QByteArray Payload;
    QByteArray Variables; ///< as Show writes them
    QByteArray Error; ///< part of the complaint, "" for none
};

void PrintTo(const MsdpCase &c, std::ostream *os)
{
    *os << c.Name;
}

class MsdpParse : public ::testing::TestWithParam<MsdpCase>
{
};

TEST_P(MsdpParse, TakesWhatCame)
{
    const MsdpCase &c = GetParam();
    const msdp::Result result = msdp::Parse(c.Payload);
    const QByteArray shown = Show(result);
    EXPECT_TRUE(shown == c.Variables) << shown.left(300).constData();
    if (c.Error.isEmpty()) {
        EXPECT_TRUE(result.Error.isEmpty()) << result.Error.constData();
    } else {
        EXPECT_TRUE(result.Error.contains(c.Error)) << result.Error.constData();
    }
}

QByteArray DeepArrays(int depth)
{
    QByteArray text = "@D=";
    for (int i = 0; i < depth; ++i)
        text += "[=";
    return Frame(text + "x@AFTER=1");
}

QByteArray ManyValues(int count)
{
    QByteArray text = "@A=[";
    for (int i = 0; i < count; ++i)
        text += "=x";
    return Frame(text + "]@B=1");
}

INSTANTIATE_TEST_SUITE_P(Payloads, MsdpParse,
    ::testing::Values(MsdpCase { "OneString", Frame("@HEALTH=100"), "HEALTH:\"100\"", "" },
        MsdpCase { "TwoVariables", Frame("@HEALTH=90@HEALTH_MAX=100"), "HEALTH:\"90\"; HEALTH_MAX:\"100\"", "" },
        MsdpCase { "Table", Frame("@ROOM={@VNUM=1000@NAME=Town Square@EXITS={@n=1001@e=1002}}"),
            "ROOM:{\"EXITS\":{\"e\":\"1002\",\"n\":\"1001\"},\"NAME\":\"Town Square\",\"VNUM\":\"1000\"}", "" },
        MsdpCase {
            "Array", Frame("@REPORTABLE_VARIABLES=[=HEALTH=MANA]"), "REPORTABLE_VARIABLES:[\"HEALTH\",\"MANA\"]", "" },
        MsdpCase { "ArrayStartsEmpty", Frame("@REPORTABLE_VARIABLES=[==HEALTH=MANA]"),
            "REPORTABLE_VARIABLES:[\"\",\"HEALTH\",\"MANA\"]", "" },
        MsdpCase { "SeveralValuesMakeAnArray", Frame("@PORTS=4000=4443"), "PORTS:[\"4000\",\"4443\"]", "" },
        MsdpCase { "EmptyValue", Frame("@TARGET=@HEALTH=1"), "TARGET:\"\"; HEALTH:\"1\"", "" },
        MsdpCase { "NameWithoutValue", Frame("@TARGET@HEALTH=1"), "TARGET:\"\"; HEALTH:\"1\"", "" },
        MsdpCase { "Latin1Text", Frame("@ROOM_NAME=Caf\xE9"), "ROOM_NAME:\"Caf\xC3\xA9\"", "" },
        MsdpCase { "TableNeverCloses", Frame("@ROOM={@NAME=Square@EXITS={@n=1"),
            "ROOM:{\"EXITS\":{\"n\":\"1\"},\"NAME\":\"Square\"}", "table was not closed" },
        MsdpCase { "ArrayNeverClosesBeforeNextVariable", Frame("@A=[=x=y@B=2"), "A:[\"x\",\"y\"]; B:\"2\"",
            "array was not closed" },
        MsdpCase { "ArrayNeverClosesInsideTable", Frame("@T={@A=[=x}@B=1"), "T:{\"A\":[\"x\"]}; B:\"1\"",
            "array was not closed" },
        MsdpCase { "StrayBytesFirst", Frame("junk=1@A=2"), "A:\"2\"", "stray" },
        MsdpCase { "StrayCloses", Frame("}]@A=2"), "A:\"2\"", "stray" },
        MsdpCase { "ValueWithoutNameInTable", Frame("@T={=lost@K=v}"), "T:{\"K\":\"v\"}", "stray" },
        MsdpCase { "EmptyName", Frame("@=1@A=2"), "A:\"2\"", "" },
        MsdpCase { "NestedTooDeep", DeepArrays(100), "D:" + QByteArray(64, '[') + QByteArray(64, ']'),
            "nested deeper than 64" },
        MsdpCase { "TooManyValues", ManyValues(70000), "A:[" + QByteArray("\"x\",").repeated(65535).chopped(1) + ']',
            "more than 65536 values" },
        MsdpCase { "OverOneMegabyte", Frame("@A=") + QByteArray(msdp::MaxPayload, 'x'), "", "over the 1 MB limit" },
        MsdpCase { "Empty", "", "", "" }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(MsdpValues, ReportableNamesSkipEmptyElements)
{
    const msdp::Result result = msdp::Parse(Frame("@REPORTABLE_VARIABLES=[== HEALTH=MANA=]"));
    ASSERT_EQ(result.Variables.size(), 1u);
    EXPECT_EQ(msdp::Names(result.Variables[0].Data), (QList<QByteArray> { "HEALTH", "MANA" }));
    EXPECT_EQ(msdp::Names(msdp::Value::String("ROOM_NAME")), QList<QByteArray> { "ROOM_NAME" });
}

TEST(MsdpRequests, AreFramedExactly)
{
    EXPECT_EQ(msdp::ListRequest(), Frame("@LIST=REPORTABLE_VARIABLES"));
    EXPECT_EQ(
        msdp::ReportRequest({ "HEALTH", "HEALTH_MAX", "ROOM_NAME" }), Frame("@REPORT=HEALTH=HEALTH_MAX=ROOM_NAME"));
    // Framing bytes in a name would start a new variable: they are left out.
    EXPECT_EQ(msdp::ReportRequest({ QByteArray("HEA\x01LTH\x00", 8) }), Frame("@REPORT=HEALTH"));
}

TEST(MsdpRender, NameEqualsValue)
{
    EXPECT_EQ(msdp::Render(msdp::Parse(Frame("@HEALTH=90@EXITS={@n=1}"))), "HEALTH = 90\nEXITS = {\"n\":\"1\"}");
}

// --- MSSP ---

QByteArray Show(const mssp::Result &result)
{
    QByteArray text;
    for (const mssp::Field &field : result.Fields) {
        if (!text.isEmpty())
            text += "; ";
        text += field.first + ':' + field.second.join(',');
    }
    return text;
}

struct MsspCase {
    const char *Name;
    QByteArray Payload;
    QByteArray Fields;
    QByteArray Error;
};

void PrintTo(const MsspCase &c, std::ostream *os)
{
    *os << c.Name;
}

class MsspParse : public ::testing::TestWithParam<MsspCase>
{
};

TEST_P(MsspParse, KeepsOrderAndLimits)
{
    const MsspCase &c = GetParam();
    const mssp::Result result = mssp::Parse(c.Payload);
    const QByteArray shown = Show(result);
    EXPECT_TRUE(shown == c.Fields) << shown.left(300).constData();
    if (c.Error.isEmpty()) {
        EXPECT_TRUE(result.Error.isEmpty()) << result.Error.constData();
    } else {
        EXPECT_TRUE(result.Error.contains(c.Error)) << result.Error.constData();
    }
}

QByteArray ManyNames(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "@N" + QByteArray::number(i) + "=1";
    return Frame(text);
}

QByteArray ExpectedNames(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += (i ? "; N" : "N") + QByteArray::number(i) + ":1";
    return text;
}

INSTANTIATE_TEST_SUITE_P(Payloads, MsspParse,
    ::testing::Values(MsspCase { "Status", Frame("@NAME=Wren Demo@PLAYERS=3@UPTIME=1700000000"),
                          "NAME:Wren Demo; PLAYERS:3; UPTIME:1700000000", "" },
        MsspCase { "SeveralValuesUnderOneName", Frame("@PORT=4000=4443@CODEBASE=Wren=Demo"),
            "PORT:4000,4443; CODEBASE:Wren,Demo", "" },
        MsspCase { "NameSentTwice", Frame("@PORT=4000@NAME=x@PORT=4443"), "PORT:4000,4443; NAME:x", "" },
        MsspCase { "NameWithoutValue", Frame("@EMPTY@A=1"), "EMPTY:; A:1", "" },
        MsspCase { "EmptyValue", Frame("@A="), "A:", "" },
        MsspCase { "ValueWithoutName", Frame("=lost@A=1"), "A:1", "without a name" },
        MsspCase { "EmptyName", Frame("@=lost@A=1"), "A:1", "without a name" },
        MsspCase { "StrayBytes", Frame("junk@A=1"), "A:1", "stray" },
        MsspCase { "FloodOfNames", ManyNames(1000), ExpectedNames(mssp::MaxFields), "more than 256 names" },
        MsspCase { "FloodOfValues", Frame("@A" + QByteArray("=x").repeated(5000)),
            "A:" + QByteArray("x,").repeated(mssp::MaxValues).chopped(1), "more than 1024 values" },
        MsspCase { "OverTheByteLimit", Frame("@A=") + QByteArray(mssp::MaxPayload, 'x'),
            "A:" + QByteArray(mssp::MaxPayload - 3, 'x'), "only the first 64 KiB" }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(MsspRender, NameEqualsValues)
{
    EXPECT_EQ(mssp::Render(mssp::Parse(Frame("@NAME=Wren@PORT=4000=4443"))), "NAME = Wren\nPORT = 4000, 4443");
}

} // namespace
