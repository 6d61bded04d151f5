// The grouped tree: ids carried by its signals, drops, moves, the recent add, selection walking, headerless
// groups, the lazy icon source and scrolling.
#include "qqtree.h"

#include <QApplication>
#include <QMimeData>
#include <QPointer>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <memory>

Q_DECLARE_METATYPE(QList<int>)

namespace
{
QPixmap solid(const QColor& color, int size = 32)
{
    QPixmap pixmap(size, size);
    pixmap.fill(color);
    return pixmap;
}

/// Delivers a drag entering at `at` and moving there, from a source offering `actions` and proposing a move
/// (Shift held in a file manager); true when the tree accepts it. The application routes a drop only to the
/// widget that accepted the drag, as during a real drag.
bool dragTo(QWidget* target,
            const QPoint& at,
            QMimeData* mime,
            Qt::DropAction* action = nullptr,
            Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    QDragEnterEvent enter(at, actions, mime, Qt::LeftButton, Qt::ShiftModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, mime, Qt::LeftButton, Qt::ShiftModifier);
    move.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, &move);
    if (action) {
        *action = move.dropAction();
    }
    return enter.isAccepted() && move.isAccepted();
}

/// Rows listed from a plain vector, as a caller with a long result list gives them.
class VectorRows : public QQTree::RowSource
{
public:
    int rowCount() const override { return int(rows.size()); }
    int rowId(int row) const override { return rows[size_t(row)].first; }
    QString rowName(int row) const override { return rows[size_t(row)].second; }
    int rowOf(int id) const override
    {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].first == id) {
                return int(i);
            }
        }
        return -1;
    }

    std::vector<std::pair<int, QString>> rows;
};

/// What a person and the window can learn of a tree: groups, rows with names and places, the selection, and the
/// ids under points down the page.
QStringList describe(QQTree* tree)
{
    QStringList lines;
    for (const int team : tree->teamIds()) {
        lines << QStringLiteral("group %1 (%2)").arg(team).arg(tree->itemCount(team));
        for (const int item : tree->itemIds(team)) {
            const QRect r = tree->itemRect(item);
            lines << QStringLiteral("  %1 %2 at %3").arg(item).arg(tree->itemName(item)).arg(r.top());
        }
    }
    int team = 0;
    int item = 0;
    tree->getSelectItem(team, item);
    lines << QStringLiteral("selected %1/%2").arg(team).arg(item);
    QSignalSpy clicks(tree, &QQTree::RClicked);
    for (int y = 5; y < tree->height(); y += 20) {
        QTest::mouseClick(tree, Qt::RightButton, Qt::NoModifier, QPoint(60, y));
    }
    for (const QList<QVariant>& click : std::as_const(clicks)) {
        lines << QStringLiteral("hit %1/%2").arg(click.at(0).toInt()).arg(click.at(1).toInt());
    }
    return lines;
}

// A point well below the last row: empty space.
QPoint emptySpot(QQTree* tree)
{
    return QPoint(tree->width() / 2, tree->height() - 5);
}
} // namespace

class TestQQTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyTree();
    void clickIds_data();
    void clickIds();
    void headerClickToggles();
    void dragEnterNeedsLocalFiles_data();
    void dragEnterNeedsLocalFiles();
    void drop_data();
    void drop();
    void dropIsNeverAMove_data();
    void dropIsNeverAMove();
    void moves_data();
    void moves();
    void recentAddPutsOnTopOnce();
    void delItem();
    void clearAndDelTeam();
    void itemsOfGroupAddedLater();
    void randomEditsMatchAPlainModel();
    void selectionWalk();
    void selectionWalkSkipsClosedGroups();
    void keyboard();
    void selectItemOpensAndScrolls();
    void headerlessGroup();
    void iconSourceAskedForPaintedRowsOnce();
    void iconsArePainted();
    void wheelScrolls();
    void scrollBarShowsItsArrows();
    void pageFollowsItsScrollArea();
    void deletingTheTreeRemovesItsScrollArea();
    void listedRowsActAsAddedItems_data();
    void listedRowsActAsAddedItems();
    void longListCostsItsShownRows();
    void emptyTextOnlyWithoutRows();

private:
    QQTree* makeTree();
    /// Groups 1 "Apps" (open: 11, 12, 13), 2 "Docs" (closed: 21), 3 "Games" (open: 31).
    void fillSample();

    std::unique_ptr<QWidget> m_host;
    QQTree* m_tree = nullptr;
};

void TestQQTree::initTestCase()
{
    qRegisterMetaType<QDropEvent*>();
}

void TestQQTree::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->resize(270, 480);
    m_tree = new QQTree(m_host.get());
    m_tree->setGeometry(QRect(0, 20, 270, 400));
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TestQQTree::cleanup()
{
    m_host.reset();
    m_tree = nullptr;
}

void TestQQTree::fillSample()
{
    m_tree->addTeam(1, QStringLiteral("Apps"), 0, true);
    m_tree->addTeam(2, QStringLiteral("Docs"), 0, false);
    m_tree->addTeam(3, QStringLiteral("Games"), 0, true);
    m_tree->addItem(11, 1, QStringLiteral("Editor"), QPixmap());
    m_tree->addItem(12, 1, QStringLiteral("Terminal"), QPixmap());
    m_tree->addItem(13, 1, QStringLiteral("Browser"), QPixmap());
    m_tree->addItem(21, 2, QStringLiteral("Report"), QPixmap());
    m_tree->addItem(31, 3, QStringLiteral("Chess"), QPixmap());
}

void TestQQTree::emptyTree()
{
    QCOMPARE(m_tree->getTeamCount(), 0);
    QCOMPARE(m_tree->getLastTeamId(), 0);
    int team = -1, item = -1;
    m_tree->getSelectItem(team, item);
    QCOMPARE(team, 0);
    QCOMPARE(item, 0);

    QSignalSpy rclicked(m_tree, &QQTree::RClicked);
    QTest::mouseClick(m_tree, Qt::RightButton, Qt::NoModifier, QPoint(50, 10));
    QCOMPARE(rclicked.size(), 1);
    QCOMPARE(rclicked.at(0).at(0).toInt(), 0);
    QCOMPARE(rclicked.at(0).at(1).toInt(), 0);

    // Nothing to walk to.
    m_tree->selectNext();
    m_tree->selectUp();
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 0);
}

