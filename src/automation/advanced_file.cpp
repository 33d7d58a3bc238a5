// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving a world's ".wn2" advanced settings file: its automation items as 360-byte records.
#include "automation/advanced_file.h"

#include "base/text_helpers.h"
#include "config/save_file.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace wren {

namespace {

// Offsets and sizes of the stored record. A short string field is a length byte plus its characters.
namespace off {
constexpr int ItemClass = 0, ItemClassSize = 1 + TAdvancedItem::ClassMax;
constexpr int Name = 41, NameSize = 1 + TAdvancedItem::NameMax;
constexpr int Command = 82, CommandSize = 1 + TAdvancedItem::CommandMax;
constexpr int Reserved = 338, ReservedSize = 2;
constexpr int Number = 340;
constexpr int EnableOnLoad = 344;
constexpr int ExtraFlag = 345;
constexpr int Enabled = 346;
constexpr int Shift = 347;
constexpr int Kind = 348, KindSize = 1 + TAdvancedItem::KindMax;
} // namespace off
static_assert(off::ItemClass + off::ItemClassSize == off::Name);
static_assert(off::Name + off::NameSize == off::Command);
static_assert(off::Command + off::CommandSize == off::Reserved);
static_assert(off::Reserved + off::ReservedSize == off::Number);
static_assert(off::Number + 4 == off::EnableOnLoad);
static_assert(off::Kind + off::KindSize == AdvancedRecordSize);
static_assert(sizeof(TAdvancedItem::Reserved) == off::ReservedSize);

void PutString(char *record, int offset, int size, const QByteArray &value)
{
    const int length = std::min<int>(static_cast<int>(value.size()), size - 1);
    record[offset] = static_cast<char>(length);
    std::memcpy(record + offset + 1, value.constData(), static_cast<size_t>(length));
}

// A length byte larger than the field (a damaged file) is held to the field.
QByteArray GetString(const char *record, int offset, int size)
{
    const int length = std::min(static_cast<unsigned char>(record[offset]) + 0, size - 1);
    return QByteArray(record + offset + 1, length);
}

bool IsSystemClass(const QByteArray &itemClass)
{
    return TrimBlanks(QByteArrayView(itemClass)) == QByteArrayView("System");
}

// True when the store took the record (a kind it knows, a valid item).
bool MergeRecord(const TAdvancedItem &record, AutomationStore &store)
{
    const QByteArray &kind = record.Kind;
    if (kind == "Alias")
        return store.AddAlias(record.Name, record.Command, record.ItemClass);
    if (kind == "Macro")
        return store.AddMacro(record.Name, record.Number, record.ItemClass, record.Command, record.Shift);
    if (kind == "Event") {
        // Files from before the event was renamed still use its old name.
        const QByteArray name = record.Name == "On Sound" ? QByteArray("On Sound Begin") : record.Name;
        return store.AddEvent(name, record.Command, record.ItemClass);
    }
    if (kind == "Trigger") {
        // Types above "Execute" come from older versions and load as "Replace With". A negative type is
        // passed on and refused by the store.
        const int type = record.Number > 1 ? 0 : record.Number;
        return store.AddTrigger(record.Name, record.Command, record.ItemClass, type);
    }
    if (kind == "Completion") {
        store.SetTabCompletionText(record.Command);
        store.SetTabCompletion(record.Command);
        return true;
    }
    if (kind == "Variable")
        return store.AddVariable(record.Name, record.Command, record.ItemClass, record.Number);
    return false;
}

} // namespace

QByteArray WriteAdvancedRecord(const TAdvancedItem &item)
{
    QByteArray bytes(AdvancedRecordSize, '\0');
    char *r = bytes.data();
    PutString(r, off::ItemClass, off::ItemClassSize, item.ItemClass);
    PutString(r, off::Name, off::NameSize, item.Name);
    PutString(r, off::Command, off::CommandSize, item.Command);
    std::memcpy(r + off::Reserved, item.Reserved.data(), off::ReservedSize);
    qToLittleEndian<std::int32_t>(item.Number, r + off::Number);
    r[off::EnableOnLoad] = item.EnableOnLoad ? 1 : 0;
    r[off::ExtraFlag] = item.ExtraFlag ? 1 : 0;
    r[off::Enabled] = item.Enabled ? 1 : 0;
    r[off::Shift] = static_cast<char>(item.Shift);
    PutString(r, off::Kind, off::KindSize, item.Kind);
    return bytes;
}

