// SPDX-License-Identifier: GPL-3.0-or-later
// Markup tags: the attribute parser's quirks, every row of the tag table through a session, colours, and
// tags arriving in server text cut anywhere.
#include "config/program_folder.h"
#include "markup/zel_colors.h"
#include "markup/zel_interpreter.h"
#include "session/client.h"
#include "support/test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace {

std::string Attributes(const ZelTag &tag)
{
    std::string out = tag.Name.toStdString();
    for (const auto &[name, value] : tag.Attributes)
        out += " [" + name.toStdString() + "=" + value.toStdString() + "]";
    return out;
}

class Tags : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        m_client->Options.ZelEnabled = true;
    }
    std::string Shown() const { return test::Render(m_client->Display); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_client;
};

} // namespace

TEST(ZelTagParser, TakesAttributesTheWayTheMarkupDoes)
{
    struct Case {
        const char *Tag;
        std::string Parsed;
    } cases[] = {
        {"b", "B"},
        {"  B  ", "B"},
        {"FONT FACE=\"Comic Sans MS\" COLOR=red size=24", "FONT [FACE=Comic Sans MS] [COLOR=red] [size=24]"},
        {"FONT COLOR= red", "FONT [COLOR=]"},
        {"FONT COLOR= red SIZE=3", "FONT [COLOR=] [red SIZE=3]"},
        {"IMG a.gif", "IMG"},
        {"IMG SRC=a.gif SRC=b.gif", "IMG [SRC=a.gif] [SRC=b.gif]"},
        {"A HREF=\"http://x.org/a b\"", "A [HREF=http://x.org/a b]"},
        {"A HREF=\"unclosed value", "A [HREF=unclosed value]"},
        {"F face=x  c=blue", "F [face=x] [c=blue]"},
        {"F c = blue", "F [c=]"},
        {"XYZ q=1", "XYZ [q=1]"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Attributes(ParseZelTag(c.Tag)), c.Parsed) << c.Tag;
    EXPECT_EQ(ParseZelTag(" Xyz Q=1 ").Trimmed, "Xyz Q=1");
}

TEST(ZelColors, NamesHashColoursAndTheTwoFiftyFiveRule)
{
    struct Case {
        const char *Name;
        Colour Value;
    } cases[] = {
        {"red", Rgb(255, 0, 0)},      {"LRED", Rgb(255, 0, 0)},       {"maroon", Rgb(128, 0, 0)},
        {"LtGray", Rgb(192, 192, 192)}, {"bwhite", Rgb(255, 255, 255)}, {"navy", Rgb(0, 0, 128)},
        {"#00ff80", Rgb(0, 255, 128)}, {"#F00", Rgb(240, 255, 255)},    {"#", Rgb(255, 255, 255)},
        {"#zz0000", Rgb(0, 0, 0)},     {"#-10000", Rgb(0, 0, 0)},       {"cyan", -1},
        {" red", -1},                  {"", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ZelColorValue(c.Name), c.Value) << c.Name;
}

TEST(ZelTagParser, WebAddresses)
{
    EXPECT_TRUE(IsWebAddress("http://a.org"));
    EXPECT_TRUE(IsWebAddress("http://x.y"));
    EXPECT_TRUE(IsWebAddress("http://a.")) << "no more is asked of an address";
    EXPECT_FALSE(IsWebAddress("http://."));
    EXPECT_FALSE(IsWebAddress("HTTP://a.org"));
    EXPECT_FALSE(IsWebAddress("http://localhost"));
    EXPECT_FALSE(IsWebAddress("https://a.org"));
    EXPECT_FALSE(IsWebAddress("www.a.org"));
}

// Every row of the tag table, written between the same two pieces of text.
TEST_F(Tags, EveryRowOfTheTable)
{
    struct Case {
        const char *Name;
        QByteArray Text;
        std::string Shown;
    } cases[] = {
        {"bold on and off", "a<b>b</BOLD>c", "[ffffff]a[ffffffB]b[ffffff]c"},
        {"styles add up; one end tag ends them", "<B><b>x</b>y", "[ffffffB]x[ffffff]y"},
        {"italic underline strike", "<I>i<U>u<S>s</I></U></S>n", "[ffffffI]i[ffffffIU]u[ffffffIUS]s[ffffff]n"},
        {"long names", "<ITALIC>i</ITALIC><UNDERLINE>u</UNDERLINE><STRIKETHRU>s</STRIKETHRU>",
         "[ffffffI]i[ffffffU]u[ffffffS]s"},
        {"font", "<FONT FACE=\"Comic Sans MS\" COLOR=red size=24>x</F>y",
         "[ff0000 Comic Sans MS 24]x[008000]y"},
        {"short attribute names", "<F F=Tahoma S=10 C=#0000ff>x", "[0000ff Tahoma 10]x"},
        {"a size that is not a number is left out", "<F SIZE=big C=lime>x", "[00ff00]x"},
        {"a blank after = gives no colour (shown black)", "<FONT COLOR= red>x", "[none]x"},
        {"/F returns to the defaults, style stays", "<B><F C=red>x</FONT>y", "[ff0000B]x[008000B]y"},
        {"link", "<A HREF=http://wren.example/>here</A>after",
         "[ffffff]here[0000ff] http://wren.example/ [008000]after"},
        {"link with no target writes nothing", "<A>x</A>y", "[ffffff]xy"},
        {"end of link without a link", "x</A>y", "[ffffff]xy"},
        {"right, then centre, then left", "<RIGHT>r<br><C>c<BR><LEFT>l", "(right)[ffffff]r|(center)[ffffff]c|[ffffff]l"},
        {"/C and /RIGHT are left", "<R>a</RIGHT><br>b", "[ffffff]a|[ffffff]b"},
        {"line break", "a<BR>b", "[ffffff]a|[ffffff]b"},
        {"clear", "gone<CT>kept", "[ffffff]kept"},
        {"clear, long name", "gone<CLEARTEXT>", ""},
        {"unknown tag shown with its case", "<Xyz q=1>", "[ffffff]<Xyz q=1>"},
        {"empty tag", "<>", "[ffffff]<>"},
        {"no /R", "</R>", "[ffffff]</R>"},
        {"no /IMG", "</IMG>", "[ffffff]</IMG>"},
        {"IMG without =", "<IMG a.gif>x", "[ffffff]x"},
        {"audio with no file does nothing", "<AUDIO FILE=>x<AU>", "[ffffff]x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        SetUp();
        m_client->ReceiveBytes(c.Text);
        EXPECT_EQ(Shown(), c.Shown);
    }
}

TEST_F(Tags, FontChangesOffLeaveTheFontButEndFontStillWorks)
{
    m_client->Options.AllowFontChanges = false;
    m_client->ReceiveBytes("<FONT FACE=\"Comic Sans MS\" COLOR=red size=24>x</F>y");
    EXPECT_EQ(Shown(), "[ffffff]x[008000]y");
}

TEST_F(Tags, BackgroundIpAndBase)
{
    const Colour start = m_client->Display.Background();
    m_client->ReceiveBytes("<BACK C=navy>");
    EXPECT_EQ(m_client->Display.Background(), Rgb(0, 0, 128));
    EXPECT_EQ(m_client->Options.BackColor, Rgb(0, 0, 128));
    m_client->ReceiveBytes("</BACK>");
    EXPECT_EQ(m_client->Display.Background(), start);
    EXPECT_EQ(m_client->Options.BackColor, Rgb(0, 0, 128)) << "/BACK leaves the option as BACK set it";

    m_globals.LocalAddress = "0.0.0.0";
    m_client->ReceiveBytes("ip <IP>");
    EXPECT_EQ(Shown(), "[ffffff]ip 0.0.0.0");

    m_client->ReceiveBytes("<BASE URL=http://pics.example/a>");
    EXPECT_EQ(m_client->ZelBaseUrl, "http://pics.example/a");
    m_client->ReceiveBytes("<BASE URL=pics.example><BASE URL=http://nodot>");
    EXPECT_EQ(m_client->ZelBaseUrl, "http://pics.example/a") << "values that are no web address are ignored";
}

// Tags in server text: whole, cut at every offset, and byte by byte, the view is the same.
TEST_F(Tags, ServerTextGivesTheSameViewHoweverItIsCut)
{
    struct Case {
        const char *Name;
        QByteArray Bytes;
        std::string Shown;
    } cases[] = {
        {"tag spans blocks", "<BOLD>text", "[ffffffB]text"},
        {"tag given up at the line end", "a<b\r\nc", "[ffffff]a<b|[ffffff]c"},
        {"blanks and words in a tag", "x < y and z > w", "[ffffff]x <y and z> w"},
        {"second open starts a new tag", "<<B>x", "[ffffff]<[ffffffB]x"},
        {"escape gives up a tag", B("<ab\x1b[1mX"), "[ffffff]<ab[ffffffB]X"},
        {"colour and tags mixed", B("\x1b[31mred <b>bold\x1b[0m plain</b> end\r\n"),
         "[800000]red [800000B]bold[008000] plain end|"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray bytes = c.Bytes;
        QList<QList<QByteArray>> splits {{bytes}};
        for (qsizetype cut = 1; cut < bytes.size(); ++cut)
            splits.append({bytes.left(cut), bytes.mid(cut)});
        QList<QByteArray> oneByOne;
        for (char ch : bytes)
            oneByOne.append(QByteArray(1, ch));
        splits.append(oneByOne);
        for (const QList<QByteArray> &blocks : splits) {
            SetUp();
            for (const QByteArray &block : blocks)
                m_client->ReceiveBytes(block);
            EXPECT_EQ(Shown(), c.Shown) << blocks.size() << " blocks, the first of " << blocks[0].size() << " bytes";
        }
    }
}
