// SPDX-License-Identifier: GPL-3.0-or-later
// The output view: frame-paced painting, following new text, wheel paging, selection, copy and links.
#include "config/program_folder.h"
#include "session/client.h"
#include "support/test_support.h"
#include "ui/search_bar.h"
#include "ui/session_view.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace wren;

namespace {

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void open(const QUrl &url) { Urls.append(url); }
};

class SessionViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.path());
        m_client = std::make_unique<TClient>(m_globals);
        m_view.reset(CreateSessionView(*m_client));
        m_view->resize(640, 300);
        m_view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_view.get()));
        m_view->FlushFrame();
    }

    void Receive(const QByteArray &bytes)
    {
        m_client->ReceiveBytes(bytes);
        m_view->FlushFrame();
    }

    void FillLines(int count)
    {
        QByteArray text;
        for (int i = 0; i < count; ++i)
            text += "line " + QByteArray::number(i) + "\r\n";
        Receive(text);
    }

    void Wheel(int delta)
    {
        QWheelEvent event(QPointF(50, 50), m_view->mapToGlobal(QPoint(50, 50)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_view->viewport(), &event);
        m_view->FlushFrame();
    }

    // Centre of a character cell of the first paragraphs (fixed-pitch font, no scrolling).
    QPoint Cell(int row, int column)
    {
        const StyleMetrics &m = m_client->Display.Layouter().Metrics(m_client->Display.Paragraphs().front().Runs[0].Style);
        return QPoint(SessionView::Padding + static_cast<int>((column + 0.5) * m.CharWidth), row * m.LineHeight + m.LineHeight / 2);
    }

    QTemporaryDir m_folder;
    TGlobals m_globals;
    std::unique_ptr<TClient> m_client;
    std::unique_ptr<SessionView> m_view;
};

} // namespace

TEST_F(SessionViewTest, PaintsAtMostOncePerFrameWhateverTheWrites)
{
    const quint64 before = m_view->PaintCount();
    for (int i = 0; i < 5000; ++i)
        m_client->WriteText("some text\n");
    test::Pump(120);
    const quint64 paints = m_view->PaintCount() - before;
    EXPECT_GE(paints, 1u) << "a trailing frame shows the last text";
    EXPECT_LE(paints, 10u);
}

TEST_F(SessionViewTest, FollowsNewTextUntilScrolledBackWithTheWheel)
{
    FillLines(200);
    EXPECT_TRUE(m_view->AtBottom());
    EXPECT_GT(m_view->ScrollMaximum(), 0);

    const int page = m_view->PageSize();
    const int bottom = m_view->ScrollMaximum();
    Wheel(120);
    EXPECT_TRUE(m_client->ScrolledBack);
    const int held = m_view->ScrollPosition();
    EXPECT_EQ(held, bottom - page) << "one page up; the pane with the newest text keeps it there";
    FillLines(50);
    EXPECT_EQ(m_view->ScrollPosition(), held) << "new text does not move a view scrolled back";

    while (m_client->ScrolledBack && m_view->ScrollPosition() < m_view->ScrollMaximum())
        Wheel(-120);
    EXPECT_FALSE(m_client->ScrolledBack);
    FillLines(10);
    EXPECT_TRUE(m_view->AtBottom());
}

TEST_F(SessionViewTest, ScrolledBackViewKeepsItsLinesWhenTheTopIsTrimmed)
{
    m_client->Options.MaxLines = 100;
    FillLines(120);
    Wheel(120);
    const qint64 shownTop = m_client->Display.TopOfFirst() + m_view->ScrollPosition();
    FillLines(60); // trims the first lines
    EXPECT_EQ(m_client->Display.TopOfFirst() + m_view->ScrollPosition(), shownTop);
}

TEST_F(SessionViewTest, DragSelectsAndAutocopiesPlainText)
{
    Receive("first line\r\nsecond line\r\n");
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 2));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched")) << "a click selects nothing";

    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 6));
    QMouseEvent move(QEvent::MouseMove, Cell(1, 6), m_view->viewport()->mapToGlobal(Cell(1, 6)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_view->viewport(), &move);
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(1, 6));
    EXPECT_EQ(m_view->SelectedText(), QStringLiteral("line\nsecond"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("line\nsecond"));
}

