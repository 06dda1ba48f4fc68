#include "tests/support/FakeRuntime.h"
#include "ui/about/frmAbout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

class tst_frmAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textsAndPlace()
    {
        velkora::test::FakeRuntime runtime;
        frmAbout dlg(runtime);
        QCOMPARE(dlg.lblTitle->text(), QStringLiteral("Velkora"));
        QCOMPARE(dlg.lblVersion->text(), QStringLiteral("Version 1.1.0"));
        QCOMPARE(dlg.lblDescription->text(),
                 QStringLiteral("- Automatischer Start von \r\n  Programmen mit Zeitprüngen\r\n"));
        runtime.info.major = 2; // three distinct numbers show their order
        QCOMPARE(frmAbout(runtime).lblVersion->text(), QStringLiteral("Version 2.1.0"));
        dlg.move(0, 0); // else QDialog centres it by itself
        dlg.show();
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((dlg.frameGeometry().center() - centre).manhattanLength() <= 1);
    }

    void buttons_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("sysInfoFails");
        QTest::addColumn<bool>("closes"); // else System-Info was pressed
        QTest::newRow("Alt+O: OK closes") << "Alt+O" << false << true;
        QTest::newRow("Alt+S: System-Info starts") << "Alt+S" << false << false;
        QTest::newRow("Alt+S: System-Info missing") << "Alt+S" << true << false;
    }

    void buttons()
    {
        QFETCH(QString, keys);
        QFETCH(bool, sysInfoFails);
        QFETCH(bool, closes);
        velkora::test::FakeRuntime runtime;
        runtime.sysInfoAnswer = {sysInfoFails ? 2 : 0, {}, 0};
        frmAbout dlg(runtime);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QTest::keySequence(&dlg, QKeySequence(keys));
        // A mnemonic clicks its button only after a short animation.
        QTRY_COMPARE(runtime.sysInfoStarts, closes ? 0 : 1);
        QTRY_COMPARE(dlg.isVisible(), !closes);
        QCOMPARE(dlg.result(), int(closes ? QDialog::Accepted : QDialog::Rejected));
        const QString missing = "System-Informationen sind augenblicklich nicht verfügbar.";
        QCOMPARE(runtime.messages, sysInfoFails ? QStringList {missing} : QStringList());
    }
};

QTEST_MAIN(tst_frmAbout)
#include "tst_frmAbout.moc"
