// SPDX-License-Identifier: GPL-3.0-or-later
// What the file reader fuzz targets share: the application they need and the check that stops loudly.
#pragma once

#include "fuzz_check.h"

#include <QByteArray>
#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace wren::fuzz
{

/// The bytes libFuzzer gives, as the readers take them.
inline QByteArray Bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

/// A core application for the readers that need one (settings, file names).
inline void NeedApplication(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QCoreApplication *application = new QCoreApplication(*argc, *argv);
    (void)application;
}

} // namespace wren::fuzz
