// SPDX-License-Identifier: GPL-3.0-or-later
// The advanced settings editor: a session's aliases, macros, events, triggers, variables and tab-completion
// words listed, edited, switched on and off, and saved.
#include "automation/advanced_dialog.h"

#include "automation/macro_dialog.h"
#include "automation/trigger_engine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace wren {

namespace {

const QString CompletionType = QStringLiteral("Tab Completion");

QString Text(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

QByteArray Bytes(const QString &text)
{
    return text.toLocal8Bit();
}

// Memo texts are whole, their lines joined by CR LF.
QByteArray MemoBytes(const QPlainTextEdit *memo)
{
    QByteArray text = Bytes(memo->toPlainText());
    return text.replace("\n", "\r\n");
}

void ShowMemo(QPlainTextEdit *memo, const QByteArray &command)
{
    QByteArray text = command;
    memo->setPlainText(Text(text.replace("\r\n", "\n")));
}

struct KindRow {
    const char *Type;
    ItemKind Kind;
};
constexpr KindRow Kinds[] = {{"Alias", ItemKind::Alias},
                             {"Macro", ItemKind::Macro},
                             {"Event", ItemKind::Event},
                             {"Trigger", ItemKind::Trigger},
                             {"Variable", ItemKind::Variable}};

const KindRow *KindOf(const QString &type)
{
    for (const KindRow &row : Kinds) {
        if (type == QLatin1String(row.Type))
            return &row;
    }
    return nullptr;
}

const TAdvancedItem *FindItem(const AutomationStore &store, ItemKind kind, const QByteArray &itemClass,
                              const QByteArray &name)
{
    for (const TAdvancedItem &item : store.List(kind)) {
        if (item.ItemClass == itemClass && item.Name == name)
            return &item;
    }
    return nullptr;
}

} // namespace

TfrmAdvanced::TfrmAdvanced(std::function<AutomationFace *()> current, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_session(std::move(current))
{
    BuildLayout();
    Fill();
}

void TfrmAdvanced::SetSession(std::function<AutomationFace *()> current)
{
    m_session = Live<AutomationFace>(std::move(current));
    grdAdv->clearContents();
    grdAdv->setRowCount(1);
    cmbClass->clear();
    Fill();
}

// One page per kind of automation, each with its fields.
void TfrmAdvanced::BuildPages()
{
    pages = new QTabWidget(this);
    pages->setTabPosition(QTabWidget::South);
    const auto memo = [this] { return new QPlainTextEdit(this); };
    const auto labelled = [this](QLayout *layout, const QString &label, QWidget *field) {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(label, this));
        row->addWidget(field, 1);
        static_cast<QBoxLayout *>(layout)->addLayout(row);
    };
    {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        aliasname = new QLineEdit(page);
        aliasname->setMaxLength(TAdvancedItem::NameMax);
        labelled(layout, QStringLiteral("Name: "), aliasname);
        layout->addWidget(new QLabel(QStringLiteral("Command(s) :       (may include aliases, paths, etc...)"), page));
        aliascommand = memo();
        layout->addWidget(aliascommand);
        pages->addTab(page, QStringLiteral("&Aliases"));
    }
    {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        cmbevents = new QComboBox(page);
        cmbevents->setEditable(true);
        cmbevents->setInsertPolicy(QComboBox::NoInsert);
        cmbevents->addItems({QStringLiteral("ZEL Detected"), QStringLiteral("On Connect"),
                             QStringLiteral("On Disconnect"), QStringLiteral("On Image"),
                             QStringLiteral("On Sound Begin"), QStringLiteral("On Sound End"), QString()});
        labelled(layout, QStringLiteral("Event: "), cmbevents);
        layout->addWidget(new QLabel(QStringLiteral("Command(s) : (may include aliases and other commands)"), page));
        eventcommand = memo();
        layout->addWidget(eventcommand);
        pages->addTab(page, QStringLiteral("&Events"));
    }
    {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        macroname = new QLineEdit(page);
        macroname->setReadOnly(true);
        macroname->setFocusPolicy(Qt::NoFocus);
        macroset = new QPushButton(QStringLiteral("&Pick..."), page);
        ctrlbox = new QCheckBox(QStringLiteral("CTRL"), page);
        altbox = new QCheckBox(QStringLiteral("ALT"), page);
        shiftbox = new QCheckBox(QStringLiteral("SHIFT"), page);
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Key: "), page));
        row->addWidget(macroname, 1);
        row->addWidget(macroset);
        for (QCheckBox *box : {ctrlbox, altbox, shiftbox}) {
            box->setEnabled(false);
            row->addWidget(box);
        }
        layout->addLayout(row);
        layout->addWidget(new QLabel(QStringLiteral("Command(s) : (may include aliases and other commands)"), page));
        macrocommand = memo();
        layout->addWidget(macrocommand);
        pages->addTab(page, QStringLiteral("&Macros"));
    }
    BuildMorePages();
}

// The pages for tab completion, triggers and variables.
void TfrmAdvanced::BuildMorePages()
{
    const auto memo = [this] { return new QPlainTextEdit(this); };
    const auto labelled = [this](QLayout *layout, const QString &label, QWidget *field) {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(label, this));
        row->addWidget(field, 1);
        static_cast<QBoxLayout *>(layout)->addLayout(row);
    };
    {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        auto *text = new QLabel(
            QStringLiteral("Any words that you enter below can be completed as you type by pressing the TAB key.  "
                           "Place each word on its own line or seperate with the command seperator.  Press the add "
                           "button to activate tab completion.  Do deactivate it, simply remove all items from this "
                           "list or highlight the \"Tab Completion\" entry and remove it."),
            page);
        text->setWordWrap(true);
        layout->addWidget(text);
        txttabcompletion = memo();
        layout->addWidget(txttabcompletion);
        pages->addTab(page, QStringLiteral("Tab &Completion"));
    }
    {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        triggerpattern = new QLineEdit(page);
        triggerpattern->setMaxLength(TAdvancedItem::NameMax);
        labelled(layout, QStringLiteral("Pattern: "), triggerpattern);
        auto *action = new QGroupBox(QStringLiteral("Action"), page);
        auto *actions = new QHBoxLayout(action);
        triggerexecute = new QRadioButton(QStringLiteral("Execute"), action);
        triggerreplacewith = new QRadioButton(QStringLiteral("Replace With"), action);
        triggerexecute->setChecked(true);
        actions->addWidget(triggerexecute);
        actions->addWidget(triggerreplacewith);
        layout->addWidget(action);
        triggercommand = memo();
        layout->addWidget(triggercommand);
        pages->addTab(page, QStringLiteral("&Triggers"));
    }
    {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        variablename = new QLineEdit(page);
        variablename->setMaxLength(TAdvancedItem::NameMax);
        variablevalue = new QLineEdit(page);
        variablevalue->setMaxLength(TAdvancedItem::CommandMax);
        labelled(layout, QStringLiteral("Name: "), variablename);
        labelled(layout, QStringLiteral("Value: "), variablevalue);
        layout->addStretch();
        pages->addTab(page, QStringLiteral("&Variables"));
    }
}

