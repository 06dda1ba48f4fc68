#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace velkora {

/// A path as the system hands it over, as text: UTF-8, with each byte of an
/// invalid sequence kept as the lone surrogate U+DC80 to U+DCFF, so that any
/// folder name survives the way back through pathToNative.
QString pathFromNative(QByteArrayView bytes);

/// The bytes for the system: UTF-8, and each lone U+DC80 to U+DCFF the byte it
/// stands for.
QByteArray pathToNative(QStringView path);

} // namespace velkora
