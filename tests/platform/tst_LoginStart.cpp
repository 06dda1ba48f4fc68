#include "platform/session/LoginStart.h"

#include <QtTest>

using namespace velkora::LoginStart;

class tst_LoginStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The menu item and `make install-autostart` write the same bytes, or both refuse.
    void bothWritersAgree_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("nameable");
        QTest::newRow("a plain path") << "/usr/lib/velkora/Velkora" << true;
        QTest::newRow("blanks and umlauts") << "/home/anna/Meine Programme/Würfel" << true;
        QTest::newRow("escapes and placeholders") << R"(/opt/"q" `x` $HOME \ & ;/@EXEC@)" << true;
        QTest::newRow("a percent sign") << "/opt/50%/Velkora" << false;
        QTest::newRow("a line break") << "/opt/a\nb/Velkora" << false;
    }
    void bothWritersAgree()
    {
        QFETCH(QString, program);
        QTemporaryDir dir;
        const QString entry = dir.filePath("autostart/ours.desktop");
        QTEST(setEnabled(true, program, nullptr, entry) && isEnabled(entry), "nameable");
        QFile ours(entry), theirs(dir.filePath("theirs.desktop"));
        const QStringList script {WRITE_ENTRY, AUTOSTART_TEMPLATE, program, theirs.fileName()};
        QTEST(QProcess::execute("bash", script) == 0, "nameable");
        QCOMPARE(ours.open(QIODevice::ReadOnly), theirs.open(QIODevice::ReadOnly));
        QCOMPARE(ours.readAll(), theirs.readAll());
        QVERIFY(setEnabled(false, program, nullptr, entry) && !ours.exists());
    }

    void switchedOff_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("hidden") << QByteArray("Hidden=true");
        QTest::newRow("switched off in GNOME") << QByteArray("X-GNOME-Autostart-enabled=false");
    }
    void switchedOff()
    {
        QFETCH(QByteArray, line);
        QTemporaryDir dir;
        QFile entry(dir.filePath("x.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly) && entry.write(entryFor("/bin/true") + line) > 0);
        entry.close();
        QVERIFY(!isEnabled(entry.fileName()));
    }
};

QTEST_GUILESS_MAIN(tst_LoginStart)
#include "tst_LoginStart.moc"