std::optional<TAdvancedItem> ReadAdvancedRecord(QByteArrayView record)
{
    if (record.size() < AdvancedRecordSize)
        return std::nullopt;
    const char *r = record.data();
    TAdvancedItem item;
    item.ItemClass = GetString(r, off::ItemClass, off::ItemClassSize);
    item.Name = GetString(r, off::Name, off::NameSize);
    item.Command = GetString(r, off::Command, off::CommandSize);
    std::memcpy(item.Reserved.data(), r + off::Reserved, off::ReservedSize);
    item.Number = qFromLittleEndian<std::int32_t>(r + off::Number);
    item.EnableOnLoad = r[off::EnableOnLoad] != 0;
    item.ExtraFlag = r[off::ExtraFlag] != 0;
    item.Enabled = r[off::Enabled] != 0;
    item.Shift = static_cast<std::uint8_t>(r[off::Shift]);
    item.Kind = GetString(r, off::Kind, off::KindSize);
    return item;
}

QByteArray SaveAdvancedBytes(const AutomationStore &store)
{
    const qsizetype count = store.Aliases().size() + store.Macros().size() + store.Events().size()
                            + store.Triggers().size() + store.Variables().size() + 1;
    QByteArray bytes;
    bytes.reserve(count * AdvancedRecordSize);
    auto write = [&bytes](const QList<TAdvancedItem> &list, bool leaveOutSystem) {
        for (const TAdvancedItem &item : list) {
            if (!leaveOutSystem || !IsSystemClass(item.ItemClass))
                bytes.append(WriteAdvancedRecord(item));
        }
    };
    // The System triggers and variables are made afresh by every session, so they are never stored.
    write(store.Aliases(), false);
    write(store.Macros(), false);
    write(store.Events(), false);
    write(store.Triggers(), true);
    write(store.Variables(), true);
    bytes.append(WriteAdvancedRecord(store.TabCompletionItem()));
    return bytes;
}

int LoadAdvancedBytes(QByteArrayView file, AutomationStore &store)
{
    int taken = 0;
    for (qsizetype at = 0; file.size() - at >= AdvancedRecordSize; at += AdvancedRecordSize) {
        if (const std::optional<TAdvancedItem> record = ReadAdvancedRecord(file.sliced(at, AdvancedRecordSize)))
            taken += MergeRecord(*record, store) ? 1 : 0;
    }
    return taken;
}

bool LoadAdvanced(const QString &path, AutomationStore &store, QString *error, int *items)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // The size is checked before reading and again while reading, which also bounds a device (a pipe)
    // whose size is not known in advance.
    const auto tooLarge = [error] {
        if (error)
            *error = QStringLiteral("The file is larger than %1 MiB.").arg(AdvancedFileMaxSize / (qint64(1024) * 1024));
        return false;
    };
    QByteArray bytes;
    if (!file.isSequential()) {
        if (file.size() > AdvancedFileMaxSize)
            return tooLarge();
        bytes.reserve(file.size());
    }
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            if (error)
                *error = file.errorString();
            return false;
        }
        if (got == 0)
            break;
        if (bytes.size() + got > AdvancedFileMaxSize)
            return tooLarge();
        bytes.append(chunk, got);
    }
    const int taken = LoadAdvancedBytes(bytes, store);
    if (items)
        *items = taken;
    return true;
}

bool SaveAdvanced(const QString &path, const AutomationStore &store, QString *error)
{
    const QByteArray bytes = SaveAdvancedBytes(store);
    // A file that would be refused on loading is not written: the old one stays, whole.
    if (bytes.size() > AdvancedFileMaxSize) {
        if (error)
            *error = QStringLiteral("The settings hold %1 items; the file takes at most %2. Remove some (variables set "
                                    "by triggers, for instance) and save again. The file was not changed.")
                         .arg(bytes.size() / AdvancedRecordSize)
                         .arg(AdvancedFileMaxSize / AdvancedRecordSize);
        return false;
    }
    return SaveFileAtomically(path, bytes, error);
}

} // namespace wren
