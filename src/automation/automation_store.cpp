// SPDX-License-Identifier: GPL-3.0-or-later
// A session's aliases, macros, events, triggers, variables and tab-completion words, grouped in classes.
#include "automation/automation_store.h"

#include "session/text_helpers.h"

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

// Identity is compared on the stored (cut) texts, so a 45-character name finds its 40-character item.
TAdvancedItem *AddOrUpdate(QList<TAdvancedItem> &list, const QByteArray &name, const QByteArray &command,
                           const QByteArray &itemClass, const char *kind, bool *added)
{
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
    item.Kind = kind;
    list.append(item);
    *added = true;
    return &list.back();
}

void Remove(QList<TAdvancedItem> &list, const QByteArray &name, const QByteArray &itemClass)
{
    // Items hold their names cut to the field size; the name that added an item removes it.
    const qsizetype at = FindItem(list, name.left(TAdvancedItem::NameMax), itemClass.left(TAdvancedItem::ClassMax));
    if (at >= 0)
        list.removeAt(at);
}

} // namespace

AutomationStore::AutomationStore()
{
    TabCompletionItem.Kind = "Completion";
}

bool AutomationStore::AddAlias(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass)
{
    bool added = false;
    AddOrUpdate(Aliases, name, command, itemClass, "Alias", &added);
    return added;
}

bool AutomationStore::AddEvent(const QByteArray &name, const QByteArray &command, const QByteArray &itemClass)
{
    bool added = false;
    AddOrUpdate(Events, name, command, itemClass, "Event", &added);
    return added;
}

bool AutomationStore::AddTrigger(const QByteArray &pattern, const QByteArray &command, const QByteArray &itemClass,
                                 int type)
{
    if (type < 0 || type >= 2)
        return false;
    bool added = false;
    AddOrUpdate(Triggers, pattern, command, itemClass, "Trigger", &added)->Number = type;
    TriggersChanged();
    return added;
}

bool AutomationStore::AddVariable(const QByteArray &name, const QByteArray &value, const QByteArray &itemClass,
                                  int type)
{
    if (type < 0 || type >= 2)
        return false;
    bool added = false;
    AddOrUpdate(Variables, name, value, itemClass, "Variable", &added)->Number = type;
    return added;
}

bool AutomationStore::AddMacro(const QByteArray &keyName, int keyCode, const QByteArray &itemClass,
                               const QByteArray &command, std::uint8_t shift)
{
    bool added = false;
    TAdvancedItem *item = AddOrUpdate(Macros, keyName, command, itemClass, "Macro", &added);
    if (added) {
        item->Number = keyCode;
        item->Shift = shift;
    }
    return added;
}

void AutomationStore::RemoveAlias(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(Aliases, name, itemClass);
}

void AutomationStore::RemoveEvent(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(Events, name, itemClass);
}

void AutomationStore::RemoveMacro(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(Macros, name, itemClass);
}

void AutomationStore::RemoveTrigger(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(Triggers, name, itemClass);
    TriggersChanged();
}

void AutomationStore::RemoveVariable(const QByteArray &name, const QByteArray &itemClass)
{
    Remove(Variables, name, itemClass);
}

void AutomationStore::SetClassState(bool enable, const QByteArray &name, bool toggle, const QByteArray &itemClass)
{
    for (QList<TAdvancedItem> *list : {&Aliases, &Events, &Macros, &Triggers, &Variables}) {
        for (TAdvancedItem &item : *list) {
            if (item.ItemClass != itemClass || (!name.isEmpty() && item.Name != name))
                continue;
            item.Enabled = toggle ? !item.Enabled : enable;
        }
    }
    TriggersChanged();
}

QByteArray AutomationStore::SubstituteVariables(const QByteArray &text) const
{
    QByteArray result = text;
    for (const TAdvancedItem &variable : Variables) {
        if (variable.Enabled && !variable.Name.isEmpty() && result.contains(variable.Name))
            result = ReplaceAll(variable.Name, variable.Command, result);
    }
    return result;
}

QByteArray AutomationStore::FindMacro(int keyCode, std::uint8_t shift) const
{
    if (keyCode == 0)
        return {};
    for (const TAdvancedItem &macro : Macros) {
        if (macro.Enabled && macro.Shift == shift && macro.Number == keyCode && !macro.Command.isEmpty())
            return macro.Command;
    }
    return {};
}

void AutomationStore::SetTabCompletion(const QByteArray &text)
{
    QByteArray words = text;
    RemoveByte(words, '\r');
    TabWords = SplitText(words, '\n');
}

} // namespace wren
