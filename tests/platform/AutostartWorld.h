#pragma once
// A login session of its own in a scratch folder: the user's (home/autostart) and the system's
// (sys/autostart) autostart folders, an applications folder (data/applications), and a PATH
// (bin) with Velkora as bin/velkora, a link to lib/Velkora, and the programs probe and other.
// The session's real readers look at it: systemd's autostart generator with its desktop
// condition, GLib's GDesktopAppInfo, desktop-file-validate.

#include <QtTest>

#include <sys/stat.h>

class AutostartWorld {
public:
    QTemporaryDir dir;
    const QString exe = dir.filePath("lib/Velkora");

    AutostartWorld()
    {
        ::umask(022); // so that nobody, too, can read what the world holds
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        for (const char *folder :
             {"home/autostart", "sys/autostart", "data/applications", "bin", "lib", "elsewhere"})
            QDir(dir.path()).mkpath(folder);
        for (const char *program : {"lib/Velkora", "bin/probe", "bin/other"})
            QFile::copy("/bin/true", dir.filePath(program));
        QFile::link("../lib/Velkora", dir.filePath("bin/velkora"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("home")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir.filePath("sys")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.filePath("data")));
        qputenv("PATH", QFile::encodeName(dir.filePath("bin") + ":/usr/bin:/bin"));
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    }

    void put(const QString &path, const QByteArray &text) const
    {
        QFile file(dir.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    QByteArray read(const QString &path) const
    {
        QFile file(dir.filePath(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Every entry file and where each link points.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(dir.path(), {"*.desktop"}, QDir::Files | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo file(it.next());
            files[file.filePath()] = file.isSymLink()
                ? file.symLinkTarget().toUtf8()
                : read(QDir(dir.path()).relativeFilePath(file.filePath()));
        }
        return files;
    }

    // What the session runs at login: the argv of each unit that the generator makes and whose
    // desktop condition holds, by the entry's file.
    QMap<QString, QStringList> sessionRuns() const
    {
        QDir units(dir.filePath("units"));
        units.removeRecursively();
        units.mkpath(".");
        QProcess generator;
        generator.setStandardErrorFile(QProcess::nullDevice());
        generator.start("/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator",
                        {units.path()});
        generator.waitForFinished();
        QMap<QString, QStringList> runs;
        const QStringList services = units.entryList({"*.service"});
        for (const QString &service : services) {
            QHash<QByteArray, QString> key;
            for (const QByteArray &line : read("units/" + service).split('\n'))
                key[line.left(line.indexOf('='))] = line.mid(line.indexOf('=') + 1);
            const QString condition = key["ExecCondition"];
            if (condition.isEmpty() || QProcess::execute("/bin/sh", {"-c", condition}) == 0)
                runs[key["SourcePath"]] = QProcess::splitCommand(key["ExecStart"].mid(1));
        }
        return runs;
    }

    // What desktop-file-validate and GLib's GDesktopAppInfo make of an entry file.
    QString readers(const QString &file) const
    {
        QProcess python;
        python.start("/usr/bin/python3",
                     {"-c", R"(import sys, gi
gi.require_version('Gio', '2.0')
from gi.repository import Gio
a = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
print(f'hidden {a.get_is_hidden()}, taken {a.get_string("X-Velkora-Taken")}' if a else 'unread'))",
                      file});
        python.waitForFinished();
        const bool valid = QProcess::execute("desktop-file-validate", {file}) == 0;
        return (valid ? "valid, " : "invalid, ") + python.readAllStandardOutput().trimmed();
    }
};
