// SPDX-License-Identifier: GPL-3.0-or-later
// The main window for a screen reader and for low vision: names on its parts, announced status, the speech
// and zoom keys and the speech settings.
#include "ui/access_setup.h"

#include "config/app_settings.h"
#include "session/client.h"
#include "session/session_speech.h"
#include "session/view_zoom.h"
#include "ui/command_box.h"
#include "ui/main_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace wren {

namespace {

/// Enter on the playlist plays the selected song, as a double click does.
class PlaylistKeys : public QObject
{
public:
    PlaylistKeys(QListWidget *list, Workspace &workspace)
        : QObject(list)
        , m_list(list)
        , m_workspace(workspace)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_list->currentRow() >= 0) {
                m_workspace.Music.Activate(m_list->currentRow());
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QListWidget *m_list;
    Workspace &m_workspace;
};

/// Runs an action on Enter in an item view.
class EnterKey : public QObject
{
public:
    EnterKey(QObject *parent, std::function<void()> action)
        : QObject(parent)
        , m_action(std::move(action))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
                m_action();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

/// The label a form or a row of a layout puts beside @p widget: the form's label for it, or the nearest
/// label before it in its layout.
QString LabelBeside(QWidget *widget)
{
    QWidget *parent = widget->parentWidget();
    if (!parent || !parent->layout())
        return {};
    QList<QLayout *> layouts {parent->layout()};
    while (!layouts.isEmpty()) {
        QLayout *layout = layouts.takeFirst();
        if (auto *form = qobject_cast<QFormLayout *>(layout)) {
            if (auto *label = qobject_cast<QLabel *>(form->labelForField(widget)))
                return label->text();
        }
        QString before;
        for (int i = 0; i < layout->count(); ++i) {
            QLayoutItem *item = layout->itemAt(i);
            if (item->layout())
                layouts.append(item->layout());
            if (auto *label = qobject_cast<QLabel *>(item->widget()); label && !label->text().isEmpty())
                before = label->text();
            if (item->widget() == widget && !before.isEmpty())
                return before;
        }
    }
    return {};
}

QString Spaced(const QString &objectName)
{
    QString words;
    for (const QChar c : objectName) {
        if (c.isUpper() && !words.isEmpty())
            words.append(QLatin1Char(' '));
        words.append(words.isEmpty() ? c.toUpper() : c.toLower());
    }
    return words;
}

/// Gives every control of @p root that takes the focus and has no name of its own (no text, no buddy label)
/// the name a sighted player reads beside it: its label, its tip, its hint, or what it is called.
// Where a control's name comes from, tried in order.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void NameControls(QWidget *root)
{
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (widget->focusPolicy() == Qt::NoFocus || !widget->accessibleName().isEmpty())
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
        if (!iface || !iface->text(QAccessible::Name).trimmed().isEmpty())
            continue;
        // The text box of an editable combo box is read as the box.
        auto *combo = qobject_cast<QComboBox *>(widget->parentWidget());
        QString name = LabelBeside(combo ? combo : widget);
        if (name.isEmpty() && combo)
            name = combo->accessibleName();
        if (name.isEmpty())
            name = widget->toolTip();
        if (auto *edit = qobject_cast<QLineEdit *>(widget); name.isEmpty() && edit)
            name = edit->placeholderText();
        for (QWidget *up = widget->parentWidget(); name.isEmpty() && up && up != root; up = up->parentWidget()) {
            if (auto *group = qobject_cast<QGroupBox *>(up))
                name = group->title();
            else if (auto *tabs
                     = qobject_cast<QTabWidget *>(up->parentWidget() ? up->parentWidget()->parentWidget() : nullptr))
                name = tabs->tabText(tabs->indexOf(up));
        }
        if (name.isEmpty())
            name = Spaced(widget->objectName());
        if (name.isEmpty())
            name = Spaced(QString::fromLatin1(widget->metaObject()->className()).section(QLatin1Char(':'), -1).mid(1));
        name.remove(QLatin1Char('&'));
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
        if (!name.trimmed().isEmpty())
            widget->setAccessibleName(name.trimmed());
    }
}

/// Names the controls of every window as it is first shown (the dialogs among them).
class ControlNamer : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow())
                NameControls(widget);
        }
        return QObject::eventFilter(watched, event);
    }
};

