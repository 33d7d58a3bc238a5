// SPDX-License-Identifier: GPL-3.0-or-later
// The open sessions: adding, closing and renumbering them, ALL, and sessions that close themselves.
#include "config/program_folder.h"
#include "session/client.h"
#include "session/workspace.h"
#include "support/scripted_world.h"
#include "support/test_support.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace wren;
using wren::test::WaitFor;

namespace {

class WorkspaceTest : public ::testing::Test
{
protected:
    void SetUp() override { SetProgramFolder(m_folder.path()); }

    QList<int> Indexes() const
    {
        QList<int> indexes;
        for (TClient *session : m_globals.Sessions)
            indexes.append(session->Index);
        return indexes;
    }
    QByteArray Variable(TClient *session, const QByteArray &name) const
    {
        for (const TAdvancedItem &v : session->Automation.Variables()) {
            if (v.Name == name)
                return v.Command;
        }
        return "<none>";
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    Workspace m_workspace {m_globals};
};

} // namespace

TEST_F(WorkspaceTest, ClosingTheSecondOfThreeRenumbersAndSelectsTheFirst)
{
    for (const char *name : {"one", "two", "three"})
        m_workspace.NewSession(name, name, 4000, false);
    EXPECT_EQ(Indexes(), (QList<int> {0, 1, 2}));
    EXPECT_EQ(m_workspace.CurrentIndex(), 2);
    QPointer<TClient> second = m_workspace.At(1);
    QSignalSpy removed(&m_workspace, &Workspace::SessionRemoved);

    m_workspace.SetCurrent(1);
    m_workspace.CloseCurrent();
    EXPECT_EQ(Indexes(), (QList<int> {0, 1}));
    EXPECT_EQ(m_workspace.At(1)->Options.WorldName, "three");
    EXPECT_EQ(m_workspace.CurrentIndex(), 0);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0][0].toInt(), 1);
    EXPECT_TRUE(second) << "deleted only once the event loop runs";
    EXPECT_TRUE(WaitFor([&] { return second.isNull(); }));

    m_workspace.SetCurrent(-1);
    m_workspace.CloseCurrent(); // nothing selected: nothing closes
    EXPECT_EQ(m_workspace.Count(), 2);
}

TEST_F(WorkspaceTest, AllRunsInEverySessionWithItsOwnAliasesAndSurvivesAClose)
{
    TClient *a = m_workspace.NewSession("a", "a", 1, false);
    TClient *b = m_workspace.NewSession("b", "b", 2, false);
    TClient *c = m_workspace.NewSession("c", "c", 3, false);
    b->Automation.AddAlias("mark", "/SET where b", "Main");
    a->Automation.AddAlias("mark", "/SET where a;/CLOSE", "Main");
    m_workspace.SetCurrent(0);
    QPointer<TClient> first = a;
    a->ProcessCommand("/ALL mark");
    // The first session ran its alias and closed itself; the loop went on with the others.
    EXPECT_EQ(m_workspace.Count(), 2);
    EXPECT_EQ(Variable(b, "@where"), "b");
    EXPECT_EQ(Variable(c, "@where"), "<none>") << "no alias there: 'mark' went to the (unconnected) world";
    EXPECT_EQ(m_workspace.CurrentIndex(), -1) << "CLOSE leaves no session selected";
    EXPECT_TRUE(WaitFor([&] { return first.isNull(); }));
}

// A trigger's command closes its own session while the rest of the block still waits: nothing of the
// session is touched after that, and the object goes once the event loop runs.
TEST_F(WorkspaceTest, TriggerClosesItsOwnSessionInTheMiddleOfABlock)
{
    test::ScriptedWorld world;
    TClient *other = m_workspace.NewSession("other", "127.0.0.2", 1, false);
    TClient *session = m_workspace.NewSession("self", "127.0.0.1", world.Port(), true);
    ASSERT_TRUE(WaitFor([&] { return world.Peer && session->IsConnected(); }));
    session->Automation.AddTrigger("^bye$", "say leaving;/CLOSE;say never", "Main", 1);
    session->Automation.AddTrigger("^after", "say never", "Main", 1);
    session->Automation.AddEvent("On Disconnect", "say never", "Main");
    QPointer<TClient> guard = session;
    QSignalSpy removed(&m_workspace, &Workspace::SessionRemoved);

    QByteArray block = "one\r\nbye\r\n";
    for (int i = 0; i < 200; ++i)
        block += "after " + QByteArray::number(i) + " \x1b[31mred\x1b[0m\r\n";
    world.Peer->write(block);
    world.Peer->flush();
    ASSERT_TRUE(WaitFor([&] { return guard.isNull(); }));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(m_workspace.Count(), 1);
    EXPECT_EQ(m_workspace.At(0), other);
    EXPECT_EQ(other->Index, 0);
    test::Pump(700); // past the half second an "On Disconnect" would wait
    EXPECT_EQ(world.Received, "say leaving\r\n");
}
