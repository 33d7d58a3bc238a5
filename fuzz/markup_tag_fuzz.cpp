// SPDX-License-Identifier: GPL-3.0-or-later
// The markup tag interpreter: any text between "<" and ">", with any session state behind it.
#include "file_readers_fuzz.h"
#include "markup/zel_colors.h"
#include "markup/zel_interpreter.h"
#include "options/session_options.h"

using wren::fuzz::Check;

namespace
{

/// Records what a tag asks for instead of doing it.
class RecordingHost : public wren::TagHost
{
public:
    wren::TSessionOptions Options;
    QByteArray Written, Link, Base;
    int Media = 0;

    wren::TSessionOptions &TagOptions() override { return Options; }
    void WriteText(QByteArrayView text) override { Written.append(text.first(std::min<qsizetype>(text.size(), 1 << 16))); }
    void SetColor(const QByteArray &name, int) override { wren::ZelColorValue(name); }
    void SetStyle(std::uint8_t, bool) override {}
    void SetAlignment(wren::Alignment) override {}
    void RestoreBackground() override {}
    void ClearView() override {}
    void LoadZelImage(const QByteArray &) override { ++Media; }
    void PlayZelAudio(const QByteArray &) override { ++Media; }
    QByteArray LocalAddress() const override { return "127.0.0.1"; }
    QByteArray &LinkTarget() override { return Link; }
    QByteArray &BaseUrl() override { return Base; }
};

} // namespace

// The first byte sets the switches tags look at; the rest is cut into tags at every NUL byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    RecordingHost host;
    host.Options.SetDefaults();
    host.Options.AllowFontChanges = data[0] & 1;
    host.Options.AllowImages = data[0] & 2;
    host.Options.EnableSounds = data[0] & 4;
    for (const QByteArray &tag : wren::fuzz::Bytes(data + 1, size - 1).split('\0')) {
        const wren::ZelTag parsed = wren::ParseZelTag(tag);
        Check(parsed.Name == parsed.Name.toUpper(), "tag names are upper case");
        wren::InterpretZelTag(host, tag);
    }
    Check(host.Media <= static_cast<int>(size), "no more media than tags");
    return 0;
}
