// SPDX-License-Identifier: GPL-3.0-or-later
// The 588-byte options record: any bytes as a ".wno" file. A record read is written back byte for byte,
// and a short file keeps only whole fields of its identity.
#include "file_readers_fuzz.h"
#include "options/session_options.h"

using wren::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = wren::fuzz::Bytes(data, size);
    if (const auto record = wren::ReadOptionsRecord(bytes)) {
        const QByteArray written = wren::WriteOptionsRecord(*record);
        Check(written.size() == wren::TSessionOptions::RecordSize, "a record is written whole");
        const auto again = wren::ReadOptionsRecord(written);
        Check(again.has_value() && wren::WriteOptionsRecord(*again) == written, "a record reads back as written");
    } else {
        Check(bytes.size() < wren::TSessionOptions::RecordSize, "only a short file is no record");
    }
    wren::TSessionOptions options;
    options.SetDefaults();
    options.Host = "kept.example";
    wren::ReadRecordIdentity(bytes, options);
    Check(options.Host.size() <= 50 && options.Port.size() <= 5 && options.WorldName.size() <= 40,
          "the identity's fields keep their lengths");
    return 0;
}
