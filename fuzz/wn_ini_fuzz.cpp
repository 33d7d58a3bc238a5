// SPDX-License-Identifier: GPL-3.0-or-later
// "wn.ini": any bytes as the program's settings file; what is read is written and read back the same.
#include "config/global_settings.h"
#include "file_readers_fuzz.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const wren::WnIniLogin login = wren::ParseWnIni(wren::fuzz::Bytes(data, size));
    const QByteArray written = wren::WnIniBytes(login.WPLogin, login.WPPass, "uid");
    const wren::WnIniLogin again = wren::ParseWnIni(written);
    Check(again.WPLogin == login.WPLogin, "the login reads back the same");
    Check(again.WPPass == login.WPPass, "the password reads back the same");
    return 0;
}
