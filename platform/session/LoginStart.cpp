#include "platform/session/LoginStart.h"

#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"
#include "platform/ini/IniFile.h"
#include "platform/session/AppInfo.h"
#include "platform/start/ProcessStart.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <glib.h>
#include <unistd.h>

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

QString failure(int errorNumber, const QString &path)
{
    return errorDescription(errorNumber) + QLatin1String(": ") + path;
}

} // namespace

QString entryPath()
{
    return configHome() + QLatin1String("/autostart/") + appId() + QLatin1String(".desktop");
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

bool isEnabled(const QString &entryFile)
{
    GKeyFile *keys = g_key_file_new();
    bool enabled = g_key_file_load_from_file(keys, pathToNative(entryFile).constData(),
                                             G_KEY_FILE_NONE, nullptr);
    if (enabled) {
        GError *error = nullptr;
        if (g_key_file_get_boolean(keys, G_KEY_FILE_DESKTOP_GROUP, "Hidden", &error))
            enabled = false;
        g_clear_error(&error);
        // FALSE with no error is an explicit "false"; a missing key means on.
        if (!g_key_file_get_boolean(keys, G_KEY_FILE_DESKTOP_GROUP, "X-GNOME-Autostart-enabled",
                                    &error)
            && !error)
            enabled = false;
        g_clear_error(&error);
    }
    g_key_file_free(keys);
    return enabled;
}

bool setEnabled(bool on, const QString &executable, QString *error, const QString &entryFile)
{
    QString reason;
    bool ok = false;
    if (!on) {
        ok = ::unlink(pathToNative(entryFile).constData()) == 0 || errno == ENOENT;
        if (!ok)
            reason = failure(errno, entryFile);
    } else if (const QByteArray entry = entryFor(executable); entry.isEmpty()) {
        reason = QStringLiteral("Der Programmpfad lässt sich nicht in einen Autostart-Eintrag "
                                "schreiben: ")
            + executable;
    } else if (int errorNumber = 0; !makeFolderFor(entryFile, &errorNumber)) {
        reason = failure(errorNumber, QFileInfo(entryFile).path());
    } else {
        // Atomic, so that the session never reads half an entry.
        const IniIoStatus status = replaceFile(entryFile, entry);
        ok = status.ok();
        if (!ok)
            reason = failure(status.error, entryFile);
    }
    if (!ok && error)
        *error = reason;
    return ok;
}

} // namespace velkora::LoginStart
