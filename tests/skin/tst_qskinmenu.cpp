#include "basewindow.h"
#include "qskinmenu.h"
#include "testutil.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

class TestQSkinMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keyboardChoosesId_data();
    void keyboardChoosesId();
    void clickChoosesId();
    void escapeDismisses();
    void clickOutsideDismisses();
    void releaseOfTheOpeningClickChoosesNothing();
    void timersRunWhileOpen();
    void emptyMenuReturnsAtOnce();
    void ownerClosedWhileOpenLivesUntilPopReturns();
    void ownerDeletedWhileOpenEndsThePop();
    void opensAtTheGivenPointOnScreen();
    void placement_data();
    void placement();
    void checkedEntryShowsAMark();

private:
    QWidget* m_window = nullptr;
};

void TestQSkinMenu::init()
{
    m_window = new QWidget;
    m_window->resize(270, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestQSkinMenu::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void TestQSkinMenu::keyboardChoosesId_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("result");

    QTest::newRow("first") << QList<int> { Qt::Key_Down, Qt::Key_Return } << 1;
    QTest::newRow("second") << QList<int> { Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter } << 2;
    QTest::newRow("up wraps to the last") << QList<int> { Qt::Key_Up, Qt::Key_Return } << 7;
    QTest::newRow("down wraps to the first")
        << QList<int> { Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return } << 1;
    QTest::newRow("return with nothing highlighted, then escape")
        << QList<int> { Qt::Key_Return, Qt::Key_Escape } << -1;
}

void TestQSkinMenu::keyboardChoosesId()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, result);

    QSkinMenu menu(m_window);
    menu.addItem(1, QStringLiteral("显示"));
    menu.addItem(2, QStringLiteral("退出"));
    menu.addItem(7, QStringLiteral("关于软件"));
    bool answered = false;
    const TestUtil::Poll poll = TestUtil::answerPopup(
        [keys](QWidget* popup) {
            for (int key : keys) {
                QTest::keyClick(popup, Qt::Key(key));
            }
        },
        &answered);
    QCOMPARE(menu.pop(100, 100), result);
    QVERIFY(answered);
    QVERIFY(!QApplication::activePopupWidget());
}

void TestQSkinMenu::clickChoosesId()
{
    QSkinMenu menu(m_window);
    menu.addItem(11, QStringLiteral("添加分组"));
    menu.addItem(12, QStringLiteral("重命名"));
    menu.addItem(13, QStringLiteral("删除分组"));
    QRect popupGeometry;
    const TestUtil::Poll poll = TestUtil::answerPopup([&popupGeometry](QWidget* popup) {
        popupGeometry = popup->geometry();
        // Rows are 30 pixels high; the second row's middle.
        const QPoint second(popup->width() / 2, popup->height() / 2);
        QTest::mouseMove(popup, second);
        QTest::mouseClick(popup, Qt::LeftButton, {}, second);
    });
    QCOMPARE(menu.pop(120, 140), 12);
    QCOMPARE(popupGeometry.topLeft(), QPoint(120, 140));
    // Roomy rows: three rows of about 30 pixels.
    QVERIFY(popupGeometry.height() >= 3 * 28);
}

void TestQSkinMenu::escapeDismisses()
{
    QSkinMenu menu(m_window);
    menu.addItem(1, QStringLiteral("放到桌面"));
    const TestUtil::Poll poll = TestUtil::answerPopup([](QWidget* popup) { QTest::keyClick(popup, Qt::Key_Escape); });
    QCOMPARE(menu.pop(0, 0), -1);
    // The menu can be shown again afterwards.
    const TestUtil::Poll poll2 = TestUtil::answerPopup([](QWidget* popup) {
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
    });
    QCOMPARE(menu.pop(0, 0), 1);
}

void TestQSkinMenu::clickOutsideDismisses()
{
    QSkinMenu menu(m_window);
    menu.addItem(1, QStringLiteral("关于软件"));
    menu.addItem(2, QStringLiteral("使用帮助"));
    const TestUtil::Poll poll = TestUtil::answerPopup([](QWidget* popup) {
        QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(popup->width() + 40, popup->height() + 40));
    });
    QCOMPARE(menu.pop(50, 50), -1);
}

void TestQSkinMenu::releaseOfTheOpeningClickChoosesNothing()
{
    // A context menu opens on the press of a right click; the release that follows lands on the menu and must
    // not pick the row under the pointer.
    QSkinMenu menu(m_window);
    menu.addItem(1, QStringLiteral("放到桌面"));
    const TestUtil::Poll poll = TestUtil::answerPopup([](QWidget* popup) {
        QTest::mouseRelease(popup, Qt::RightButton, {}, QPoint(20, 15));
        QTimer::singleShot(50, popup, [popup] { QTest::keyClick(popup, Qt::Key_Escape); });
    });
    QCOMPARE(menu.pop(0, 0), -1);
}

void TestQSkinMenu::timersRunWhileOpen()
{
    QSkinMenu menu(m_window);
    menu.addItem(1, QStringLiteral("显示"));
    int ticks = 0;
    QTimer clock;
    clock.setInterval(20);
    connect(&clock, &QTimer::timeout, this, [&ticks] { ++ticks; });
    clock.start();
    const TestUtil::Poll poll = TestUtil::answerPopup([&ticks](QWidget* popup) {
        // Leave the menu open while the clock ticks a few times, then dismiss it.
        auto* waiter = new QTimer(popup);
        waiter->setInterval(10);
        QObject::connect(waiter, &QTimer::timeout, popup, [popup, &ticks] {
            if (ticks >= 5) {
                QTest::keyClick(popup, Qt::Key_Escape);
            }
        });
        waiter->start();
    });
    const int before = ticks;
    QCOMPARE(menu.pop(0, 0), -1);
    QVERIFY(ticks - before >= 5);
}

