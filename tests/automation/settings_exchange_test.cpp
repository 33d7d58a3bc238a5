// SPDX-License-Identifier: GPL-3.0-or-later
// Import and export byte for byte: the comma-delimited text, zMUD exports and their brace tokens, ".wns"
// files, and a ".wn2" file moved into a fresh world.
#include "automation/settings_exchange.h"
#include "config/program_folder.h"
#include "session/client.h"
#include "support/test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::B;

namespace {

std::string Items(const AutomationStore &store)
{
    std::string out;
    for (ItemKind kind : {ItemKind::Alias, ItemKind::Macro, ItemKind::Event, ItemKind::Trigger, ItemKind::Variable}) {
        for (const TAdvancedItem &item : store.List(kind)) {
            if (item.ItemClass == "System")
                continue;
            out += item.Kind.toStdString() + " [" + item.ItemClass.toStdString() + "] " + test::Escaped(item.Name) + " = "
                + test::Escaped(item.Command) + " #" + std::to_string(item.Number) + " shift " + std::to_string(item.Shift)
                + (item.Enabled ? "" : " off") + "\n";
        }
    }
    return out;
}

QByteArray Wns(std::initializer_list<QByteArray> fields)
{
    QByteArray line;
    for (const QByteArray &field : fields)
        line += field + QByteArray(WnsSeparator, 3);
    return line;
}

} // namespace

TEST(SettingsExport, CommaDelimitedTextByteForByte)
{
    AutomationStore store;
    store.AddAlias("k", "  kill %1  ", "Main");
    store.AddMacro("F5", 116, "Combat", "cast heal\r\nsay done", 2 | 4);
    store.AddMacro("A", 65, "Main", "look", 1);
    store.AddEvent("On Connect", "look", "Main");
    store.AddTrigger("^You see (\\w+)", "k $1", "Main", 1);
    store.AddTrigger("damn", "darn", "System", 0);
    store.AddVariable("@target", "orc", "Main", 0);
    store.AddVariable("$1", "x", "System", 0);
    EXPECT_EQ(ExportTextBytes(store), ";Advanced settings, exported by Wren Client\r\n"
                                      ";Aliases : type, class, name, command, enableonload\r\n"
                                      "Alias,Main,\"k\",\"kill %1\",0\r\n"
                                      ";Macros : type, class, key, shift, command, enableonload\r\n"
                                      "Macro,Combat,116,Alt Ctrl,\"cast heal\r\nsay done\",0\r\n"
                                      "Macro,Main,65,Shift,\"look\",0\r\n"
                                      ";Events : type, class, name, command, enableonload\r\n"
                                      "Event,Main,\"On Connect\",\"look\",0\r\n"
                                      ";Triggers : type, class, name, trigger type, command, enableonload\r\n"
                                      "Trigger,Main,\"^You see (\\w+)\",1,\"k $1\",0\r\n"
                                      ";Variables : type, class, name, variable type, command, enableonload\r\n"
                                      "Variable,Main,\"@target\",0,\"orc\",0\r\n");
    EXPECT_EQ(ModifierWords(0), "");
    EXPECT_EQ(ModifierWords(7), "Alt Ctrl Shift");
}