void TestQQTree::clickIds_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("team");
    QTest::addColumn<int>("item");
    QTest::newRow("item") << "item" << 1 << 12;
    QTest::newRow("open header") << "header1" << 1 << 0;
    QTest::newRow("closed header") << "header2" << 2 << 0;
    QTest::newRow("empty space") << "empty" << 0 << 0;
}

void TestQQTree::clickIds()
{
    QFETCH(QString, target);
    QFETCH(int, team);
    QFETCH(int, item);
    fillSample();

    const auto spot = [&]() {
        if (target == QLatin1String("item")) {
            return m_tree->itemRect(12).center();
        }
        if (target == QLatin1String("header1")) {
            return m_tree->teamRect(1).center();
        }
        if (target == QLatin1String("header2")) {
            return m_tree->teamRect(2).center();
        }
        return emptySpot(m_tree);
    };

    QSignalSpy rclicked(m_tree, &QQTree::RClicked);
    QSignalSpy dbclicked(m_tree, &QQTree::DbClicked);
    QTest::mouseClick(m_tree, Qt::RightButton, Qt::NoModifier, spot());
    QCOMPARE(rclicked.size(), 1);
    QCOMPARE(rclicked.at(0).at(0).toInt(), team);
    QCOMPARE(rclicked.at(0).at(1).toInt(), item);
    QCOMPARE(dbclicked.size(), 0);

    QTest::mouseDClick(m_tree, Qt::LeftButton, Qt::NoModifier, spot());
    QVERIFY(!dbclicked.isEmpty());
    QCOMPARE(dbclicked.last().at(0).toInt(), team);
    QCOMPARE(dbclicked.last().at(1).toInt(), item);
    QCOMPARE(rclicked.size(), 1);
}

void TestQQTree::headerClickToggles()
{
    fillSample();
    QVERIFY(!m_tree->isTeamOpen(2));
    QVERIFY(m_tree->itemRect(21).isEmpty());

    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(2).center());
    QVERIFY(m_tree->isTeamOpen(2));
    const QRect report = m_tree->itemRect(21);
    QVERIFY(!report.isEmpty());
    QCOMPARE(report.top(), m_tree->teamRect(2).bottom() + 1);
    // Group 3 moved down by the opened row.
    QCOMPARE(m_tree->teamRect(3).top(), report.bottom() + 1);

    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(2).center());
    QVERIFY(!m_tree->isTeamOpen(2));
    QVERIFY(m_tree->itemRect(21).isEmpty());

    // A double click (press, release, double-click press) on a header opens it once: the second press does
    // not close it again.
    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(2).center());
    QTest::mouseDClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(2).center());
    QVERIFY(m_tree->isTeamOpen(2));
}

void TestQQTree::dragEnterNeedsLocalFiles_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("one local file") << QList<QUrl> { QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")) } << QString()
                                    << true;
    QTest::newRow("web address and local file")
        << QList<QUrl> { QUrl(QStringLiteral("https://example.org/")), QUrl::fromLocalFile(QStringLiteral("/tmp/b")) }
        << QString() << true;
    QTest::newRow("web address only") << QList<QUrl> { QUrl(QStringLiteral("https://example.org/")) } << QString()
                                      << false;
    QTest::newRow("plain text") << QList<QUrl>() << QStringLiteral("/tmp/a.txt") << false;
}

void TestQQTree::dragEnterNeedsLocalFiles()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    fillSample();
    QMimeData mime;
    if (!urls.isEmpty()) {
        mime.setUrls(urls);
    }
    if (!text.isEmpty()) {
        mime.setText(text);
    }
    const QPoint at = m_tree->itemRect(11).center();
    Qt::DropAction action = Qt::IgnoreAction;
    // Nobody takes dropped files from this tree yet: nothing is accepted.
    QVERIFY(!dragTo(m_tree, at, &mime));

    QSignalSpy dropped(m_tree, &QQTree::sig_dragEvent);
    QCOMPARE(dragTo(m_tree, at, &mime, &action), accepted);
    if (accepted) {
        // The dropped files are referred to, never taken away from their source.
        QCOMPARE(action, Qt::CopyAction);
    }

    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_tree, &drop);
    QCOMPARE(dropped.size(), accepted ? 1 : 0);
}

void TestQQTree::drop_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("team");
    QTest::addColumn<int>("item");
    QTest::newRow("on an item") << "item" << 3 << 31;
    QTest::newRow("on a header") << "header" << 2 << 0;
    QTest::newRow("on empty space") << "empty" << 0 << 0;
}

void TestQQTree::drop()
{
    QFETCH(QString, target);
    QFETCH(int, team);
    QFETCH(int, item);
    fillSample();
    const QPoint at = target == QLatin1String("item") ? m_tree->itemRect(31).center()
        : target == QLatin1String("header")           ? m_tree->teamRect(2).center()
                                                      : emptySpot(m_tree);
    QMimeData mime;
    const QList<QUrl> urls { QUrl::fromLocalFile(QStringLiteral("/tmp/one.txt")),
                             QUrl::fromLocalFile(QStringLiteral("/tmp/two.pdf")) };
    mime.setUrls(urls);

    QList<QUrl> seenUrls;
    int seenTeam = -1, seenItem = -1;
    connect(m_tree, &QQTree::sig_dragEvent, this, [&](QDropEvent* event, int t, int i) {
        seenUrls = event->mimeData()->urls();
        seenTeam = t;
        seenItem = i;
    });
    QVERIFY(dragTo(m_tree, at, &mime));
    QDropEvent event(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_tree, &event);
    QCOMPARE(seenTeam, team);
    QCOMPARE(seenItem, item);
    QCOMPARE(seenUrls, urls);
    QVERIFY(event.isAccepted());
    QCOMPARE(event.dropAction(), Qt::CopyAction);
}

