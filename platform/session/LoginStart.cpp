#include "platform/session/LoginStart.h"

#include "platform/session/AppInfo.h"
#include "platform/session/AutostartFiles.h"
#include "platform/start/AutostartEntry.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <glib.h>

namespace velkora::LoginStart {

namespace {

// Backslashes are escaped once more at the string level of the format.
QString stringValue(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
}

// Exec quoting: any character beyond the plainest ones puts the path in
// double quotes, inside which " ` $ \ take a backslash.
QString execArgument(const QString &path)
{
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || QStringView(u"/._+,@=:-").contains(c);
    };
    if (std::all_of(path.cbegin(), path.cend(), plain))
        return stringValue(path);
    QString quoted;
    for (const QChar c : path) {
        if (QStringView(u"\"`$\\").contains(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return stringValue(QLatin1Char('"') + quoted + QLatin1Char('"'));
}

bool nameable(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar::ReplacementCharacter))
        return false;
    return std::none_of(path.cbegin(), path.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'%';
    });
}

bool countdownArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return true;
    const QString &first = arguments.constFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")
        || first == QLatin1String("--version"))
        return false;
    // The mode test reads the arguments joined by single blanks.
    const QString head = arguments.join(u' ').left(2).toLower();
    return head != QLatin1String("/c") && head != QLatin1String("/?");
}

QString stillOffReason(const AutostartEntry &entry)
{
    if (entry.otherDesktop)
        return QStringLiteral("Der Autostart-Eintrag schließt diese Arbeitsumgebung "
                              "(XDG_CURRENT_DESKTOP=%1) mit OnlyShowIn oder NotShowIn aus; "
                              "die Sitzung startet Velkora deshalb nicht: %2")
            .arg(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), entry.file);
    return QStringLiteral("Die Sitzung startet den Autostart-Eintrag trotzdem nicht: ")
        + entry.file;
}

bool switchOn(const QString &executable, QString *error)
{
    if (isEnabled(executable))
        return true;
    const QString id = appId();
    FileChange change {userAutostartFile(id), entryFor(executable)};
    if (change.bytes->isEmpty()) {
        *error = QStringLiteral("Der Programmpfad lässt sich nicht in einen Autostart-Eintrag "
                                "schreiben: ")
            + executable;
        return false;
    }
    if (const AutostartEntry entry = findAutostartEntry(id); !entry.file.isEmpty()) {
        KeyChanges keys;
        if (!runsCountdown(entry.file, executable))
            keys.set = {{G_KEY_FILE_DESKTOP_KEY_EXEC, execArgument(executable).toUtf8()},
                        {G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, stringValue(executable).toUtf8()}};
        if (entry.hidden)
            keys.remove.append(G_KEY_FILE_DESKTOP_KEY_HIDDEN);
        if (entry.switchedOff)
            keys.remove.append("X-GNOME-Autostart-enabled");
        change.bytes = changedEntry(entry.file, keys, error);
        if (!change.bytes)
            return false;
    }
    if (!applyChanges({change}, error))
        return false;
    if (isEnabled(executable))
        return true;
    *error = stillOffReason(findAutostartEntry(id));
    return false;
}

bool switchOff(const QString &executable, QString *error)
{
    QList<FileChange> changes;
    const QList<AutostartEntry> entries = autostartEntries();
    for (const AutostartEntry &entry : entries) {
        if (!entry.sessionStarts() || !runsCountdown(entry.file, executable))
            continue;
        // Deleted, unless a system entry would then come to light.
        FileChange change {userAutostartFile(entry.desktopId), std::nullopt};
        if (entry.system || !systemAutostartFile(entry.desktopId).isEmpty()) {
            change.bytes
                = changedEntry(entry.file, {{{G_KEY_FILE_DESKTOP_KEY_HIDDEN, "true"}}, {}}, error);
            if (!change.bytes)
                return false;
        }
        changes.append(change);
    }
    return applyChanges(changes, error);
}

} // namespace

QString entryPath()
{
    return userAutostartFile(appId());
}

QByteArray entryFor(const QString &executable)
{
    if (!nameable(executable))
        return {};
    QFile templateFile(QStringLiteral(":/packaging/autostart.desktop.in"));
    if (!templateFile.open(QIODevice::ReadOnly))
        return {};
    // One placeholder per line at most, replaced once, so that a path that
    // itself holds "@EXEC@" stays as it is.
    const auto fill = [](QByteArray &line, const QByteArray &placeholder, const QString &value) {
        const qsizetype at = line.indexOf(placeholder);
        if (at >= 0)
            line.replace(at, placeholder.size(), value.toUtf8());
        return at >= 0;
    };
    QList<QByteArray> lines = templateFile.readAll().split('\n');
    for (QByteArray &line : lines) {
        if (!fill(line, QByteArrayLiteral("@TRYEXEC@"), stringValue(executable)))
            fill(line, QByteArrayLiteral("@EXEC@"), execArgument(executable));
    }
    return lines.join('\n');
}

bool runsCountdown(const QString &entryFile, const QString &executable)
{
    QStringList arguments;
    return runsExecutable(entryFile, executable, &arguments) && countdownArguments(arguments);
}

bool isEnabled(const QString &executable)
{
    const QList<AutostartEntry> entries = autostartEntries();
    return std::any_of(entries.cbegin(), entries.cend(),
                       [&executable](const AutostartEntry &entry) {
                           return entry.sessionStarts() && runsCountdown(entry.file, executable);
                       });
}

bool setEnabled(bool on, const QString &executable, QString *error)
{
    QString reason;
    const bool ok = on ? switchOn(executable, &reason) : switchOff(executable, &reason);
    if (!ok && error)
        *error = reason;
    return ok;
}

} // namespace velkora::LoginStart
