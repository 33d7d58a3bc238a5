// SPDX-License-Identifier: GPL-3.0-or-later
// The 360-byte automation record and the ".wn2" advanced settings file it is loaded from and saved to.
#include "automation/advanced_file.h"
#include "automation/automation_store.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace wren;
using wren::test::B;
using wren::test::Escaped;

namespace {

constexpr int RecordSize = 360;

// The string fields as (offset, field size): one length byte and up to size - 1 characters.
struct StringField {
    const char *name;
    int offset;
    int size;
};
constexpr StringField ClassField {"ItemClass", 0, 41};
constexpr StringField NameField {"Name", 41, 41};
constexpr StringField CommandField {"Command", 82, 256};
constexpr StringField KindField {"Kind", 348, 12};
constexpr int ReservedAt = 338;
constexpr int NumberAt = 340;
constexpr int EnableOnLoadAt = 344;
constexpr int ExtraFlagAt = 345;
constexpr int EnabledAt = 346;
constexpr int ShiftAt = 347;

// The record numbers in sample_store.wn2 (see tests/fixtures/make_completion_record.py).
constexpr int SampleMacroF5 = 2;
constexpr int SampleEventOnConnect = 4;
constexpr int SampleLongTrigger = 7;
constexpr int SampleRecords = 10;

bool RunningAsRoot()
{
    return geteuid() == 0;
}

QByteArray Fixture(const char *name, qsizetype size)
{
    const QByteArray bytes = test::ReadFixture(QString::fromLatin1(name));
    EXPECT_EQ(bytes.size(), size) << name << " missing or damaged; run tests/fixtures/make_completion_record.py";
    return bytes;
}

QByteArray EmptyStoreFixture()
{
    return Fixture("empty_store.wn2", RecordSize);
}

QByteArray SampleFixture()
{
    return Fixture("sample_store.wn2", SampleRecords * RecordSize);
}

// Texts that fill their fields exactly; the repeating runs make a shifted field show.
const QByteArray LongClass = QByteArray("0123456789").repeated(4);
const QByteArray LongPattern = QByteArray("abcdefghij").repeated(4);
const QByteArray LongCommand = QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(10).left(255);

// The store sample_store.wn2 was made from: items of every kind added out of file order, System triggers and
// variables among them, one item disabled.
AutomationStore SampleStore()
{
    AutomationStore s;
    s.AddVariable("$target", "orc", "Combat", 1);
    s.AddTrigger("^You are hungry", "eat bread", "Food", 1);
    s.AddAlias("n", "north", "Main");
    s.AddTrigger("* tells you *", "", "System", 0);
    s.AddMacro("F5", 116, "Main", "cast heal\r\nsay done", 4);
    s.AddVariable("$sname", "Tester", "System", 0);
    s.AddEvent("On Connect", "say hello", "Main");
    s.AddAlias("who", "who all", "System");
    s.AddTrigger(LongPattern, LongCommand, LongClass, 0);
    s.AddTrigger("^x", "y", " System ", 0);
    s.AddMacro("KEY7", 103, "Keypad", "", 0);
    s.AddEvent("On Disconnect", "", "");
    s.SetClassState(false, "On Connect", false, "Main");
    s.SetTabCompletionText("orc\r\ngoblin\r\n");
    s.SetTabCompletion(s.TabCompletionItem().Command);
    return s;
}

// Empty when equal; otherwise the record and offset where the two files first differ.
std::string FirstDifference(const QByteArray &actual, const QByteArray &expected)
{
    const qsizetype common = std::min(actual.size(), expected.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (actual[i] != expected[i]) {
            return "first difference in record " + std::to_string(i / RecordSize) + " at offset " +
                   std::to_string(i % RecordSize) + ": actual " +
                   std::to_string(static_cast<unsigned char>(actual[i])) + ", expected " +
                   std::to_string(static_cast<unsigned char>(expected[i]));
        }
    }
    if (actual.size() != expected.size())
        return "sizes differ: actual " + std::to_string(actual.size()) + ", expected " +
               std::to_string(expected.size());
    return {};
}

// The store as text, one line per item, for comparing whole stores with readable failures.
std::string Dump(const AutomationStore &store)
{
    std::string out;
    auto items = [&out](const char *label, const QList<TAdvancedItem> &list) {
        for (const TAdvancedItem &item : list) {
            out += std::string(label) + " [" + Escaped(item.ItemClass) + "] " + Escaped(item.Name) + " = " +
                   Escaped(item.Command) + " #" + std::to_string(item.Number) + " shift " +
                   std::to_string(item.Shift) + " kind " + Escaped(item.Kind) + (item.Enabled ? " on" : " off") +
                   (item.EnableOnLoad ? " onload" : "") + (item.ExtraFlag ? " extra" : "") + "\n";
        }
    };
    items("alias", store.Aliases());
    items("macro", store.Macros());
    items("event", store.Events());
    items("trigger", store.Triggers());
    items("variable", store.Variables());
    out += "completion " + Escaped(store.TabCompletionItem().Command) + " kind " +
           Escaped(store.TabCompletionItem().Kind) + " words:";
    for (const QByteArray &word : store.TabWords())
        out += " <" + Escaped(word) + ">";
    return out + "\n";
}

// A record laid out by hand, the way an older program version or another tool would have stored it.
struct Stored {
    QByteArray kind {};
    QByteArray itemClass {};
    QByteArray name {};
    QByteArray command {};
    std::int32_t number = 0;
    std::uint8_t shift = 0;
    char enabled = 1;
    char enableOnLoad = 0;
    char extraFlag = 0;
};

void PutText(QByteArray &record, const StringField &field, const QByteArray &value)
{
    record[field.offset] = static_cast<char>(value.size());
    for (int i = 1; i < field.size; ++i)
        record[field.offset + i] = i - 1 < value.size() ? value[i - 1] : '\0';
}

QByteArray HandRecord(const Stored &s)
{
    QByteArray record(RecordSize, '\0');
    PutText(record, ClassField, s.itemClass);
    PutText(record, NameField, s.name);
    PutText(record, CommandField, s.command);
    const auto number = static_cast<std::uint32_t>(s.number);
    for (int i = 0; i < 4; ++i)
        record[NumberAt + i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    record[EnableOnLoadAt] = s.enableOnLoad;
    record[ExtraFlagAt] = s.extraFlag;
    record[EnabledAt] = s.enabled;
    record[ShiftAt] = static_cast<char>(s.shift);
    PutText(record, KindField, s.kind);
    return record;
}

QByteArray HandFile(const std::vector<Stored> &records)
{
    QByteArray file;
    for (const Stored &s : records)
        file += HandRecord(s);
    return file;
}

AutomationStore Loaded(const QByteArray &file)
{
    AutomationStore store;
    LoadAdvancedBytes(file, store);
    return store;
}

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

TEST(AdvancedFile, StoreWithoutUserItemsSavesTheCompletionRecordAlone)
{
    const QByteArray golden = EmptyStoreFixture();
    EXPECT_EQ(FirstDifference(SaveAdvancedBytes(AutomationStore()), golden), "");

    // A session starts with its System triggers and variables, none of which is stored.
    AutomationStore session;
    for (const char *pattern : {"$1", "$2", "* tells you *"})
        session.AddTrigger(pattern, QByteArray(), "System", 0);
    session.AddVariable("$sname", "Tester", "System", 0);
    EXPECT_EQ(FirstDifference(SaveAdvancedBytes(session), golden), "");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("localhost.4000.wn2"));
    QString error;
    ASSERT_TRUE(SaveAdvanced(path, session, &error)) << error.toStdString();
    EXPECT_EQ(FirstDifference(ReadWholeFile(path), golden), "");
}

TEST(AdvancedFile, SampleStoreSavesTheGoldenFileByteForByte)
{
    EXPECT_EQ(FirstDifference(SaveAdvancedBytes(SampleStore()), SampleFixture()), "");
}

TEST(AdvancedFile, OnlyTriggersAndVariablesOfTheSystemClassAreLeftOut)
{
    using Add = std::function<void(AutomationStore &, const QByteArray &name, const QByteArray &itemClass)>;
    struct Kind {
        const char *kind;
        bool systemLeftOut;
        Add add;
    } kinds[] = {
        {"Alias", false, [](AutomationStore &s, const QByteArray &n, const QByteArray &c) { s.AddAlias(n, "x", c); }},
        {"Macro", false,
         [](AutomationStore &s, const QByteArray &n, const QByteArray &c) { s.AddMacro(n, 112, c, "x", 0); }},
        {"Event", false, [](AutomationStore &s, const QByteArray &n, const QByteArray &c) { s.AddEvent(n, "x", c); }},
        {"Trigger", true,
         [](AutomationStore &s, const QByteArray &n, const QByteArray &c) { s.AddTrigger(n, "x", c, 0); }},
        {"Variable", true,
         [](AutomationStore &s, const QByteArray &n, const QByteArray &c) { s.AddVariable(n, "x", c, 0); }},
    };
    // (class, whether it counts as System): the class is trimmed of blanks and control bytes, then compared
    // exactly.
    const std::pair<QByteArray, bool> classes[] = {
        {"System", true},   {" System ", true}, {"\tSystem\r\n", true}, {"system", false},
        {"SYSTEM", false},  {"Systems", false}, {"Sys tem", false},     {"", false},
    };

    for (const Kind &kind : kinds) {
        SCOPED_TRACE(kind.kind);
        // One item per class, then a plain one, so the order of what is kept shows too.
        AutomationStore store;
        QList<QByteArray> expectedNames;
        for (size_t i = 0; i < std::size(classes); ++i) {
            const QByteArray name = "item" + QByteArray::number(i);
            kind.add(store, name, classes[i].first);
            if (!(kind.systemLeftOut && classes[i].second))
                expectedNames.append(name);
        }
        kind.add(store, "last", "Main");
        expectedNames.append("last");

        const QByteArray file = SaveAdvancedBytes(store);
        ASSERT_EQ(file.size() % RecordSize, 0);
        QList<QByteArray> savedNames;
        for (qsizetype at = 0; at + RecordSize < file.size(); at += RecordSize) {
            const std::optional<TAdvancedItem> item = ReadAdvancedRecord(QByteArrayView(file).sliced(at));
            ASSERT_TRUE(item.has_value());
            EXPECT_EQ(item->Kind, QByteArray(kind.kind));
            savedNames.append(item->Name);
        }
        EXPECT_EQ(savedNames, expectedNames);
        EXPECT_EQ(ReadAdvancedRecord(file.right(RecordSize))->Kind, B("Completion"));
    }
}

TEST(AdvancedFile, GoldenRecordsReadIntoFieldsAndWriteBackUnchanged)
{
    const QByteArray golden = SampleFixture();
    ASSERT_EQ(golden.size(), SampleRecords * RecordSize);
    for (int i = 0; i < SampleRecords; ++i) {
        const QByteArray record = golden.mid(i * RecordSize, RecordSize);
        const std::optional<TAdvancedItem> item = ReadAdvancedRecord(record);
        ASSERT_TRUE(item.has_value()) << "record " << i;
        EXPECT_EQ(FirstDifference(WriteAdvancedRecord(*item), record), "") << "record " << i;
    }

    const std::optional<TAdvancedItem> macro = ReadAdvancedRecord(golden.mid(SampleMacroF5 * RecordSize));
    ASSERT_TRUE(macro.has_value());
    EXPECT_EQ(macro->Kind, B("Macro"));
    EXPECT_EQ(macro->ItemClass, B("Main"));
    EXPECT_EQ(macro->Name, B("F5"));
    EXPECT_EQ(macro->Command, B("cast heal\r\nsay done"));
    EXPECT_EQ(macro->Number, 116);
    EXPECT_EQ(macro->Shift, 4);
    EXPECT_TRUE(macro->Enabled);
    EXPECT_FALSE(macro->EnableOnLoad);
    EXPECT_FALSE(macro->ExtraFlag);

    const std::optional<TAdvancedItem> event = ReadAdvancedRecord(golden.mid(SampleEventOnConnect * RecordSize));
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->Name, B("On Connect"));
    EXPECT_FALSE(event->Enabled);

