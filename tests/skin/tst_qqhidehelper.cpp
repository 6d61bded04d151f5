#include "qqhidehelper.h"

#include <QCursor>
#include <QScreen>
#include <QTest>
#include <QWidget>

using Edge = QQHideHelper::Edge;
Q_DECLARE_METATYPE(QQHideHelper::Edge)

class TestQQHideHelper : public QObject
{
    Q_OBJECT

private slots:
    void dockEdge_data();
    void dockEdge();
    void geometries_data();
    void geometries();
    void shouldHide_data();
    void shouldHide();
    void shouldReveal_data();
    void shouldReveal();
    void showBringsBackHiddenAndMinimisedWindow();
    void slidesOutAndBackAtTheTopEdge();
};

namespace
{
const QRect kScreen(0, 0, 1280, 800);
// A screen to the right of the first, with a panel at its top.
const QRect kSecond(1280, 32, 1920, 1048);
} // namespace

void TestQQHideHelper::dockEdge_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<Edge>("edge");

    QTest::newRow("middle") << QRect(400, 200, 270, 580) << kScreen << Edge::None;
    QTest::newRow("top") << QRect(400, 0, 270, 580) << kScreen << Edge::Top;
    QTest::newRow("near top within snap") << QRect(400, QQHideHelper::Snap, 270, 580) << kScreen << Edge::Top;
    QTest::newRow("just beyond snap") << QRect(400, QQHideHelper::Snap + 1, 270, 580) << kScreen << Edge::None;
    QTest::newRow("above the top") << QRect(400, -40, 270, 580) << kScreen << Edge::Top;
    QTest::newRow("left") << QRect(0, 100, 270, 580) << kScreen << Edge::Left;
    QTest::newRow("past left") << QRect(-30, 100, 270, 580) << kScreen << Edge::Left;
    QTest::newRow("right") << QRect(1010, 100, 270, 580) << kScreen << Edge::Right;
    QTest::newRow("past right") << QRect(1100, 100, 270, 580) << kScreen << Edge::Right;
    QTest::newRow("top-left corner: top wins") << QRect(0, 0, 270, 580) << kScreen << Edge::Top;
    QTest::newRow("top-right corner: top wins") << QRect(1010, 0, 270, 580) << kScreen << Edge::Top;
    QTest::newRow("bottom does not dock") << QRect(400, 220, 270, 580) << kScreen << Edge::None;
    QTest::newRow("off screen") << QRect(2000, 100, 270, 580) << kScreen << Edge::None;
    QTest::newRow("second screen below its panel") << QRect(1500, 32, 270, 580) << kSecond << Edge::Top;
    QTest::newRow("second screen left edge") << QRect(1280, 300, 270, 580) << kSecond << Edge::Left;
    QTest::newRow("empty window") << QRect() << kScreen << Edge::None;
}

void TestQQHideHelper::dockEdge()
{
    QFETCH(QRect, window);
    QFETCH(QRect, screen);
    QFETCH(Edge, edge);
    QCOMPARE(QQHideHelper::dockEdge(window, screen), edge);
}

void TestQQHideHelper::geometries_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<Edge>("edge");
    QTest::addColumn<QRect>("hidden");
    QTest::addColumn<QRect>("shown");

    const int s = QQHideHelper::Strip;
    QTest::newRow("top") << QRect(400, 2, 270, 580) << kScreen << Edge::Top << QRect(400, s - 580, 270, 580)
                         << QRect(400, 0, 270, 580);
    QTest::newRow("top, partly off to the right: pulled onto the screen")
        << QRect(1100, 0, 270, 580) << kScreen << Edge::Top << QRect(1010, s - 580, 270, 580)
        << QRect(1010, 0, 270, 580);
    QTest::newRow("left") << QRect(-10, 100, 270, 580) << kScreen << Edge::Left << QRect(s - 270, 100, 270, 580)
                          << QRect(0, 100, 270, 580);
    QTest::newRow("right") << QRect(1012, 100, 270, 580) << kScreen << Edge::Right << QRect(1280 - s, 100, 270, 580)
                           << QRect(1010, 100, 270, 580);
    QTest::newRow("left, below the bottom: pulled up")
        << QRect(0, 400, 270, 580) << kScreen << Edge::Left << QRect(s - 270, 220, 270, 580) << QRect(0, 220, 270, 580);
    QTest::newRow("second screen top") << QRect(1500, 30, 270, 580) << kSecond << Edge::Top
                                       << QRect(1500, 32 + s - 580, 270, 580) << QRect(1500, 32, 270, 580);
    QTest::newRow("none") << QRect(400, 200, 270, 580) << kScreen << Edge::None << QRect(400, 200, 270, 580)
                          << QRect(400, 200, 270, 580);
}

