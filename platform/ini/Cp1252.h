#pragma once
// Windows-1252, the code page of lists brought over from Windows, for the
// lines of a file that are not UTF-8.

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QStringView>

namespace velkora {

/// Writes the text of bytes to out, ASCII included, and returns the end. The
/// five bytes the code page leaves undefined become the C1 control of the
/// same number, so that they come back as they were.
QChar *decodeCp1252(QByteArrayView bytes, QChar *out);

/// Appends text to out; false, with out as it was, for a character that
/// Windows-1252 cannot hold.
bool encodeCp1252(QStringView text, QByteArray &out);

/// True when bytes holds no byte above 0x7F.
bool isAscii(QByteArrayView bytes);

} // namespace velkora
