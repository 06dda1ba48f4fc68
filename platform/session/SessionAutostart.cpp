#include "platform/session/SessionAutostart.h"

#include "platform/session/AppInfo.h"
#include "platform/session/AutostartFiles.h"
#include "platform/start/AutostartEntry.h"
#include "platform/start/ProcessStart.h"

#include <QFileInfo>
#include <QSet>

#include <glib.h>

#include <algorithm>

namespace velkora::SessionAutostart {

namespace {

constexpr QLatin1String Suffix(".desktop");

// The desktop id a list's command text names, as the program start reads a
// bare desktop id: "<id>.desktop" or the id alone.
QString listedDesktopId(const QString &commandText)
{
    if (commandText.isEmpty() || commandText.contains(u'/') || commandText.contains(u' ')
        || commandText.contains(u'\t'))
        return {};
    return commandText.endsWith(Suffix) ? commandText.chopped(Suffix.size()) : commandText;
}

// Programs that run another one named in their arguments: for them the
// arguments tell the programs apart. Versions are left out of the name
// ("python3.11" is "python").
bool isLauncher(const QString &program)
{
    static const char *const launchers[]
        = {"env",     "flatpak", "snap", "sh",         "dash",   "bash", "zsh",
           "busybox", "perl",    "ruby", "gtk-launch", "python", "node", "java"};
    QString name = QFileInfo(program).fileName();
    while (!name.isEmpty() && (name.back().isDigit() || name.back() == u'.'))
        name.chop(1);
    return std::any_of(std::begin(launchers), std::end(launchers),
                       [&name](const char *launcher) { return name == QLatin1String(launcher); });
}

// What a command runs, its path resolved once for all the comparisons.
struct Program {
    QString desktopId, busName, path;
    QStringList arguments;
};

Program programOf(const ResolvedCommand &command, const QString &desktopId)
{
    const QString path = command.argv.isEmpty() ? QString() : canonicalPath(command.argv[0]);
    return {desktopId, command.busName, path, command.argv.mid(1)};
}

bool sameProgram(const Program &a, const Program &b)
{
    if (!a.desktopId.isEmpty() && a.desktopId == b.desktopId)
        return true;
    if (!a.busName.isEmpty() && a.busName == b.busName)
        return true;
    if (a.path.isEmpty() || a.path != b.path)
        return false;
    return !isLauncher(a.path) || a.arguments == b.arguments;
}

QString notRunnableReason(const AutostartEntry &entry)
{
    return QStringLiteral("Velkora kann diesen Autostart-Eintrag nicht selbst starten, er hat "
                          "keinen Befehl (Exec): ")
        + entry.file;
}

} // namespace

QList<SessionEntry> loginEntries(const QString &executable)
{
    QList<SessionEntry> entries;
    const QList<AutostartEntry> all = autostartEntries();
    for (const AutostartEntry &entry : all) {
        if (!entry.sessionStarts() || entry.desktopId == appId()
            || runsExecutable(entry.file, executable))
            continue;
        const bool usualDelay = entry.delay >= 2 && entry.delay <= 60;
        entries.append({entry.desktopId, entry.file,
                        entry.name.isEmpty() ? entry.desktopId : entry.name, entry.command,
                        usualDelay ? entry.delay : 10, entry.system});
    }
    return entries;
}

bool takeOver(const QStringList &desktopIds, QString *error, bool checkOnly)
{
    QList<FileChange> changes;
    QStringList ids = desktopIds;
    ids.removeDuplicates();
    for (const QString &id : std::as_const(ids)) {
        const AutostartEntry entry = id.contains(u'/') ? AutostartEntry() : findAutostartEntry(id);
        if (!entry.sessionStarts())
            continue; // nothing to stop
        if (entry.command.trimmed().isEmpty()) {
            *error = notRunnableReason(entry);
            return false;
        }
        KeyChanges keys {{{G_KEY_FILE_DESKTOP_KEY_HIDDEN, "true"}, {TakenKey, "true"}}, {}};
        if (entry.system)
            keys.set.append({CopyKey, QByteArrayLiteral("true")});
        const std::optional<QByteArray> bytes = changedEntry(entry.file, keys, error);
        if (!bytes)
            return false;
        changes.append({userAutostartFile(id), bytes});
    }
    return applyChanges(changes, error, checkOnly);
}

bool giveBack(const QStringList &listCommands, QString *error)
{
    QSet<QString> listed;
    for (const QString &command : listCommands)
        listed.insert(listedDesktopId(command));
    QList<FileChange> changes;
    const QList<AutostartEntry> all = autostartEntries();
    for (const AutostartEntry &entry : all) {
        if (entry.system || !entry.taken || listed.contains(entry.desktopId))
            continue;
        FileChange change {entry.file, std::nullopt}; // Velkora's copy goes
        if (!entry.copy) {
            change.bytes
                = changedEntry(entry.file, {{}, {G_KEY_FILE_DESKTOP_KEY_HIDDEN, TakenKey}}, error);
            if (!change.bytes)
                return false;
        }
        changes.append(change);
    }
    return applyChanges(changes, error);
}

QStringList alsoStartedBySession(const QStringList &commandTexts)
{
    QList<Program> started;
    const QList<AutostartEntry> all = autostartEntries();
    for (const AutostartEntry &entry : all) {
        if (entry.sessionStarts())
            started.append(programOf(resolveDesktopFile(entry.file), entry.desktopId));
    }
    QStringList ids;
    for (const QString &text : commandTexts) {
        const Program listed = programOf(resolveCommand(text), listedDesktopId(text));
        const auto same
            = std::find_if(started.cbegin(), started.cend(),
                           [&listed](const Program &p) { return sameProgram(listed, p); });
        ids.append(same == started.cend() ? QString() : same->desktopId);
    }
    return ids;
}

} // namespace velkora::SessionAutostart