void TestQQTree::dropIsNeverAMove_data()
{
    // What the drag's source offers, and what the tree answers (IgnoreAction: the drop is refused).
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("answer");
    QTest::newRow("copy or move") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::CopyAction);
    QTest::newRow("all three") << int(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) << int(Qt::CopyAction);
    QTest::newRow("link or move") << int(Qt::LinkAction | Qt::MoveAction) << int(Qt::LinkAction);
    QTest::newRow("copy only") << int(Qt::CopyAction) << int(Qt::CopyAction);
    QTest::newRow("link only") << int(Qt::LinkAction) << int(Qt::LinkAction);
    QTest::newRow("move only") << int(Qt::MoveAction) << int(Qt::IgnoreAction);
}

void TestQQTree::dropIsNeverAMove()
{
    QFETCH(int, offered);
    QFETCH(int, answer);
    fillSample();
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(QStringLiteral("/tmp/one.txt")) });
    QSignalSpy dropped(m_tree, &QQTree::sig_dragEvent);
    const QPoint at = m_tree->itemRect(11).center();
    const Qt::DropActions actions(offered);
    const bool refused = answer == Qt::IgnoreAction;

    Qt::DropAction action = Qt::IgnoreAction;
    QCOMPARE(dragTo(m_tree, at, &mime, &action, actions), !refused);
    if (!refused) {
        QCOMPARE(int(action), answer);
    }
    QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(m_tree, &drop);
    QCOMPARE(drop.isAccepted(), !refused);
    QCOMPARE(dropped.size(), refused ? 0 : 1);
    if (!refused) {
        QCOMPARE(int(drop.dropAction()), answer);
    }
}

void TestQQTree::moves_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("partner");
    QTest::addColumn<QList<int>>("order");
    const QList<int> teams { 1, 2, 3 };
    const QList<int> items { 11, 12, 13 };
    QTest::newRow("first group up") << "teamUp" << 1 << 0 << teams;
    QTest::newRow("middle group up") << "teamUp" << 2 << 1 << QList<int> { 2, 1, 3 };
    QTest::newRow("last group up") << "teamUp" << 3 << 2 << QList<int> { 1, 3, 2 };
    QTest::newRow("first group down") << "teamDown" << 1 << 2 << QList<int> { 2, 1, 3 };
    QTest::newRow("last group down") << "teamDown" << 3 << 0 << teams;
    QTest::newRow("unknown group up") << "teamUp" << 99 << 0 << teams;
    QTest::newRow("first item up") << "itemUp" << 11 << 0 << items;
    QTest::newRow("last item up") << "itemUp" << 13 << 12 << QList<int> { 11, 13, 12 };
    QTest::newRow("first item down") << "itemDown" << 11 << 12 << QList<int> { 12, 11, 13 };
    QTest::newRow("middle item down") << "itemDown" << 12 << 13 << QList<int> { 11, 13, 12 };
    QTest::newRow("last item down") << "itemDown" << 13 << 0 << items;
    QTest::newRow("unknown item down") << "itemDown" << 99 << 0 << items;
}

void TestQQTree::moves()
{
    QFETCH(QString, call);
    QFETCH(int, id);
    QFETCH(int, partner);
    QFETCH(QList<int>, order);
    fillSample();
    int result = -1;
    if (call == QLatin1String("teamUp")) {
        result = m_tree->moveTeamUp(id);
    } else if (call == QLatin1String("teamDown")) {
        result = m_tree->moveTeamDown(id);
    } else if (call == QLatin1String("itemUp")) {
        result = m_tree->moveItemUp(1, id);
    } else {
        result = m_tree->moveItemDown(1, id);
    }
    QCOMPARE(result, partner);
    const bool teamCall = call.startsWith(QLatin1String("team"));
    QCOMPARE(teamCall ? m_tree->teamIds() : m_tree->itemIds(1), order);
    if (teamCall) {
        QCOMPARE(m_tree->getLastTeamId(), order.last());
        // Rows follow the new order on screen too.
        QVERIFY(m_tree->teamRect(order.at(0)).top() < m_tree->teamRect(order.at(1)).top());
        QVERIFY(m_tree->teamRect(order.at(1)).top() < m_tree->teamRect(order.at(2)).top());
    } else {
        QVERIFY(m_tree->itemRect(order.at(0)).top() < m_tree->itemRect(order.at(1)).top());
        QVERIFY(m_tree->itemRect(order.at(1)).top() < m_tree->itemRect(order.at(2)).top());
    }
}

void TestQQTree::recentAddPutsOnTopOnce()
{
    m_tree->addTeam(1, QStringLiteral("Recent"), 0, true);
    m_tree->setTeamHeight(1, 0);
    for (int id : { 1, 2, 3 }) {
        m_tree->addItem(id, 1, QStringLiteral("item %1").arg(id), QPixmap());
    }
    m_tree->addItem(2, 1, QStringLiteral("item 2 again"), QPixmap(), true);
    QCOMPARE(m_tree->itemIds(1), (QList<int> { 2, 1, 3 }));
    QCOMPARE(m_tree->itemName(2), QStringLiteral("item 2 again"));
    m_tree->addItem(4, 1, QStringLiteral("item 4"), QPixmap(), true);
    m_tree->addItem(3, 1, QStringLiteral("item 3"), QPixmap(), true);
    QCOMPARE(m_tree->itemIds(1), (QList<int> { 3, 4, 2, 1 }));
    m_tree->addItem(3, 1, QStringLiteral("item 3"), QPixmap(), true);
    QCOMPARE(m_tree->itemIds(1), (QList<int> { 3, 4, 2, 1 }));
    QCOMPARE(m_tree->itemCount(1), 4);
    QCOMPARE(m_tree->itemRect(3).top(), 0);
    QCOMPARE(m_tree->itemRect(1).top(), 3 * m_tree->itemRect(3).height());

    // Many opens in a row, mixed with deletions, keep one row per id, newest first.
    for (int round = 0; round < 300; ++round) {
        const int id = 1 + round % 7;
        m_tree->addItem(id, 1, QStringLiteral("item %1").arg(id), QPixmap(), true);
        if (round % 5 == 0) {
            m_tree->delItem(1 + (round / 5) % 7);
        }
    }
    const QList<int> ids = m_tree->itemIds(1);
    QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
    QCOMPARE(ids.first(), 1 + 299 % 7);
    for (int i = 0; i < ids.size(); ++i) {
        QCOMPARE(m_tree->itemRect(ids.at(i)).top(), i * 40);
    }
}

