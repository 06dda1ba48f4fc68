// The floor bench_window measures against: a bare QWidget of the given size,
// nothing else. Usage: bare_window <width> <height>
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(QApplication::arguments().value(1).toInt(),
                        QApplication::arguments().value(2).toInt());
    window.show();
    return QApplication::exec();
}
