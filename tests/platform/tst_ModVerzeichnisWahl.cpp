#include "app/DesktopRuntime.h"
#include "platform/ModVerzeichnisWahl.h"
#include "tests/support/FakeRuntime.h"

#include <QtTest>
#include <QtWidgets>

class tst_ModVerzeichnisWahl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The caller's "C:\" and filter become the root and Qt's form; blanks around the answer go.
    void translation()
    {
        velkora::test::FakeRuntime runtime;
        runtime.nextChosenFile = "  /opt/my tool\t ";
        QCOMPARE(ModVerzeichnisWahl::ChooseFile(runtime, this, "C:\\", "Alle Dateien|*.*", {}, {}),
                 "/opt/my tool\t");
        QCOMPARE(runtime.chooseCalls[0].initialFolder, "/");
        QCOMPARE(runtime.chooseCalls[0].filterText, "Alle Dateien (*)");
    }

    // The real dialog, driven as a user would.
    void dialog_data()
    {
        QTest::addColumn<QString>("typed"); // into the name box; empty: a click in the list
        QTest::addColumn<QString>("chosen"); // in the folder shown
        // A default suffix once made "/usr/bin/true" a "true.txt" that was not found.
        // clang-format off
        QTest::newRow("a full path without a dot is taken as it stands") << "<folder>/tool" << "tool";
        QTest::newRow("a name alone is found in the folder shown") << "tool" << "tool";
        QTest::newRow("a hidden file can be typed, though the list hides it") << ".hidden" << ".hidden";
        QTest::newRow("a click on a file in the list, then on the open button") << "" << "tool";
        // clang-format on
    }
    void dialog()
    {
        QFETCH(QString, typed);
        QTemporaryDir dir;
        for (const char *name : {"tool", ".hidden", "tool.txt"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        typed.replace("<folder>", dir.path());
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
            auto *view = dialog->findChild<QListView *>("listView");
            const auto tool = [view] { return view->model()->index(0, 0, view->rootIndex()); };
            QTRY_COMPARE(tool().data().toString(), "tool"); // read in the background, sorted
            if (typed.isEmpty()) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(tool()).center());
                auto *buttons = dialog->findChild<QDialogButtonBox *>("buttonBox");
                return QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
            }
            QTest::keyClicks(QApplication::focusWidget(), typed);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        velkora::DesktopRuntime runtime {QStringList(), QString()};
        const QString chosen = ModVerzeichnisWahl::ChooseFile(runtime, nullptr, dir.path(),
                                                              "Alle Dateien|*.*", ".txt", {});
        QTEST(QDir(dir.path()).relativeFilePath(chosen), "chosen");
    }
};

QTEST_MAIN(tst_ModVerzeichnisWahl)
#include "tst_ModVerzeichnisWahl.moc"