void TestQQTree::delItem()
{
    fillSample();
    m_tree->selectItem(1, 12);
    m_tree->delItem(999);
    QCOMPARE(m_tree->itemIds(1), (QList<int> { 11, 12, 13 }));
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 12);

    const int top = m_tree->itemRect(12).top();
    m_tree->delItem(12);
    QVERIFY(!m_tree->hasItem(12));
    QCOMPARE(m_tree->itemIds(1), (QList<int> { 11, 13 }));
    QCOMPARE(m_tree->itemRect(13).top(), top);
    m_tree->getSelectItem(team, item);
    QCOMPARE(team, 0);
    QCOMPARE(item, 0);
    m_tree->delItem(12);
    QCOMPARE(m_tree->itemCount(1), 2);

    // Removing from both ends and the middle of a big group keeps the rest in order and in place.
    m_tree->addTeam(5, QStringLiteral("Big"), 0, true);
    QList<int> expected;
    for (int id = 1000; id < 1100; ++id) {
        m_tree->addItem(id, 5, QString::number(id), QPixmap());
        expected.append(id);
    }
    for (int id : { 1000, 1099, 1050, 1051, 1001, 1098, 1010 }) {
        m_tree->delItem(id);
        expected.removeOne(id);
    }
    QCOMPARE(m_tree->itemIds(5), expected);
    const int first = m_tree->itemRect(expected.first()).top();
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(m_tree->itemRect(expected.at(i)).top(), first + 40 * i);
    }

    // Rows taken from the top while others arrive at both ends stay in order.
    m_tree->addTeam(6, QStringLiteral("Queue"), 0, true);
    QList<int> queue;
    int next = 5000;
    for (int round = 0; round < 600; ++round) {
        m_tree->addItem(next, 6, QString::number(next), QPixmap());
        queue.append(next++);
        if (round % 7 == 0) {
            m_tree->addItem(next, 6, QString::number(next), QPixmap(), true);
            queue.prepend(next++);
        }
        while (queue.size() > 20) {
            m_tree->delItem(queue.takeFirst());
        }
        if (round % 50 == 0) {
            QCOMPARE(m_tree->itemIds(6), queue);
        }
    }
    QCOMPARE(m_tree->itemIds(6), queue);
    const int queueTop = m_tree->itemRect(queue.first()).top();
    QCOMPARE(m_tree->itemRect(queue.last()).top(), queueTop + 40 * (queue.size() - 1));
}

void TestQQTree::clearAndDelTeam()
{
    fillSample();
    m_tree->selectItem(1, 11);
    m_tree->clearTeam(1);
    QCOMPARE(m_tree->itemCount(1), 0);
    QCOMPARE(m_tree->getTeamCount(), 3);
    QVERIFY(!m_tree->hasItem(11));
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 0);
    QCOMPARE(m_tree->teamRect(2).top(), m_tree->teamRect(1).bottom() + 1);

    m_tree->delTeam(3);
    QCOMPARE(m_tree->teamIds(), (QList<int> { 1, 2 }));
    QVERIFY(!m_tree->hasItem(31));
    QCOMPARE(m_tree->getLastTeamId(), 2);
    m_tree->delTeam(42);
    QCOMPARE(m_tree->getTeamCount(), 2);

    m_tree->updateTeam(2, QStringLiteral("Papers"));
    QCOMPARE(m_tree->teamName(2), QStringLiteral("Papers"));
    m_tree->updateItem(21, QStringLiteral("Summary"), QString());
    QCOMPARE(m_tree->itemName(21), QStringLiteral("Summary"));
}

void TestQQTree::itemsOfGroupAddedLater()
{
    // Items may name a group the tree does not show (yet): they are kept out of sight, not lost.
    m_tree->addTeam(1, QStringLiteral("Apps"), 0, true);
    m_tree->addItem(70, 7, QStringLiteral("Orphan"), QPixmap());
    QVERIFY(m_tree->hasItem(70));
    QVERIFY(m_tree->itemRect(70).isEmpty());
    QCOMPARE(m_tree->getTeamCount(), 1);
    m_tree->selectItem(7, 70);
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 0);

    m_tree->addTeam(7, QStringLiteral("Later"), 0, true);
    QCOMPARE(m_tree->getLastTeamId(), 7);
    QCOMPARE(m_tree->itemIds(7), QList<int> { 70 });
    QCOMPARE(m_tree->itemRect(70).top(), m_tree->teamRect(7).bottom() + 1);

    // Id 0 means "nothing" in the signals and is refused.
    m_tree->addTeam(0, QStringLiteral("Zero"), 0, true);
    m_tree->addItem(0, 1, QStringLiteral("Zero"), QPixmap());
    QCOMPARE(m_tree->getTeamCount(), 2);
    QVERIFY(!m_tree->hasItem(0));
}

