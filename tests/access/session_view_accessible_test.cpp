// SPDX-License-Identifier: GPL-3.0-or-later
// The session view as a screen reader sees it: its text, lines and words, and the events for new and trimmed
// text.
#include "config/program_folder.h"
#include "session/accessible_text.h"
#include "session/client.h"
#include "support/test_support.h"
#include "ui/session_view.h"

#include <QAccessible>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace wren;

namespace {

/// One text event as the update handler saw it.
struct SeenEvent {
    QAccessible::Event Type;
    int Position = 0;
    QString Text;
    QString OldText;
};

std::vector<SeenEvent> *g_events = nullptr;

void RecordEvent(QAccessibleEvent *event)
{
    if (!g_events)
        return;
    switch (event->type()) {
    case QAccessible::TextInserted: {
        auto *inserted = static_cast<QAccessibleTextInsertEvent *>(event);
        g_events->push_back({event->type(), inserted->changePosition(), inserted->textInserted(), {}});
        break;
    }
    case QAccessible::TextRemoved: {
        auto *removed = static_cast<QAccessibleTextRemoveEvent *>(event);
        g_events->push_back({event->type(), removed->changePosition(), removed->textRemoved(), {}});
        break;
    }
    case QAccessible::TextUpdated: {
        auto *updated = static_cast<QAccessibleTextUpdateEvent *>(event);
        g_events->push_back(
            {event->type(), updated->changePosition(), updated->textInserted(), updated->textRemoved()});
        break;
    }
    default:
        break;
    }
}

class AccessibleViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        m_client->Options.WorldName = "Demo World";
        m_view.reset(CreateSessionView(*m_client));
        m_view->resize(640, 300);
        m_view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_view.get()));
        g_events = &m_events;
        m_previousHandler = QAccessible::installUpdateHandler(RecordEvent);
        // On X the platform's bridge turns accessibility on once the AT-SPI bus answers (run_on_display.sh
        // asks for it to be on always); the offscreen platform has none.
        if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
            GTEST_SKIP() << "the platform has no accessibility; run_on_display.sh runs this on X with AT-SPI";
        m_view->FlushFrame();
        m_iface = QAccessible::queryAccessibleInterface(m_view.get());
        ASSERT_NE(m_iface, nullptr);
        m_text = m_iface->textInterface();
        ASSERT_NE(m_text, nullptr);
        m_screenReaderCopy = AllText();
    }

    void TearDown() override
    {
        QAccessible::installUpdateHandler(m_previousHandler);
        g_events = nullptr;
    }

    void Receive(const QByteArray &bytes)
    {
        m_client->ReceiveBytes(bytes);
        m_view->FlushFrame();
        ApplyEvents();
    }

    QString AllText() const { return m_text->text(0, m_text->characterCount()); }

    /// What a screen reader that keeps its own copy of the text has after the events so far.
    void ApplyEvents()
    {
        for (size_t i = m_applied; i < m_events.size(); ++i) {
            const SeenEvent &e = m_events[i];
            if (e.Type == QAccessible::TextInserted) {
                m_screenReaderCopy.insert(e.Position, e.Text);
            } else if (e.Type == QAccessible::TextRemoved) {
                EXPECT_EQ(m_screenReaderCopy.mid(e.Position, e.Text.size()), e.Text) << "removes what was there";
                m_screenReaderCopy.remove(e.Position, e.Text.size());
            } else if (e.Type == QAccessible::TextUpdated) {
                EXPECT_EQ(m_screenReaderCopy.mid(e.Position, e.OldText.size()), e.OldText);
                m_screenReaderCopy.replace(e.Position, e.OldText.size(), e.Text);
            }
        }
        m_applied = m_events.size();
    }

    /// The document as the view shows it, lines joined by '\n'.
    QString ShownDocument() const
    {
        QStringList lines;
        for (const Paragraph &paragraph : m_client->Display.Paragraphs())
            lines.append(AccessibleTextMirror::ShownText(paragraph));
        return lines.join(QLatin1Char('\n'));
    }

    std::vector<SeenEvent> InsertEvents() const
    {
        std::vector<SeenEvent> inserted;
        for (const SeenEvent &e : m_events) {
            if (e.Type == QAccessible::TextInserted)
                inserted.push_back(e);
        }
        return inserted;
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_client;
    std::unique_ptr<SessionView> m_view;
    std::vector<SeenEvent> m_events;
    size_t m_applied = 0;
    QString m_screenReaderCopy;
    QAccessible::UpdateHandler m_previousHandler = nullptr;
    QAccessibleInterface *m_iface = nullptr;
    QAccessibleTextInterface *m_text = nullptr;
};

