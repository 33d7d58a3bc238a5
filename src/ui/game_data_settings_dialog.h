// SPDX-License-Identifier: GPL-3.0-or-later
// The form for a world's game data: protocol switches, the gauges' paths, GMCP modules and MSDP reports.
#pragma once

#include "gamedata/game_data_settings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace wren {

/// Edits a GameDataSettings. Gauge paths are written as GameData::Lookup reads them ("gmcp.Char.Vitals.hp",
/// "msdp.HEALTH"); an empty value path means the common places. OK refuses a path that names no protocol,
/// and a maximum without a value, with the reason under the form.
class GameDataSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit GameDataSettingsDialog(const GameDataSettings &settings, QWidget *parent = nullptr);

    /// What the form holds now.
    GameDataSettings Settings() const;
    /// Puts @p settings into the form.
    void Show(const GameDataSettings &settings);
    /// Why the form cannot be accepted, empty when it can.
    QString Problem() const;

    QCheckBox *GmcpBox() const { return m_gmcp; }
    QCheckBox *MsdpBox() const { return m_msdp; }
    QCheckBox *MsspBox() const { return m_mssp; }
    QCheckBox *PanelBox() const { return m_panel; }
    QLineEdit *ValuePath(Gauge gauge) const { return m_value[static_cast<size_t>(gauge)]; }
    QLineEdit *MaxPath(Gauge gauge) const { return m_max[static_cast<size_t>(gauge)]; }
    QPlainTextEdit *ModulesEdit() const { return m_modules; }
    QPlainTextEdit *ReportsEdit() const { return m_reports; }
    QLabel *ProblemLabel() const { return m_problem; }

    void accept() override;

private:
    QWidget *MakeGauges();

    QCheckBox *m_gmcp = nullptr;
    QCheckBox *m_msdp = nullptr;
    QCheckBox *m_mssp = nullptr;
    QCheckBox *m_panel = nullptr;
    std::array<QLineEdit *, GaugeCount> m_value {};
    std::array<QLineEdit *, GaugeCount> m_max {};
    QPlainTextEdit *m_modules = nullptr;
    QPlainTextEdit *m_reports = nullptr;
    QLabel *m_problem = nullptr;
};

} // namespace wren
