#include "FakeRuntime.h"
#include "frmAbout.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cerrno>

using velkora::test::FakeRuntime;

Q_DECLARE_METATYPE(velkora::StartResult)

class tst_frmAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void texts_data();
    void texts();
    void geometry_data();
    void geometry();
    void fixedDialogFrame();
    void opensCentred();
    void etchedSeparator();
    void showsProgramIcon();
    void keyboard_data();
    void keyboard();
    void okReturnsToCaller();
    void sysInfo_data();
    void sysInfo();
};

void tst_frmAbout::texts_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("appTitle");
    QTest::addColumn<QString>("version");

    QTest::newRow("release") << 1 << 1 << 0 << QStringLiteral("Velkora")
                             << QStringLiteral("Version 1.1.0");
    QTest::newRow("other version and title")
        << 2 << 10 << 7 << QStringLiteral("Startliste") << QStringLiteral("Version 2.10.7");
}

void tst_frmAbout::texts()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, appTitle);
    QFETCH(QString, version);

    FakeRuntime runtime;
    runtime.info.major = major;
    runtime.info.minor = minor;
    runtime.info.revision = revision;
    runtime.title = appTitle;
    frmAbout dlg(runtime);

    QCOMPARE(dlg.lblVersion->text(), version);
    QCOMPARE(dlg.lblTitle->text(), appTitle);
    QCOMPARE(dlg.lblDescription->text(),
             QStringLiteral("- Automatischer Start von \r\n  Programmen mit Zeitprüngen\r\n"));
    QVERIFY(dlg.windowTitle().contains(appTitle));
}

void tst_frmAbout::geometry_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("expected");

    // Pixels worked out by hand from the twips layout (15 twips a pixel, rounded).
    QTest::newRow("picIcon") << QStringLiteral("picIcon") << QRect(16, 16, 36, 36);
    QTest::newRow("lblTitle") << QStringLiteral("lblTitle") << QRect(70, 16, 259, 16);
    QTest::newRow("lblVersion") << QStringLiteral("lblVersion") << QRect(70, 35, 259, 15);
    QTest::newRow("lblDescription") << QStringLiteral("lblDescription") << QRect(70, 75, 259, 54);
    QTest::newRow("cmdOK") << QStringLiteral("cmdOK") << QRect(312, 175, 84, 23);
    QTest::newRow("cmdSysInfo") << QStringLiteral("cmdSysInfo") << QRect(312, 205, 83, 23);
}

void tst_frmAbout::geometry()
{
    QFETCH(QString, control);
    QFETCH(QRect, expected);

    FakeRuntime runtime;
    frmAbout dlg(runtime);
    dlg.show();
    const QWidget *widget = dlg.findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), expected);
}

void tst_frmAbout::fixedDialogFrame()
{
    FakeRuntime runtime;
    frmAbout dlg(runtime);
    dlg.show();
    QCOMPARE(dlg.size(), QSize(400, 317));
    QCOMPARE(dlg.minimumSize(), QSize(400, 317));
    QCOMPARE(dlg.maximumSize(), QSize(400, 317));
    QVERIFY(!(dlg.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dlg.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
}

void tst_frmAbout::opensCentred()
{
    FakeRuntime runtime;
    frmAbout dlg(runtime);
    dlg.move(0, 0);
    dlg.show();
    const QPoint offset = dlg.frameGeometry().center()
        - QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 1,
             qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
}

void tst_frmAbout::etchedSeparator()
{
    FakeRuntime runtime;
    frmAbout dlg(runtime);
    const QImage image = dlg.grab().toImage();
    const QRgb grey = qRgb(128, 128, 128);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb background = image.pixel(200, 150);
    QVERIFY(background != grey && background != white);

    QCOMPARE(image.pixel(200, 162), background);
    QCOMPARE(image.pixel(200, 163), grey);
    QCOMPARE(image.pixel(200, 164), white);
    QCOMPARE(image.pixel(200, 165), white);
    QCOMPARE(image.pixel(200, 166), background);
    // Ends: grey from x 6, white from x 7, both up to x 376.
    QCOMPARE(image.pixel(5, 163), background);
    QCOMPARE(image.pixel(6, 163), grey);
    QCOMPARE(image.pixel(7, 164), white);
    QCOMPARE(image.pixel(376, 163), grey);
    QCOMPARE(image.pixel(376, 165), white);
    QCOMPARE(image.pixel(377, 163), background);
}

void tst_frmAbout::showsProgramIcon()
{
    FakeRuntime runtime;
    frmAbout dlg(runtime);
    const QImage icon = dlg.picIcon->pixmap().toImage();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.size() / icon.devicePixelRatio(), QSize(36, 36));
    // The middle of the triangle is painted, the top corners of the square are not.
    QVERIFY(qAlpha(icon.pixel(icon.width() / 2, icon.height() * 2 / 3)) == 255);
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
}

void tst_frmAbout::keyboard_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("sysInfoStarts");

    QTest::newRow("Alt+O clicks OK") << (Qt::AltModifier | Qt::Key_O) << true << 0;
    QTest::newRow("Alt+S clicks System-Info") << (Qt::AltModifier | Qt::Key_S) << false << 1;
    QTest::newRow("Enter clicks the default OK") << QKeyCombination(Qt::Key_Return) << true << 0;
    QTest::newRow("Tab then space clicks System-Info")
        << QKeyCombination(Qt::Key_Tab) << false << 1;
}

void tst_frmAbout::keyboard()
{
    QFETCH(QKeyCombination, key);
    QFETCH(bool, closed);
    QFETCH(int, sysInfoStarts);

    FakeRuntime runtime;
    frmAbout dlg(runtime);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(QApplication::focusWidget(), dlg.cmdOK);

    QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    if (key.key() == Qt::Key_Tab) {
        QCOMPARE(QApplication::focusWidget(), dlg.cmdSysInfo);
        QTest::keyClick(dlg.cmdSysInfo, Qt::Key_Space);
    }
    // A mnemonic clicks its button after a short animation.
    QTRY_COMPARE(runtime.sysInfoStarts, sysInfoStarts);
    QTRY_COMPARE(dlg.isVisible(), !closed);
    if (closed)
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void tst_frmAbout::okReturnsToCaller()
{
    FakeRuntime runtime;
    frmAbout dlg(runtime);
    QTimer::singleShot(0, &dlg, [&dlg] { QTest::mouseClick(dlg.cmdOK, Qt::LeftButton); });
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
}

void tst_frmAbout::sysInfo_data()
{
    QTest::addColumn<velkora::StartResult>("answer");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("tool starts") << velkora::StartResult {0, QString(), 4711} << QStringList();
    QTest::newRow("no tool installed")
        << velkora::StartResult {ENOENT, QStringLiteral("Datei nicht gefunden"), 0}
        << QStringList {
               QStringLiteral("System-Informationen sind augenblicklich nicht verfügbar.")};
}

void tst_frmAbout::sysInfo()
{
    QFETCH(velkora::StartResult, answer);
    QFETCH(QStringList, messages);

    FakeRuntime runtime;
    runtime.sysInfoAnswer = answer;
    frmAbout dlg(runtime);
    dlg.show();
    QTest::mouseClick(dlg.cmdSysInfo, Qt::LeftButton);
    QCOMPARE(runtime.sysInfoStarts, 1);
    QCOMPARE(runtime.messages, messages);
    QVERIFY(dlg.isVisible());
    QVERIFY(runtime.starts.isEmpty());
}

QTEST_MAIN(tst_frmAbout)
#include "tst_frmAbout.moc"