TEST(SettingsImport, BraceTokens)
{
    struct Case {
        QByteArray Line;
        QList<QByteArray> Tokens;
    } cases[] = {
        {"#ALIAS k {kill %1}", {"#ALIAS", "k", "kill %1"}},
        {"#ALIAS   k    x", {"#ALIAS", "k", "x"}},
        {"#TRIGGER {You see *} {look;say hi}", {"#TRIGGER", "You see *", "look;say hi"}},
        {"#ALIAS k {}", {"#ALIAS", "k", ""}},
        {"#ALIAS ab{cd} e", {"#ALIAS", "cd", "e"}},
        {"#ALIAS {a {b} c}", {"#ALIAS", "a {b", "c}"}},
        {"#ALIAS k {open to the end", {"#ALIAS", "k", "open to the end"}},
        {"{a}{b}", {"a", "b"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BraceTokens(c.Line), c.Tokens) << c.Line.constData();
}

TEST(SettingsImport, ZMudExportLines)
{
    const QByteArray file = "#ALIAS k {kill %1}\r\n"
                            "#KEY F5 {cast heal}\r\n"
                            "#PATH home {3n2e}\r\n"
                            "#TRIGGER {You see (\\w+) here} {look;say hi}\r\n"
                            "#VAR hp 10\r\n"
                            "#ALIAS onlyname\r\n"
                            "\r\n"
                            "#alias lower {case}\r\n";
    AutomationStore store;
    ImportZMudBytes(file, store, " . ");
    const std::string once = Items(store);
    EXPECT_EQ(once, "Alias [Main] k = kill %1 #0 shift 0\n"
                    "Alias [Main] home = .3n2e #0 shift 0\n"
                    "Macro [Main] F5 = cast heal #116 shift 0\n"
                    "Trigger [Main] You see (\\\\w+) here = look;say hi #1 shift 0\n");
    ImportZMudBytes(file, store, ".");
    EXPECT_EQ(Items(store), once) << "importing twice changes nothing";
    AutomationStore blankPath;
    ImportZMudBytes("#PATH home {3n2e}", blankPath, "");
    EXPECT_EQ(blankPath.Aliases()[0].Command, ".3n2e");
}

TEST(SettingsImport, WnsSections)
{
    const QByteArray file = "before any header\r\n" + Wns({"Main", "never"}) + "\r\n"
        "[Aliases]\r\n" + Wns({"", "kill %1", "x", "False", "x", "k", "0", "True"}) + "\r\n"
        "\r\n"
        "[Macros]\r\n" + Wns({"Combat", "cast", "", "", "", "F5", "6"}) + "\r\n"
        + Wns({"", "look", "", "", "", "Q", "1"}) + "trailing text is no field\r\n"
        "[Triggers]\r\n" + Wns({"", "^hp", "say low", "1", "", "False", "False"}) + "\r\n"
        + Wns({"Main", "bad", "x", "5"}) + "\r\n"
        "[Events]\r\n" + Wns({"Main", "dropped"}) + "\r\n"
        "[Vars]\r\n" + Wns({"Main", "dropped"}) + "\r\n"
        "[Menu]\r\n" + Wns({"Main", "dropped"}) + "\r\n";
    AutomationStore store;
    ImportWnsBytes(file, store);
    EXPECT_EQ(Items(store), "Alias [Main] k = kill %1 #0 shift 0\n"
                            "Macro [Combat] F5 = cast #116 shift 6\n"
                            "Macro [Main] Q = look #81 shift 1\n"
                            "Trigger [Main] ^hp = say low #1 shift 0\n");
}

TEST(SettingsExchange, SessionCommandsReportAndWn2MovesIntoAFreshWorld)
{
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    TGlobals globals;
    TClient from(globals);
    from.Open("From", "a.example", 1);
    from.Automation.AddAlias("k", "kill %1", "Main");
    from.Automation.AddTrigger("^x", "y", "Main", 1);
    from.Automation.SetClassState(false, "k", false, "Main");
    from.Automation.AddVariable("$1", "z", "System", 0);
    const QString wn2 = folder.filePath(QStringLiteral("moved.wn2"));
    from.ExportAdvanced(wn2);
    EXPECT_TRUE(from.Display.PlainText().contains(QStringLiteral("\nSettings exported successfully!\n")));
    EXPECT_EQ(from.AdvancedFile, folder.filePath(QStringLiteral("a.example.1.wn2"))) << "the session's own file stays";

    TClient to(globals);
    to.Open("To", "b.example", 2);
    to.ImportAdvanced(wn2);
    EXPECT_TRUE(to.Display.PlainText().contains(QStringLiteral("\nSettings imported successfully!\n")));
    EXPECT_EQ(Items(to.Automation), "Alias [Main] k = kill %1 #0 shift 0\nTrigger [Main] ^x = y #1 shift 0\n")
        << "all enabled; System items stay behind";

    const QString text = folder.filePath(QStringLiteral("out.txt"));
    to.ExportText(text);
    QFile exported(text);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_TRUE(exported.readAll().contains("Alias,Main,\"k\",\"kill %1\",0\r\n"));

    const QString before = to.Display.PlainText();
    to.ImportZMud(folder.filePath(QStringLiteral("missing.txt")));
    to.ImportWns(folder.filePath(QStringLiteral("missing.wns")));
    EXPECT_EQ(to.Display.PlainText(), before) << "a missing file imports nothing and says nothing";
    QFile wns(folder.filePath(QStringLiteral("old.wns")));
    ASSERT_TRUE(wns.open(QIODevice::WriteOnly));
    wns.write("[Aliases]\r\n" + Wns({"", "north", "", "", "", "n"}) + "\r\n");
    wns.close();
    to.ImportWns(wns.fileName());
    EXPECT_TRUE(to.Display.PlainText().contains(QStringLiteral("\nWN settings imported successfully!\n")));
}
