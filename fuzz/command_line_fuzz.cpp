// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary command lines (arguments separated by NUL bytes) to the program's command-line reader.
#include "ui/startup_args.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> arguments = size == 0 ? QList<QByteArray>() : bytes.split('\0');
    const wren::CommandLine line = wren::ParseCommandLine(arguments);
    using Action = wren::CommandLine::Action;
    Check((line.What == Action::Invalid) == !line.Problem.isEmpty(), "a problem exactly when the line is refused");
    Check(line.What == Action::Run || line.StartArguments.isEmpty(), "only a run starts a world");
    Check(line.StartArguments.size() <= 1, "one world at most");
    if (line.What == Action::Run && !line.StartArguments.isEmpty()) {
        const auto address = wren::ParseTelnetArgument(line.StartArguments);
        Check(address.has_value(), "the world start-up is handed parses");
        Check(!address->Host.isEmpty() && address->Port >= 1 && address->Port <= 65535, "a host and a real port");
        Check(address->Secure == line.StartArguments.front().startsWith("telnets://"), "TLS as the scheme says");
        const wren::CommandLine again = wren::ParseCommandLine(line.StartArguments);
        Check(again.What == Action::Run && again.StartArguments == line.StartArguments,
              "the address reads the same again");
    }
    return 0;
}
