#include "qqtab.h"
#include "qqtree.h"
#include "qresizehelper.h"
#include "qskinbutton.h"
#include "qskinlabel.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QTest>

/// The main window's controls, placed as it places them in a 270 x 580 window, with its resize rules.
class TestQResizeHelper : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowLayoutAtMinimumSize();
    void growingAndBackRestoresTheLayout();
    void keepMinimumAndFactor();
    void deletedControlIsSkipped();
};

namespace
{
struct Layout
{
    QWidget window;
    QSkinLabel* logoLabel;
    QSkinLabel* searchBackLabel;
    QLineEdit* searchEdit;
    QSkinButton* searchButton;
    QSkinLabel* searchIconLabel;
    QSkinButton* searchClearButton;
    QQTab* tabBar;
    QQTree* iconTree;
    QQTree* siteTree;
    QQTree* recentTree;
    QQTree* searchTree;
    QSkinButton* skinButton;
    QSkinButton* menuButton;
    QSkinButton* calcButton;
    QSkinButton* noteButton;
    QResizeHelper helper;

    Layout()
    {
        window.resize(270, 580);
        const int W = 270;
        const int H = 580;
        logoLabel = new QSkinLabel(&window);
        logoLabel->setGeometry(14, 36, 50, 50);
        searchBackLabel = new QSkinLabel(&window);
        searchBackLabel->setGeometry(0, 100, W, 30);
        searchEdit = new QLineEdit(&window);
        searchEdit->setGeometry(0, 100, W - 30, 30);
        searchButton = new QSkinButton(&window);
        searchButton->setGeometry(0, 100, W, 30);
        searchIconLabel = new QSkinLabel(&window);
        searchIconLabel->setGeometry(W - 25, 105, 20, 20);
        searchClearButton = new QSkinButton(&window);
        searchClearButton->setGeometry(W - 25, 105, 20, 20);
        tabBar = new QQTab(&window);
        tabBar->setGeometry(1, 130, W - 2, 30);
        const QRect treeArea(0, 160, W, H - 192);
        iconTree = new QQTree(&window);
        iconTree->setGeometry(treeArea);
        siteTree = new QQTree(&window);
        siteTree->setGeometry(treeArea);
        recentTree = new QQTree(&window);
        recentTree->setGeometry(treeArea);
        searchTree = new QQTree(&window);
        QRect searchArea(treeArea.left(), treeArea.top() - 30, treeArea.width(), treeArea.height() + 30);
        searchTree->setGeometry(searchArea);
        skinButton = new QSkinButton(&window);
        skinButton->setGeometry(W - 78, 6, 20, 14);
        menuButton = new QSkinButton(&window);
        menuButton->setGeometry(5, H - 28, 24, 24);
        calcButton = new QSkinButton(&window);
        calcButton->setGeometry(39, H - 28, 24, 24);
        noteButton = new QSkinButton(&window);
        noteButton->setGeometry(73, H - 28, 24, 24);

        helper.create(&window);
        helper.addCtrl(tabBar, false, false, true, false, false, 1.0f);
        helper.addCtrl(searchTree->getScroll(), false, false, true, true, false, 1.0f);
        helper.addCtrl(iconTree->getScroll(), false, false, true, true, false, 1.0f);
        helper.addCtrl(siteTree->getScroll(), false, false, true, true, false, 1.0f);
        helper.addCtrl(recentTree->getScroll(), false, false, true, true, false, 1.0f);
        // Registered directly: handled through its scroll area.
        helper.addCtrl(searchTree, false, false, true, true, false, 1.0f);
        helper.addCtrl(searchIconLabel, true, false, false, false, false, 1.0f);
        helper.addCtrl(searchClearButton, true, false, false, false, false, 1.0f);
        helper.addCtrl(searchBackLabel, false, false, true, false, false, 1.0f);
        helper.addCtrl(searchEdit, false, false, true, false, false, 1.0f);
        helper.addCtrl(searchButton, false, false, true, false, false, 1.0f);
        helper.addCtrl(skinButton, true, false, false, false, false, 1.0f);
        helper.addCtrl(calcButton, false, true, false, false, false, 1.0f);
        helper.addCtrl(noteButton, false, true, false, false, false, 1.0f);
        helper.addCtrl(menuButton, false, true, false, false, false, 1.0f);
    }

    void resizeTo(int w, int h)
    {
        window.resize(w, h);
        helper.resing();
    }
};
} // namespace

void TestQResizeHelper::mainWindowLayoutAtMinimumSize()
{
    Layout l;
    l.resizeTo(200, 400);

    QCOMPARE(l.iconTree->getScroll()->geometry(), QRect(0, 160, 200, 208));
    QCOMPARE(l.siteTree->getScroll()->geometry(), QRect(0, 160, 200, 208));
    QCOMPARE(l.recentTree->getScroll()->geometry(), QRect(0, 160, 200, 208));
    QCOMPARE(l.searchTree->getScroll()->geometry(), QRect(0, 130, 200, 238));
    QCOMPARE(l.tabBar->geometry(), QRect(1, 130, 198, 30));

    QCOMPARE(l.menuButton->geometry(), QRect(5, 372, 24, 24));
    QCOMPARE(l.calcButton->geometry(), QRect(39, 372, 24, 24));
    QCOMPARE(l.noteButton->geometry(), QRect(73, 372, 24, 24));

    QCOMPARE(l.skinButton->geometry(), QRect(122, 6, 20, 14));
    QCOMPARE(l.searchIconLabel->geometry(), QRect(175, 105, 20, 20));
    QCOMPARE(l.searchClearButton->geometry(), QRect(175, 105, 20, 20));

    QCOMPARE(l.searchBackLabel->geometry(), QRect(0, 100, 200, 30));
    QCOMPARE(l.searchEdit->geometry(), QRect(0, 100, 170, 30));
    QCOMPARE(l.searchButton->geometry(), QRect(0, 100, 200, 30));

    // Not registered: stays where it is.
    QCOMPARE(l.logoLabel->geometry(), QRect(14, 36, 50, 50));
}

void TestQResizeHelper::growingAndBackRestoresTheLayout()
{
    Layout l;
    l.resizeTo(500, 900);
    QCOMPARE(l.iconTree->getScroll()->geometry(), QRect(0, 160, 500, 708));
    QCOMPARE(l.noteButton->geometry(), QRect(73, 872, 24, 24));
    QCOMPARE(l.skinButton->geometry(), QRect(422, 6, 20, 14));
    // Rules are applied from the recorded geometry, so a round trip ends where it began.
    l.resizeTo(200, 400);
    l.resizeTo(270, 580);
    QCOMPARE(l.iconTree->getScroll()->geometry(), QRect(0, 160, 270, 388));
    QCOMPARE(l.searchTree->getScroll()->geometry(), QRect(0, 130, 270, 418));
    QCOMPARE(l.noteButton->geometry(), QRect(73, 552, 24, 24));
    QCOMPARE(l.skinButton->geometry(), QRect(192, 6, 20, 14));
    QCOMPARE(l.searchIconLabel->geometry(), QRect(245, 105, 20, 20));
}

void TestQResizeHelper::keepMinimumAndFactor()
{
    QWidget window;
    window.resize(300, 300);
    auto* half = new QWidget(&window);
    half->setGeometry(10, 10, 100, 100);
    auto* floor = new QWidget(&window);
    floor->setGeometry(10, 150, 100, 100);
    auto* anchored = new QWidget(&window);
    anchored->setGeometry(150, 150, 100, 100);
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
    auto* kept = new QWidget(&window);
    kept->setGeometry(0, 0, 10, 10);
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
