#pragma once

namespace velkora {

/// Gives the application its icon, and with it every window that has none of
/// its own, once the first window has been drawn: read and handed to the
/// window system before, it would hold up the first picture.
void setAppIconAfterFirstPaint();

} // namespace velkora
