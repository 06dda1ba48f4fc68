#include "tests/support/FakeRuntime.h"
#include "ui/config/frmConfig.h"

#include <QtTest>
#include <QtWidgets>

// "Optionen" (left of "?") -> "Beim Anmelden starten" in the configuration window.
class tst_LoginStartMenu : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void toggle_data()
    {
        QTest::addColumn<bool>("before");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("after");
        QTest::newRow("checking it writes the entry") << false << QString() << true;
        QTest::newRow("unchecking it removes the entry") << true << QString() << false;
        QTest::newRow("a failed write unchecks it again")
            << false << "Zugriff verweigert: /x" << false;
    }
    void toggle()
    {
        QFETCH(bool, before);
        QFETCH(QString, failure);
        velkora::test::FakeRuntime runtime;
        runtime.loginStart = before;
        runtime.loginStartError = failure;
        frmConfig window(runtime);
        QCOMPARE(window.menuBar()->actions().constFirst()->text(), "Optionen");
        auto *item = window.findChild<QAction *>("mnuLoginStart");
        QCOMPARE(item->isChecked(), before);
        if (!failure.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, "login start not written: Zugriff verweigert: /x");
        item->trigger();
        QCOMPARE(runtime.loginStartCalls, QList<bool> {!before});
        QTEST(item->isChecked(), "after");
        QCOMPARE(runtime.messages,
                 failure.isEmpty()
                     ? QStringList()
                     : QStringList {"Der Start beim Anmelden konnte nicht eingerichtet werden.\n"
                                    + failure});
    }
};

QTEST_MAIN(tst_LoginStartMenu)
#include "tst_LoginStartMenu.moc"