void TestQQTree::randomEditsMatchAPlainModel()
{
    // Any mix of edits leaves the same groups, items and row positions as a plain list model would.
    struct Group
    {
        QList<int> items;
        int header = 28;
        bool open = false;
        bool added = false;
    };
    QMap<int, Group> groups;
    QList<int> order;
    const auto removeEverywhere = [&](int id) {
        for (Group& g : groups) {
            g.items.removeOne(id);
        }
    };
    QRandomGenerator random(20261209);
    for (int step = 0; step < 3000; ++step) {
        const int team = random.bounded(1, 11);
        const int id = random.bounded(1, 80);
        const int op = random.bounded(0, 100);
        const QString what = QStringLiteral("step %1 op %2 team %3 id %4").arg(step).arg(op).arg(team).arg(id);
        if (op < 8) {
            const bool open = random.bounded(2);
            m_tree->addTeam(team, QString::number(team), 0, open);
            Group& g = groups[team];
            g.open = open;
            if (!g.added) {
                g.added = true;
                order.append(team);
            }
        } else if (op < 50) {
            const bool top = random.bounded(3) == 0;
            m_tree->addItem(id, team, QString::number(id), QPixmap(), top);
            removeEverywhere(id);
            if (top) {
                groups[team].items.prepend(id);
            } else {
                groups[team].items.append(id);
            }
        } else if (op < 70) {
            m_tree->delItem(id);
            removeEverywhere(id);
        } else if (op < 72) {
            m_tree->clearTeam(team);
            if (groups.contains(team)) {
                groups[team].items.clear();
            }
        } else if (op < 73) {
            m_tree->delTeam(team);
            groups.remove(team);
            order.removeOne(team);
        } else if (op < 83) {
            const bool up = random.bounded(2);
            const QList<int> items = groups.value(team).items;
            const int at = items.indexOf(id);
            const int partnerAt = at < 0 ? -1 : (up ? at - 1 : at + 1);
            const int expected = partnerAt >= 0 && partnerAt < items.size() ? items.at(partnerAt) : 0;
            const int partner = up ? m_tree->moveItemUp(team, id) : m_tree->moveItemDown(team, id);
            QVERIFY2(partner == expected, qPrintable(what));
            if (expected) {
                groups[team].items.swapItemsAt(at, partnerAt);
            }
        } else if (op < 89) {
            const bool up = random.bounded(2);
            const int at = order.indexOf(team);
            const int partnerAt = at < 0 ? -1 : (up ? at - 1 : at + 1);
            const int expected = partnerAt >= 0 && partnerAt < order.size() ? order.at(partnerAt) : 0;
            const int partner = up ? m_tree->moveTeamUp(team) : m_tree->moveTeamDown(team);
            QVERIFY2(partner == expected, qPrintable(what));
            if (expected) {
                order.swapItemsAt(at, partnerAt);
            }
        } else if (op < 95) {
            const bool open = random.bounded(2);
            m_tree->setTeamOpen(team, open);
            if (groups.contains(team)) {
                groups[team].open = open;
            }
        } else {
            const int header = random.bounded(2) ? 0 : 28;
            m_tree->setTeamHeight(team, header);
            if (groups.contains(team)) {
                groups[team].header = header;
            }
        }

        QVERIFY2(m_tree->teamIds() == order, qPrintable(what));
        int y = 0;
        for (int t : std::as_const(order)) {
            const Group& g = groups[t];
            QVERIFY2(m_tree->itemIds(t) == g.items, qPrintable(what));
            QCOMPARE(m_tree->teamRect(t).isEmpty(), g.header == 0);
            if (g.header) {
                QVERIFY2(m_tree->teamRect(t).top() == y, qPrintable(what));
            }
            y += g.header;
            const bool shown = g.header == 0 || g.open;
            for (int item : g.items) {
                const QRect rect = m_tree->itemRect(item);
                QVERIFY2(shown ? rect.top() == y : rect.isEmpty(), qPrintable(what));
                y += shown ? 40 : 0;
            }
        }
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            QVERIFY2(m_tree->itemCount(it.key()) == it->items.size(), qPrintable(what));
            for (int item : it->items) {
                QVERIFY2(m_tree->hasItem(item), qPrintable(what));
                if (!it->added) {
                    QVERIFY2(m_tree->itemRect(item).isEmpty(), qPrintable(what));
                }
            }
        }
    }
}

void TestQQTree::selectionWalk()
{
    fillSample();
    const QList<int> down { 11, 12, 13, 31, 31 };
    for (int expected : down) {
        m_tree->selectNext();
        int team = 0, item = 0;
        m_tree->getSelectItem(team, item);
        QCOMPARE(item, expected);
        QCOMPARE(team, expected / 10);
    }
    const QList<int> up { 13, 12, 11, 11 };
    for (int expected : up) {
        m_tree->selectUp();
        int team = 0, item = 0;
        m_tree->getSelectItem(team, item);
        QCOMPARE(item, expected);
    }
}

void TestQQTree::selectionWalkSkipsClosedGroups()
{
    fillSample();
    m_tree->addTeam(4, QStringLiteral("Empty"), 0, true);
    m_tree->addTeam(5, QStringLiteral("Shut"), 0, false);
    m_tree->addItem(51, 5, QStringLiteral("Hidden"), QPixmap());
    // Up with nothing selected starts from the last row shown.
    m_tree->selectUp();
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 31);
    m_tree->selectNext();
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 31);
    m_tree->selectUp();
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 13);

    // From a row whose group was closed, the walk goes on with the next rows shown.
    m_tree->setTeamOpen(1, false);
    m_tree->selectNext();
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 31);
}

void TestQQTree::keyboard()
{
    fillSample();
    m_tree->setFocus();
    QSignalSpy dbclicked(m_tree, &QQTree::DbClicked);
    QTest::keyClick(m_tree, Qt::Key_Return);
    QCOMPARE(dbclicked.size(), 0);

    // The group headers are rows of the walk too.
    QTest::keyClick(m_tree, Qt::Key_Down);
    QTest::keyClick(m_tree, Qt::Key_Down);
    QTest::keyClick(m_tree, Qt::Key_Down);
    QTest::keyClick(m_tree, Qt::Key_Return);
    QCOMPARE(dbclicked.size(), 1);
    QCOMPARE(dbclicked.at(0).at(0).toInt(), 1);
    QCOMPARE(dbclicked.at(0).at(1).toInt(), 12);

    QTest::keyClick(m_tree, Qt::Key_Up);
    QTest::keyClick(m_tree, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(dbclicked.size(), 2);
    QCOMPARE(dbclicked.at(1).at(1).toInt(), 11);

    // Home and End jump to the first and last rows shown: the first group's header, the last group's last item.
    int team = 0, item = 0;
    QTest::keyClick(m_tree, Qt::Key_End);
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 31);
    QTest::keyClick(m_tree, Qt::Key_Home);
    m_tree->getSelectItem(team, item);
    QCOMPARE(team, 1);
    QCOMPARE(item, 0);
}

