#include "qresizehelper.h"
#include "qscrollwidget.h"

#include <QScrollArea>
#include <QTest>

/// QResizeHelper on small windows of its own: one rule at a time, several together, a scroll page, controls
/// that go away. The main window's own rules are checked by the main window's test.
class TestQResizeHelper : public QObject
{
    Q_OBJECT

private slots:
    void ruleFollowsTheWindow_data();
    void ruleFollowsTheWindow();
    void rulesComeFromTheRecordedGeometry();
    void scrollPageIsPlacedThroughItsScrollArea();
    void keepMinimumAndFactor();
    void deletedControlIsSkipped();
};

namespace
{
/// The rule flags of one addCtrl() call.
struct Rule
{
    bool right = false;
    bool bottom = false;
    bool width = false;
    bool height = false;
    bool keepMinimum = false;
    float factor = 1.0f;
};
/// A child of `window` at `geometry`.
QWidget* placed(QWidget* window, const QRect& geometry)
{
    auto* control = new QWidget(window);
    control->setGeometry(geometry);
    return control;
}
} // namespace

Q_DECLARE_METATYPE(Rule)

void TestQResizeHelper::ruleFollowsTheWindow_data()
{
    // A 300 x 200 window with one control at (20, 30, 100, 50), then resized.
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("expected");
    const QSize larger(360, 240); // 60 wider, 40 higher
    const QSize smaller(250, 170); // 50 narrower, 30 lower

    QTest::newRow("no rule: stays") << Rule {} << larger << QRect(20, 30, 100, 50);
    QTest::newRow("right: keeps its gap to the right edge") << Rule { true } << larger << QRect(80, 30, 100, 50);
    QTest::newRow("bottom: keeps its gap to the bottom edge")
        << Rule { false, true } << larger << QRect(20, 70, 100, 50);
    QTest::newRow("width: grows with the window") << Rule { false, false, true } << larger << QRect(20, 30, 160, 50);
    QTest::newRow("height: grows with the window")
        << Rule { false, false, false, true } << larger << QRect(20, 30, 100, 90);
    QTest::newRow("width and height: shrink with the window")
        << Rule { false, false, true, true } << smaller << QRect(20, 30, 50, 20);
    QTest::newRow("right and width: the left edge stays")
        << Rule { true, false, true } << larger << QRect(20, 30, 160, 50);
    QTest::newRow("bottom and height: the top edge stays")
        << Rule { false, true, false, true } << smaller << QRect(20, 30, 100, 20);
    QTest::newRow("factor: a share of the change")
        << Rule { false, false, true, true, false, 0.5f } << larger << QRect(20, 30, 130, 70);
    QTest::newRow("factor with right: the far edge keeps its gap")
        << Rule { true, false, true, false, false, 0.5f } << larger << QRect(50, 30, 130, 50);
    QTest::newRow("keep minimum: never below the recorded size")
        << Rule { false, false, true, true, true } << smaller << QRect(20, 30, 100, 50);
    QTest::newRow("keep minimum: still grows")
        << Rule { false, false, true, true, true } << larger << QRect(20, 30, 160, 90);
    QTest::newRow("shrunk past nothing: empty, not negative")
        << Rule { false, false, true, true } << QSize(150, 100) << QRect(20, 30, 0, 0);
}

void TestQResizeHelper::ruleFollowsTheWindow()
{
    QFETCH(Rule, rule);
    QFETCH(QSize, size);
    QFETCH(QRect, expected);
    QWidget window;
    window.resize(300, 200);
    auto* control = placed(&window, QRect(20, 30, 100, 50));
    QResizeHelper helper;
    helper.create(&window);
    helper.addCtrl(control, rule.right, rule.bottom, rule.width, rule.height, rule.keepMinimum, rule.factor);

    window.resize(size);
    helper.resing();
    QCOMPARE(control->geometry(), expected);
}

