#include "resources/Resources.h"

namespace velkora {

QIcon appIcon()
{
    return QIcon(QStringLiteral(":/icons/velkora.svg"));
}

QIcon buttonIcon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
}

} // namespace velkora
