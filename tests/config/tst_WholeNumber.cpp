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

    const struct {
        const char *text;
        std::optional<qint32> value;
    } rows[] = {
        {"10", 10},           {" 15 ", 15},          {"\t 7 ", 7},         {"05", 5},
        {"-5", -5},           {"+7", 7},             {"2.5", 2},           {"3.5", 4},
        {"2.5000000000000000001", 3},                {"-2.5", -2},         {"-2.6", -3},
        {".5", 0},            {"5.", 5},             {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},            {"2147483648", {}},   {"-2147483649", {}},
        {"2147483647.5", {}}, {"99999999999999999999", {}},                {"abc", {}},
        {"", {}},             {" ", {}},             {"-", {}},            {".", {}},
        {"12abc", {}},        {"1 2", {}},           {"1e3", {}},          {"0x10", {}},
        {"1.2.3", {}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.text) << QString(row.text) << row.value.has_value() << row.value.value_or(0);
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
