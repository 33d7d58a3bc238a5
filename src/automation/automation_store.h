// SPDX-License-Identifier: GPL-3.0-or-later
// A session's aliases, macros, events, triggers, variables and tab-completion words, grouped in classes.
#pragma once

#include "automation/advanced_item.h"

#include <QList>

namespace wren {

/// The lists keep insertion order; within a list an item is identified by (class, name), compared exactly.
class AutomationStore
{
public:
    AutomationStore();

    QList<TAdvancedItem> Aliases;
    QList<TAdvancedItem> Macros;
    QList<TAdvancedItem> Events;
    QList<TAdvancedItem> Triggers;
    QList<TAdvancedItem> Variables;
    TAdvancedItem TabCompletionItem;
    QList<QByteArray> TabWords;

    bool AddAlias(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass);
    bool AddEvent(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass);
    /// Types 0 (replace) and 1 (execute); 2 or more is refused.
    bool AddTrigger(const QByteArray &pattern, const QByteArray &command, const QByteArray &itemClass, int type);
    bool AddVariable(const QByteArray &name, const QByteArray &value, const QByteArray &itemClass, int type);
    /// An update replaces only the command; key code and modifiers of an existing macro stay.
    bool AddMacro(const QByteArray &keyName, int keyCode, const QByteArray &itemClass, const QByteArray &command,
                  std::uint8_t shift);

    void RemoveAlias(const QByteArray &name, const QByteArray &itemClass);
    void RemoveEvent(const QByteArray &name, const QByteArray &itemClass);
    void RemoveMacro(const QByteArray &name, const QByteArray &itemClass);
    void RemoveTrigger(const QByteArray &name, const QByteArray &itemClass);
    void RemoveVariable(const QByteArray &name, const QByteArray &itemClass);

    /// Switches every item of @p itemClass (and, when @p name is not empty, of that name) in all five lists.
    void SetClassState(bool enable, const QByteArray &name, bool toggle, const QByteArray &itemClass);

    QByteArray SubstituteVariables(const QByteArray &text) const;
    QByteArray FindMacro(int keyCode, std::uint8_t shift) const;
    void SetTabCompletion(const QByteArray &text);

    /// Bumped whenever the trigger list may have changed, so compiled trigger data can be rebuilt.
    quint64 TriggerGeneration() const { return m_triggerGeneration; }
    void TriggersChanged() { ++m_triggerGeneration; }

private:
    quint64 m_triggerGeneration = 0;
};

} // namespace wren
