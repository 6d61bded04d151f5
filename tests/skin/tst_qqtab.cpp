#include "qqtab.h"
#include "qqtree.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

class TestQQTab : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstSelectionShowsOnlyItsPage();
    void clickSwitchesPages();
    void selectItemOutOfRangeDoesNothing();
    void hideKeepsPagesAndShowBringsBackSelectedPage();
    void itemsShareTheBarEvenly();
    void keyboardFollowsToTheShownPage();

private:
    QWidget* m_window = nullptr;
    QQTab* m_tab = nullptr;
    QWidget* m_pages[3] = {};
};

void TestQQTab::init()
{
    m_window = new QWidget;
    m_window->resize(270, 400);
    m_tab = new QQTab(m_window);
    m_tab->setGeometry(1, 130, 268, 30);
    for (int i = 0; i < 3; ++i) {
        m_pages[i] = new QWidget(m_window);
        m_pages[i]->setGeometry(0, 160, 270, 200);
        m_tab->addItem(m_pages[i], QString(), QString(), QString(), QString(), QStringLiteral("Tab %1").arg(i + 1));
    }
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestQQTab::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void TestQQTab::firstSelectionShowsOnlyItsPage()
{
    QCOMPARE(m_tab->count(), 3);
    // The first item added is current until another is chosen.
    QCOMPARE(m_tab->currentItem(), 1);
    QVERIFY(m_pages[0]->isVisible());
    QVERIFY(!m_pages[1]->isVisible());
    m_tab->selectItem(1);
    QCOMPARE(m_tab->currentItem(), 1);
    QVERIFY(m_pages[0]->isVisible());
    QVERIFY(!m_pages[1]->isVisible());
    QVERIFY(!m_pages[2]->isVisible());
}

void TestQQTab::clickSwitchesPages()
{
    m_tab->selectItem(1);
    QSignalSpy changed(m_tab, &QQTab::currentChanged);
    QTest::mouseClick(m_tab, Qt::LeftButton, {}, m_tab->itemRect(3).center());
    QCOMPARE(m_tab->currentItem(), 3);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 3);
    QVERIFY(!m_pages[0]->isVisible());
    QVERIFY(!m_pages[1]->isVisible());
    QVERIFY(m_pages[2]->isVisible());

    QTest::mouseClick(m_tab, Qt::LeftButton, {}, m_tab->itemRect(2).center());
    QCOMPARE(m_tab->currentItem(), 2);
    QVERIFY(m_pages[1]->isVisible());
    QVERIFY(!m_pages[2]->isVisible());

    // Clicking the selected item again changes nothing.
    QTest::mouseClick(m_tab, Qt::LeftButton, {}, m_tab->itemRect(2).center());
    QCOMPARE(changed.count(), 2);
}

void TestQQTab::selectItemOutOfRangeDoesNothing()
{
    m_tab->selectItem(2);
    m_tab->selectItem(0);
    m_tab->selectItem(4);
    m_tab->selectItem(-1);
    QCOMPARE(m_tab->currentItem(), 2);
    QVERIFY(m_pages[1]->isVisible());
    QCOMPARE(m_tab->page(0), nullptr);
    QCOMPARE(m_tab->page(4), nullptr);
    QCOMPARE(m_tab->page(2), m_pages[1]);
}

void TestQQTab::hideKeepsPagesAndShowBringsBackSelectedPage()
{
    m_tab->selectItem(2);
    // Search mode: the bar is hidden and something else hides the page under it.
    m_tab->hide();
    QVERIFY(!m_tab->isVisible());
    QVERIFY(m_pages[1]->isVisible());
    m_pages[1]->hide();
    m_pages[0]->hide();

    m_tab->show();
    QVERIFY(m_tab->isVisible());
    QVERIFY(m_pages[1]->isVisible());
    QVERIFY(!m_pages[0]->isVisible());
    QVERIFY(!m_pages[2]->isVisible());
    QCOMPARE(m_tab->currentItem(), 2);
}

void TestQQTab::itemsShareTheBarEvenly()
{
    int total = 0;
    for (int n = 1; n <= 3; ++n) {
        const QRect r = m_tab->itemRect(n);
        QVERIFY(qAbs(r.width() - 268 / 3) <= 1);
        QCOMPARE(r.height(), 30);
        total += r.width();
    }
    QCOMPARE(total, 268);
    QCOMPARE(m_tab->itemRect(1).left(), 0);
    QCOMPARE(m_tab->itemRect(3).right(), 267);
    m_tab->resize(198, 30);
    QCOMPARE(m_tab->itemRect(3).right(), 197);
}

void TestQQTab::keyboardFollowsToTheShownPage()
{
    // Tree pages as the main window has them, and a button outside them that could catch the focus instead.
    QWidget window;
    window.resize(270, 400);
    auto* button = new QPushButton(QStringLiteral("button"), &window);
    button->setGeometry(5, 370, 60, 24);
    QQTab* tab = new QQTab(&window);
    tab->setGeometry(1, 130, 268, 30);
    QQTree* trees[2];
    for (int i = 0; i < 2; ++i) {
        trees[i] = new QQTree(&window);
        trees[i]->setGeometry(QRect(0, 160, 270, 200));
        trees[i]->addTeam(1, QStringLiteral("group"), 0, true);
        trees[i]->addItem(10 + i, 1, QStringLiteral("item"), QPixmap());
        tab->addItem(
            trees[i]->getScroll(), QString(), QString(), QString(), QString(), QStringLiteral("Tab %1").arg(i));
    }
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window)) {
        QSKIP("this platform does not activate windows");
    }
    trees[0]->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), trees[0]);

    // The focused page goes: the keyboard goes on to the page shown, where Down walks its rows (the group's
    // header, then its item).
    QTest::mouseClick(tab, Qt::LeftButton, {}, tab->itemRect(2).center());
    QCOMPARE(QApplication::focusWidget(), trees[1]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    int team = 0, item = 0;
    trees[1]->getSelectItem(team, item);
    QCOMPARE(item, 11);
    tab->selectItem(1);
    QCOMPARE(QApplication::focusWidget(), trees[0]);

    // Focus elsewhere stays where it is.
    button->setFocus();
    tab->selectItem(2);
    QCOMPARE(QApplication::focusWidget(), button);
}

QTEST_MAIN(TestQQTab)
#include "tst_qqtab.moc"