    const std::optional<TAdvancedItem> full = ReadAdvancedRecord(golden.mid(SampleLongTrigger * RecordSize));
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->ItemClass, LongClass);
    EXPECT_EQ(full->Name, LongPattern);
    EXPECT_EQ(full->Command, LongCommand);
    EXPECT_EQ(full->Kind, B("Trigger"));
}

TEST(AdvancedFile, RecordFieldsBeyondTheTextsAndTheNumber)
{
    QByteArray input = HandRecord({"Macro", "Main", "F5", "x", 116, 4});

    // The reserved bytes of a record read are written back as they were.
    input[ReservedAt] = '\xAB';
    input[ReservedAt + 1] = '\xCD';
    std::optional<TAdvancedItem> item = ReadAdvancedRecord(input);
    ASSERT_TRUE(item.has_value());
    item->SetCommand("changed");
    const QByteArray output = WriteAdvancedRecord(*item);
    EXPECT_EQ(output.mid(ReservedAt, 2), B("\xAB\xCD"));
    EXPECT_EQ(output.mid(CommandField.offset, 8), B("\x07" "changed"));

    // The number is a signed little-endian 32-bit integer.
    for (const auto &[bytes, value] : {std::pair {B("\x04\x03\x02\x01"), 0x01020304},
                                       std::pair {B("\xfe\xff\xff\xff"), -2},
                                       std::pair {B("\x00\x00\x00\x80"), INT32_MIN}}) {
        QByteArray record = input;
        record.replace(NumberAt, 4, bytes);
        const std::optional<TAdvancedItem> read = ReadAdvancedRecord(record);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->Number, value);
        EXPECT_EQ(WriteAdvancedRecord(*read).mid(NumberAt, 4), bytes);
    }

    // Bytes after a text's length carry no meaning: they are not read, and written as zeros.
    QByteArray noisy = input;
    for (int i = 1 + 4; i < ClassField.size; ++i)
        noisy[ClassField.offset + i] = '#';
    const std::optional<TAdvancedItem> read = ReadAdvancedRecord(noisy);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->ItemClass, B("Main"));
    EXPECT_EQ(FirstDifference(WriteAdvancedRecord(*read), input), "");

    // Texts set past their field sizes are cut to them on writing, leaving the next field alone.
    TAdvancedItem overlong;
    overlong.ItemClass = QByteArray(50, 'c');
    overlong.Name = QByteArray(45, 'n');
    overlong.Command = QByteArray(300, 'x');
    overlong.Kind = "Completion-and-more";
    const QByteArray written = WriteAdvancedRecord(overlong);
    ASSERT_EQ(written.size(), RecordSize);
    EXPECT_EQ(written.mid(ClassField.offset, 2), B("\x28" "c"));
    EXPECT_EQ(written.mid(NameField.offset, 2), B("\x28" "n"));
    EXPECT_EQ(written.mid(CommandField.offset, 2), B("\xff" "x"));
    EXPECT_EQ(written.mid(ReservedAt, 2), B("\0\0"));
    EXPECT_EQ(written.mid(KindField.offset, 2), B("\x0b" "C"));
    const std::optional<TAdvancedItem> cut = ReadAdvancedRecord(written);
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->ItemClass, QByteArray(40, 'c'));
    EXPECT_EQ(cut->Name, QByteArray(45, 'n').left(40));
    EXPECT_EQ(cut->Command, QByteArray(255, 'x'));
    EXPECT_EQ(cut->Kind, B("Completion-"));
    EXPECT_EQ(cut->Number, 0);
}

