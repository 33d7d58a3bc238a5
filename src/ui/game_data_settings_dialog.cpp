// SPDX-License-Identifier: GPL-3.0-or-later
// The form for a world's game data: protocol switches, the gauges' paths, GMCP modules and MSDP reports.
#include "ui/game_data_settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace wren {

namespace {

QList<QByteArray> Lines(const QPlainTextEdit *edit)
{
    QList<QByteArray> lines;
    for (const QString &line : edit->toPlainText().split(QLatin1Char('\n'))) {
        const QByteArray item = line.trimmed().toUtf8();
        if (!item.isEmpty())
            lines.append(item);
    }
    return lines;
}

QString Joined(const QList<QByteArray> &lines)
{
    return QString::fromUtf8(lines.join('\n'));
}

bool NamesAProtocol(const QString &path)
{
    for (const QLatin1String protocol : {QLatin1String("gmcp."), QLatin1String("msdp."), QLatin1String("mssp.")}) {
        if (path.startsWith(protocol, Qt::CaseInsensitive) && path.size() > protocol.size())
            return true;
    }
    return false;
}

} // namespace

GameDataSettingsDialog::GameDataSettingsDialog(const GameDataSettings &settings, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Game Data"));
    auto *layout = new QVBoxLayout(this);

    auto *protocols = new QGroupBox(QStringLiteral("Protocols"), this);
    auto *protocolLayout = new QVBoxLayout(protocols);
    m_gmcp = new QCheckBox(QStringLiteral("&GMCP (game data as JSON)"), protocols);
    m_msdp = new QCheckBox(QStringLiteral("MS&DP (game variables)"), protocols);
    m_mssp = new QCheckBox(QStringLiteral("MSS&P (server status)"), protocols);
    m_panel = new QCheckBox(QStringLiteral("&Show gauges and the room line"), protocols);
    for (QCheckBox *box : {m_gmcp, m_msdp, m_mssp, m_panel})
        protocolLayout->addWidget(box);
    layout->addWidget(protocols);
    layout->addWidget(MakeGauges());

    auto *lists = new QFormLayout;
    m_modules = new QPlainTextEdit(this);
    m_modules->setTabChangesFocus(true);
    m_modules->setAccessibleName(QStringLiteral("GMCP modules"));
    m_modules->setToolTip(QStringLiteral("One module a line, with its version: \"Char 1\""));
    lists->addRow(QStringLiteral("GMCP &modules:"), m_modules);
    m_reports = new QPlainTextEdit(this);
    m_reports->setTabChangesFocus(true);
    m_reports->setAccessibleName(QStringLiteral("MSDP variables to report"));
    m_reports->setToolTip(QStringLiteral("One variable a line, besides the gauges' and the room's"));
    lists->addRow(QStringLiteral("MSDP &reports:"), m_reports);
    layout->addLayout(lists);

    m_problem = new QLabel(this);
    m_problem->setStyleSheet(QStringLiteral("color: #b22222;"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    layout->addWidget(m_problem);

    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { Show(GameDataSettings()); });
    layout->addWidget(buttons);

    Show(settings);
}

QWidget *GameDataSettingsDialog::MakeGauges()
{
    auto *box = new QGroupBox(QStringLiteral("Gauges (empty: Char.Vitals or MSDP's HEALTH, MANA, MOVEMENT)"), this);
    auto *form = new QFormLayout(box);
    for (const Gauge gauge : AllGauges) {
        const auto at = static_cast<size_t>(gauge);
        const QString name = QString::fromLatin1(GaugeName(gauge));
        m_value[at] = new QLineEdit(box);
        m_value[at]->setPlaceholderText(QStringLiteral("automatic"));
        m_value[at]->setAccessibleName(name + QStringLiteral(" value path"));
        m_max[at] = new QLineEdit(box);
        m_max[at]->setPlaceholderText(QStringLiteral("maximum"));
        m_max[at]->setAccessibleName(name + QStringLiteral(" maximum path"));
        auto *row = new QHBoxLayout;
        row->addWidget(m_value[at]);
        row->addWidget(m_max[at]);
        form->addRow(name + QLatin1Char(':'), row);
    }
    return box;
}

void GameDataSettingsDialog::Show(const GameDataSettings &settings)
{
    m_gmcp->setChecked(settings.Gmcp);
    m_msdp->setChecked(settings.Msdp);
    m_mssp->setChecked(settings.Mssp);
    m_panel->setChecked(settings.Panel);
    for (const Gauge gauge : AllGauges) {
        m_value[static_cast<size_t>(gauge)]->setText(QString::fromUtf8(settings.Gauges[gauge].Value));
        m_max[static_cast<size_t>(gauge)]->setText(QString::fromUtf8(settings.Gauges[gauge].Max));
    }
    m_modules->setPlainText(Joined(settings.GmcpModules));
    m_reports->setPlainText(Joined(settings.MsdpReports));
    m_problem->hide();
}

GameDataSettings GameDataSettingsDialog::Settings() const
{
    GameDataSettings settings;
    settings.Gmcp = m_gmcp->isChecked();
    settings.Msdp = m_msdp->isChecked();
    settings.Mssp = m_mssp->isChecked();
    settings.Panel = m_panel->isChecked();
    for (const Gauge gauge : AllGauges) {
        settings.Gauges[gauge].Value = m_value[static_cast<size_t>(gauge)]->text().trimmed().toUtf8();
        settings.Gauges[gauge].Max = m_max[static_cast<size_t>(gauge)]->text().trimmed().toUtf8();
    }
    settings.GmcpModules = Lines(m_modules);
    settings.MsdpReports = Lines(m_reports);
    return settings;
}

QString GameDataSettingsDialog::Problem() const
{
    for (const Gauge gauge : AllGauges) {
        const QString name = QString::fromLatin1(GaugeName(gauge));
        const QString value = m_value[static_cast<size_t>(gauge)]->text().trimmed();
        const QString max = m_max[static_cast<size_t>(gauge)]->text().trimmed();
        if (value.isEmpty() && !max.isEmpty())
            return name + QStringLiteral(": a maximum needs a value path too.");
        for (const QString &path : {value, max}) {
            if (!path.isEmpty() && !NamesAProtocol(path))
                return name + QStringLiteral(": \"%1\" does not start with gmcp., msdp. or mssp.").arg(path);
        }
    }
    return {};
}

void GameDataSettingsDialog::accept()
{
    const QString problem = Problem();
    if (!problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->show();
        return;
    }
    QDialog::accept();
}

} // namespace wren