void TfrmAdvanced::BuildLayout()
{
    setMinimumSize(611, 317);
    grdAdv = new QTableWidget(1, 4, this);
    grdAdv->setHorizontalHeaderLabels(
        {QStringLiteral("On"), QStringLiteral("Class"), QStringLiteral("Name"), QStringLiteral("Type")});
    const int widths[] = {29, 66, 95, 76};
    for (int c = 0; c < 4; ++c)
        grdAdv->setColumnWidth(c, widths[c]);
    grdAdv->verticalHeader()->hide();
    grdAdv->verticalHeader()->setDefaultSectionSize(16);
    grdAdv->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdAdv->setSelectionMode(QAbstractItemView::SingleSelection);
    grdAdv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdAdv->setStyleSheet(QStringLiteral("QTableWidget { color: navy; }"));

    cmbClass = new QComboBox(this);
    cmbClass->setEditable(true);
    cmbClass->setInsertPolicy(QComboBox::NoInsert);
    cmbClass->lineEdit()->setMaxLength(TAdvancedItem::ClassMax);

    BuildPages();
    const QString fields = QStringLiteral("background: navy; color: yellow;");
    for (QWidget *field : std::initializer_list<QWidget *> {cmbClass, aliasname, aliascommand, cmbevents, eventcommand,
                                                            macroname, macrocommand, txttabcompletion, triggerpattern,
                                                            triggercommand, variablename, variablevalue})
        field->setStyleSheet(fields);

    buttonadd = new QPushButton(QStringLiteral("&Add / Update"), this);
    buttonremove = new QPushButton(QStringLiteral("&Remove"), this);
    buttonenable = new QPushButton(QStringLiteral("&Enable"), this);
    buttondisable = new QPushButton(QStringLiteral("&Disable"), this);
    bitSave = new QPushButton(QStringLiteral("&Save"), this);
    bitClose = new QPushButton(QStringLiteral("C&lose"), this);
    bitSave->setDefault(true);

    auto *classRow = new QHBoxLayout;
    classRow->addWidget(new QLabel(QStringLiteral("Class: "), this));
    classRow->addWidget(cmbClass, 1);
    auto *right = new QVBoxLayout;
    right->addLayout(classRow);
    right->addWidget(pages, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(grdAdv, 1);
    top->addLayout(right, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {buttonadd, buttonremove, buttonenable, buttondisable})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(bitSave);
    buttons->addWidget(bitClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(700, 380);

    connect(grdAdv, &QTableWidget::cellClicked, this, [this](int row) { ShowRow(row); });
    // The arrow keys move through the items as clicks do.
    connect(grdAdv, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0)
            ShowRow(row);
    });
    connect(buttonadd, &QPushButton::clicked, this, &TfrmAdvanced::AddOrUpdate);
    connect(buttonremove, &QPushButton::clicked, this, &TfrmAdvanced::RemoveRow);
    connect(buttonenable, &QPushButton::clicked, this, &TfrmAdvanced::EnableRow);
    connect(buttondisable, &QPushButton::clicked, this, &TfrmAdvanced::DisableRow);
    connect(macroset, &QPushButton::clicked, this, &TfrmAdvanced::Pick);
    connect(bitSave, &QPushButton::clicked, this,
            [this] { m_session.Run([](AutomationFace &session) { session.SaveAdvanced(); }); });
    connect(bitClose, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmAdvanced::Cell(int row, int column) const
{
    const QTableWidgetItem *item = grdAdv->item(row, column);
    return item ? item->text() : QString();
}

void TfrmAdvanced::AppendRow(bool enabled, const QByteArray &itemClass, const QByteArray &name, const QString &type)
{
    const int row = grdAdv->rowCount() - 1;
    const QString cells[] = {enabled ? QStringLiteral("*") : QString(), Text(itemClass), Text(name), type};
    for (int c = 0; c < 4; ++c)
        grdAdv->setItem(row, c, new QTableWidgetItem(cells[c]));
    grdAdv->setRowCount(grdAdv->rowCount() + 1);
}

void TfrmAdvanced::AddClass(const QString &itemClass)
{
    if (itemClass.isEmpty())
        return;
    for (int i = 0; i < cmbClass->count(); ++i) {
        if (cmbClass->itemText(i).compare(itemClass, Qt::CaseInsensitive) == 0)
            return;
    }
    // The box is sorted.
    int at = 0;
    while (at < cmbClass->count() && cmbClass->itemText(at).compare(itemClass, Qt::CaseInsensitive) < 0)
        ++at;
    const QString typed = cmbClass->currentText();
    cmbClass->insertItem(at, itemClass);
    cmbClass->setCurrentText(typed);
}

void TfrmAdvanced::Fill()
{
    AutomationFace *session = m_session.Get();
    if (!session)
        return;
    const AutomationStore &store = session->Automations();
    for (const KindRow &kind : Kinds) {
        for (const TAdvancedItem &item : store.List(kind.Kind)) {
            // The session's own triggers and variables are not listed.
            if ((kind.Kind == ItemKind::Trigger || kind.Kind == ItemKind::Variable) && item.ItemClass == "System")
                continue;
            AppendRow(item.Enabled, item.ItemClass, item.Name, QString::fromLatin1(kind.Type));
        }
    }
    if (!store.TabCompletionItem().Command.isEmpty())
        AppendRow(store.TabCompletionItem().Enabled, "Main", "Enabled", CompletionType);
    for (int row = 0; row + 1 < grdAdv->rowCount(); ++row)
        AddClass(Cell(row, 1));
    grdAdv->setCurrentCell(0, 0);
    ShowRow(0);
    setWindowTitle(session->AutomationFile());
}

void TfrmAdvanced::ShowModifiers(std::uint8_t shift)
{
    shiftbox->setChecked(shift & 1);
    ctrlbox->setChecked(shift & 4);
    altbox->setChecked(shift & 2);
}

void TfrmAdvanced::ShowRow(int row)
{
    AutomationFace *session = m_session.Get();
    if (!session || row < 0)
        return;
    const AutomationStore &store = session->Automations();
    const QString type = Cell(row, 3);
    if (type == CompletionType) {
        cmbClass->setCurrentText(QStringLiteral("Main"));
        ShowMemo(txttabcompletion, store.TabCompletionItem().Command);
        pages->setCurrentIndex(CompletionPage);
        return;
    }
    const KindRow *kind = KindOf(type);
    const TAdvancedItem *item = kind ? FindItem(store, kind->Kind, Bytes(Cell(row, 1)), Bytes(Cell(row, 2))) : nullptr;
    if (!item)
        return;
    cmbClass->setCurrentText(Text(item->ItemClass));
    switch (kind->Kind) {
    case ItemKind::Alias:
        aliasname->setText(Text(item->Name));
        ShowMemo(aliascommand, item->Command);
        pages->setCurrentIndex(AliasPage);
        break;
    case ItemKind::Event:
        cmbevents->setCurrentText(Text(item->Name));
        ShowMemo(eventcommand, item->Command);
        pages->setCurrentIndex(EventPage);
        break;
    case ItemKind::Macro:
        macroname->setText(Text(item->Name));
        ShowMemo(macrocommand, item->Command);
        ShowModifiers(item->Shift);
        pages->setCurrentIndex(MacroPage);
        break;
    case ItemKind::Trigger:
        triggerpattern->setText(Text(item->Name));
        ShowMemo(triggercommand, item->Command);
        (item->Number != 1 ? triggerreplacewith : triggerexecute)->setChecked(true);
        pages->setCurrentIndex(TriggerPage);
        break;
    case ItemKind::Variable:
        variablename->setText(Text(item->Name));
        variablevalue->setText(Text(item->Command));
        pages->setCurrentIndex(VariablePage);
        break;
    }
}

void TfrmAdvanced::AddOrUpdate()
{
    AutomationFace *session = m_session.Get();
    if (!session)
        return;
    AutomationStore &store = session->Automations();
    const int page = pages->currentIndex();
    if (page == TriggerPage) {
        // The pattern is checked first, as it will be stored (cut to its field): a refused one changes
        // nothing, the class box included.
        const QByteArray error = ExecutePass::PatternError(Bytes(triggerpattern->text()).left(TAdvancedItem::NameMax));
        if (!error.isEmpty()) {
            Message(QStringLiteral("The trigger has a regular expression error:\n") + Text(error));
            return;
        }
    }
    if (cmbClass->currentText().isEmpty())
        cmbClass->setCurrentText(QStringLiteral("Main"));
    const QByteArray itemClass = Bytes(cmbClass->currentText());
    bool added = false;
    QString name, type;
    switch (page) {
    case AliasPage:
        name = aliasname->text();
        added = store.AddAlias(Bytes(name), MemoBytes(aliascommand), itemClass);
        type = QStringLiteral("Alias");
        break;
    case MacroPage:
        // The key code and modifiers are those of the session's last capture, not the ones shown.
        name = macroname->text();
        added = store.AddMacro(Bytes(name), session->CapturedMacro().Key, itemClass, MemoBytes(macrocommand),
                               session->CapturedMacro().Shift);
        type = QStringLiteral("Macro");
        break;
    case EventPage:
        name = cmbevents->currentText();
        added = store.AddEvent(Bytes(name), MemoBytes(eventcommand), itemClass);
        type = QStringLiteral("Event");
        break;
    case TriggerPage:
        name = triggerpattern->text();
        added
            = store.AddTrigger(Bytes(name), MemoBytes(triggercommand), itemClass, triggerexecute->isChecked() ? 1 : 0);
        type = QStringLiteral("Trigger");
        break;
    case VariablePage:
        if (!variablename->text().startsWith(QLatin1Char('@')))
            variablename->setText(QLatin1Char('@') + variablename->text());
        name = variablename->text();
        added = store.AddVariable(Bytes(name), Bytes(variablevalue->text()), itemClass, 0);
        type = QStringLiteral("Variable");
        break;
    case CompletionPage: {
        if (store.TabCompletionItem().Command.isEmpty())
            AppendRow(store.TabCompletionItem().Enabled, "Main", "Enabled", CompletionType);
        const QByteArray words = MemoBytes(txttabcompletion).left(255);
        store.SetTabCompletionText(words);
        store.SetTabCompletion(words);
        break;
    }
    default: break;
    }
    if (added)
        AppendRow(true, itemClass, Bytes(name), type);
    AddClass(cmbClass->currentText());
}

void TfrmAdvanced::RemoveRow()
{
    AutomationFace *session = m_session.Get();
    const int row = grdAdv->currentRow();
    if (!session || row < 0)
        return;
    const QString type = Cell(row, 3);
    if (type == CompletionType) {
        // The words in use stay until they are next rebuilt.
        session->Automations().SetTabCompletionText({});
    } else if (const KindRow *kind = KindOf(type)) {
        session->Automations().Remove(kind->Kind, Bytes(Cell(row, 2)), Bytes(Cell(row, 1)));
    }
    if (row < grdAdv->rowCount() - 1) {
        grdAdv->removeRow(row);
    } else {
        for (int c = 0; c < 4; ++c)
            grdAdv->setItem(row, c, new QTableWidgetItem());
    }
}

void TfrmAdvanced::EnableRow()
{
    AutomationFace *session = m_session.Get();
    const int row = grdAdv->currentRow();
    if (!session || row < 0)
        return;
    if (const KindRow *kind = KindOf(Cell(row, 3)))
        session->Automations().SetEnabled(kind->Kind, Bytes(Cell(row, 2)), Bytes(Cell(row, 1)), true);
    grdAdv->setItem(row, 0, new QTableWidgetItem(QStringLiteral("*")));
}

void TfrmAdvanced::DisableRow()
{
    AutomationFace *session = m_session.Get();
    const int row = grdAdv->currentRow();
    if (!session || row < 0)
        return;
    // Every kind with that class and name is switched off; only this row shows it.
    session->Automations().SetClassState(false, Bytes(Cell(row, 2)), false, Bytes(Cell(row, 1)));
    grdAdv->setItem(row, 0, new QTableWidgetItem());
}

void TfrmAdvanced::Pick()
{
    TfrmMacro capture([this] { return m_session.Get(); }, this);
    if (BeforePick)
        BeforePick(&capture);
    capture.exec();
    // The capture ran its own event loop: the session is looked up again.
    m_session.Run([this](AutomationFace &session) {
        macroname->setText(Text(session.CapturedMacro().Name));
        ShowModifiers(session.CapturedMacro().Shift);
    });
}

void TfrmAdvanced::Message(const QString &text)
{
    if (ShowMessage)
        ShowMessage(text);
    else
        QMessageBox::information(this, QStringLiteral("Wren Client"), text);
}

} // namespace wren