void TestQQTree::selectItemOpensAndScrolls()
{
    m_tree->addTeam(1, QStringLiteral("Many"), 0, false);
    for (int id = 1; id <= 500; ++id) {
        m_tree->addItem(id, 1, QStringLiteral("Item %1").arg(id), QPixmap());
    }
    m_tree->selectItem(1, 400);
    QVERIFY(m_tree->isTeamOpen(1));
    const QRect row = m_tree->itemRect(400);
    QVERIFY2(m_tree->rect().contains(row), qPrintable(QStringLiteral("row at %1").arg(row.top())));
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(team, 1);
    QCOMPARE(item, 400);

    // Walking off the bottom of the page scrolls with the selection.
    for (int i = 0; i < 50; ++i) {
        m_tree->selectNext();
    }
    QVERIFY(m_tree->rect().contains(m_tree->itemRect(450)));
    m_tree->selectItem(1, 2);
    QVERIFY(m_tree->rect().contains(m_tree->itemRect(2)));

    // Selected before its page was ever shown (the page has no real size yet): scrolled just far enough
    // once it is shown, the row at the bottom edge.
    auto* fresh = new QQTree(m_host.get());
    fresh->setGeometry(QRect(0, 0, 270, 300));
    fresh->addTeam(1, QStringLiteral("Many"), 0, true);
    for (int id = 1; id <= 500; ++id) {
        fresh->addItem(id, 1, QStringLiteral("Item %1").arg(id), QPixmap());
    }
    fresh->selectItem(1, 480);
    fresh->show();
    QTRY_COMPARE(fresh->itemRect(480).bottom(), fresh->height() - 1);

    // Unknown rows and wrong groups leave the selection alone.
    m_tree->selectItem(1, 9999);
    m_tree->selectItem(2, 3);
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 2);
}

void TestQQTree::headerlessGroup()
{
    m_tree->addTeam(1, QStringLiteral("Results"), 0, false);
    m_tree->setTeamHeight(1, 0);
    m_tree->addItem(5, 1, QStringLiteral("First"), QPixmap());
    m_tree->addItem(6, 1, QStringLiteral("Second"), QPixmap());
    QVERIFY(m_tree->teamRect(1).isEmpty());
    // Closed or not, a group without a header shows its items, from the very top.
    QCOMPARE(m_tree->itemRect(5).top(), 0);
    QCOMPARE(m_tree->itemRect(6).top(), m_tree->itemRect(5).bottom() + 1);

    QSignalSpy rclicked(m_tree, &QQTree::RClicked);
    QTest::mouseClick(m_tree, Qt::RightButton, Qt::NoModifier, QPoint(20, 3));
    QCOMPARE(rclicked.size(), 1);
    QCOMPARE(rclicked.at(0).at(0).toInt(), 1);
    QCOMPARE(rclicked.at(0).at(1).toInt(), 5);

    // A left click on the first row selects it and does not fold the group away.
    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, QPoint(20, 3));
    QVERIFY(!m_tree->itemRect(6).isEmpty());
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 5);

    m_tree->clearTeam(1);
    m_tree->selectNext();
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 0);
}

void TestQQTree::iconSourceAskedForPaintedRowsOnce()
{
    m_tree->addTeam(1, QStringLiteral("Files"), 0, true);
    for (int id = 1; id <= 1000; ++id) {
        m_tree->addItem(id, 1, QStringLiteral("File %1").arg(id), QPixmap());
    }
    m_tree->addItem(2000, 1, QStringLiteral("Given"), solid(Qt::blue), true);
    m_tree->addItem(2001, 1, QStringLiteral("No icon known"), QPixmap(), true);
    QHash<int, int> asked;
    m_tree->setIconSource([&asked](int id) {
        ++asked[id];
        return id == 2001 ? QPixmap() : solid(Qt::red);
    });
    // Nothing is asked before anything is painted.
    QVERIFY(asked.isEmpty());

    const int rowsShown = (m_tree->height() + 39) / 40;
    m_tree->grab();
    QVERIFY(!asked.isEmpty());
    QVERIFY(asked.size() <= rowsShown);
    QVERIFY(!asked.contains(2000));
    QVERIFY(asked.contains(2001));
    for (auto it = asked.cbegin(); it != asked.cend(); ++it) {
        QVERIFY(!m_tree->itemRect(it.key()).isEmpty());
        QVERIFY(m_tree->itemRect(it.key()).intersects(m_tree->rect()));
    }
    const QHash<int, int> first = asked;
    m_tree->grab();
    m_tree->update();
    QCoreApplication::processEvents();
    QCOMPARE(asked, first);

    m_tree->selectItem(1, 1000);
    m_tree->grab();
    QVERIFY(asked.contains(1000));
    QVERIFY(!asked.contains(500));
    QVERIFY(asked.size() <= 2 * rowsShown);
    for (int count : asked) {
        QCOMPARE(count, 1);
    }
}

void TestQQTree::iconsArePainted()
{
    m_tree->addTeam(1, QStringLiteral("Files"), 0, true);
    m_tree->setTeamHeight(1, 0);
    m_tree->addItem(1, 1, QStringLiteral("Large"), solid(Qt::red, 64));
    m_tree->addItem(2, 1, QStringLiteral("From the source"), QPixmap());
    m_tree->addItem(3, 1, QStringLiteral("Neutral"), QPixmap());
    m_tree->setIconSource([](int id) { return id == 2 ? solid(Qt::green) : QPixmap(); });
    const QImage image = m_tree->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    const auto pixel = [&](const QPoint& p) { return image.pixelColor((QPointF(p) * dpr).toPoint()); };

    // The 64 x 64 icon is drawn into the 32 x 32 box: inside it red, just right of the box not.
    const QRect large = m_tree->itemRect(1);
    QCOMPARE(pixel(QPoint(8 + 16, large.center().y())), QColor(Qt::red));
    QCOMPARE(pixel(QPoint(8 + 2, large.center().y())), QColor(Qt::red));
    QVERIFY(pixel(QPoint(8 + 34, large.top() + 2)) != QColor(Qt::red));
    QCOMPARE(pixel(QPoint(8 + 16, m_tree->itemRect(2).center().y())), QColor(Qt::green));
    // The neutral icon is drawn where no icon is known.
    const QColor neutral = pixel(QPoint(8 + 16, m_tree->itemRect(3).center().y() + 6));
    QVERIFY(neutral.alpha() > 0);
}