void TestQQHideHelper::geometries()
{
    QFETCH(QRect, window);
    QFETCH(QRect, screen);
    QFETCH(Edge, edge);
    QFETCH(QRect, hidden);
    QFETCH(QRect, shown);
    const QRect h = QQHideHelper::hiddenGeometry(window, screen, edge);
    QCOMPARE(h, hidden);
    QCOMPARE(QQHideHelper::shownGeometry(window, screen, edge), shown);
    if (edge != Edge::None) {
        // Exactly the strip stays on the screen, and the shown window touches the edge and docks there again.
        const QRect visible = h.intersected(screen);
        QCOMPARE(edge == Edge::Top ? visible.height() : visible.width(), QQHideHelper::Strip);
        QCOMPARE(QQHideHelper::dockEdge(shown, screen), edge);
    }
}

void TestQQHideHelper::shouldHide_data()
{
    QTest::addColumn<Edge>("edge");
    QTest::addColumn<bool>("armed");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<bool>("buttons");
    QTest::addColumn<bool>("popup");
    QTest::addColumn<bool>("hide");

    const QPoint outside(800, 700);
    const QPoint inside(500, 300);
    QTest::newRow("docked, pointer left") << Edge::Top << true << outside << false << false << true;
    QTest::newRow("not docked") << Edge::None << true << outside << false << false << false;
    QTest::newRow("pointer inside") << Edge::Top << true << inside << false << false << false;
    QTest::newRow("never entered since shown") << Edge::Left << false << outside << false << false << false;
    QTest::newRow("dragging") << Edge::Right << true << outside << true << false << false;
    QTest::newRow("menu or dialog open") << Edge::Top << true << outside << false << true << false;
}

void TestQQHideHelper::shouldHide()
{
    QFETCH(Edge, edge);
    QFETCH(bool, armed);
    QFETCH(QPoint, cursor);
    QFETCH(bool, buttons);
    QFETCH(bool, popup);
    QFETCH(bool, hide);
    QCOMPARE(QQHideHelper::shouldHide(edge, armed, QRect(400, 0, 270, 580), cursor, buttons, popup), hide);
}

void TestQQHideHelper::shouldReveal_data()
{
    QTest::addColumn<QRect>("hidden");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<bool>("reveal");

    const QRect top(400, QQHideHelper::Strip - 580, 270, 580);
    QTest::newRow("on the top strip") << top << QPoint(500, 1) << true;
    QTest::newRow("last strip row") << top << QPoint(500, QQHideHelper::Strip - 1) << true;
    QTest::newRow("below the strip") << top << QPoint(500, QQHideHelper::Strip) << false;
    QTest::newRow("beside the strip") << top << QPoint(300, 1) << false;
    const QRect right(1280 - QQHideHelper::Strip, 100, 270, 580);
    QTest::newRow("on the right strip") << right << QPoint(1279, 200) << true;
    QTest::newRow("left of the right strip") << right << QPoint(1270, 200) << false;
}

void TestQQHideHelper::shouldReveal()
{
    QFETCH(QRect, hidden);
    QFETCH(QPoint, cursor);
    QFETCH(bool, reveal);
    QCOMPARE(QQHideHelper::shouldReveal(hidden, kScreen, cursor), reveal);
}

void TestQQHideHelper::showBringsBackHiddenAndMinimisedWindow()
{
    QWidget window;
    window.resize(270, 400);
    QQHideHelper helper;
    helper.init(&window);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.hide();
    helper.show();
    QVERIFY(window.isVisible());

    window.showMinimized();
    QTRY_VERIFY(window.isMinimized());
    helper.show();
    QTRY_VERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
}

void TestQQHideHelper::slidesOutAndBackAtTheTopEdge()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    const QRect area = screen->availableGeometry();
    if (area.height() < 300 || area.width() < 400) {
        QSKIP("screen too small");
    }
    QCursor::setPos(area.center());
    if (QCursor::pos() != area.center()) {
        QSKIP("this platform cannot place the pointer");
    }

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.resize(200, 150);
    window.move(area.left() + 100, area.top());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QQHideHelper helper;
    helper.init(&window);
    QTRY_COMPARE(helper.edge(), Edge::Top);

    // The pointer is over the window, then leaves it: the window slides up, leaving the strip.
    QCursor::setPos(window.geometry().center());
    QTest::qWait(300);
    QVERIFY(!helper.isDocked());
    QCursor::setPos(area.center() + QPoint(0, 100));
    QTRY_VERIFY(helper.isDocked());
    QTRY_COMPARE(window.geometry().bottom(), area.top() + QQHideHelper::Strip - 1);
    QCOMPARE(helper.edge(), Edge::Top);

    // Touching the strip brings it back.
    QCursor::setPos(window.geometry().left() + 50, area.top() + 1);
    QTRY_VERIFY(!helper.isDocked());
    QTRY_COMPARE(window.geometry().top(), area.top());

    // And it goes again; show() brings it back at once and keeps it until the pointer has visited it.
    QCursor::setPos(area.center() + QPoint(0, 100));
    QTRY_VERIFY(helper.isDocked());
    helper.show();
    QVERIFY(!helper.isDocked());
    QCOMPARE(window.geometry().top(), area.top());
    QTest::qWait(600);
    QVERIFY(!helper.isDocked());
}

QTEST_MAIN(TestQQHideHelper)
#include "tst_qqhidehelper.moc"
