// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: the telnet://host:port argument, --help, --version and what is refused.
#include "support/test_support.h"
#include "ui/startup_args.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace wren;

TEST(StartupArgs, ParsesTheOneTelnetArgument)
{
    struct Case {
        QList<QByteArray> Arguments;
        bool Opens;
        QByteArray Host;
        int Port;
        bool Secure = false;
    } cases[] = {
        {{"telnet://mud.example.org:4000/"}, true, "mud.example.org", 4000},
        {{"telnets://mud.example.org:4443/"}, true, "mud.example.org", 4443, true},
        {{"mud.example.org:23"}, true, "mud.example.org", 23},
        {{"telnet://host:abc"}, true, "host", 0},
        {{"telnet://host:4000abc"}, true, "host", 4000},
        {{"telnet://telnet://host:23//"}, true, "host", 23},
        {{"telnet://host:99999"}, true, "host", 65535},
        {{"telnet://hostonly"}, true, "", 0},
        {{"telnet://a:1", "extra"}, false, "", 0},
        {{}, false, "", 0},
    };
    for (const Case &c : cases) {
        const auto address = ParseTelnetArgument(c.Arguments);
        ASSERT_EQ(address.has_value(), c.Opens) << c.Arguments.join(' ').constData();
        if (address) {
            EXPECT_EQ(address->Host, c.Host);
            EXPECT_EQ(address->Port, c.Port);
            EXPECT_EQ(address->Secure, c.Secure);
        }
    }
}

namespace {

struct CommandLineCase {
    const char *Name;
    QList<QByteArray> Arguments;
    CommandLine::Action What;
    QList<QByteArray> StartArguments = {};
    QByteArray Problem = {};
};

void PrintTo(const CommandLineCase &c, std::ostream *os)
{
    *os << c.Name;
}

class ReadCommandLine : public ::testing::TestWithParam<CommandLineCase>
{
};

using Action = CommandLine::Action;

// A row whose one argument is refused as not an address.
CommandLineCase NotAnAddress(const char *name, const char *argument)
{
    return {name, {argument}, Action::Invalid, {},
            "not an address: '" + QByteArray(argument) + "' (expected telnet://host:port or telnets://host:port)"};
}

} // namespace

TEST_P(ReadCommandLine, DecidesWhatTheProgramDoes)
{
    const CommandLineCase &c = GetParam();
    const CommandLine line = ParseCommandLine(c.Arguments);
    EXPECT_EQ(static_cast<int>(line.What), static_cast<int>(c.What));
    EXPECT_EQ(line.StartArguments, c.StartArguments);
    EXPECT_EQ(line.Problem, c.Problem);
    // What start-up is handed parses to the same world.
    if (line.What == Action::Run && !line.StartArguments.isEmpty()) {
        const auto address = ParseTelnetArgument(line.StartArguments);
        ASSERT_TRUE(address);
        EXPECT_EQ(address->Secure, line.StartArguments.front().startsWith("telnets://"));
        EXPECT_FALSE(address->Host.isEmpty());
        EXPECT_GT(address->Port, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadCommandLine,
    ::testing::Values(
        CommandLineCase {"Nothing", {}, Action::Run},
        CommandLineCase {"TelnetAddress", {"telnet://mud.example.org:4000/"}, Action::Run,
                         {"telnet://mud.example.org:4000"}},
        CommandLineCase {"SecureAddress", {"telnets://127.0.0.1:4443"}, Action::Run, {"telnets://127.0.0.1:4443"}},
        CommandLineCase {"BareHostAndPort", {"mud.example.org:23"}, Action::Run, {"telnet://mud.example.org:23"}},
        CommandLineCase {"LinkWithoutPortUses23", {"telnet://mud.example.org"}, Action::Run,
                         {"telnet://mud.example.org:23"}},
        CommandLineCase {"SecureLinkWithoutPortUses992", {"telnets://mud.example.org/"}, Action::Run,
                         {"telnets://mud.example.org:992"}},
        CommandLineCase {"HighestPort", {"telnet://h:65535"}, Action::Run, {"telnet://h:65535"}},
        CommandLineCase {"Help", {"--help"}, Action::Help},
        CommandLineCase {"ShortHelp", {"-h"}, Action::Help},
        CommandLineCase {"Version", {"--version"}, Action::Version},
        CommandLineCase {"ShortVersion", {"-v"}, Action::Version},
        CommandLineCase {"HelpWinsOverABadArgument", {"--bogus", "a", "b", "--help"}, Action::Help},
        CommandLineCase {"UnknownOption", {"--bogus"}, Action::Invalid, {}, "unknown option '--bogus'"},
        CommandLineCase {"QtOptionIsNotOurs", {"-platform", "offscreen"}, Action::Invalid, {},
                         "unknown option '-platform'"},
        CommandLineCase {"TwoAddresses", {"telnet://a:1", "extra"}, Action::Invalid, {},
                         "one address at most, 2 given"},
        NotAnAddress("PortNotANumber", "telnet://host:abc"),
        NotAnAddress("JunkAfterPort", "telnet://host:4000abc"),
        NotAnAddress("PortTooLarge", "telnet://host:99999"),
        NotAnAddress("PortZero", "telnet://host:0"),
        NotAnAddress("NoHost", "telnet://:4000"),
        NotAnAddress("EmptyArgument", ""),
        NotAnAddress("PathAfterAddress", "telnet://host:23/room"),
        NotAnAddress("OtherScheme", "http://host:80")),
    [](const ::testing::TestParamInfo<CommandLineCase> &info) { return std::string(info.param.Name); });

// The real program: a bad command line ends it with status 2 and the usage on stderr before any window
// exists, and --help and --version need no display at all (a platform plugin that does not exist would
// abort a program that created its application).
TEST(Program, AnswersItsCommandLineWithoutAWindow)
{
    struct Case {
        const char *Name;
        QStringList Arguments;
        const char *Platform;
        int Status;
        QByteArray Out, Err;
    } cases[] = {
        {"bad argument", {QStringLiteral("--bogus")}, "offscreen", 2, "", "wren: unknown option '--bogus'"},
        {"second argument", {QStringLiteral("telnet://127.0.0.1:1"), QStringLiteral("x")}, "offscreen", 2, "",
         "Usage: wren"},
        {"help", {QStringLiteral("--help")}, "wren-no-such-platform", 0, "Usage: wren", ""},
        {"version", {QStringLiteral("--version")}, "wren-no-such-platform", 0, "Wren Client 2.13", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(c.Platform));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(WREN_PROGRAM), c.Arguments);
        ASSERT_TRUE(program.waitForFinished(20000)) << "a program that opened its window would still run";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.Status);
        const QByteArray out = program.readAllStandardOutput();
        const QByteArray err = program.readAllStandardError();
        EXPECT_EQ(out.isEmpty(), QByteArray(c.Out).isEmpty()) << out.constData();
        EXPECT_TRUE(out.contains(c.Out)) << out.constData();
        EXPECT_TRUE(err.contains(c.Err)) << err.constData();
        if (c.Status == 2) {
            EXPECT_TRUE(err.contains("telnets://HOST:PORT")) << "the usage follows the problem";
        }
    }
}
