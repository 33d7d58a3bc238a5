// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet://host:port argument.
#include "ui/startup_args.h"

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
