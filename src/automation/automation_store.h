// SPDX-License-Identifier: GPL-3.0-or-later
// A session's aliases, macros, events, triggers, variables and tab-completion words, grouped in classes.
#pragma once

#include "automation/advanced_item.h"

#include <QList>

namespace wren {

/// The five lists of the store.
enum class ItemKind { Alias, Macro, Event, Trigger, Variable };

/// The lists keep insertion order; within a list an item is identified by (class, name), compared exactly.
/// The lists are read through const views and changed only through the operations below, each of which
/// bumps the generations, so compiled trigger data and the editor never work on a stale picture.
class AutomationStore
{
public:
    AutomationStore();

    const QList<TAdvancedItem> &Aliases() const { return m_aliases; }
    const QList<TAdvancedItem> &Macros() const { return m_macros; }
    const QList<TAdvancedItem> &Events() const { return m_events; }
    const QList<TAdvancedItem> &Triggers() const { return m_triggers; }
    const QList<TAdvancedItem> &Variables() const { return m_variables; }
    const QList<TAdvancedItem> &List(ItemKind kind) const { return const_cast<AutomationStore *>(this)->Mutable(kind); }
    const TAdvancedItem &TabCompletionItem() const { return m_tabCompletion; }
    const QList<QByteArray> &TabWords() const { return m_tabWords; }

    bool AddAlias(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass);
    bool AddEvent(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass);
    /// Types 0 (replace) and 1 (execute); any other is refused.
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
    void Remove(ItemKind kind, const QByteArray &name, const QByteArray &itemClass);

    /// Switches every item of @p itemClass (and, when @p name is not empty, of that name) in all five lists.
    void SetClassState(bool enable, const QByteArray &name, bool toggle, const QByteArray &itemClass);
    /// Enables or disables every item of one list with that class and name.
    void SetEnabled(ItemKind kind, const QByteArray &name, const QByteArray &itemClass, bool enabled);

    QByteArray SubstituteVariables(const QByteArray &text) const;
    QByteArray FindMacro(int keyCode, std::uint8_t shift) const;
    /// Rebuilds the tab-completion words from @p text (CR dropped, one word per LF-separated piece).
    void SetTabCompletion(const QByteArray &text);
    /// Sets the tab-completion item's text (cut to 255) without touching the words in use.
    void SetTabCompletionText(const QByteArray &text);

    /// Bumped by every change to any list.
    quint64 Generation() const { return m_generation; }
    /// Bumped whenever the trigger list may have changed, so compiled trigger data can be rebuilt.
    quint64 TriggerGeneration() const { return m_triggerGeneration; }

private:
    QList<TAdvancedItem> &Mutable(ItemKind kind);
    TAdvancedItem *AddOrUpdate(ItemKind kind, const QByteArray &name, const QByteArray &command,
                               const QByteArray &itemClass, const char *label, bool *added);
    void Changed(ItemKind kind)
    {
        ++m_generation;
        if (kind == ItemKind::Trigger)
            ++m_triggerGeneration;
    }

    QList<TAdvancedItem> m_aliases;
    QList<TAdvancedItem> m_macros;
    QList<TAdvancedItem> m_events;
    QList<TAdvancedItem> m_triggers;
    QList<TAdvancedItem> m_variables;
    TAdvancedItem m_tabCompletion;
    QList<QByteArray> m_tabWords;
    quint64 m_nextSerial = 0;
    quint64 m_generation = 0;
    quint64 m_triggerGeneration = 0;
};

} // namespace wren
