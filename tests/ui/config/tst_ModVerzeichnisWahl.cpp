#include "app/DesktopRuntime.h"
#include "ui/config/ModVerzeichnisWahl.h"

#include <QtTest>
#include <QtWidgets>

class tst_ModVerzeichnisWahl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The real dialog, driven as a user would, in a folder with "tool" and "tool.txt". A default
    // suffix once made "/usr/bin/true" a "true.txt" that was not found.
    void dialog_data()
    {
        QTest::addColumn<bool>("typed"); // the full path, into the name box; else clicks
        QTest::newRow("a full path without a dot is taken as it stands") << true;
        QTest::newRow("a click on a file in the list, then on the open button") << false;
    }
    void dialog()
    {
        QFETCH(bool, typed);
        QTemporaryDir dir;
        for (const char *name : {"tool", "tool.txt"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
            auto *view = dialog->findChild<QListView *>("listView");
            const auto tool = [view] { return view->model()->index(0, 0, view->rootIndex()); };
            QTRY_COMPARE(tool().data().toString(), "tool"); // read in the background, sorted
            if (typed) {
                QTest::keyClicks(QApplication::focusWidget(), dir.filePath("tool"));
                return QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            }
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(tool()).center());
            auto *buttons = dialog->findChild<QDialogButtonBox *>("buttonBox");
            QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
        });
        velkora::DesktopRuntime runtime {QStringList(), QString()};
        QCOMPARE(ModVerzeichnisWahl::ChooseFile(runtime, nullptr, dir.path(), "Alle Dateien|*.*",
                                                ".txt", {}),
                 dir.filePath("tool"));
    }
};

QTEST_MAIN(tst_ModVerzeichnisWahl)
#include "tst_ModVerzeichnisWahl.moc"
