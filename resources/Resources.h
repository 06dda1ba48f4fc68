#pragma once

#include <QIcon>

namespace velkora {

/// The program's own icon: a blue triangle with a lightning bolt.
QIcon appIcon();

/// A button icon by its file name without ".svg" (e.g. "suchen").
QIcon buttonIcon(const QString &name);

} // namespace velkora
