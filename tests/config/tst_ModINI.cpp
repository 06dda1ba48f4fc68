#include "ModINI.h"

#include <QFile>
#include <QTemporaryDir>
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
    QTest::addColumn<QByteArray>("line"); // in section 0
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QString>("expected");
    const QByteArray longValue = QByteArray(250, 'a') + QByteArray(50, 'b');
    QTest::newRow("300 characters cut to 254")
        << "DATEI=" + longValue << QVariant() << QString::fromLatin1(longValue.left(254));
    QTest::newRow("trailing blanks removed") << "DATEI=\"  abc   \""_ba << QVariant() << u"  abc"_s;
    QTest::newRow("empty value gives default") << "DATEI="_ba << QVariant(u"x"_s) << u"x"_s;
    QTest::newRow("blank value gives default") << "DATEI=  "_ba << QVariant(u"x"_s) << u"x"_s;
    QTest::newRow("missing key, default 5") << "ZEIT=1"_ba << QVariant(5) << u"5"_s;
    QTest::newRow("NUL cuts the value") << "DATEI=ab\0cd"_ba << QVariant() << u"ab"_s;
}

void tst_ModINI::readIniValue()
{
    QFETCH(QByteArray, line);
    QFETCH(QVariant, defaultValue);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QFile f(dir.filePath(u"Velkora.ini"_s));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[0]\n" + line + '\n') > 0);
    f.close();
    QCOMPARE(ModINI::ReadIniValue(f.fileName(), u"0"_s, u"DATEI"_s, defaultValue), expected);
}

QTEST_GUILESS_MAIN(tst_ModINI)
#include "tst_ModINI.moc"