struct TextCase {
    const char *Name;
    QByteArray Bytes;
    QString Expected; ///< the whole text after the block
};

void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << c.Name;
}

class AccessibleTextCases : public AccessibleViewTest, public ::testing::WithParamInterface<TextCase>
{
};

} // namespace

TEST_F(AccessibleViewTest, IsANamedReadOnlyTextAtTheWorld)
{
    EXPECT_EQ(m_iface->text(QAccessible::Name), QStringLiteral("Output of Demo World"));
    EXPECT_FALSE(m_iface->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(m_iface->role(), QAccessible::EditableText);
    EXPECT_TRUE(m_iface->state().readOnly);
    EXPECT_TRUE(m_iface->state().multiLine);
}

TEST_P(AccessibleTextCases, TextIsTheDocumentAsShown)
{
    Receive(GetParam().Bytes);
    EXPECT_EQ(AllText(), GetParam().Expected);
    EXPECT_EQ(AllText(), ShownDocument());
    EXPECT_EQ(m_text->characterCount(), GetParam().Expected.size());
    EXPECT_EQ(m_screenReaderCopy, AllText()) << "the insert events build the same text";
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, AccessibleTextCases,
    ::testing::Values(TextCase {"PlainLines", "You are in a hall.\r\nExits: north\r\n",
                                QStringLiteral("You are in a hall.\nExits: north\n")},
                      TextCase {"ColoursAreNotText", "\x1b[1;31mRed\x1b[0m door\r\n", QStringLiteral("Red door\n")},
                      TextCase {"PromptWithoutLineEnd", "Name: ", QStringLiteral("Name: ")},
                      TextCase {"TabsAsShown", "a\tb\r\n", QStringLiteral("a       b\n")},
                      TextCase {"Utf8AndLatin1", "caf\xc3\xa9 na\xefve\r\n", QStringLiteral("caf\u00e9 na\u00efve\n")}),
    [](const ::testing::TestParamInfo<TextCase> &info) { return std::string(info.param.Name); });

TEST_F(AccessibleViewTest, OneInsertEventPerBlockWithItsText)
{
    Receive("Welcome.\r\n");
    m_events.clear();
    m_applied = 0;
    const int before = m_text->characterCount();
    Receive("one\r\ntwo\r\nthree\r\n");
    const std::vector<SeenEvent> inserted = InsertEvents();
    ASSERT_EQ(inserted.size(), 1u) << "a block is one event, not one per line";
    EXPECT_EQ(inserted[0].Position, before);
    EXPECT_EQ(inserted[0].Text, QStringLiteral("one\ntwo\nthree\n"));

    Receive("half a li");
    Receive("ne\r\n");
    const std::vector<SeenEvent> more = InsertEvents();
    ASSERT_EQ(more.size(), 3u);
    EXPECT_EQ(more[1].Text, QStringLiteral("half a li"));
    EXPECT_EQ(more[2].Text, QStringLiteral("ne\n"));
    EXPECT_EQ(m_screenReaderCopy, AllText());
}

TEST_F(AccessibleViewTest, NothingIsAnnouncedWhenSwitchedOffButTheTextStaysRight)
{
    m_client->Features.AnnounceNewText = false;
    Receive("quiet line\r\n");
    EXPECT_TRUE(InsertEvents().empty());
    EXPECT_EQ(AllText(), ShownDocument());
}

TEST_F(AccessibleViewTest, TrimmingAtTheLineLimitKeepsOffsetsRight)
{
    m_client->Options.MaxLines = 20;
    for (int block = 0; block < 6; ++block) {
        QByteArray text;
        for (int i = 0; i < 15; ++i)
            text += "block " + QByteArray::number(block) + " line " + QByteArray::number(i) + "\r\n";
        Receive(text);
        ASSERT_EQ(m_screenReaderCopy, AllText()) << "after block " << block;
        ASSERT_EQ(AllText(), ShownDocument());
    }
    bool removed = false;
    for (const SeenEvent &e : m_events)
        removed = removed || (e.Type == QAccessible::TextRemoved && e.Position == 0);
    EXPECT_TRUE(removed) << "the dropped lines were announced as removed from the start";
    int start = 0, end = 0;
    const QString first = m_text->textAtOffset(0, QAccessible::LineBoundary, &start, &end);
    EXPECT_EQ(first, ShownDocument().section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n'));
}

TEST_F(AccessibleViewTest, ClearingAnnouncesTheRemovalOfEverything)
{
    Receive("old text\r\n");
    m_client->Display.Clear();
    m_view->FlushFrame();
    ApplyEvents();
    Receive("new\r\n");
    EXPECT_EQ(AllText(), QStringLiteral("new\n"));
    EXPECT_EQ(m_screenReaderCopy, AllText());
}

TEST_F(AccessibleViewTest, LinesWordsAndCharactersAtOffsets)
{
    Receive("first line here\r\nsecond line\r\n");
    struct Row {
        int Offset;
        QAccessible::TextBoundaryType Boundary;
        const char *At;
        const char *Before;
        const char *After;
    };
    const Row rows[] = {
        {0, QAccessible::CharBoundary, "f", "", "i"},
        {6, QAccessible::WordBoundary, "line", " ", " "},
        {8, QAccessible::LineBoundary, "first line here\n", "", "second line\n"},
        {20, QAccessible::LineBoundary, "second line\n", "first line here\n", ""},
        {16, QAccessible::WordBoundary, "second", "\n", " "},
    };
    for (const Row &row : rows) {
        int start = -1, end = -1;
        EXPECT_EQ(m_text->textAtOffset(row.Offset, row.Boundary, &start, &end), QString::fromUtf8(row.At))
            << row.Offset << " " << row.Boundary;
        EXPECT_EQ(m_text->text(start, end), QString::fromUtf8(row.At));
        EXPECT_EQ(m_text->textBeforeOffset(row.Offset, row.Boundary, &start, &end), QString::fromUtf8(row.Before))
            << row.Offset << " " << row.Boundary;
        EXPECT_EQ(m_text->textAfterOffset(row.Offset, row.Boundary, &start, &end), QString::fromUtf8(row.After))
            << row.Offset << " " << row.Boundary;
    }
}

TEST_F(AccessibleViewTest, SelectionAndCaretAreOffsetsOfTheText)
{
    Receive("abc def\r\nghi\r\n");
    EXPECT_EQ(m_text->selectionCount(), 0);
    EXPECT_EQ(m_text->cursorPosition(), m_text->characterCount()) << "a reader starts at the newest text";
    m_text->setSelection(0, 4, 11);
    EXPECT_EQ(m_view->SelectedText(), QStringLiteral("def\nghi"));
    int start = 0, end = 0;
    m_text->selection(0, &start, &end);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(end, 11);
    m_text->removeSelection(0);
    EXPECT_EQ(m_text->selectionCount(), 0);
    m_text->setCursorPosition(9);
    EXPECT_EQ(m_text->cursorPosition(), 9);
}

TEST_F(AccessibleViewTest, PicturesReadAsTheirNames)
{
    Receive("A map: ");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    m_client->Display.AppendPicture(image, "map.gif");
    m_client->Display.Append(" done\n");
    m_view->FlushFrame();
    ApplyEvents();
    EXPECT_EQ(AllText(), QStringLiteral("A map: [Picture map.gif] done\n"));
    EXPECT_EQ(m_screenReaderCopy, AllText());
    m_text->setSelection(0, 0, AllText().indexOf(QLatin1String(" done")));
    EXPECT_EQ(m_view->SelectedText(), QStringLiteral("A map: ")) << "the picture is one character of the view";
}

TEST_F(AccessibleViewTest, HeldViewAnnouncesOnlyAtTheEndWhenAsked)
{
    m_client->Features.AnnounceOnlyAtEnd = true;
    QByteArray text;
    for (int i = 0; i < 100; ++i)
        text += "filler " + QByteArray::number(i) + "\r\n";
    Receive(text);
    m_view->ScrollPageUp();
    m_client->ScrolledBack = true;
    m_events.clear();
    m_applied = 0;
    const QString before = AllText();
    Receive("while reading back\r\n");
    EXPECT_TRUE(InsertEvents().empty()) << "nothing is announced while the user reads back";
    EXPECT_EQ(AllText(), before);

    m_view->ScrollToBottom();
    m_client->ScrolledBack = false;
    Receive("back at the end\r\n");
    const std::vector<SeenEvent> inserted = InsertEvents();
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0].Text, QStringLiteral("while reading back\nback at the end\n"));
    EXPECT_EQ(m_screenReaderCopy, AllText());
}

TEST_F(AccessibleViewTest, ZoomChangesTheFontSizeNotTheText)
{
    Receive("zoom me\r\n");
    const int height = m_client->Display.Paragraphs().front().Height;
    m_client->Display.SetZoom(6);
    m_view->FlushFrame();
    EXPECT_GT(m_client->Display.Paragraphs().front().Height, height);
    EXPECT_EQ(AllText(), QStringLiteral("zoom me\n"));
    m_client->Display.SetZoom(0);
    EXPECT_EQ(m_client->Display.Paragraphs().front().Height, height);
}
