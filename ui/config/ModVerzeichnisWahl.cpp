#include "ui/config/ModVerzeichnisWahl.h"

#include "platform/Runtime.h"

#include <QRegularExpression>
#include <QStringList>

namespace ModVerzeichnisWahl {

namespace {

// "C:\" and "D:\Daten\x" name nothing on Linux: the drive goes, "\" becomes "/",
// so a drive root becomes the root of the file system.
QString linuxFolder(const QString &folder)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:(?=[\\\\/]|$)"));
    QString result = folder;
    const bool hadDrive = drive.match(result).hasMatch();
    if (hadDrive)
        result.remove(0, 2);
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (hadDrive && !result.startsWith(QLatin1Char('/')))
        result.prepend(QLatin1Char('/'));
    return result;
}

// "Alle Dateien|*.*|Texte|*.txt;*.log" -> "Alle Dateien (*);;Texte (*.txt *.log)".
// "*.*" means every file, dotted or not; a description without a pattern
// shows every file too.
QString qtFilter(const QString &filterText)
{
    if (filterText.isEmpty())
        return {};
    const QStringList parts = filterText.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i];
        QStringList patterns;
        if (i + 1 < parts.size())
            patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        patterns.removeAll(QString());
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        if (description.isEmpty() && i + 1 >= parts.size())
            continue; // the trailing "|" of "a|b|"
        filters << description + QLatin1String(" (") + patterns.join(QLatin1Char(' '))
                + QLatin1Char(')');
    }
    return filters.join(QLatin1String(";;"));
}

// Only blanks, as the dialog's answer once came in a blank-filled buffer;
// other white space belongs to the name.
QString withoutBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QString ChooseFile(velkora::Runtime &runtime, QObject *owner, const QString &initialFolder,
                   const QString &filterText, const QString & /*defaultExtension*/,
                   const QString &title)
{
    return withoutBlanks(
        runtime.chooseFile(owner, linuxFolder(initialFolder), qtFilter(filterText), title));
}

} // namespace ModVerzeichnisWahl
