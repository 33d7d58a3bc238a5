// SPDX-License-Identifier: GPL-3.0-or-later
// What markup tags act on in a session: styles and colours of new text, alignment, the view's background,
// links, and the pictures and sounds tags name.
#include "session/markup_side.h"

#include "base/text_helpers.h"
#include "config/globals.h"
#include "config/program_folder.h"
#include "markup/picture_loader.h"
#include "markup/zel_colors.h"
#include "markup/zel_media.h"
#include "session/incoming_text.h"
#include "session/session_document.h"

#include <QFile>

namespace wren {

MarkupSide::MarkupSide(MarkupSideHost &host, const State &state)
    : m_host(host)
    , m_state(state)
{
}

void MarkupSide::WriteText(QByteArrayView text)
{
    m_text->WriteText(text);
}

void MarkupSide::SetColor(const QByteArray &name, int target)
{
    const Colour colour = ZelColorValue(name);
    if (target == 0) {
        m_state.Options.CurTextColor = colour;
    } else if (target == 1) {
        m_state.Options.BackColor = colour;
        m_state.Display.SetBackground(colour);
    }
}

void MarkupSide::SetStyle(std::uint8_t bits, bool on)
{
    std::uint8_t &style = m_state.Display.Attributes.Style;
    style = on ? (style | bits) : (style & ~bits);
}

void MarkupSide::SetAlignment(Alignment alignment)
{
    m_state.Display.SetAlignment(alignment);
}

void MarkupSide::RestoreBackground()
{
    m_state.Display.SetBackground(m_state.Options.DefaultBackColor);
}

void MarkupSide::ClearView()
{
    m_state.Display.Clear();
}

QByteArray MarkupSide::LocalAddress() const
{
    return m_state.Globals.LocalAddress;
}

void MarkupSide::EndFont()
{
    TSessionOptions &options = m_state.Options;
    options.CurFontName = TrimBlanks(options.FontName);
    options.CurFontSize = options.FontSize;
    options.CurTextColor = options.TextColor;
}

void MarkupSide::LoadZelImage(const QByteArray &source)
{
    const ZelFile file = FetchZelFile(source, m_state.BaseUrl, m_state.Http, ProgramFolder());
    QImage picture;
    if (!file.Path.isEmpty())
        picture = LoadPicture(file.Path);
    if (picture.isNull() || !m_text->InsertPicture(picture)) {
        m_text->WriteText("ZEL Image Load Error : " + file.Shown);
        m_text->ScrollToEnd();
    }
    m_host.RunEvent("On Image");
}

void MarkupSide::PlayZelAudio(const QByteArray &source)
{
    const ZelFile file = FetchZelFile(source, m_state.BaseUrl, m_state.Http, ProgramFolder());
    if (file.Path.isEmpty()) {
        m_text->WriteText("ZEL Audio Load Error : " + file.Shown);
        m_text->ScrollToEnd();
        return;
    }
    m_host.PlaySound(QFile::encodeName(file.Path));
}

} // namespace wren