void TestQQTree::wheelScrolls()
{
    m_tree->addTeam(1, QStringLiteral("Many"), 0, true);
    for (int id = 1; id <= 1000; ++id) {
        m_tree->addItem(id, 1, QStringLiteral("Item %1").arg(id), QPixmap());
    }
    QCoreApplication::processEvents();
    QScrollBar* bar = m_tree->getScroll()->verticalScrollBar();
    QCOMPARE(bar->maximum(), 28 + 1000 * 40 - m_tree->height());
    QCOMPARE(bar->value(), 0);

    const QPoint at = m_tree->itemRect(3).center();
    QWheelEvent wheel(QPointF(at),
                      QPointF(m_tree->mapToGlobal(at)),
                      QPoint(),
                      QPoint(0, -120),
                      Qt::NoButton,
                      Qt::NoModifier,
                      Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(m_tree, &wheel);
    QVERIFY(bar->value() > 0);
    QCOMPARE(m_tree->teamRect(1).top(), -bar->value());

    bar->setValue(bar->maximum());
    QCOMPARE(m_tree->itemRect(1000).bottom(), m_tree->height() - 1);
    QSignalSpy rclicked(m_tree, &QQTree::RClicked);
    QTest::mouseClick(m_tree, Qt::RightButton, Qt::NoModifier, m_tree->itemRect(999).center());
    QCOMPARE(rclicked.size(), 1);
    QCOMPARE(rclicked.at(0).at(1).toInt(), 999);

    // Shrinking the content brings the offset back into range.
    m_tree->clearTeam(1);
    QCoreApplication::processEvents();
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(bar->value(), 0);
}

// The bar is styled when the tree first needs it, and paints the skin's arrow pictures at its ends itself.
void TestQQTree::scrollBarShowsItsArrows()
{
    QScrollBar* bar = m_tree->getScroll()->verticalScrollBar();
    QVERIFY(!bar->isVisible());
    m_tree->addTeam(1, QStringLiteral("Many"), 0, true);
    for (int id = 1; id <= 100; ++id) {
        m_tree->addItem(id, 1, QStringLiteral("Item %1").arg(id), QPixmap());
    }
    QCoreApplication::processEvents();
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(bar->width(), 8);

    const QImage image = bar->grab().toImage();
    const int h = image.height();
    // The track just above the lower arrow is bare (the handle is at the top): the arrows differ from it.
    const int track = qGray(image.pixel(image.width() / 2, h - 12));
    const auto drawnIn = [&](int top) {
        for (int y = top; y < top + 9; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (std::abs(qGray(image.pixel(x, y)) - track) > 40) {
                    return true;
                }
            }
        }
        return false;
    };
    QVERIFY(drawnIn(0));
    QVERIFY(drawnIn(h - 9));
}

void TestQQTree::pageFollowsItsScrollArea()
{
    QScrollArea* area = m_tree->getScroll();
    QVERIFY(area);
    QCOMPARE(area->parentWidget(), m_host.get());
    QCOMPARE(area->geometry(), QRect(0, 20, 270, 400));
    QCOMPARE(m_tree->size(), area->viewport()->size());

    m_tree->setGeometry(QRect(0, 10, 200, 300));
    QCOMPARE(area->geometry(), QRect(0, 10, 200, 300));
    QTRY_COMPARE(m_tree->size(), area->viewport()->size());

    // Resizing the page itself (as code holding a plain QWidget pointer might) does no harm.
    static_cast<QWidget*>(m_tree)->setGeometry(QRect(5, 5, 50, 50));
    QTRY_COMPARE(m_tree->geometry(), area->viewport()->rect());

    m_tree->hide();
    QVERIFY(!area->isVisible());
    QVERIFY(!m_tree->isVisible());
    m_tree->show();
    QVERIFY(area->isVisible());
    QVERIFY(m_tree->isVisible());

    // Hidden through a plain QWidget pointer, the page comes back with show().
    static_cast<QWidget*>(m_tree)->hide();
    QVERIFY(!m_tree->isVisible());
    m_tree->show();
    QVERIFY(m_tree->isVisible());
    m_tree->setGeometry(0, 30, 250, 200);
    QCOMPARE(area->geometry(), QRect(0, 30, 250, 200));
}

void TestQQTree::deletingTheTreeRemovesItsScrollArea()
{
    QPointer<QScrollArea> area = m_tree->getScroll();
    delete m_tree;
    m_tree = nullptr;
    QVERIFY(area.isNull());

    // And deleting the window deletes area and tree together.
    auto* tree = new QQTree(m_host.get());
    QPointer<QQTree> guard = tree;
    tree->addTeam(1, QStringLiteral("A"), 0, true);
    m_host.reset();
    QVERIFY(guard.isNull());
}

void TestQQTree::listedRowsActAsAddedItems_data()
{
    QTest::addColumn<QString>("change");
    for (const char* change : { "none",
                                "walk",
                                "select",
                                "delete",
                                "rename",
                                "add",
                                "add on top",
                                "move up",
                                "move down",
                                "take elsewhere",
                                "clear",
                                "delete group",
                                "keyboard end" }) {
        QTest::newRow(change) << QString::fromLatin1(change);
    }
}

