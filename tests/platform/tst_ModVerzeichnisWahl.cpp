#include "FakeRuntime.h"
#include "ModVerzeichnisWahl.h"

#include <QObject>
#include <QTest>

class tst_ModVerzeichnisWahl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translatesAndTrims_data();
    void translatesAndTrims();
};

void tst_ModVerzeichnisWahl::translatesAndTrims_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("linuxFolder");
    QTest::addColumn<QString>("qtFilter");
    QTest::addColumn<QString>("result");

    const QString all = QStringLiteral("Alle Dateien (*)");
    QTest::newRow("the program's own call") << "C:\\"
                                            << "Alle Dateien|*.*"
                                            << "/usr/bin/xterm"
                                            << "/" << all << "/usr/bin/xterm";
    QTest::newRow("other drive and folder") << "d:\\Daten\\Alt"
                                            << "Alle Dateien|*.*"
                                            << ""
                                            << "/Daten/Alt" << all << "";
    QTest::newRow("bare drive") << "C:"
                                << "Alle Dateien|*.*"
                                << ""
                                << "/" << all << "";
    QTest::newRow("Linux folder unchanged") << "/home"
                                            << "Alle Dateien|*.*"
                                            << ""
                                            << "/home" << all << "";
    QTest::newRow("several pairs and patterns") << "/"
                                                << "Texte|*.txt;*.log|Alle Dateien|*.*"
                                                << ""
                                                << "/"
                                                << "Texte (*.txt *.log);;Alle Dateien (*)"
                                                << "";
    QTest::newRow("description without pattern") << "/"
                                                 << "Alles"
                                                 << ""
                                                 << "/"
                                                 << "Alles (*)"
                                                 << "";
    QTest::newRow("blanks around the answer") << "C:\\"
                                              << "Alle Dateien|*.*"
                                              << "  /opt/my tool  "
                                              << "/" << all << "/opt/my tool";
    QTest::newRow("a tab is part of the name") << "C:\\"
                                               << "Alle Dateien|*.*"
                                               << "/tmp/a\t"
                                               << "/" << all << "/tmp/a\t";
    QTest::newRow("cancel of blanks only") << "C:\\"
                                           << "Alle Dateien|*.*"
                                           << "   "
                                           << "/" << all << "";
}

void tst_ModVerzeichnisWahl::translatesAndTrims()
{
    QFETCH(QString, folder);
    QFETCH(QString, filter);
    QFETCH(QString, answer);

    velkora::test::FakeRuntime runtime;
    runtime.nextChosenFile = answer;
    QObject owner;
    const QString result = ModVerzeichnisWahl::ChooseFile(
        runtime, &owner, folder, filter, QStringLiteral(".txt"), QStringLiteral("Titel"));

    QCOMPARE(runtime.chooseCalls.size(), 1);
    const auto &call = runtime.chooseCalls.constFirst();
    QCOMPARE(call.owner, &owner);
    QTEST(call.initialFolder, "linuxFolder");
    QTEST(call.filterText, "qtFilter");
    QCOMPARE(call.defaultExtension, QStringLiteral(".txt"));
    QCOMPARE(call.title, QStringLiteral("Titel"));
    QTEST(result, "result");
}

QTEST_GUILESS_MAIN(tst_ModVerzeichnisWahl)
#include "tst_ModVerzeichnisWahl.moc"