TEST(AdvancedFile, RecordReadNeedsAWholeRecordAndIgnoresBytesAfterIt)
{
    const QByteArray record = HandRecord({"Alias", "Main", "n", "north"});
    EXPECT_FALSE(ReadAdvancedRecord(record.left(RecordSize - 1)).has_value());
    EXPECT_FALSE(ReadAdvancedRecord(QByteArrayView()).has_value());

    const std::optional<TAdvancedItem> longer = ReadAdvancedRecord(record + QByteArray(20, '\xEE'));
    ASSERT_TRUE(longer.has_value());
    EXPECT_EQ(FirstDifference(WriteAdvancedRecord(*longer), record), "");
}

TEST(AdvancedFile, DamagedLengthBytesAreHeldToTheirFields)
{
    // Every length byte says 255 and characters fill each field to its end, so a read that does not hold the
    // length to the field would take bytes of the next field (or run past the record).
    QByteArray damaged = HandRecord({"Alias"});
    for (const StringField &field : {ClassField, NameField, CommandField, KindField}) {
        damaged[field.offset] = '\xff';
        for (int i = 1; i < field.size; ++i)
            damaged[field.offset + i] = static_cast<char>('a' + (field.offset + i) % 26);
    }
    auto window = [&damaged](const StringField &field) { return damaged.mid(field.offset + 1, field.size - 1); };

    const std::optional<TAdvancedItem> read = ReadAdvancedRecord(damaged);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->ItemClass, window(ClassField));
    EXPECT_EQ(read->Name, window(NameField));
    EXPECT_EQ(read->Command, window(CommandField));
    EXPECT_EQ(read->Kind, window(KindField));
    const QByteArray written = WriteAdvancedRecord(*read);
    EXPECT_EQ(written[ClassField.offset], '\x28');
    EXPECT_EQ(written[NameField.offset], '\x28');
    EXPECT_EQ(written[CommandField.offset], '\xff');
    EXPECT_EQ(written[KindField.offset], '\x0b');

    // In a file: an alias whose class and name length bytes are damaged loads with the texts held to their
    // fields; a damaged kind length makes the kind unknown, and the record is skipped.
    QByteArray alias = damaged;
    PutText(alias, KindField, "Alias");
    QByteArray badKind = HandRecord({"Alias", "Main", "n", "north"});
    badKind[KindField.offset] = '\xff';
    const AutomationStore store = Loaded(alias + badKind);
    ASSERT_EQ(store.Aliases().size(), 1);
    EXPECT_EQ(store.Aliases()[0].ItemClass, window(ClassField));
    EXPECT_EQ(store.Aliases()[0].Name, window(NameField));
    EXPECT_EQ(store.Aliases()[0].Command, window(CommandField));
}

