// A guarded program for tests, running until killed. Usage: single_probe <folder>. A first copy
// prints "first", then "asked <percent-encoded token>" for every request; a later one sends
// $XDG_ACTIVATION_TOKEN and prints "second ok" or "second unanswered".
#include "platform/session/SingleInstance.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    velkora::SingleInstance single(QStringLiteral("Velkora-probe"), nullptr,
                                   QString::fromLocal8Bit(argv[1]));
    if (single.previousInstance()) {
        const bool ok = single.activateFirstCopy(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
        std::printf("second %s\n", ok ? "ok" : "unanswered");
        return 0;
    }
    std::printf("first\n");
    QObject::connect(&single, &velkora::SingleInstance::activationRequested, &app,
                     [](const QString &token) {
                         std::printf("asked %s\n", token.toUtf8().toPercentEncoding().constData());
                     });
    return QCoreApplication::exec();
}
