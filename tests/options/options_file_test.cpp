// SPDX-License-Identifier: GPL-3.0-or-later
// The 588-byte options record and the ".wno" file it is loaded from and saved to.
#include "options/options_file.h"
#include "options/session_options.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>

using namespace wren;
using wren::test::B;

namespace {

constexpr int RecordSize = TSessionOptions::RecordSize;
constexpr int IdentitySize = 98; // Host, Port and WorldName

// The string fields as (offset, field size): one length byte and up to size - 1 characters.
struct StringField {
    const char *name;
    int offset;
    int size;
};
constexpr StringField StringFields[] = {
    {"Host", 0, 51},         {"Port", 51, 6},          {"WorldName", 57, 41},     {"CurFontName", 104, 41},
    {"FontName", 164, 41},   {"CommandChar", 237, 6},  {"ExprSeparator", 243, 6}, {"PathChar", 249, 6},
    {"LineEnd", 255, 5},     {"LogFile", 332, 256},
};

// The bytes no field covers.
constexpr int PaddingOffsets[] = {98, 99, 145, 146, 147, 205, 206, 207, 325, 326, 327};

bool RunningAsRoot()
{
    return geteuid() == 0;
}

QByteArray DefaultFixture()
{
    const QByteArray bytes = test::ReadFixture(QStringLiteral("default_options.wno"));
    EXPECT_EQ(bytes.size(), RecordSize) << "fixture missing or damaged; run tests/fixtures/make_default_options.py";
    return bytes;
}

TSessionOptions NewWorld()
{
    TSessionOptions options;
    options.Host = "localhost";
    options.Port = "4000";
    options.WorldName = "Demo World";
    options.SetDefaults();
    return options;
}

// Empty when equal; otherwise where and how the two records first differ.
std::string FirstDifference(const QByteArray &actual, const QByteArray &expected)
{
    const qsizetype common = std::min(actual.size(), expected.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (actual[i] != expected[i]) {
            return "first difference at offset " + std::to_string(i) + ": actual " +
                   std::to_string(static_cast<unsigned char>(actual[i])) + ", expected " +
                   std::to_string(static_cast<unsigned char>(expected[i]));
        }
    }
    if (actual.size() != expected.size())
        return "sizes differ: actual " + std::to_string(actual.size()) + ", expected " +
               std::to_string(expected.size());
    return {};
}

// Puts a short string into a record by hand, the way an older program version would have stored it.
void PutString(QByteArray &record, int offset, int size, const QByteArray &value)
{
    record[offset] = static_cast<char>(value.size());
    for (int i = 1; i < size; ++i)
        record[offset + i] = i - 1 < value.size() ? value[i - 1] : '\0';
}

// A record that differs from the defaults in its identity and in fields after it.
QByteArray CustomRecord()
{
    QByteArray record = DefaultFixture();
    PutString(record, 0, 51, "old.example.org");
    PutString(record, 51, 6, "23");
    PutString(record, 57, 41, "Old World");
    record[100] = '\x10'; // MaxLines 0x0310 = 784
    record[101] = '\x03';
    record[222] = 0; // LocalEcho off
    PutString(record, 332, 256, "old.log");
    return record;
}

// Every string's length byte says 255 and characters fill each field to its end, so a read that does not
// hold the length to the field would take bytes of the next field.
QByteArray DamagedRecord()
{
    QByteArray record = DefaultFixture();
    for (const StringField &field : StringFields) {
        record[field.offset] = '\xff';
        for (int i = 1; i < field.size; ++i)
            record[field.offset + i] = static_cast<char>('a' + i % 26);
    }
    return record;
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

TEST(OptionsRecord, NewWorldDefaultsMatchTheGoldenRecord)
{
    const QByteArray written = WriteOptionsRecord(NewWorld());
    const QByteArray golden = DefaultFixture();
    EXPECT_EQ(FirstDifference(written, golden), "");
}

TEST(OptionsRecord, GoldenRecordReadsIntoFieldsAndWritesBackUnchanged)
{
    const std::optional<TSessionOptions> read = ReadOptionsRecord(DefaultFixture());
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Host, B("localhost"));
    EXPECT_EQ(read->Port, B("4000"));
    EXPECT_EQ(read->WorldName, B("Demo World"));
    EXPECT_EQ(read->MaxLines, 750);
    EXPECT_EQ(read->CurFontName, B("Courier New"));
    EXPECT_EQ(read->TextColor, Rgb(0, 128, 0));
    EXPECT_EQ(read->DefaultBackColor, Rgb(0, 0, 64));
    EXPECT_TRUE(read->LocalEcho);
    EXPECT_FALSE(read->AutoClearCommand);
    EXPECT_TRUE(read->AllowFontChanges);
    EXPECT_EQ(read->LineEnd, B("\n"));
    EXPECT_EQ(read->AnsiColors, DefaultAnsiColors);
    EXPECT_EQ(read->LogFile, QByteArray());

    // Every field read goes back to the same place.
    EXPECT_EQ(FirstDifference(WriteOptionsRecord(*read), DefaultFixture()), "");
    EXPECT_EQ(FirstDifference(WriteOptionsRecord(*read), WriteOptionsRecord(NewWorld())), "");
}

TEST(OptionsRecord, ReadNeedsAWholeRecordAndIgnoresBytesAfterIt)
{
    const QByteArray golden = DefaultFixture();
    EXPECT_FALSE(ReadOptionsRecord(golden.left(RecordSize - 1)).has_value());
    EXPECT_FALSE(ReadOptionsRecord(QByteArray()).has_value());

    const std::optional<TSessionOptions> longer = ReadOptionsRecord(golden + QByteArray(112, '\xEE'));
    ASSERT_TRUE(longer.has_value());
    EXPECT_EQ(FirstDifference(WriteOptionsRecord(*longer), golden), "");
}

TEST(OptionsRecord, PaddingOfARecordReadSurvivesTheNextWrite)
{
    QByteArray input = DefaultFixture();
    for (int at : PaddingOffsets)
        input[at] = static_cast<char>(0xA0 + (at & 0x0F));

    std::optional<TSessionOptions> options = ReadOptionsRecord(input);
    ASSERT_TRUE(options.has_value());
    options->Host = "changed.example";
    options->MaxLines = 2000;
    const QByteArray output = WriteOptionsRecord(*options);

    ASSERT_EQ(output.size(), RecordSize);
    for (int at : PaddingOffsets)
        EXPECT_EQ(output[at], input[at]) << "padding byte " << at;
    EXPECT_EQ(output.mid(0, 16), B("\x0f" "changed.example"));
    EXPECT_EQ(output.mid(100, 4), B("\xd0\x07\x00\x00"));
}

TEST(OptionsRecord, DamagedLengthBytesAreHeldToTheirFields)
{
    const QByteArray damaged = DamagedRecord();
    const std::optional<TSessionOptions> read = ReadOptionsRecord(damaged);
    ASSERT_TRUE(read.has_value());
    const QByteArray TSessionOptions::*members[] = {
        &TSessionOptions::Host,          &TSessionOptions::Port,     &TSessionOptions::WorldName,
        &TSessionOptions::CurFontName,   &TSessionOptions::FontName, &TSessionOptions::CommandChar,
        &TSessionOptions::ExprSeparator, &TSessionOptions::PathChar, &TSessionOptions::LineEnd,
        &TSessionOptions::LogFile,
    };
    static_assert(std::size(members) == std::size(StringFields));
    for (size_t i = 0; i < std::size(StringFields); ++i) {
        const StringField &field = StringFields[i];
        EXPECT_EQ((*read).*members[i], damaged.mid(field.offset + 1, field.size - 1)) << field.name;
    }
}

TEST(OptionsRecord, SetDefaultsKeepsIdentityAndLogFileAndResetsEverythingBetween)
{
    // Every field from MaxLines to LogMode starts away from its default.
    TSessionOptions options;
    options.Host = "localhost";
    options.Port = "4000";
    options.WorldName = "Demo World";
    options.LogFile = "keep/this.log";
    options.MaxLines = 5;
    options.CurFontName = options.FontName = "Fixedsys";
    options.CurFontSize = options.FontSize = 20;
    options.CurTextColor = options.CurBackColor = options.BackColor = options.TextColor =
        options.DefaultBackColor = Rgb(1, 2, 3);
    options.InAnsi = options.InTag = options.ZelEnabled = options.AutoClearCommand = options.AutoReconnect =
        options.UseBrightColors = true;
    options.CommandChar = options.ExprSeparator = options.PathChar = "#";
    options.LineEnd = "\r";
    options.AnsiColors.fill(Rgb(9, 9, 9));
    options.LogMode = 2;

    options.SetDefaults();

    EXPECT_EQ(options.Host, B("localhost"));
    EXPECT_EQ(options.Port, B("4000"));
    EXPECT_EQ(options.WorldName, B("Demo World"));
    EXPECT_EQ(options.LogFile, B("keep/this.log"));
    EXPECT_EQ(options.CurTextColor, 0xFFFFFF); // the text colour in use starts white...
    EXPECT_EQ(options.TextColor, 0x008000); // ...while the saved default text colour is green

    options.LogFile.clear();
    EXPECT_EQ(FirstDifference(WriteOptionsRecord(options), DefaultFixture()), "");
}

TEST(OptionsFile, LoadOptionsByFileShape)
{
    const QByteArray golden = DefaultFixture();
    const QByteArray custom = CustomRecord();

    // A short file keeps what it holds of the identity and takes the defaults for all the rest.
    auto upgradedFrom = [&](const QByteArray &identity) {
        QByteArray expected = golden;
        expected.replace(0, IdentitySize, identity.leftJustified(IdentitySize, '\0', true));
        return expected;
    };
    // What the options held before the load: a field the file does not hold completely keeps it.
    QByteArray openedWith(IdentitySize, '\0');
    PutString(openedWith, 0, 51, "before.example");
    PutString(openedWith, 51, 6, "4000");
    // Fifty bytes hold the host length byte and 49 of its 50 characters, nothing of port or name.
    QByteArray fiftyCharHost = custom;
    PutString(fiftyCharHost, 0, 51, QByteArray(50, 'h'));
    // Fifty-three bytes hold a whole host, the port's length byte and one of its two digits.
    QByteArray wholeHostCutPort = openedWith;
    PutString(wholeHostCutPort, 0, 51, "old.example.org");

    // Damaged length bytes: the record loads, and is written back with each length held to its field.
    const QByteArray damaged = DamagedRecord();
    QByteArray damagedWritten = damaged;
    for (const StringField &field : StringFields)
        damagedWritten[field.offset] = static_cast<char>(field.size - 1);

    enum class Setup { None, Bytes, Unreadable, Directory };
    struct Case {
        const char *name;
        Setup setup;
        QByteArray content;
        OptionsLoad result;
        std::optional<QByteArray> record; // the options afterwards as written; nullopt: left as they were
        std::optional<QByteArray> fileAfter; // nullopt: no file (or not a file) afterwards
        bool needsNonRoot;
    } cases[] = {
        {"no file", Setup::None, {}, OptionsLoad::NoFile, std::nullopt, std::nullopt, false},
        {"exactly 588 bytes", Setup::Bytes, custom, OptionsLoad::Loaded, custom, custom, false},
        {"700 bytes", Setup::Bytes, custom + QByteArray(112, '\xEE'), OptionsLoad::Loaded, custom,
         custom + QByteArray(112, '\xEE'), false},
        {"500 bytes", Setup::Bytes, custom.left(500), OptionsLoad::Upgraded, upgradedFrom(custom.left(IdentitySize)),
         upgradedFrom(custom.left(IdentitySize)), false},
        {"0 bytes", Setup::Bytes, QByteArray(), OptionsLoad::Upgraded, upgradedFrom(openedWith),
         upgradedFrom(openedWith), false},
        {"50 bytes", Setup::Bytes, fiftyCharHost.left(50), OptionsLoad::Upgraded, upgradedFrom(openedWith),
         upgradedFrom(openedWith), false},
        {"53 bytes", Setup::Bytes, custom.left(53), OptionsLoad::Upgraded, upgradedFrom(wholeHostCutPort),
         upgradedFrom(wholeHostCutPort), false},
        {"length bytes 255", Setup::Bytes, damaged, OptionsLoad::Loaded, damagedWritten, damaged, false},
        {"no read permission", Setup::Unreadable, custom, OptionsLoad::Unreadable, std::nullopt, custom, true},
        {"a folder by that name", Setup::Directory, {}, OptionsLoad::Unreadable, std::nullopt, std::nullopt, false},
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && RunningAsRoot()) {
            std::cout << "[   SKIP   ] " << c.name << ": root can read any file\n";
            continue;
        }
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("world.wno"));
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
        }

        TSessionOptions options;
        options.Host = "before.example";
        options.Port = "4000";
        options.MaxLines = 1;
        const QByteArray before = WriteOptionsRecord(options);
        QString error;
        const OptionsLoad result = LoadOptions(path, options, &error);
        if (c.setup == Setup::Unreadable)
            ::chmod(QFile::encodeName(path).constData(), 0644);

        EXPECT_EQ(result, c.result);
        const QByteArray after = WriteOptionsRecord(options);
        EXPECT_EQ(FirstDifference(after, c.record.value_or(before)), "");
        if (c.result == OptionsLoad::Unreadable)
            EXPECT_FALSE(error.isEmpty());
        else
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();

        if (c.fileAfter) {
            EXPECT_EQ(FirstDifference(ReadWholeFile(path), *c.fileAfter), "");
        } else if (c.setup == Setup::None) {
            EXPECT_FALSE(QFile::exists(path));
        }
        // Nothing else is left in the folder (no stray temporary file from a rewrite).
        const QStringList expectedEntries =
            c.setup == Setup::None ? QStringList() : QStringList {QStringLiteral("world.wno")};
        EXPECT_EQ(Entries(dir.path()), expectedEntries);
    }
}