TEST(AdvancedFile, LoadRulesByRecord)
{
    using Expect = std::function<void(AutomationStore &)>;
    struct Case {
        const char *name;
        std::vector<Stored> records;
        Expect expected; // the Add calls whose result the load must equal
    } cases[] = {
        {"alias", {{"Alias", "Main", "n", "north"}}, [](AutomationStore &s) { s.AddAlias("n", "north", "Main"); }},
        {"macro with key code and modifiers",
         {{"Macro", "Main", "F5", "cast\r\nheal", 116, 4}},
         [](AutomationStore &s) { s.AddMacro("F5", 116, "Main", "cast\r\nheal", 4); }},
        {"On Sound takes its newer name",
         {{"Event", "Main", "On Sound", "play"}},
         [](AutomationStore &s) { s.AddEvent("On Sound Begin", "play", "Main"); }},
        {"only the exact old event name is renamed",
         {{"Event", "Main", "on sound", "a"}, {"Event", "Main", "On Sound ", "b"}, {"Event", "Main", "On Sound Begin", "c"}},
         [](AutomationStore &s) {
             s.AddEvent("on sound", "a", "Main");
             s.AddEvent("On Sound ", "b", "Main");
             s.AddEvent("On Sound Begin", "c", "Main");
         }},
        {"old On Sound updates an On Sound Begin in the same file",
         {{"Event", "Main", "On Sound Begin", "new"}, {"Event", "Main", "On Sound", "old"}},
         [](AutomationStore &s) { s.AddEvent("On Sound Begin", "old", "Main"); }},
        {"trigger types above 1 load as 0; a negative one is refused",
         {{"Trigger", "Main", "t0", "a", 0}, {"Trigger", "Main", "t1", "b", 1}, {"Trigger", "Main", "t2", "c", 2},
          {"Trigger", "Main", "t5", "d", 5}, {"Trigger", "Main", "tbig", "e", INT32_MAX},
          {"Trigger", "Main", "tneg", "f", -1}},
         [](AutomationStore &s) {
             s.AddTrigger("t0", "a", "Main", 0);
             s.AddTrigger("t1", "b", "Main", 1);
             s.AddTrigger("t2", "c", "Main", 0);
             s.AddTrigger("t5", "d", "Main", 0);
             s.AddTrigger("tbig", "e", "Main", 0);
         }},
        {"variable type 2 is refused, not changed",
         {{"Variable", "Main", "$a", "1", 0}, {"Variable", "Main", "$b", "2", 1}, {"Variable", "Main", "$c", "3", 2}},
         [](AutomationStore &s) {
             s.AddVariable("$a", "1", "Main", 0);
             s.AddVariable("$b", "2", "Main", 1);
         }},
        {"completion sets the text and the words",
         {{"Completion", "", "", "orc\r\ngoblin\r\n"}},
         [](AutomationStore &s) {
             s.SetTabCompletionText("orc\r\ngoblin\r\n");
             s.SetTabCompletion("orc\r\ngoblin\r\n");
         }},
        {"a later completion record replaces an earlier one",
         {{"Completion", "", "", "orc"}, {"Completion", "x", "y", "elf\r\ndwarf"}},
         [](AutomationStore &s) {
             s.SetTabCompletionText("elf\r\ndwarf");
             s.SetTabCompletion("elf\r\ndwarf");
         }},
        {"stored flags are not used: items load enabled, without the other flags",
         {{"Alias", "Main", "off", "a", 0, 0, 0, 0, 0}, {"Trigger", "Main", "flags", "b", 1, 0, 0, 1, 1},
          {"Macro", "Main", "F2", "c", 113, 1, 0, 1, 1}},
         [](AutomationStore &s) {
             s.AddAlias("off", "a", "Main");
             s.AddTrigger("flags", "b", "Main", 1);
             s.AddMacro("F2", 113, "Main", "c", 1);
         }},
        {"unknown kinds are skipped, the rest loads",
         {{"alias", "Main", "a", "1"}, {"ALIAS", "Main", "b", "2"}, {"Aliases", "Main", "c", "3"},
          {"Alias ", "Main", "d", "4"}, {"", "Main", "e", "5"}, {"Completio", "", "", "words"},
          {"Sound", "Main", "f", "6"}, {"Alias", "Main", "kept", "7"}},
         [](AutomationStore &s) { s.AddAlias("kept", "7", "Main"); }},
        {"a record of zeros is skipped", {{""}}, [](AutomationStore &) {}},
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AutomationStore expected;
        c.expected(expected);
        EXPECT_EQ(Dump(Loaded(HandFile(c.records))), Dump(expected));
    }
}

