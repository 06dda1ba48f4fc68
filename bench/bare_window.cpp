// The floor bench_window measures against: a bare QWidget of the given size,
// nothing else; with --text, the countdown's two lines in its fonts.
// Usage: bare_window <width> <height> [--text]
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    QWidget window;
    window.setFixedSize(args.value(1).toInt(), args.value(2).toInt());
    if (args.value(3) == QStringLiteral("--text")) {
        auto *line = new QLabel(QStringLiteral("Starte in (60 sek.)"), &window);
        line->setGeometry(8, 8, 297, 25);
        auto *name = new QLabel(QStringLiteral("Bench"), &window);
        name->setGeometry(8, 32, 297, 25);
        QFont bold(QStringLiteral("Arial"));
        bold.setPointSizeF(11.25);
        bold.setBold(true);
        name->setFont(bold);
    }
    window.show();
    return QApplication::exec();
}