TEST(OptionsFile, SaveWritesExactlyOneRecordOverALongerFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("world.wno"));
    ASSERT_TRUE(WriteWholeFile(path, QByteArray(700, '\x55')));

    QString error;
    ASSERT_TRUE(SaveOptions(path, NewWorld(), &error)) << error.toStdString();
    EXPECT_EQ(FirstDifference(ReadWholeFile(path), DefaultFixture()), "");
    EXPECT_EQ(Entries(dir.path()), QStringList {QStringLiteral("world.wno")});
}

TEST(OptionsFile, FailedSaveLeavesThePreviousFile)
{
    struct Case {
        const char *name;
        bool lockFolder; // chmod 555 on the folder
        int nameLength; // the file name's length; a long one leaves no room for a temporary name beside it
        bool needsNonRoot;
    } cases[] = {
        {"folder not writable", true, 9, true},
        {"no room for a temporary name", false, 250, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && RunningAsRoot()) {
            std::cout << "[   SKIP   ] " << c.name << ": root can write into any folder\n";
            continue;
        }
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString fileName = QString(c.nameLength - 4, QLatin1Char('w')) + QStringLiteral(".wno");
        const QString path = dir.filePath(fileName);
        const QByteArray old = CustomRecord();
        ASSERT_TRUE(WriteWholeFile(path, old));
        const QByteArray folder = QFile::encodeName(dir.path());
        if (c.lockFolder) {
            ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
        }

        QString error;
        const bool saved = SaveOptions(path, NewWorld(), &error);
        const QStringList entries = Entries(dir.path());
        ::chmod(folder.constData(), 0755);

        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(FirstDifference(ReadWholeFile(path), old), "");
        EXPECT_EQ(entries, QStringList {fileName});
    }
}

