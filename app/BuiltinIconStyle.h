#pragma once

#include <QProxyStyle>

namespace velkora {

/// The application's own style, except that the menu bar's overflow arrow is
/// the style's built-in picture. The style would read it from a PNG file and
/// leave the format to be guessed, which loads every image format plugin there
/// is (the SVG one and its library among them) before the configuration
/// window can first be drawn.
class BuiltinIconStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption *option,
                       const QWidget *widget) const override;
};

} // namespace velkora
