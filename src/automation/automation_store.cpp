// SPDX-License-Identifier: GPL-3.0-or-later
// A session's aliases, macros, events, triggers, variables and tab-completion words, grouped in classes.
#include "automation/automation_store.h"

#include "base/text_helpers.h"

namespace wren {

namespace {

qsizetype FindItem(const QList<TAdvancedItem> &list, const QByteArray &name, const QByteArray &itemClass)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].ItemClass == itemClass && list[i].Name == name)
            return i;
    }
    return -1;
}

} // namespace

AutomationStore::AutomationStore()
{
    m_tabCompletion.Kind = "Completion";
}

QList<TAdvancedItem> &AutomationStore::Mutable(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Alias: return m_aliases;
    case ItemKind::Macro: return m_macros;
    case ItemKind::Event: return m_events;
    case ItemKind::Trigger: return m_triggers;
    case ItemKind::Variable: break;
    }
    return m_variables;
}

// Identity is compared on the stored (cut) texts, so a 45-character name finds its 40-character item.
TAdvancedItem *AutomationStore::AddOrUpdate(ItemKind kind, const QByteArray &name, const QByteArray &command,
                                            const QByteArray &itemClass, const char *label, bool *added)
{
    QList<TAdvancedItem> &list = Mutable(kind);
    Changed(kind);
    const QByteArray storedName = name.left(TAdvancedItem::NameMax);
    const QByteArray storedClass = itemClass.left(TAdvancedItem::ClassMax);
    const qsizetype at = FindItem(list, storedName, storedClass);
    if (at >= 0) {
        list[at].SetCommand(command);
        *added = false;
        return &list[at];
    }
    TAdvancedItem item;
    item.SetCommand(command);
    item.Enabled = true;
    item.ItemClass = storedClass;
    item.Name = storedName;
    item.Kind = label;
    item.Serial = ++m_nextSerial;
    list.append(item);
    *added = true;
    return &list.back();
}

bool AutomationStore::AddAlias(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass)
{
    bool added = false;
    AddOrUpdate(ItemKind::Alias, name, command, itemClass, "Alias", &added);
    return added;
}

bool AutomationStore::AddEvent(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass)
{
    bool added = false;
    AddOrUpdate(ItemKind::Event, name, command, itemClass, "Event", &added);
    return added;
}

bool AutomationStore::AddTrigger(const QByteArray &pattern, const QByteArray &command, const QByteArray &itemClass,
                                 int type)
{
    if (type < 0 || type >= 2)
        return false;
    bool added = false;
    AddOrUpdate(ItemKind::Trigger, pattern, command, itemClass, "Trigger", &added)->Number = type;
    return added;
}

bool AutomationStore::AddVariable(const QByteArray &name, const QByteArray &value, const QByteArray &itemClass,
                                  int type)
{
    if (type < 0 || type >= 2)
        return false;
    bool added = false;
    AddOrUpdate(ItemKind::Variable, name, value, itemClass, "Variable", &added)->Number = type;
    return added;
}

bool AutomationStore::AddMacro(const QByteArray &keyName, int keyCode, const QByteArray &itemClass,
                               const QByteArray &command, std::uint8_t shift)
{
    bool added = false;
    TAdvancedItem *item = AddOrUpdate(ItemKind::Macro, keyName, command, itemClass, "Macro", &added);
    if (added) {
        item->Number = keyCode;
        item->Shift = shift;
    }
    return added;
}

void AutomationStore::Remove(ItemKind kind, const QByteArray &name, const QByteArray &itemClass)
{
    // Items hold their names cut to the field size; the name that added an item removes it.
    QList<TAdvancedItem> &list = Mutable(kind);
    const qsizetype at = FindItem(list, name.left(TAdvancedItem::NameMax), itemClass.left(TAdvancedItem::ClassMax));
    if (at >= 0) {
        list.removeAt(at);
        Changed(kind);
    }
}

void AutomationStore::RemoveAlias(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(ItemKind::Alias, name, itemClass);
}

void AutomationStore::RemoveEvent(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(ItemKind::Event, name, itemClass);
}

void AutomationStore::RemoveMacro(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(ItemKind::Macro, name, itemClass);
}

void AutomationStore::RemoveTrigger(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(ItemKind::Trigger, name, itemClass);
}

void AutomationStore::RemoveVariable(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(ItemKind::Variable, name, itemClass);
}

void AutomationStore::SetClassState(bool enable, const QByteArray &name, bool toggle, const QByteArray &itemClass)
{
    for (ItemKind kind : {ItemKind::Alias, ItemKind::Event, ItemKind::Macro, ItemKind::Trigger, ItemKind::Variable}) {
        for (TAdvancedItem &item : Mutable(kind)) {
            if (item.ItemClass != itemClass || (!name.isEmpty() && item.Name != name))
                continue;
            item.Enabled = toggle ? !item.Enabled : enable;
        }
        Changed(kind);
    }
}

void AutomationStore::SetEnabled(ItemKind kind, const QByteArray &name, const QByteArray &itemClass, bool enabled)
{
    for (TAdvancedItem &item : Mutable(kind)) {
        if (item.ItemClass == itemClass && item.Name == name)
            item.Enabled = enabled;
    }
    Changed(kind);
}

QByteArray AutomationStore::SubstituteVariables(const QByteArray &text) const
{
    QByteArray result = text;
    for (const TAdvancedItem &variable : m_variables) {
        if (variable.Enabled && !variable.Name.isEmpty() && result.contains(variable.Name))
            result = ReplaceAll(variable.Name, variable.Command, result);
    }
    return result;
}

QByteArray AutomationStore::FindMacro(int keyCode, std::uint8_t shift) const
{
    if (keyCode == 0)
        return {};
    for (const TAdvancedItem &macro : m_macros) {
        if (macro.Enabled && macro.Shift == shift && macro.Number == keyCode && !macro.Command.isEmpty())
            return macro.Command;
    }
    return {};
}

void AutomationStore::SetTabCompletion(const QByteArray &text)
{
    QByteArray words = text;
    RemoveByte(words, '\r');
    m_tabWords = SplitText(words, '\n');
    ++m_generation;
}

void AutomationStore::SetTabCompletionText(const QByteArray &text)
{
    m_tabCompletion.Kind = "Completion";
    m_tabCompletion.SetCommand(text);
    ++m_generation;
}

} // namespace wren