TEST(OptionsFile, OverlongStringsAreStoredCutToTheirFields)
{
    struct Case {
        const char *name;
        QByteArray TSessionOptions::*member;
        QByteArray value;
        QByteArray stored;
    } cases[] = {
        {"Host", &TSessionOptions::Host, QByteArray(60, 'h') + "tail", QByteArray(50, 'h')},
        {"Port", &TSessionOptions::Port, "123456", "12345"},
        {"WorldName", &TSessionOptions::WorldName, QByteArray(45, 'n'), QByteArray(40, 'n')},
        {"LogFile", &TSessionOptions::LogFile, QByteArray(300, 'l'), QByteArray(255, 'l')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("world.wno"));

        TSessionOptions options = NewWorld();
        options.*c.member = c.value;
        ASSERT_TRUE(SaveOptions(path, options));

        // The neighbouring fields are untouched: the file is the record with the cut value in place.
        TSessionOptions expected = NewWorld();
        expected.*c.member = c.stored;
        EXPECT_EQ(FirstDifference(ReadWholeFile(path), WriteOptionsRecord(expected)), "");

        TSessionOptions loaded;
        ASSERT_EQ(LoadOptions(path, loaded), OptionsLoad::Loaded);
        EXPECT_EQ(loaded.*c.member, c.stored);
    }
}
