#include "tests/support/FakeRuntime.h"
#include "ui/about/frmAbout.h"

#include <QtTest>
#include <QtWidgets>

class tst_frmAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Opened from the configuration window: the runtime's title and version, the frame centred
    // on the screen; the buttons by their mnemonics, which click after a short animation.
    void openAndUse()
    {
        velkora::test::FakeRuntime runtime;
        runtime.info.major = 2; // three distinct numbers show their order
        runtime.title = "Titel";
        QWidget owner;
        frmAbout dlg(runtime, &owner);
        QCOMPARE(dlg.findChild<QLabel *>("lblTitle")->text(), "Titel");
        QCOMPARE(dlg.findChild<QLabel *>("lblVersion")->text(), "Version 2.1.0");
        dlg.move(0, 0); // else QDialog would centre it by itself
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((dlg.frameGeometry().center() - centre).manhattanLength() <= 1);

        QTest::keySequence(&dlg, QKeySequence("Alt+S"));
        QTRY_COMPARE(runtime.sysInfoStarts, 1);
        QVERIFY(runtime.messages.isEmpty());
        runtime.sysInfoAnswer = {2, {}, 0}; // no tool: the window says so and stays
        QTest::keySequence(&dlg, QKeySequence("Alt+S"));
        QTRY_COMPARE(runtime.messages.size(), 1);
        QVERIFY(dlg.isVisible());
        QTest::keySequence(&dlg, QKeySequence("Alt+O"));
        QTRY_VERIFY(!dlg.isVisible());
    }
};

QTEST_MAIN(tst_frmAbout)
#include "tst_frmAbout.moc"
