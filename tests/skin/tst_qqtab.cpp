#include "qqtab.h"

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

QTEST_MAIN(TestQQTab)
#include "tst_qqtab.moc"