TEST(AdvancedFile, SavedStoreLoadsBackIntoAFreshStore)
{
    const AutomationStore original = SampleStore();
    const AutomationStore loaded = Loaded(SaveAdvancedBytes(original));

    // Everything but the System triggers and variables comes back in list order, and enabled.
    AutomationStore expected = original;
    for (ItemKind kind : {ItemKind::Trigger, ItemKind::Variable}) {
        for (const TAdvancedItem &item : original.List(kind)) {
            if (item.ItemClass.trimmed() == "System")
                expected.Remove(kind, item.Name, item.ItemClass);
        }
    }
    for (ItemKind kind : {ItemKind::Alias, ItemKind::Macro, ItemKind::Event, ItemKind::Trigger, ItemKind::Variable}) {
        for (const TAdvancedItem &item : original.List(kind))
            expected.SetEnabled(kind, item.Name, item.ItemClass, true);
    }
    EXPECT_EQ(Dump(loaded), Dump(expected));

    // Saved again, the file differs from the first save only in the Enabled byte of the disabled event.
    QByteArray golden = SampleFixture();
    golden[SampleEventOnConnect * RecordSize + EnabledAt] = 1;
    EXPECT_EQ(FirstDifference(SaveAdvancedBytes(loaded), golden), "");
}

TEST(AdvancedFile, LoadMergesIntoTheListsHeldAndASecondLoadChangesNothing)
{
    AutomationStore store;
    store.AddAlias("x", "kept", "Other");
    store.AddAlias("n", "old", "Main");
    store.SetClassState(false, "n", false, "Main");
    store.AddMacro("F5", 200, "Main", "old", 1);
    store.AddTrigger("^You are hungry", "old", "Food", 0);
    store.AddTrigger("* tells you *", "", "System", 0);
    store.AddVariable("$target", "troll", "combat", 0); // another class: a different variable
    store.SetTabCompletionText("old words");
    store.SetTabCompletion("old words");

    const QByteArray file = SampleFixture();
    LoadAdvancedBytes(file, store);

    // Items found are updated in place through the Add rules (command, and for triggers the type; a macro
    // keeps its key and modifiers, a disabled item stays disabled); new items are appended enabled.
    const std::string expected = "alias [Other] x = kept #0 shift 0 kind Alias on\n"
                                 "alias [Main] n = north #0 shift 0 kind Alias off\n"
                                 "alias [System] who = who all #0 shift 0 kind Alias on\n"
                                 "macro [Main] F5 = cast heal\\r\\nsay done #200 shift 1 kind Macro on\n"
                                 "macro [Keypad] KEY7 =  #103 shift 0 kind Macro on\n"
                                 "event [Main] On Connect = say hello #0 shift 0 kind Event on\n"
                                 "event [] On Disconnect =  #0 shift 0 kind Event on\n"
                                 "trigger [Food] ^You are hungry = eat bread #1 shift 0 kind Trigger on\n"
                                 "trigger [System] * tells you * =  #0 shift 0 kind Trigger on\n"
                                 "trigger [" +
                                 LongClass.toStdString() + "] " + LongPattern.toStdString() + " = " +
                                 LongCommand.toStdString() +
                                 " #0 shift 0 kind Trigger on\n"
                                 "variable [combat] $target = troll #0 shift 0 kind Variable on\n"
                                 "variable [Combat] $target = orc #1 shift 0 kind Variable on\n"
                                 "completion orc\\r\\ngoblin\\r\\n kind Completion words: <orc> <goblin>\n";
    EXPECT_EQ(Dump(store), expected);

    // Every item of the file is now found, so loading it again adds and changes nothing.
    LoadAdvancedBytes(file, store);
    EXPECT_EQ(Dump(store), expected);
}

