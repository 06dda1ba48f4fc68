#include "app/DesktopRuntime.h"
#include "ui/config/ModVerzeichnisWahl.h"

#include <QtTest>
#include <QtWidgets>

class tst_ModVerzeichnisWahl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The real dialog, driven as a user would, in a folder with "tool" and "tool.txt": "*.*" lists
    // "tool" first, once read, and its full path typed into the name box is taken as it stands (a
    // default suffix once made "/usr/bin/true" a "true.txt" that was not found).
    void dialog()
    {
        QTemporaryDir dir;
        for (const char *name : {"tool", "tool.txt"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
            auto *view = dialog->findChild<QListView *>("listView");
            QTRY_COMPARE(view->model()->index(0, 0, view->rootIndex()).data().toString(), "tool");
            QTest::keyClicks(QApplication::focusWidget(), dir.filePath("tool"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        velkora::DesktopRuntime runtime {QStringList(), QString()};
        QCOMPARE(ModVerzeichnisWahl::ChooseFile(runtime, nullptr, dir.path(), "Alle Dateien|*.*",
                                                ".txt", {}),
                 dir.filePath("tool"));
    }
};

QTEST_MAIN(tst_ModVerzeichnisWahl)
#include "tst_ModVerzeichnisWahl.moc"
