#pragma once

#include <QIcon>

namespace velkora {

/// The program's own icon: a blue triangle with a lightning bolt.
QIcon appIcon();

/// A button icon by the name of its SVG source without ".svg" (e.g. "suchen").
QIcon buttonIcon(const QString &name);

} // namespace velkora
