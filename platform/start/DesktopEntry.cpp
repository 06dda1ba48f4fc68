#include "platform/start/DesktopEntry.h"

#include "platform/core/NativePath.h"
#include "platform/core/XdgFolders.h"

#include <QDir>
#include <QFileInfo>

#include <glib.h>

#include <cerrno>
#include <utility>

namespace velkora {

namespace {

QStringList dataFolders()
{
    return QStringList {dataHome()} + dataDirs();
}

// "vendor-app.desktop" may be vendor-app.desktop or vendor/app.desktop.
QString findIn(const QString &folder, const QString &rest)
{
    if (QFileInfo(folder + u'/' + rest).isFile())
        return folder + u'/' + rest;
    for (qsizetype dash = rest.indexOf(u'-'); dash > 0; dash = rest.indexOf(u'-', dash + 1)) {
        const QString sub = folder + u'/' + rest.left(dash);
        if (!QFileInfo(sub).isDir())
            continue;
        if (const QString found = findIn(sub, rest.mid(dash + 1)); !found.isEmpty())
            return found;
    }
    return {};
}

int errnoOf(const GError *error)
{
    if (error->domain != G_FILE_ERROR)
        return ENOEXEC;
    static const std::pair<int, int> known[] = {
        {G_FILE_ERROR_NOENT, ENOENT},   {G_FILE_ERROR_ACCES, EACCES}, {G_FILE_ERROR_ISDIR, EISDIR},
        {G_FILE_ERROR_MFILE, EMFILE},   {G_FILE_ERROR_NFILE, ENFILE}, {G_FILE_ERROR_NOMEM, ENOMEM},
        {G_FILE_ERROR_NOTDIR, ENOTDIR}, {G_FILE_ERROR_LOOP, ELOOP},
    };
    for (const auto &[code, number] : known) {
        if (error->code == code)
            return number;
    }
    return EIO;
}

// File and URL codes get nothing: the entry is started without files.
QStringList expandFieldCodes(const QStringList &words, const QString &name, const QString &icon,
                             const QString &path)
{
    QStringList argv;
    for (const QString &word : words) {
        if (word == QLatin1String("%i")) {
            if (!icon.isEmpty())
                argv << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        bool dropped = false;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word.at(i) != u'%' || i + 1 == word.size()) {
                expanded += word.at(i);
                continue;
            }
            const QChar code = word.at(++i);
            if (code == u'%')
                expanded += u'%';
            else if (code == u'c')
                expanded += name;
            else if (code == u'k')
                expanded += path;
            else
                dropped = true;
        }
        if (!dropped || !expanded.isEmpty())
            argv.append(expanded);
    }
    return argv;
}

DesktopEntry failed(int errorNumber, EntryProblem problem)
{
    DesktopEntry entry;
    entry.errorNumber = errorNumber;
    entry.problem = problem;
    return entry;
}

DesktopEntry readKeyFile(GKeyFile *file, const QString &path, bool evenHidden)
{
    const char *const group = G_KEY_FILE_DESKTOP_GROUP;
    if (!g_key_file_has_group(file, group))
        return failed(ENOEXEC, EntryProblem::NotAnEntry);
    const auto text = [file, group](const char *key, bool localized = false) {
        gchar *value = localized ? g_key_file_get_locale_string(file, group, key, nullptr, nullptr)
                                 : g_key_file_get_string(file, group, key, nullptr);
        const QString result = QString::fromUtf8(value);
        g_free(value);
        return result;
    };
    const auto flag = [file, group](const char *key) {
        return g_key_file_get_boolean(file, group, key, nullptr) != FALSE;
    };
    const QString type = text(G_KEY_FILE_DESKTOP_KEY_TYPE);
    if (!evenHidden && flag(G_KEY_FILE_DESKTOP_KEY_HIDDEN))
        return failed(ENOENT, EntryProblem::Hidden);
    if (type == QLatin1String(G_KEY_FILE_DESKTOP_TYPE_LINK))
        return failed(ENOEXEC, EntryProblem::Link);
    if (!type.isEmpty() && type != QLatin1String(G_KEY_FILE_DESKTOP_TYPE_APPLICATION))
        return failed(ENOEXEC, EntryProblem::NotApplication);

    const QString exec = text(G_KEY_FILE_DESKTOP_KEY_EXEC);
    if (exec.toUtf8().trimmed().isEmpty())
        return failed(ENOEXEC, EntryProblem::NoExec);
    QStringList split;
    if (!splitWords(exec, &split) || split.isEmpty()) // a comment alone is no command either
        return failed(EINVAL, EntryProblem::BadExec);

    DesktopEntry entry;
    entry.exec = expandFieldCodes(split, text(G_KEY_FILE_DESKTOP_KEY_NAME, true),
                                  text(G_KEY_FILE_DESKTOP_KEY_ICON), path);
    if (entry.exec.isEmpty())
        return failed(ENOEXEC, EntryProblem::NoExec);
    entry.tryExec = text(G_KEY_FILE_DESKTOP_KEY_TRY_EXEC);
    entry.workingFolder = text(G_KEY_FILE_DESKTOP_KEY_PATH);
    entry.terminal = flag(G_KEY_FILE_DESKTOP_KEY_TERMINAL);
    entry.dbusActivatable = flag(G_KEY_FILE_DESKTOP_KEY_DBUS_ACTIVATABLE);
    return entry;
}

} // namespace

bool splitWords(const QString &text, QStringList *words)
{
    words->clear();
    int argc = 0;
    gchar **argv = nullptr;
    GError *error = nullptr;
    if (!g_shell_parse_argv(text.toUtf8().constData(), &argc, &argv, &error)) {
        const bool onlyBlanks = g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
        g_error_free(error);
        return onlyBlanks;
    }
    for (int i = 0; i < argc; ++i)
        words->append(QString::fromUtf8(argv[i]));
    g_strfreev(argv);
    return true;
}

QString findDesktopFile(const QString &desktopId)
{
    if (desktopId.isEmpty() || desktopId.contains(u'/'))
        return {};
    const QStringList folders = dataFolders();
    for (const QString &folder : folders) {
        if (const QString found = findIn(folder + QStringLiteral("/applications"), desktopId);
            !found.isEmpty())
            return found;
    }
    return {};
}

DesktopEntry readDesktopEntry(const QString &path, bool evenHidden)
{
    GKeyFile *file = g_key_file_new();
    GError *error = nullptr;
    DesktopEntry entry;
    if (g_key_file_load_from_file(file, pathToNative(path).constData(), G_KEY_FILE_NONE, &error)) {
        entry = readKeyFile(file, path, evenHidden);
    } else {
        const bool unreadable = error->domain == G_FILE_ERROR;
        entry = failed(errnoOf(error), unreadable ? EntryProblem::None : EntryProblem::NotAnEntry);
        g_error_free(error);
    }
    g_key_file_free(file);
    return entry;
}

} // namespace velkora