TEST_F(SessionViewTest, AutocopyOffLeavesTheClipboard)
{
    Receive("some words\r\n");
    m_client->Options.AutoCopy = false;
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 1));
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 1));
    EXPECT_EQ(m_view->SelectedText(), QStringLiteral("some"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(SessionViewTest, ClickOnAWebAddressOpensIt)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    Receive("visit http://example.org/mud now\r\n");
    QSignalSpy activated(m_view.get(), &SessionView::LinkActivated);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 10));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toString(), QStringLiteral("http://example.org/mud"));
    ASSERT_EQ(catcher.Urls.size(), 1);
    EXPECT_EQ(catcher.Urls.front(), QUrl(QStringLiteral("http://example.org/mud")));

    m_client->Options.AutoHighlightLinks = false;
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 10));
    EXPECT_EQ(activated.count(), 1);
}

TEST_F(SessionViewTest, MouseReleaseMakesTheSessionCurrentAndRightButtonAsksForTheMenu)
{
    m_client->Index = 3;
    QSignalSpy menu(m_view.get(), &SessionView::ContextMenuWanted);
    QSignalSpy focus(m_view.get(), &SessionView::FocusReturned);
    QTest::mouseClick(m_view->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(m_globals.CurrentSession, 3);
    EXPECT_EQ(menu.count(), 1);
    EXPECT_EQ(focus.count(), 1);
}

TEST_F(SessionViewTest, PaintsColoursAndBackground)
{
    Receive("\x1b[41m\x1b[37m      \x1b[0m\r\n");
    const QImage image = m_view->viewport()->grab().toImage();
    const QColor background = image.pixelColor(600, 250);
    EXPECT_EQ(background, QColor(0, 0, 64));
    const QColor cell = image.pixelColor(Cell(0, 2));
    EXPECT_EQ(cell, QColor(128, 0, 0)) << "the red background of the run";
}

TEST_F(SessionViewTest, InverseTextSwapsItsColours)
{
    // Red text inverse: a red cell; inverse with no background of its own: the text in the view's colour.
    Receive("\x1b[7;31m      \x1b[0m\r\n\x1b[7m\x1b[44;33m      \x1b[0m\r\n");
    const QImage image = m_view->viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(Cell(0, 2)), QColor(128, 0, 0));
    EXPECT_EQ(image.pixelColor(Cell(1, 2)), QColor(128, 128, 0)) << "yellow on blue shown as blue on yellow";
}

// While the user reads back, a pane at the bottom shows the newest text; back at the end it goes.
TEST_F(SessionViewTest, ReadingBackSplitsOffTheLiveEnd)
{
    FillLines(200);
    EXPECT_EQ(m_view->LiveEnd(), nullptr);
    Wheel(120);
    SessionView *live = m_view->LiveEnd();
    ASSERT_NE(live, nullptr);
    EXPECT_GT(live->height(), 0);
    EXPECT_EQ(live->geometry().bottom(), m_view->height() - 1) << "at the bottom of the view";
    const int held = m_view->ScrollPosition();
    FillLines(30);
    live->FlushFrame();
    EXPECT_EQ(m_view->ScrollPosition(), held) << "the part being read stays";
    EXPECT_TRUE(live->AtBottom()) << "the pane follows the newest text";
    const QImage pane = live->viewport()->grab().toImage();
    EXPECT_NE(pane.pixelColor(SessionView::Padding + 2, pane.height() - 4), QColor()) << "it paints";

    while (m_client->ScrolledBack && m_view->ScrollPosition() < m_view->ScrollMaximum())
        Wheel(-120);
    EXPECT_EQ(m_view->LiveEnd(), nullptr);

    m_client->Features.SplitView = false;
    Wheel(120);
    EXPECT_TRUE(m_client->ScrolledBack);
    EXPECT_EQ(m_view->LiveEnd(), nullptr) << "switched off for the world";
}

TEST_F(SessionViewTest, ClickOnAClientLineRunsItsAction)
{
    QSignalSpy actions(m_view.get(), &SessionView::ActionActivated);
    m_client->WriteStatus("Reconnect", "reconnect");
    m_client->WriteStatus("Plain status");
    m_view->FlushFrame();
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(1, 2));
    EXPECT_EQ(actions.count(), 0) << "a line without an action";
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 40));
    EXPECT_EQ(actions.count(), 0) << "past the end of the text";
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, Cell(0, 2));
    ASSERT_EQ(actions.count(), 1);
    EXPECT_EQ(actions.front().front().toByteArray(), "reconnect");
}