void TestQResizeHelper::rulesComeFromTheRecordedGeometry()
{
    // Several controls with different rules beside one without: resizing there and back ends where it began,
    // however often it is done, because every rule starts from the geometry recorded by addCtrl().
    QWidget window;
    window.resize(300, 200);
    auto* header = placed(&window, QRect(0, 0, 300, 30));
    auto* corner = placed(&window, QRect(270, 5, 20, 20));
    auto* body = placed(&window, QRect(0, 30, 300, 140));
    auto* footer = placed(&window, QRect(10, 175, 24, 24));
    auto* loose = placed(&window, QRect(40, 40, 10, 10));
    QResizeHelper helper;
    helper.create(&window);
    helper.addCtrl(header, false, false, true, false);
    helper.addCtrl(corner, true, false, false, false);
    helper.addCtrl(body, false, false, true, true);
    helper.addCtrl(footer, false, true, false, false);

    window.resize(500, 400);
    helper.resing();
    QCOMPARE(header->geometry(), QRect(0, 0, 500, 30));
    QCOMPARE(corner->geometry(), QRect(470, 5, 20, 20));
    QCOMPARE(body->geometry(), QRect(0, 30, 500, 340));
    QCOMPARE(footer->geometry(), QRect(10, 375, 24, 24));
    QCOMPARE(loose->geometry(), QRect(40, 40, 10, 10));

    for (const QSize size : { QSize(120, 90), QSize(640, 480), QSize(300, 200) }) {
        window.resize(size);
        helper.resing();
    }
    QCOMPARE(header->geometry(), QRect(0, 0, 300, 30));
    QCOMPARE(corner->geometry(), QRect(270, 5, 20, 20));
    QCOMPARE(body->geometry(), QRect(0, 30, 300, 140));
    QCOMPARE(footer->geometry(), QRect(10, 175, 24, 24));
    QCOMPARE(loose->geometry(), QRect(40, 40, 10, 10));
}

void TestQResizeHelper::scrollPageIsPlacedThroughItsScrollArea()
{
    // The page sits inside its scroll area: the area is what the window holds, so the rule moves the area
    // and the page follows it.
    QWidget window;
    window.resize(300, 200);
    auto* page = new QScrollWidget(&window);
    page->setGeometry(0, 40, 300, 120);
    QResizeHelper helper;
    helper.create(&window);
    helper.addCtrl(page, false, false, true, true);

    window.resize(400, 260);
    helper.resing();
    QCOMPARE(page->getScroll()->geometry(), QRect(0, 40, 400, 180));
    QCOMPARE(page->getScroll()->parentWidget(), &window);
}

void TestQResizeHelper::keepMinimumAndFactor()
{
    QWidget window;
    window.resize(300, 300);
    auto* half = placed(&window, QRect(10, 10, 100, 100));
    auto* floor = placed(&window, QRect(10, 150, 100, 100));
    auto* anchored = placed(&window, QRect(150, 150, 100, 100));
    QResizeHelper helper;
    helper.create(&window);
    helper.addCtrl(half, false, false, true, true, false, 0.5f);
    helper.addCtrl(floor, false, false, true, true, true, 1.0f);
    // Right and width together: the right edge keeps its gap while the width follows.
    helper.addCtrl(anchored, true, true, true, false, false, 1.0f);

    window.resize(400, 200);
    helper.resing();
    QCOMPARE(half->geometry(), QRect(10, 10, 150, 50));
    QCOMPARE(floor->geometry(), QRect(10, 150, 200, 100));
    QCOMPARE(anchored->geometry(), QRect(150, 50, 200, 100));
}

void TestQResizeHelper::deletedControlIsSkipped()
{
    QWidget window;
    window.resize(300, 300);
    auto* gone = new QWidget(&window);
    auto* kept = placed(&window, QRect(0, 0, 10, 10));
    QResizeHelper helper;
    helper.resing(); // before create(): nothing to do
    helper.create(&window);
    helper.addCtrl(gone, false, false, true, true);
    helper.addCtrl(kept, false, false, true, true);
    delete gone;
    window.resize(310, 320);
    helper.resing();
    QCOMPARE(kept->geometry(), QRect(0, 0, 20, 30));
}

QTEST_MAIN(TestQResizeHelper)
#include "tst_qresizehelper.moc"
