#include "ModINI.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Keeps embedded NULs, which the plain constructor would stop at.
template<std::size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}
} // namespace

class tst_ModINI : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readIniValue_data();
    void readIniValue();
    void writeThenRead();
    void writeReportsFailure();
    void cutAtNul_data();
    void cutAtNul();

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void tst_ModINI::init()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath(QStringLiteral("Velkora.ini"));
    QFile::remove(m_file);
}

void tst_ModINI::readIniValue_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QString>("expected");

    const QByteArray longValue = QByteArray(250, 'a') + QByteArray(50, 'b');
    QTest::newRow("300 characters cut to 254") << "[0]\nDATEI=" + longValue
            + '\n' << QVariant() << QString::fromLatin1(longValue.left(254));
    QTest::newRow("blanks at the cut removed") << "[0]\nDATEI=" + QByteArray(250, 'a') + "      b\n"
                                               << QVariant() << QString(250, QLatin1Char('a'));
    QTest::newRow("trailing blanks removed")
        << QByteArray("[0]\nDATEI=\"abc   \"\n") << QVariant() << QStringLiteral("abc");
    QTest::newRow("leading blanks and trailing tab stay")
        << QByteArray("[0]\nDATEI=\"  abc\t\"\n") << QVariant() << QStringLiteral("  abc\t");
    QTest::newRow("empty value gives default")
        << QByteArray("[0]\nDATEI=\n") << QVariant(QStringLiteral("x")) << QStringLiteral("x");
    QTest::newRow("blank value gives default")
        << QByteArray("[0]\nDATEI=    \n") << QVariant(QStringLiteral("x")) << QStringLiteral("x");
    QTest::newRow("missing key, default number 5")
        << QByteArray("[0]\nZEIT=1\n") << QVariant(5) << QStringLiteral("5");
    QTest::newRow("missing file, no default") << QByteArray() << QVariant() << QString();
    QTest::newRow("missing file, default")
        << QByteArray() << QVariant(QStringLiteral("d")) << QStringLiteral("d");
    QTest::newRow("NUL in value cuts it")
        << bytes("[0]\nDATEI=ab\0cd\n") << QVariant() << QStringLiteral("ab");
    // The layer did hand back characters, so the default does not apply.
    QTest::newRow("NUL first gives empty, not default")
        << bytes("[0]\nDATEI=\0cd\n") << QVariant(QStringLiteral("x")) << QString();
}

void tst_ModINI::readIniValue()
{
    QFETCH(QByteArray, content);
    QFETCH(QVariant, defaultValue);
    QFETCH(QString, expected);

    if (!content.isNull()) {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(content), content.size());
    }
    QCOMPARE(
        ModINI::ReadIniValue(m_file, QStringLiteral("0"), QStringLiteral("DATEI"), defaultValue),
        expected);
}

void tst_ModINI::writeThenRead()
{
    const QString value = QStringLiteral(u"/opt/Spiele/Käfer & Söhne");
    QVERIFY(ModINI::WriteIniValue(m_file, QStringLiteral("7"), QStringLiteral("Name"), value));
    QCOMPARE(ModINI::ReadIniValue(m_file, QStringLiteral("7"), QStringLiteral("NAME")), value);
}

void tst_ModINI::writeReportsFailure()
{
    QVERIFY(!ModINI::WriteIniValue(m_dir.path(), QStringLiteral("0"), QStringLiteral("DATEI"),
                                   QStringLiteral("x")));
}

void tst_ModINI::cutAtNul_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no NUL") << QStringLiteral("abc") << QStringLiteral("abc");
    QTest::newRow("first of two NULs") << QStringLiteral(u"a\0b\0c") << QStringLiteral("a");
    QTest::newRow("NUL first") << QStringLiteral(u"\0abc") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void tst_ModINI::cutAtNul()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ModINI::CutAtNul(text), expected);
}

QTEST_GUILESS_MAIN(tst_ModINI)
#include "tst_ModINI.moc"
