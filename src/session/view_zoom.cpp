// SPDX-License-Identifier: GPL-3.0-or-later
// The view's zoom for low vision: points added to the world's fonts, kept per world.
#include "session/view_zoom.h"

#include "config/app_settings.h"
#include "session/client.h"

#include <algorithm>

namespace wren {

namespace {

const QString ZoomKey = QStringLiteral("View/ZoomPoints");

} // namespace

void ApplyStoredZoom(TClient &session)
{
    if (!session.Features.Zoom) {
        session.Display.SetZoom(0);
        return;
    }
    const int kept
        = AppSettings().WorldValue(session.Options.Host.trimmed(), session.Options.Port.trimmed(), ZoomKey, 0).toInt();
    session.Display.SetZoom(std::clamp(kept, MinZoom, MaxZoom));
}

int StepZoom(TClient &session, int direction)
{
    if (!session.Features.Zoom)
        return session.Display.Zoom();
    const int zoom = direction == 0 ? 0 : std::clamp(session.Display.Zoom() + direction * ZoomStep, MinZoom, MaxZoom);
    session.Display.SetZoom(zoom);
    const QByteArray host = session.Options.Host.trimmed();
    if (!host.isEmpty())
        AppSettings().SetWorldValue(host, session.Options.Port.trimmed(), ZoomKey, zoom);
    return zoom;
}

} // namespace wren