void TestQSkinMenu::ownerClosedWhileOpenLivesUntilPopReturns()
{
    QPointer<BaseWindow> owner = new BaseWindow(nullptr);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    auto* menu = new QSkinMenu(owner);
    menu->addItem(1, QStringLiteral("关于软件"));
    const TestUtil::Poll poll = TestUtil::answerPopup([&owner](QWidget* popup) {
        owner->onCloseWin();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::keyClick(popup, Qt::Key_Escape);
    });
    QCOMPARE(menu->pop(0, 0), -1);
    // The slot that ran the menu can still use its window; the window goes once control is back in the loop.
    QVERIFY(!owner.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(owner.isNull());
}

void TestQSkinMenu::ownerDeletedWhileOpenEndsThePop()
{
    // A plain widget has no guard against deletion: its popup goes with it, and pop() must still return.
    auto* owner = new QWidget;
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    auto* menu = new QSkinMenu(owner);
    menu->addItem(1, QStringLiteral("显示"));
    bool answered = false;
    const TestUtil::Poll poll = TestUtil::answerPopup([owner](QWidget*) { delete owner; }, &answered);
    // Only a menu that never returns lets this fire; it ends the waiting loop so the test can report it.
    bool stuck = false;
    QTimer fallback;
    fallback.setSingleShot(true);
    connect(&fallback, &QTimer::timeout, qApp, [&stuck] {
        stuck = true;
        QCoreApplication::exit(0);
    });
    fallback.start(10000);
    QCOMPARE(menu->pop(0, 0), -1);
    QVERIFY(answered);
    QVERIFY(!stuck);
}

void TestQSkinMenu::emptyMenuReturnsAtOnce()
{
    QSkinMenu menu(m_window);
    QCOMPARE(menu.count(), 0);
    QCOMPARE(menu.pop(10, 10), -1);
}

void TestQSkinMenu::opensAtTheGivenPointOnScreen()
{
    QSkinMenu menu(nullptr);
    menu.addItem(1, QStringLiteral("关于软件"));
    menu.addItem(2, QStringLiteral("使用帮助"));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect popupGeometry;
    const TestUtil::Poll poll = TestUtil::answerPopup([&popupGeometry](QWidget* popup) {
        popupGeometry = popup->geometry();
        QTest::keyClick(popup, Qt::Key_Escape);
    });
    // Asked for beyond the bottom-right corner: it opens inside the screen.
    QCOMPARE(menu.pop(screen.right() - 5, screen.bottom() - 5), -1);
    QVERIFY(screen.contains(popupGeometry));
}

void TestQSkinMenu::placement_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("fits") << QPoint(100, 100) << QPoint(100, 100);
    QTest::newRow("too far right: opens to the left") << QPoint(1250, 100) << QPoint(1110, 100);
    QTest::newRow("too low: opens above") << QPoint(100, 780) << QPoint(100, 710);
    QTest::newRow("corner") << QPoint(1279, 799) << QPoint(1139, 729);
    QTest::newRow("left of the screen") << QPoint(-50, 100) << QPoint(0, 100);
    QTest::newRow("above the screen") << QPoint(100, -20) << QPoint(100, 0);
}

void TestQSkinMenu::placement()
{
    QFETCH(QPoint, at);
    QFETCH(QPoint, expected);
    QCOMPARE(QSkinMenu::placement(at, QSize(140, 70), QRect(0, 0, 1280, 800)), expected);
}

void TestQSkinMenu::checkedEntryShowsAMark()
{
    QSkinMenu menu(m_window);
    menu.addItem(1, QStringLiteral("关于软件"));
    menu.addItem(2, QStringLiteral("开机启动"));
    menu.addItem(3, QStringLiteral("检查更新"));
    menu.setChecked(1, false);
    menu.setChecked(2, true);
    QVERIFY(!menu.isChecked(1));
    QVERIFY(menu.isChecked(2));
    QVERIFY(!menu.isChecked(3));
    // Blue pixels in front of each row's text, where icons and check marks go.
    QList<int> marked;
    const TestUtil::Poll poll = TestUtil::answerPopup([&marked](QWidget* popup) {
        const QImage image = popup->grab().toImage();
        const int rowHeight = image.height() / 3;
        for (int row = 0; row < 3; ++row) {
            int blue = 0;
            for (int y = row * rowHeight; y < (row + 1) * rowHeight; ++y) {
                for (int x = 10; x < 34; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    blue += c.blue() - c.red() > 60 ? 1 : 0;
                }
            }
            marked.append(blue);
        }
        QTest::keyClick(popup, Qt::Key_Escape);
    });
    QCOMPARE(menu.pop(100, 100), -1);
    QCOMPARE(marked.size(), 3);
    QCOMPARE(marked.at(0), 0);
    QVERIFY2(marked.at(1) > 10, qPrintable(QString::number(marked.at(1))));
    QCOMPARE(marked.at(2), 0);
}

QTEST_MAIN(TestQSkinMenu)
#include "tst_qskinmenu.moc"
