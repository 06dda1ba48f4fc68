// A bare Qt window of the countdown's size with its two lines and a one-second
// timer that rewrites the first: what any Qt program that counts down pays.
// bench_conditions.sh runs it beside the program.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare ticker"));
    window.setFixedSize(312, 62);
    QLabel line(QStringLiteral("Starte in (60 sek.)"), &window);
    line.setGeometry(8, 8, 297, 25);
    QLabel name(QStringLiteral("Bench"), &window);
    name.setGeometry(8, 32, 297, 25);
    int rest = 60;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &line,
                     [&] { line.setText(QStringLiteral("Starte in (%1 sek. )").arg(--rest)); });
    tick.start(1000);
    window.show();
    return QApplication::exec();
}