/// The status line: what it says is told to a screen reader as it changes.
void Announce(QLabel *status, const QString &text)
{
    if (status->text() == text)
        return;
    status->setText(text);
    QAccessibleEvent event(status, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

QString WorldOf(const TClient *session)
{
    const QString name = QString::fromLocal8Bit(session->Options.WorldName.trimmed());
    return name.isEmpty() ? QString::fromLocal8Bit(session->Options.Host.trimmed()) : name;
}

bool AskTrust(QWidget *parent, const QString &question)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Certificate"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(QStringLiteral("The world's certificate does not verify. &Details:"), &dialog);
    auto *details = new QPlainTextEdit(question, &dialog);
    details->setObjectName(QStringLiteral("certificateDetails"));
    details->setReadOnly(true);
    details->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    details->setFocusPolicy(Qt::StrongFocus);
    details->setAccessibleName(QStringLiteral("Certificate details"));
    label->setBuddy(details);
    layout->addWidget(label);
    layout->addWidget(details, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No, &dialog);
    buttons->button(QDialogButtonBox::No)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    QWidget::setTabOrder(details, buttons);
    details->setFocus();
    dialog.resize(520, 320);
    return dialog.exec() == QDialog::Accepted;
}

void FollowSession(TfrmMain &window, QLabel *status, TClient *session)
{
    Connection &link = session->Link();
    QObject::connect(&link, &Connection::Established, status,
                     [status, session] { Announce(status, QStringLiteral("%1: connected").arg(WorldOf(session))); });
    QObject::connect(&link, &Connection::Closed, status,
                     [status, session] { Announce(status, QStringLiteral("%1: disconnected").arg(WorldOf(session))); });
    QObject::connect(&link, &Connection::Status, status,
                     [status, session](const QByteArray &text, const QByteArray &action) {
                         if (action.isEmpty())
                             return;
                         Announce(status, QStringLiteral("%1: %2 Reconnect with File, Connect, or click the line.")
                                              .arg(WorldOf(session), QString::fromLocal8Bit(text.trimmed())));
                     });
    Q_UNUSED(window);
}

void AddKeys(TfrmMain &window, QMenu *menu)
{
    Workspace &workspace = window.Sessions();
    menu->addSeparator();
    const auto zoom = [&workspace](int direction) {
        return [&workspace, direction] {
            if (TClient *session = workspace.Current())
                StepZoom(*session, direction);
        };
    };
    QAction *in = menu->addAction(QStringLiteral("Zoom &in"), &window, zoom(1));
    in->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                      QKeySequence(QKeySequence::ZoomIn)});
    in->setObjectName(QStringLiteral("zoomIn"));
    QAction *out = menu->addAction(QStringLiteral("Zoom &out"), &window, zoom(-1));
    out->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)});
    out->setObjectName(QStringLiteral("zoomOut"));
    QAction *normal = menu->addAction(QStringLiteral("&Normal size"), &window, zoom(0));
    normal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    normal->setObjectName(QStringLiteral("zoomNormal"));
    menu->addSeparator();
    QAction *stop = menu->addAction(QStringLiteral("&Stop speech"), &window, [&workspace] { workspace.Speech.Stop(); });
    stop->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    stop->setObjectName(QStringLiteral("stopSpeech"));
    QAction *repeat = menu->addAction(QStringLiteral("&Repeat last line"), &window, [&workspace] {
        TClient *session = workspace.Current();
        if (!session || !session->Features.Speech)
            return;
        if (const QByteArray notice = workspace.Speech.RepeatLast(); !notice.isEmpty())
            session->WriteStatus(notice);
    });
    repeat->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    repeat->setObjectName(QStringLiteral("repeatLine"));
    QAction *settings = menu->addAction(QStringLiteral("S&peech settings..."), &window, [&window] {
        QDialog *dialog = CreateSpeechSettingsDialog(window.Sessions().Speech, &window);
        if (window.BeforeDialog)
            window.BeforeDialog(dialog);
        dialog->exec();
        delete dialog;
    });
    settings->setObjectName(QStringLiteral("speechSettings"));
    for (QAction *action : {in, out, normal, stop, repeat})
        action->setShortcutContext(Qt::ApplicationShortcut);
}

} // namespace

