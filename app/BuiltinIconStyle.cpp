#include "app/BuiltinIconStyle.h"

namespace velkora {

QIcon BuiltinIconStyle::standardIcon(StandardPixmap which, const QStyleOption *option,
                                     const QWidget *widget) const
{
    if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
        return QIcon(baseStyle()->standardPixmap(which, option, widget));
    return QProxyStyle::standardIcon(which, option, widget);
}

} // namespace velkora
