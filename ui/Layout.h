#pragma once
// The windows have fixed layouts given in twips; 15 twips make one pixel at
// 96 dpi, and Qt's high-DPI scaling takes care of other screens.

#include <QWidget>

namespace velkora::ui {

/// Twips to device-independent pixels, rounded to the nearest pixel.
constexpr int twips(int t)
{
    return t >= 0 ? (t + 7) / 15 : -((-t + 7) / 15);
}

/// Places a control at a position and size given in twips.
inline void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

} // namespace velkora::ui