TEST(AdvancedFile, TrailingPartShorterThanARecordIsIgnored)
{
    const QByteArray whole = HandFile({{"Alias", "Main", "n", "north"}, {"Variable", "Main", "$v", "1"}});
    const QByteArray next = HandRecord({"Alias", "Main", "s", "south"});
    const std::string expected = Dump(Loaded(whole));
    ASSERT_NE(expected, Dump(AutomationStore()));

    // A tail that begins like a good record would load if it were padded to a whole one.
    for (const QByteArray &tail : {next.left(1), next.left(RecordSize - 1), QByteArray(RecordSize - 1, '\xff')}) {
        SCOPED_TRACE(tail.size());
        EXPECT_EQ(Dump(Loaded(whole + tail)), expected);
        EXPECT_EQ(Dump(Loaded(tail)), Dump(AutomationStore()));
    }
    EXPECT_EQ(Dump(Loaded(QByteArray())), Dump(AutomationStore()));
}

TEST(AdvancedFile, LoadAdvancedByFileShape)
{
    const QByteArray sample = SampleFixture();
    const QByteArray alias = HandRecord({"Alias", "Main", "n", "north"});

    enum class Setup { None, Bytes, Unreadable, Directory, Sized };
    struct Case {
        const char *name;
        Setup setup;
        QByteArray content; // for Sized: the first bytes of a file of `size` bytes, zeros after them
        qint64 size;
        bool result;
        bool changes; // whether the store takes the file's items
        bool needsNonRoot;
    } cases[] = {
        {"no file", Setup::None, {}, 0, true, false, false},
        {"empty file", Setup::Bytes, {}, 0, true, false, false},
        {"sample file", Setup::Bytes, sample, 0, true, true, false},
        {"no read permission", Setup::Unreadable, sample, 0, false, false, true},
        {"a folder by that name", Setup::Directory, {}, 0, false, false, false},
        {"exactly the size limit", Setup::Sized, alias, AdvancedFileMaxSize, true, true, false},
        {"one byte over the size limit", Setup::Sized, alias, AdvancedFileMaxSize + 1, false, false, false},
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && RunningAsRoot()) {
            std::cout << "[   SKIP   ] " << c.name << ": root can read any file\n";
            continue;
        }
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("world.wn2"));
        switch (c.setup) {
        case Setup::None:
            break;
        case Setup::Bytes:
            ASSERT_TRUE(WriteWholeFile(path, c.content));
            break;
        case Setup::Unreadable:
            ASSERT_TRUE(WriteWholeFile(path, c.content));
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
            break;
        case Setup::Directory:
            ASSERT_TRUE(QDir().mkpath(path));
            break;
        case Setup::Sized: {
            ASSERT_TRUE(WriteWholeFile(path, c.content));
            QFile file(path);
            ASSERT_TRUE(file.resize(c.size)); // sparse: takes no room on disk
            break;
        }
        }

        AutomationStore store;
        store.AddAlias("n", "before", "Main");
        store.AddTrigger("* tells you *", "", "System", 0);
        const std::string before = Dump(store);
        AutomationStore expected = store;
        if (c.changes)
            LoadAdvancedBytes(c.content, expected);

        QString error;
        const bool result = LoadAdvanced(path, store, &error);
        if (c.setup == Setup::Unreadable)
            ::chmod(QFile::encodeName(path).constData(), 0644);

        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Dump(store), Dump(expected));
        if (c.changes) {
            EXPECT_NE(Dump(store), before);
        }
        if (c.result) {
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
        if (c.setup == Setup::Unreadable) {
            EXPECT_EQ(error, qt_error_string(EACCES));
        }
        if (c.setup == Setup::None) {
            EXPECT_FALSE(QFile::exists(path));
        }
    }
}