TEST_F(SessionViewTest, ReportsItsSizeInCharactersOnceResizingSettles)
{
    QSignalSpy sizes(m_view.get(), &SessionView::WindowSizeChanged);
    ASSERT_TRUE(sizes.wait(1000)) << "the first size";
    sizes.clear();
    for (int width = 500; width <= 800; width += 10)
        m_view->resize(width, 400);
    EXPECT_TRUE(sizes.isEmpty()) << "nothing while the size changes";
    ASSERT_TRUE(sizes.wait(1000));
    EXPECT_EQ(sizes.count(), 1);
    const StyleMetrics &m = m_client->Display.Layouter().Metrics(m_client->Display.Paragraphs().back().EmptyStyle);
    const int columns = sizes.front()[0].toInt();
    const int rows = sizes.front()[1].toInt();
    EXPECT_EQ(columns, static_cast<int>((m_view->viewport()->width() - 2 * SessionView::Padding) / m.CharWidth));
    EXPECT_EQ(rows, 400 / m.LineHeight);
}

#include "session_view_test.moc"

TEST_F(SessionViewTest, FindBarMarksHitsAndMovesBetweenThem)
{
    QByteArray text;
    for (int i = 0; i < 300; ++i)
        text += (i == 20 || i == 150 || i == 280 ? "a \x1b[31mDragon\x1b[0m roars " : "line ") + QByteArray::number(i) + "\r\n";
    Receive(text);
    SearchBar bar;
    bar.CurrentView = [this] { return m_view.get(); };
    bar.resize(600, 30);
    bar.Open();
    QTest::keyClicks(bar.Query(), QStringLiteral("dragon"));
    EXPECT_EQ(bar.Status(), QStringLiteral("3 of 3")) << "case-insensitive; starts at the newest hit";

    const int bottom = m_view->ScrollMaximum();
    QTest::keyClick(bar.Query(), Qt::Key_Return); // older
    m_view->FlushFrame();
    EXPECT_EQ(bar.Status(), QStringLiteral("2 of 3"));
    EXPECT_TRUE(m_client->ScrolledBack) << "the view holds at the hit";
    EXPECT_LT(m_view->ScrollPosition(), bottom);
    const auto &hit = bar.Hits()[1];
    for (const Paragraph &paragraph : m_client->Display.Paragraphs()) {
        if (paragraph.Id == hit.Paragraph) {
            EXPECT_EQ(paragraph.Text.mid(hit.Start, hit.Length), "Dragon");
        }
    }
    ASSERT_NE(m_view->LiveEnd(), nullptr) << "new text stays in sight below";

    Receive("another dragon\r\n"); // searched again on the next move, keeping the place
    QTest::keyClick(bar.Query(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(bar.Status(), QStringLiteral("3 of 4"));

    bar.MatchCase()->setChecked(true);
    EXPECT_EQ(bar.Status(), QStringLiteral("1 of 1")) << "only the lower-case line";
    bar.Query()->setText(QStringLiteral("DRAGON"));
    EXPECT_EQ(bar.Status(), QStringLiteral("No matches"));
    bar.MatchCase()->setChecked(false);
    bar.Regex()->setChecked(true);
    bar.Query()->setText(QStringLiteral("line 1\\d\\b"));
    EXPECT_EQ(bar.Status(), QStringLiteral("10 of 10"));
    bar.Query()->setText(QStringLiteral("(unclosed"));
    EXPECT_TRUE(bar.Status().startsWith(QStringLiteral("Bad pattern: "))) << bar.Status().toStdString();
    EXPECT_TRUE(bar.Hits().empty());
    Receive(QByteArray("words ").repeated(30) + "\r\n");
    bar.Query()->setText(QStringLiteral("(\\w+\\s?)+\\d\\d\\d\\d$"));
    EXPECT_TRUE(bar.Status().endsWith(QStringLiteral("(search stopped: the pattern takes too long)")))
        << bar.Status().toStdString();

    QTest::keyClick(bar.Query(), Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(bar.Hits().empty());
}