void TestQQTree::listedRowsActAsAddedItems()
{
    QFETCH(QString, change);
    // The same groups twice: in m_tree group 5 lists its rows, in `added` they were added one by one.
    QWidget otherHost;
    otherHost.resize(m_host->size());
    auto* added = new QQTree(&otherHost);
    added->setGeometry(m_tree->getScroll()->geometry());
    otherHost.show();
    QVERIFY(QTest::qWaitForWindowExposed(&otherHost));
    auto rows = std::make_shared<VectorRows>();
    for (int id = 51; id <= 58; ++id) {
        rows->rows.emplace_back(id, QStringLiteral("Row %1").arg(id));
    }
    for (QQTree* tree : { m_tree, added }) {
        tree->addTeam(1, QStringLiteral("Apps"), 0, true);
        tree->addItem(11, 1, QStringLiteral("Editor"), QPixmap());
        tree->addTeam(5, QStringLiteral("Results"), 0, true);
        tree->addTeam(3, QStringLiteral("Games"), 0, true);
        tree->addItem(31, 3, QStringLiteral("Chess"), QPixmap());
    }
    m_tree->setTeamRows(5, rows);
    for (const auto& [id, name] : rows->rows) {
        added->addItem(id, 5, name, QPixmap());
    }
    QCOMPARE(describe(m_tree), describe(added));

    for (QQTree* tree : { m_tree, added }) {
        int result = 0;
        if (change == QLatin1String("walk")) {
            for (int i = 0; i < 4; ++i) {
                tree->selectNext();
            }
            tree->selectUp();
        } else if (change == QLatin1String("select")) {
            tree->selectItem(5, 57);
        } else if (change == QLatin1String("delete")) {
            tree->selectItem(5, 53);
            tree->delItem(53);
            tree->delItem(12345);
        } else if (change == QLatin1String("rename")) {
            tree->updateItem(54, QStringLiteral("Renamed"));
        } else if (change == QLatin1String("add")) {
            tree->addItem(60, 5, QStringLiteral("New"), QPixmap());
        } else if (change == QLatin1String("add on top")) {
            tree->selectItem(5, 52);
            tree->addItem(56, 5, QStringLiteral("Opened again"), QPixmap(), true);
        } else if (change == QLatin1String("move up")) {
            result = tree->moveItemUp(5, 53);
        } else if (change == QLatin1String("move down")) {
            result = tree->moveItemDown(5, 58);
        } else if (change == QLatin1String("take elsewhere")) {
            tree->addItem(55, 3, QStringLiteral("Moved"), QPixmap());
        } else if (change == QLatin1String("clear")) {
            tree->selectItem(5, 51);
            tree->clearTeam(5);
        } else if (change == QLatin1String("delete group")) {
            tree->delTeam(5);
        } else if (change == QLatin1String("keyboard end")) {
            tree->setFocus();
            QTest::keyClick(tree, Qt::Key_Home);
            QTest::keyClick(tree, Qt::Key_Down);
            QTest::keyClick(tree, Qt::Key_Down);
        }
        tree->setProperty("result", result);
    }
    QCOMPARE(m_tree->property("result").toInt(), added->property("result").toInt());
    QCOMPARE(describe(m_tree), describe(added));
}

void TestQQTree::longListCostsItsShownRows()
{
    m_tree->addTeam(1, QStringLiteral("Results"), 0, true);
    m_tree->setTeamHeight(1, 0);
    auto rows = std::make_shared<VectorRows>();
    for (int id = 1; id <= 100000; ++id) {
        rows->rows.emplace_back(id, QStringLiteral("Result %1").arg(id));
    }
    QHash<int, int> asked;
    m_tree->setIconSource([&asked](int id) {
        ++asked[id];
        return id % 2 ? solid(Qt::red) : QPixmap();
    });
    m_tree->setTeamRows(1, rows);
    QCOMPARE(m_tree->itemCount(1), 100000);
    QVERIFY(asked.isEmpty());

    // Only the rows painted are asked for, each once; a listed row without an icon shows the neutral one.
    const int rowsShown = (m_tree->height() + 39) / 40;
    QImage image = m_tree->grab().toImage();
    QCOMPARE(asked.size(), rowsShown);
    QCOMPARE(image.pixelColor(QPoint(8 + 16, m_tree->itemRect(1).center().y())), QColor(Qt::red));
    QVERIFY(image.pixelColor(QPoint(8 + 16, m_tree->itemRect(2).center().y() + 6)).alpha() > 0);
    m_tree->selectItem(1, 99990);
    QVERIFY(m_tree->rect().contains(m_tree->itemRect(99990)));
    m_tree->grab();
    QVERIFY(asked.contains(99990));
    QVERIFY(asked.size() <= 2 * rowsShown);
    m_tree->selectItem(1, 1);
    m_tree->grab();
    for (int count : std::as_const(asked)) {
        QCOMPARE(count, 1);
    }

    // Rows appended to the list show at its end; the selection stays.
    rows->rows.emplace_back(100001, QStringLiteral("Late"));
    QCOMPARE(m_tree->itemCount(1), 100000);
    m_tree->teamRowsAppended(1);
    QCOMPARE(m_tree->itemCount(1), 100001);
    QCOMPARE(m_tree->itemName(100001), QStringLiteral("Late"));
    QTest::keyClick(m_tree, Qt::Key_End);
    int team = 0, item = 0;
    m_tree->getSelectItem(team, item);
    QCOMPARE(item, 100001);
    QVERIFY(m_tree->rect().contains(m_tree->itemRect(100001)));
}

void TestQQTree::emptyTextOnlyWithoutRows()
{
    m_tree->addTeam(1, QStringLiteral("Results"), 0, true);
    m_tree->setTeamHeight(1, 0);
    const QImage plain = m_tree->grab().toImage();
    m_tree->setEmptyText(QStringLiteral("Nothing found"));
    QVERIFY(m_tree->grab().toImage() != plain);

    // Once a row shows, the line goes.
    m_tree->addItem(1, 1, QStringLiteral("Found"), solid(Qt::red));
    const QImage withRow = m_tree->grab().toImage();
    m_tree->setEmptyText(QString());
    QCOMPARE(m_tree->grab().toImage(), withRow);
}

QTEST_MAIN(TestQQTree)
#include "tst_qqtree.moc"
