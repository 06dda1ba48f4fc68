#include "platform/ModVerzeichnisWahl.h"
#include "tests/support/FakeRuntime.h"

#include <QTest>

class tst_ModVerzeichnisWahl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void chooseFile_data()
    {
        QTest::addColumn<QStringList>("in"); // folder, filter, answer
        QTest::addColumn<QStringList>("out"); // folder, filter, result
        auto l = [](auto... s) { return QStringList {QString::fromUtf8(s)...}; };
        QTest::newRow("drive root") << l("C:\\", "Alle Dateien|*.*", "  /opt/my tool ")
                                    << l("/", "Alle Dateien (*)", "/opt/my tool");
        QTest::newRow("drive folder")
            << l("d:\\D\\A", "T|*.txt;*.log|X|*.*", "") << l("/D/A", "T (*.txt *.log);;X (*)", "");
        QTest::newRow("tab kept") << l("/h", "A", "\t/a\t ") << l("/h", "A (*)", "\t/a\t");
        QTest::newRow("blanks only") << l("C:", "A|*.*", "   ") << l("/", "A (*)", "");
    }
    void chooseFile()
    {
        QFETCH(QStringList, in);
        velkora::test::FakeRuntime runtime;
        runtime.nextChosenFile = in[2];
        const QString result = ModVerzeichnisWahl::ChooseFile(runtime, this, in[0], in[1], {}, {});
        const auto call = runtime.chooseCalls.value(0);
        QTEST((QStringList {call.initialFolder, call.filterText, result}), "out");
    }
};

QTEST_GUILESS_MAIN(tst_ModVerzeichnisWahl)
#include "tst_ModVerzeichnisWahl.moc"
