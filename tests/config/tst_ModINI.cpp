#include "config/ModINI.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_ModINI : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readIniValue_data()
    {
        QTest::addColumn<QString>("line"); // in section 0; the default is 5
        QTest::addColumn<QString>("expected");
        QTest::newRow("300 characters cut to 254") << u"DATEI="_s + QString(250, u'a')
                + QString(50, u'b') << QString(250, u'a') + u"bbbb"_s;
        QTest::newRow("a cut that would split a surrogate pair keeps 253")
            << u"DATEI="_s + QString(253, u'a') + u"𝄞"_s << QString(253, u'a');
        QTest::newRow("a pair ending at 254 stays whole")
            << u"DATEI="_s + QString(252, u'a') + u"𝄞b"_s << QString(252, u'a') + u"𝄞"_s;
        QTest::newRow("trailing blanks removed, tabs kept")
            << u"DATEI=\"  abc\t  \""_s << u"  abc\t"_s;
        QTest::newRow("empty value gives the default") << u"DATEI="_s << u"5"_s;
        QTest::newRow("blanks only give the default") << u"DATEI=   "_s << u"5"_s;
        QTest::newRow("missing key gives the default") << u"ZEIT=1"_s << u"5"_s;
        QTest::newRow("NUL cuts the value") << u"DATEI=ab\0cd"_s << u"ab"_s;
    }
    void readIniValue()
    {
        QFETCH(QString, line);
        const auto file = velkora::IniDocument::fromBytes("[0]\n" + line.toUtf8() + '\n');
        QTEST(ModINI::ReadIniValue(file, u"0"_s, u"DATEI"_s, 5), "expected");
    }
};

QTEST_GUILESS_MAIN(tst_ModINI)
#include "tst_ModINI.moc"
