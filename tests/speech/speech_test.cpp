// SPDX-License-Identifier: GPL-3.0-or-later
// The client's own speech through a fake engine: the world's lines, /SPEAK, typing, the missing engine and
// the zoom kept per world; and the system's engine when one is installed.
#include "config/app_settings.h"
#include "config/program_folder.h"
#include "session/client.h"
#include "session/view_zoom.h"
#include "session/workspace.h"
#include "speech/fake_speech_engine.h"
#include "session/session_speech.h"
#include "support/test_support.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;

namespace {

class SpeechTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        UseEngine(true);
    }

    void UseEngine(bool available)
    {
        m_workspace.Speech.SetEngineFactory([this, available] {
            auto engine = std::make_unique<FakeSpeechEngine>(available);
            m_engine = engine.get();
            return engine;
        });
    }

    TClient *Open(const QByteArray &host = "mud.example")
    {
        TClient *session = m_workspace.NewSession("Example", host, 4000, false);
        session->Options.CommandChar = "/";
        return session;
    }

    static int Count(const QString &text, const char *part) { return static_cast<int>(text.count(QLatin1String(part))); }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    Workspace m_workspace {m_globals};
    FakeSpeechEngine *m_engine = nullptr;
};

} // namespace

TEST_F(SpeechTest, IncomingLinesAreSpokenInTurnWhenTheWorldAsks)
{
    TClient *session = Open();
    session->ReceiveBytes("Not spoken: the switch is off.\r\n");
    EXPECT_EQ(m_engine, nullptr) << "no engine is made before anything is said";

    session->Features.SpeakIncoming = true;
    session->ReceiveBytes("\x1b[32mA goblin\x1b[0m arrives.\r\n\r\nIt attacks!\r\nHP: 20> ");
    ASSERT_NE(m_engine, nullptr);
    EXPECT_EQ(m_engine->Said, QStringList {QStringLiteral("A goblin arrives.")}) << "the rest waits its turn";
    m_engine->FinishSaying();
    m_engine->FinishSaying();
    EXPECT_EQ(m_engine->Said, (QStringList {QStringLiteral("A goblin arrives."), QStringLiteral("It attacks!"),
                                            QStringLiteral("HP: 20>")}))
        << "blank lines are skipped; the prompt is read at the end of the block";
}

TEST_F(SpeechTest, SpeakSaysTextAtOnceAndAloneStops)
{
    TClient *session = Open();
    session->Features.SpeakIncoming = true;
    session->ReceiveBytes("first\r\nsecond\r\n");
    session->ProcessCommand("/SPEAK You have new mail");
    EXPECT_EQ(m_engine->Said.back(), QStringLiteral("You have new mail"));
    m_engine->FinishSaying();
    EXPECT_EQ(m_engine->Said.back(), QStringLiteral("You have new mail")) << "what waited was dropped";
    session->ReceiveBytes("third\r\n");
    const int stops = m_engine->Stops;
    session->ProcessCommand("/speak");
    EXPECT_EQ(m_engine->Stops, stops + 1);
    EXPECT_FALSE(m_engine->Speaking());
    EXPECT_FALSE(session->Display.PlainText().contains(QLatin1String("SPEAK"))) << "nothing went to the world";
}

TEST_F(SpeechTest, SpeakRunsFromTriggersAndTheWorldCanSwitchItOff)
{
    TClient *session = Open();
    session->Automation.AddTrigger("tells you", "/speak Someone is talking to you", "Main", 1);
    session->ReceiveBytes("Bob tells you: hi\r\n");
    ASSERT_NE(m_engine, nullptr);
    EXPECT_EQ(m_engine->Said, QStringList {QStringLiteral("Someone is talking to you")});
    session->Features.Speech = false;
    session->ProcessCommand("/speak not in this world");
    EXPECT_EQ(m_engine->Said.size(), 1);
}