TEST(AdvancedFile, SaveReplacesALongerFileWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("world.wn2"));
    ASSERT_TRUE(WriteWholeFile(path, QByteArray(20 * RecordSize + 7, '\x55')));

    QString error;
    ASSERT_TRUE(SaveAdvanced(path, SampleStore(), &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(FirstDifference(ReadWholeFile(path), SampleFixture()), "");
    EXPECT_EQ(Entries(dir.path()), QStringList {QStringLiteral("world.wn2")});

    // And what was saved loads back as the file says.
    AutomationStore loaded;
    ASSERT_TRUE(LoadAdvanced(path, loaded, &error)) << error.toStdString();
    EXPECT_EQ(Dump(loaded), Dump(Loaded(SampleFixture())));
}

TEST(AdvancedFile, FailedSaveLeavesThePreviousFile)
{
    enum class Setup { LockedFolder, DirectoryAtPath, LongName };
    struct Case {
        const char *name;
        Setup setup;
        bool needsNonRoot;
    } cases[] = {
        {"folder not writable", Setup::LockedFolder, true},
        {"a folder stands at the path", Setup::DirectoryAtPath, false},
        {"no room for a temporary name beside the file", Setup::LongName, false},
    };
    const QByteArray old = HandFile({{"Alias", "Main", "old", "kept"}, {"Completion"}});

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && RunningAsRoot()) {
            std::cout << "[   SKIP   ] " << c.name << ": root can write into any folder\n";
            continue;
        }
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString fileName = c.setup == Setup::LongName ? QString(246, QLatin1Char('w')) + QStringLiteral(".wn2")
                                                            : QStringLiteral("world.wn2");
        const QString path = dir.filePath(fileName);
        // The previous file: the file at the path, or one inside the folder that stands there.
        const QString oldFile = c.setup == Setup::DirectoryAtPath ? path + QStringLiteral("/inside") : path;
        if (c.setup == Setup::DirectoryAtPath) {
            ASSERT_TRUE(QDir().mkpath(path));
        }
        ASSERT_TRUE(WriteWholeFile(oldFile, old));
        const QByteArray folder = QFile::encodeName(dir.path());
        if (c.setup == Setup::LockedFolder) {
            ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
        }

        QString error;
        const bool saved = SaveAdvanced(path, SampleStore(), &error);
        const QStringList entries = Entries(dir.path());
        ::chmod(folder.constData(), 0755);

        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(FirstDifference(ReadWholeFile(oldFile), old), "");
        EXPECT_EQ(entries, QStringList {fileName}); // no temporary file left beside it
        if (c.setup == Setup::DirectoryAtPath) {
            EXPECT_TRUE(QFileInfo(path).isDir());
        }
    }
}
