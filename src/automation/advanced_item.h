// SPDX-License-Identifier: GPL-3.0-or-later
// One automation item: alias, macro, event, trigger, variable or the tab-completion entry.
#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

namespace wren {

struct TAdvancedItem {
    static constexpr int ClassMax = 40;
    static constexpr int NameMax = 40;
    static constexpr int CommandMax = 255;
    static constexpr int KindMax = 11;

    QByteArray ItemClass;
    QByteArray Name;
    QByteArray Command;
    std::int32_t Number = 0;
    bool EnableOnLoad = false;
    bool ExtraFlag = false;
    bool Enabled = false;
    std::uint8_t Shift = 0;
    QByteArray Kind;
    /// The two unused bytes of the stored record, kept from a record read so that writing it back keeps them.
    std::array<char, 2> Reserved {};
    /// Not stored: a number the store gives each item it appends, growing in list order, so a walk over a
    /// list that changes under it can tell where it was.
    quint64 Serial = 0;

    void SetClass(const QByteArray &text) { ItemClass = text.left(ClassMax); }
    void SetName(const QByteArray &text) { Name = text.left(NameMax); }
    void SetCommand(const QByteArray &text) { Command = text.left(CommandMax); }
};

} // namespace wren
