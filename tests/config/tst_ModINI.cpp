#include "config/ModINI.h"

#include <QTemporaryFile>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ModINI : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readIniValue_data();
    void readIniValue();
};

void tst_ModINI::readIniValue_data()
{
    QTest::addColumn<QByteArray>("line"); // in section 0; the default is 5
    QTest::addColumn<QString>("expected");
    QTest::newRow("300 characters cut to 254")
        << "DATEI=" + QByteArray(250, 'a') + QByteArray(50, 'b') << QString(250, u'a') + u"bbbb"_s;
    QTest::newRow("trailing blanks removed") << "DATEI=\"  abc   \""_ba << u"  abc"_s;
    QTest::newRow("empty value gives default") << "DATEI="_ba << u"5"_s;
    QTest::newRow("missing key gives default") << "ZEIT=1"_ba << u"5"_s;
    QTest::newRow("NUL cuts the value") << "DATEI=ab\0cd"_ba << u"ab"_s;
}

void tst_ModINI::readIniValue()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    QTemporaryFile f;
    QVERIFY(f.open() && f.write("[0]\n" + line + '\n') > 0 && f.flush());
    QCOMPARE(ModINI::ReadIniValue(f.fileName(), u"0"_s, u"DATEI"_s, 5), expected);
}

QTEST_GUILESS_MAIN(tst_ModINI)
#include "tst_ModINI.moc"