TEST_F(SpeechTest, TypingStopsTheVoiceUnlessSwitchedOff)
{
    TClient *session = Open();
    session->ProcessCommand("/SPEAK a long room description");
    ASSERT_TRUE(m_engine->Speaking());
    session->Features.TypingStopsSpeech = false;
    SessionSpeech::Of(session)->Typed();
    EXPECT_TRUE(m_engine->Speaking());
    session->Features.TypingStopsSpeech = true;
    SessionSpeech::Of(session)->Typed();
    EXPECT_FALSE(m_engine->Speaking());
}

TEST_F(SpeechTest, RepeatSaysTheLastLineAgain)
{
    TClient *session = Open();
    session->Features.SpeakIncoming = true;
    session->ReceiveBytes("The door opens.\r\n");
    m_engine->FinishSaying();
    m_workspace.Speech.RepeatLast();
    EXPECT_EQ(m_engine->Said, (QStringList {QStringLiteral("The door opens."), QStringLiteral("The door opens.")}));
}

TEST_F(SpeechTest, WithoutAnEngineTheViewSaysSoOnceAndPlayGoesOn)
{
    UseEngine(false);
    TClient *session = Open();
    session->Features.SpeakIncoming = true;
    session->ReceiveBytes("one\r\ntwo\r\n");
    QTest::qWait(1);
    session->ProcessCommand("/SPEAK three");
    session->ReceiveBytes("four\r\n");
    QTest::qWait(1);
    const QString text = session->Display.PlainText();
    EXPECT_EQ(Count(text, SpeechOutput::UnavailableNotice), 1) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("four")));
    EXPECT_TRUE(m_engine->Said.isEmpty());
}

TEST_F(SpeechTest, RateAndVoiceAreTheProgramsAndKept)
{
    TClient *session = Open();
    m_workspace.Speech.SetRate(0.5);
    m_workspace.Speech.SetVoice(QStringLiteral("second voice"));
    session->ProcessCommand("/SPEAK hello");
    EXPECT_DOUBLE_EQ(m_engine->Rate, 0.5);
    EXPECT_EQ(m_engine->Voice, QStringLiteral("second voice"));
    AppSettings settings;
    m_workspace.Speech.SaveSettings(settings);
    SpeechOutput other([] { return std::make_unique<FakeSpeechEngine>(); });
    other.LoadSettings(settings);
    EXPECT_DOUBLE_EQ(other.Rate(), 0.5);
    EXPECT_EQ(other.Voice(), QStringLiteral("second voice"));
    other.SetRate(7);
    EXPECT_DOUBLE_EQ(other.Rate(), 1.0) << "held to the engine's range";
}

TEST_F(SpeechTest, ZoomIsKeptPerWorldAndCanBeSwitchedOff)
{
    TClient *first = Open("zoom.example");
    EXPECT_EQ(StepZoom(*first, 1), ZoomStep);
    EXPECT_EQ(StepZoom(*first, 1), 2 * ZoomStep);
    EXPECT_EQ(first->Display.Zoom(), 2 * ZoomStep);
    TClient *again = Open("zoom.example");
    EXPECT_EQ(again->Display.Zoom(), 2 * ZoomStep) << "a new session of the world has the world's zoom";
    TClient *other = Open("other.example");
    EXPECT_EQ(other->Display.Zoom(), 0);
    EXPECT_EQ(StepZoom(*again, 0), 0);
    for (int i = 0; i < 40; ++i)
        StepZoom(*again, -1);
    EXPECT_EQ(again->Display.Zoom(), MinZoom);
    other->Features.Zoom = false;
    EXPECT_EQ(StepZoom(*other, 1), 0);
}

TEST(SystemSpeechTest, TheInstalledEngineSpeaksOrIsSkipped)
{
    std::unique_ptr<SpeechEngine> engine = CreateSystemSpeechEngine();
    if (!engine->Available())
        GTEST_SKIP() << "no speech engine is installed (qt6-speech-flite-plugin or speech-dispatcher)";
    EXPECT_FALSE(engine->Voices().isEmpty());
    engine->SetRate(0.5);
    engine->SetVoice(engine->Voices().front());
    engine->Say(QStringLiteral("Wren Client test"));
    QTest::qWait(50);
    engine->Stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !engine->Speaking(); }, 5000));
}
