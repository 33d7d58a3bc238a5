// SPDX-License-Identifier: GPL-3.0-or-later
// The view's zoom for low vision: points added to the world's fonts, kept per world.
#pragma once

namespace wren {

class TClient;

/// How far the zoom keys go, in points added to every font of the view.
inline constexpr int MinZoom = -6;
inline constexpr int MaxZoom = 30;
inline constexpr int ZoomStep = 2;

/// The world's kept zoom ("View/ZoomPoints" in the program's settings), shown in its view when the world's
/// "View/Zoom" switch is on.
void ApplyStoredZoom(TClient &session);
/// One step larger (@p direction 1), smaller (-1), or back to the fonts' own sizes (0); kept for the world.
/// Returns the zoom now; nothing changes while the world's switch is off.
int StepZoom(TClient &session, int direction);

} // namespace wren
