// SPDX-License-Identifier: GPL-3.0-or-later
// What markup tags act on in a session: styles and colours of new text, alignment, the view's background,
// links, and the pictures and sounds tags name.
#include "session/markup_side.h"

#include "base/text_helpers.h"
#include "config/globals.h"
#include "config/logging.h"
#include "config/program_folder.h"
#include "markup/picture_loader.h"
#include "markup/zel_colors.h"
#include "markup/zel_media.h"
#include "session/incoming_text.h"
#include "session/session_document.h"

#include <QFile>

#include <algorithm>

namespace wren {

namespace {

// What a screen reader reads in a picture's place: the last part of its file name or address.
QByteArray PictureName(const QByteArray &source)
{
    const QByteArray trimmed = TrimBlanks(source);
    const qsizetype slash = std::max(trimmed.lastIndexOf('/'), trimmed.lastIndexOf('\\'));
    return slash >= 0 && slash + 1 < trimmed.size() ? trimmed.mid(slash + 1) : trimmed;
}

} // namespace

MarkupSide::MarkupSide(MarkupSideHost &host, const State &state, QObject &context)
    : m_host(host)
    , m_state(state)
    , m_context(context)
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
    Start(true, source);
}

void MarkupSide::PlayZelAudio(const QByteArray &source)
{
    Start(false, source);
}

int MarkupSide::PendingMedia() const
{
    return static_cast<int>(std::count_if(m_jobs.begin(), m_jobs.end(), [](const Job &job) { return !job.Done; }));
}

MediaRequest MarkupSide::Request(bool picture, const QByteArray &source) const
{
    return {source, m_state.BaseUrl, ProgramFolder(), picture,
            SessionDocument::PictureBudget - m_state.Display.PictureBytes()};
}

void MarkupSide::Start(bool picture, const QByteArray &source)
{
    const quint64 id = m_firstJob + m_jobs.size();
    Job job;
    job.Picture = picture;
    job.Source = source;
    m_jobs.push_back(std::move(job));
    const MediaRequest request = Request(picture, source);
    MediaFetcher &fetcher = MediaFetcher::Shared();
    std::optional<MediaResult> now;
    if (picture && ++m_picturesThisBlock > MaxPicturesPerBlock) {
        qCDebug(lcMarkup) << "more than" << MaxPicturesPerBlock << "pictures in one block:" << source << "refused";
        now = MediaResult();
        now->Shown = source;
        now->Problem = QStringLiteral("too many pictures at once");
    } else if (const QByteArray address = CompleteZelAddress(source, m_state.BaseUrl);
               m_failed.contains(address) && LocateZelFile(source, request.Folder).isEmpty()) {
        now = MediaResult();
        now->Shown = address;
        now->Problem = QStringLiteral("failed before in this session");
        now->FetchFailed = true;
    } else if (!LocateZelFile(source, request.Folder).isEmpty()) {
        // A file at hand is read at once (a kept copy costs nothing): only downloads wait.
        now = fetcher.ResolveNow(request);
    }
    if (now) {
        // Done at once, but it may have to wait behind pictures still coming: its place is held too.
        if (picture && m_jobs.size() > 1)
            m_jobs.back().Place = m_state.Display.HoldPicturePlace(PictureName(source));
        Finished(id, *now);
        return;
    }
    // The picture's place is held in the text until it comes.
    if (picture)
        m_jobs.back().Place = m_state.Display.HoldPicturePlace(PictureName(source));
    fetcher.Fetch(request, &m_context, [this, id](const MediaResult &result) { Finished(id, result); });
}

void MarkupSide::Finished(quint64 id, const MediaResult &result)
{
    if (id < m_firstJob || id >= m_firstJob + m_jobs.size())
        return;
    Job &job = m_jobs[static_cast<size_t>(id - m_firstJob)];
    job.Done = true;
    job.Result = result;
    if (result.FetchFailed)
        m_failed.insert(result.Shown);
    Drain();
}

void MarkupSide::Drain()
{
    // An event a finished picture runs may start more media: those wait their turn behind this loop.
    if (m_draining)
        return;
    m_draining = true;
    while (!m_jobs.empty() && m_jobs.front().Done) {
        const Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_firstJob;
        if (job.Picture)
            FinishPicture(job);
        else
            FinishSound(job);
    }
    m_draining = false;
}

void MarkupSide::FinishPicture(const Job &job)
{
    const MediaResult &result = job.Result;
    const QByteArray error = "ZEL Image Load Error : " + result.Shown;
    if (!result.Problem.isEmpty())
        qCDebug(lcMarkup) << "picture" << result.Shown << "not shown:" << result.Problem;
    if (job.Place) {
        const bool shown = !result.Picture.isNull() && m_state.Display.FillPicturePlace(job.Place, result.Picture);
        if (!shown) {
            m_state.Display.ReplacePicturePlace(job.Place, error);
            m_text->LogText(error);
        }
    } else if (result.Picture.isNull() || !m_text->InsertPicture(result.Picture, PictureName(job.Source))) {
        m_text->WriteText(error);
        m_text->ScrollToEnd();
    }
    m_host.RunEvent("On Image");
}

void MarkupSide::FinishSound(const Job &job)
{
    const MediaResult &result = job.Result;
    if (result.Path.isEmpty()) {
        m_text->WriteText("ZEL Audio Load Error : " + result.Shown);
        m_text->ScrollToEnd();
        return;
    }
    m_host.PlaySound(QFile::encodeName(result.Path));
}

} // namespace wren
