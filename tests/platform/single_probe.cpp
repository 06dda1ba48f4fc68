// A copy of a program guarded by SingleInstance, for tests that need real
// processes. Usage: single_probe <runtimeDir> <key> <title> <logfile> [lifetimeMs]
//
// A first copy prints "first <lockPath> <socketPath>", appends every requested
// title (percent-encoded, one per line) to <logfile>, and ends after
// <lifetimeMs> (default 10000). A later copy asks for <title> and prints
// "second ok <ms>" or "second unanswered <ms>".
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        QTextStream(stderr) << "usage: single_probe <runtimeDir> <key> <title> <logfile> "
                               "[lifetimeMs]\n";
        return 2;
    }
    QTextStream out(stdout);
    QElapsedTimer clock;
    clock.start();
    velkora::SingleInstance single(args.at(2), nullptr, args.at(1));
    if (single.previousInstance()) {
        const bool answered = single.activateByTitle(args.at(3));
        out << "second " << (answered ? "ok " : "unanswered ") << clock.elapsed() << Qt::endl;
        return 0;
    }

    const QString logPath = args.at(4);
    QObject::connect(&single, &velkora::SingleInstance::activationRequested, &app,
                     [logPath](const QString &title) {
                         QFile log(logPath);
                         if (log.open(QIODevice::Append))
                             log.write(title.toUtf8().toPercentEncoding() + '\n');
                     });
    out << "first " << single.lockPath() << ' ' << single.socketPath() << Qt::endl;
    const int lifetimeMs = args.size() > 5 ? args.at(5).toInt() : 10000;
    QTimer::singleShot(lifetimeMs, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
