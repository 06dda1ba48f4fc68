#include "WholeNumber.h"

#include <QLocale>
#include <QTest>

using velkora::toWholeNumber;

class tst_WholeNumber : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void convert_data();
    void convert();
    void localeDecimalSeparator();
};

void tst_WholeNumber::convert_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << "10" << true << 10;
    QTest::newRow("blanks around") << " 15 " << true << 15;
    QTest::newRow("tab and blank") << "\t 7 " << true << 7;
    QTest::newRow("leading zero") << "05" << true << 5;
    QTest::newRow("negative") << "-5" << true << -5;
    QTest::newRow("plus sign") << "+7" << true << 7;
    QTest::newRow("half to even down") << "2.5" << true << 2;
    QTest::newRow("half to even up") << "3.5" << true << 4;
    QTest::newRow("just above half") << "2.5000000000000000001" << true << 3;
    QTest::newRow("below half") << "2.49" << true << 2;
    QTest::newRow("negative half") << "-2.5" << true << -2;
    QTest::newRow("negative above half") << "-2.6" << true << -3;
    QTest::newRow("fraction only") << ".5" << true << 0;
    QTest::newRow("trailing point") << "5." << true << 5;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("one too large") << "2147483648" << false << 0;
    QTest::newRow("one too small") << "-2147483649" << false << 0;
    QTest::newRow("rounds out of range") << "2147483647.5" << false << 0;
    QTest::newRow("many digits") << "99999999999999999999999" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blank") << " " << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("point only") << "." << false << 0;
    QTest::newRow("trailing letters") << "12abc" << false << 0;
    QTest::newRow("blank inside") << "1 2" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("two points") << "1.2.3" << false << 0;
}

void tst_WholeNumber::convert()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);

    const auto result = toWholeNumber(text);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(*result, value);
}

void tst_WholeNumber::localeDecimalSeparator()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto comma = toWholeNumber(QStringLiteral("3,5"));
    const auto point = toWholeNumber(QStringLiteral("3.5"));
    QLocale::setDefault(saved);

    QCOMPARE(comma, std::optional<qint32>(4));
    QCOMPARE(point, std::optional<qint32>(4));
}

QTEST_APPLESS_MAIN(tst_WholeNumber)
#include "tst_WholeNumber.moc"
