// The floor bench_window measures against: a bare QWidget of the given size,
// nothing else; with --text, the countdown's two lines in its fonts; with
// --controls, the configuration window's kinds of controls, as plain Qt makes
// them (a menu bar, three labelled boxes, a list of four lines, eight buttons).
// Usage: bare_window <width> <height> [--text | --controls]
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QToolButton>
#include <QWidget>

namespace {

void addControls(QWidget &window)
{
    auto *menus = new QMenuBar(&window);
    menus->addMenu(QStringLiteral("Optionen"));
    menus->addMenu(QStringLiteral("?"));
    menus->setGeometry(0, 0, window.width(), 22);
    for (int i = 0; i < 3; ++i) {
        (new QLabel(QStringLiteral("Dateipfad :"), &window))->setGeometry(20, 30 + 30 * i, 70, 20);
        (new QLineEdit(QStringLiteral("/usr/bin/tool"), &window))
            ->setGeometry(90, 30 + 30 * i, 230, 22);
    }
    auto *list = new QListWidget(&window);
    list->addItems({QStringLiteral("/usr/bin/a|A|10"), QStringLiteral("/usr/bin/b|B|30"),
                    QStringLiteral("/usr/bin/c|C|5"), QStringLiteral("/opt/d|D|60")});
    list->setGeometry(25, 125, 295, 160);
    for (int i = 0; i < 8; ++i) {
        auto *button = new QToolButton(&window);
        button->setText(QStringLiteral("Knopf %1").arg(i));
        button->setGeometry(335 + 80 * (i % 3), 30 + 60 * (i / 3), 72, 50);
    }
}

} // namespace

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
    } else if (args.value(3) == QStringLiteral("--controls")) {
        addControls(window);
    }
    window.show();
    return QApplication::exec();
}