void InstallAccessibility(TfrmMain &window)
{
    Workspace &workspace = window.Sessions();
    workspace.Speech.LoadSettings(AppSettings());
    static ControlNamer *namer = nullptr;
    if (!namer) {
        namer = new ControlNamer(qApp);
        qApp->installEventFilter(namer);
    }
    CommandBox *command = window.Command();
    command->setAccessibleName(QStringLiteral("Command"));
    command->setAccessibleDescription(QStringLiteral(
        "Type a command for the world and press Enter; Up and Down recall earlier commands, Tab completes"));
    window.Tabs()->setAccessibleName(QStringLiteral("Worlds"));
    window.MusicList()->setAccessibleName(QStringLiteral("Playlist"));
    window.MusicList()->installEventFilter(new PlaylistKeys(window.MusicList(), workspace));

    auto *status = new QLabel(&window);
    status->setObjectName(QStringLiteral("accessStatus"));
    status->setAccessibleDescription(QStringLiteral("The selected world and its connection"));
    window.statusBar()->addWidget(status, 1);
    window.statusBar()->setSizeGripEnabled(false);
    QObject::connect(&workspace, &Workspace::CurrentChanged, status, [status, &workspace](int index) {
        if (const TClient *session = workspace.At(index))
            Announce(status,
                     QStringLiteral("World: %1%2")
                         .arg(WorldOf(session), session->IsConnected() ? QStringLiteral(", connected") : QString()));
    });
    QObject::connect(&workspace, &Workspace::SessionAdded, status,
                     [&window, status](TClient *session, const QByteArray &) {
                         FollowSession(window, status, session);
                         // The trust question shows the certificate's details as text a reader can move through.
                         session->TrustPrompt = [&window](const QString &question) {
                             return window.AskYesNo ? window.AskYesNo(question) : AskTrust(&window, question);
                         };
                     });

    // Typing silences the voice where the world says so.
    QObject::connect(command, &QLineEdit::textEdited, &window, [&workspace] {
        if (SessionSpeech *speech = SessionSpeech::Of(workspace.Current()))
            speech->Typed();
    });
    AddKeys(window, window.Menu().Window);
}

void OnEnter(QAbstractItemView *view, std::function<void()> action)
{
    view->installEventFilter(new EnterKey(view, std::move(action)));
}

QDialog *CreateSpeechSettingsDialog(SpeechOutput &speech, QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setWindowTitle(QStringLiteral("Speech settings"));
    auto *form = new QFormLayout(dialog);
    auto *rate = new QSlider(Qt::Horizontal, dialog);
    rate->setObjectName(QStringLiteral("speechRate"));
    rate->setRange(-10, 10);
    rate->setValue(static_cast<int>(speech.Rate() * 10));
    rate->setAccessibleName(QStringLiteral("Speech rate"));
    auto *rateLabel = new QLabel(QStringLiteral("&Rate (slower to faster):"), dialog);
    rateLabel->setBuddy(rate);
    form->addRow(rateLabel, rate);
    auto *voice = new QComboBox(dialog);
    voice->setObjectName(QStringLiteral("speechVoice"));
    voice->setAccessibleName(QStringLiteral("Voice"));
    const QStringList voices = speech.Voices();
    voice->addItems(voices);
    voice->setCurrentText(speech.Voice());
    voice->setEnabled(!voices.isEmpty());
    auto *voiceLabel = new QLabel(QStringLiteral("&Voice:"), dialog);
    voiceLabel->setBuddy(voice);
    form->addRow(voiceLabel, voice);
    if (!speech.Available())
        form->addRow(new QLabel(QString::fromLatin1(SpeechOutput::UnavailableNotice), dialog));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QPushButton *test = buttons->addButton(QStringLiteral("&Test"), QDialogButtonBox::ActionRole);
    test->setAccessibleName(QStringLiteral("Test the voice"));
    form->addRow(buttons);
    const auto keep = [&speech] {
        AppSettings settings;
        speech.SaveSettings(settings);
    };
    QObject::connect(rate, &QSlider::valueChanged, dialog, [&speech, keep](int value) {
        speech.SetRate(value / 10.0);
        keep();
    });
    QObject::connect(voice, &QComboBox::currentTextChanged, dialog, [&speech, keep](const QString &name) {
        speech.SetVoice(name);
        keep();
    });
    QObject::connect(test, &QPushButton::clicked, dialog,
                     [&speech] { speech.Speak(QStringLiteral("This is how the client speaks.")); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QWidget::setTabOrder(rate, voice);
    QWidget::setTabOrder(voice, test);
    return dialog;
}

} // namespace wren
