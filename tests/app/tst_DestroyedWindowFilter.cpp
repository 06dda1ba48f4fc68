#include "app/DestroyedWindowFilter.h"

#include <QtTest>
#include <QtWidgets>

#include <xcb/xcb.h>

enum class Destroyed { TheWindow, ItsTooltip, AnotherProgramsWindow };

class tst_DestroyedWindowFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Qt replaces a tooltip's native window at every show, and the X server reports that.
    void closes_data()
    {
        QTest::addColumn<Destroyed>("destroyed");
        QTest::addColumn<bool>("closes"); // the window; otherwise it and its tooltip stay
        QTest::newRow("the window") << Destroyed::TheWindow << true;
        QTest::newRow("its tooltip") << Destroyed::ItsTooltip << false;
        QTest::newRow("another program's") << Destroyed::AnotherProgramsWindow << false;
    }
    void closes()
    {
        QFETCH(Destroyed, destroyed);
        QLineEdit window;
        window.show();
        window.activateWindow(); // Qt shows tooltips only in the active window
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QToolTip::showText(window.mapToGlobal(QPoint(2, 2)), "2 - 60 Sekunden", &window);
        QWidget *tooltip = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            tooltip = w->objectName() == "qtooltip_label" ? w : tooltip;
        QVERIFY(tooltip && tooltip->isVisible());

        xcb_destroy_notify_event_t event {};
        event.response_type = XCB_DESTROY_NOTIFY;
        event.window = QList<xcb_window_t> {xcb_window_t(window.windowHandle()->winId()),
                                            xcb_window_t(tooltip->windowHandle()->winId()),
                                            0x7fffff}[int(destroyed)];
        velkora::DestroyedWindowFilter filter;
        QVERIFY(!filter.nativeEventFilter("xcb_generic_event_t", &event, nullptr));
        QCoreApplication::processEvents();
        QTEST(window.isHidden(), "closes");
        QVERIFY(window.isHidden() || tooltip->isVisible());
    }
};

QTEST_MAIN(tst_DestroyedWindowFilter)
#include "tst_DestroyedWindowFilter.moc"
