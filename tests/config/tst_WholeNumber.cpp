#include "config/WholeNumber.h"

#include <QLocale>
#include <QTest>

class tst_WholeNumber : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void convert_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<qint32>>("value");
        // Halves go to the even neighbour; a long tail beyond the half rounds up.
        // clang-format off
        const std::pair<const char *, std::optional<qint32>> rows[] = {{"10", 10}, {" 15 ", 15},
            {"\t 7 ", 7}, {"05", 5}, {"-5", -5}, {"+7", 7}, {"2.5", 2}, {"3.5", 4},
            {"2,5000000000000000001", 3}, {"-2.5", -2}, {"-2,6", -3}, {".5", 0}, {"5,", 5},
            {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", {}},
            {"-2147483649", {}}, {"2147483647.5", {}}, {"99999999999999999999", {}}, {"abc", {}},
            {"", {}}, {" ", {}}, {"-", {}}, {",", {}}, {"12abc", {}}, {"1 2", {}}, {"1e3", {}},
            {"0x10", {}}, {"1.2.3", {}}, {"1,000.5", {}}};
        // clang-format on
        for (const auto &[text, value] : rows)
            QTest::newRow(text) << QString(text) << value;
    }
    void convert()
    {
        QFETCH(QString, text);
        // The same answer under every language setting, so a file means the same everywhere.
        for (const char *locale : {"en_US", "de_DE", "fr_FR"}) {
            QLocale::setDefault(QLocale(QLatin1String(locale)));
            QTEST(velkora::toWholeNumber(text), "value");
        }
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_APPLESS_MAIN(tst_WholeNumber)
#include "tst_WholeNumber.moc"
