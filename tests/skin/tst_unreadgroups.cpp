// Groups whose items stay in a team source until the tree needs them: nothing is read while they are closed, and
// whatever is done to them afterwards leaves the tree as it would be had every item been added at the start.
#include "qqtree.h"

#include <QMap>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

namespace
{
/// A catalogue in memory, counting what the tree reads from it.
class FakeSource : public QQTree::TeamSource
{
public:
    bool readItemIds(int teamId, std::vector<int>& ids) override
    {
        ++idReads[teamId];
        const QList<int> items = groups.value(teamId);
        const int readable = failAfter >= 0 ? std::min<int>(failAfter, int(items.size())) : int(items.size());
        ids.insert(ids.end(), items.begin(), items.begin() + readable);
        return readable == items.size();
    }

    QString readItemName(int itemId) override
    {
        ++nameReads;
        return names.value(itemId);
    }

    int readItemTeam(int itemId) override
    {
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            if (it->contains(itemId)) {
                return it.key();
            }
        }
        return 0;
    }

    int readItemCount(int teamId) override { return int(groups.value(teamId).size()); }

    void add(int team, int id, const QString& name)
    {
        groups[team].append(id);
        names[id] = name;
    }

    void remove(int id)
    {
        for (QList<int>& items : groups) {
            items.removeOne(id);
        }
        names.remove(id);
    }

    QMap<int, QList<int>> groups;
    QMap<int, QString> names;
    QMap<int, int> idReads;
    int nameReads = 0;
    /// Reading a group's ids fails after this many (never when negative).
    int failAfter = -1;
};

/// Everything a person or the window can learn of a tree, reading whatever it has not read yet.
QStringList describe(QQTree* tree)
{
    QStringList lines;
    for (const int team : tree->teamIds()) {
        lines << QStringLiteral("group %1 %2 (%3)%4")
                     .arg(team)
                     .arg(tree->teamName(team))
                     .arg(tree->itemCount(team))
                     .arg(tree->isTeamOpen(team) ? QStringLiteral(" open") : QString());
        for (const int item : tree->itemIds(team)) {
            lines
                << QStringLiteral("  %1 %2 at %3").arg(item).arg(tree->itemName(item)).arg(tree->itemRect(item).top());
        }
    }
    int team = 0;
    int item = 0;
    tree->getSelectItem(team, item);
    lines << QStringLiteral("selected %1/%2").arg(team).arg(item);
    return lines;
}

/// What can be learnt without reading: groups, their counts and open states, the selection.
QStringList outline(QQTree* tree)
{
    QStringList lines;
    for (const int team : tree->teamIds()) {
        lines << QStringLiteral("%1 (%2)%3")
                     .arg(team)
                     .arg(tree->itemCount(team))
                     .arg(tree->isTeamOpen(team) ? QStringLiteral(" open") : QString());
    }
    int team = 0;
    int item = 0;
    tree->getSelectItem(team, item);
    lines << QStringLiteral("selected %1/%2").arg(team).arg(item);
    return lines;
}
} // namespace

class TestUnreadGroups : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void closedGroupsReadNothing();
    void openingReadsOneGroupAndPaintedNames();
    void askingByIdReadsTheOwner_data();
    void askingByIdReadsTheOwner();
    void removedFromTheSourceFirst();
    void idShownElsewhereIsLeftOut();
    void failedReadShowsWhatCame();
    void anyEditsMatchGroupsFilledAtOnce();

private:
    /// Three groups of 0, 3 and 30 items in the source and in the tree, unread.
    void fillUnread();

    std::unique_ptr<QWidget> m_host;
    QQTree* m_tree = nullptr;
    std::shared_ptr<FakeSource> m_source;
};

void TestUnreadGroups::init()
{
    m_host = std::make_unique<QWidget>();
    m_host->resize(270, 480);
    m_tree = new QQTree(m_host.get());
    m_tree->setGeometry(QRect(0, 20, 270, 400));
    m_source = std::make_shared<FakeSource>();
    m_tree->setTeamSource(m_source);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TestUnreadGroups::cleanup()
{
    m_host.reset();
    m_tree = nullptr;
    m_source.reset();
}

void TestUnreadGroups::fillUnread()
{
    for (int i = 0; i < 3; ++i) {
        m_source->add(2, 200 + i, QStringLiteral("doc %1").arg(i));
    }
    for (int i = 0; i < 30; ++i) {
        m_source->add(3, 300 + i, QStringLiteral("game %1").arg(i));
    }
    m_tree->addTeamUnread(1, QStringLiteral("Empty"), 0);
    m_tree->addTeamUnread(2, QStringLiteral("Docs"), 3);
    m_tree->addTeamUnread(3, QStringLiteral("Games"), 30);
}

void TestUnreadGroups::closedGroupsReadNothing()
{
    fillUnread();
    m_tree->repaint();
    QCOMPARE(m_tree->teamIds(), (QList<int> { 1, 2, 3 }));
    QCOMPARE(m_tree->itemCount(2), 3);
    QCOMPARE(m_tree->itemCount(3), 30);
    QVERIFY(!m_tree->isTeamOpen(3));
    // Walking and hitting over closed groups, moving groups, renaming one: still nothing read.
    m_tree->selectNext();
    QTest::mouseClick(m_tree, Qt::RightButton, Qt::NoModifier, m_tree->teamRect(3).center());
    QCOMPARE(m_tree->moveTeamUp(3), 2);
    m_tree->updateTeam(3, QStringLiteral("Play"));
    m_tree->repaint();
    QVERIFY(m_source->idReads.isEmpty());
    QCOMPARE(m_source->nameReads, 0);
}

void TestUnreadGroups::openingReadsOneGroupAndPaintedNames()
{
    fillUnread();
    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(3).center());
    QVERIFY(m_tree->isTeamOpen(3));
    m_tree->repaint();
    QCOMPARE(m_source->idReads, (QMap<int, int> { { 3, 1 } }));
    // The rows on screen, and no more, had their names read.
    const int shown = m_tree->height() / m_tree->itemRect(300).height() + 1;
    QVERIFY2(m_source->nameReads > 0 && m_source->nameReads <= shown, qPrintable(QString::number(m_source->nameReads)));
    QCOMPARE(m_tree->itemIds(3).mid(0, 3), (QList<int> { 300, 301, 302 }));
    QCOMPARE(m_tree->itemName(329), QStringLiteral("game 29"));
    QCOMPARE(m_tree->itemCount(3), 30);

    // Closing and opening again reads nothing more.
    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(3).center());
    QTest::mouseClick(m_tree, Qt::LeftButton, Qt::NoModifier, m_tree->teamRect(3).center());
    QCOMPARE(m_source->idReads, (QMap<int, int> { { 3, 1 } }));
}

void TestUnreadGroups::askingByIdReadsTheOwner_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QStringList>("after");
    const QStringList docsLeft = { QStringLiteral("200 doc 0"), QStringLiteral("202 doc 2") };
    const QStringList docs = { QStringLiteral("200 doc 0"), QStringLiteral("201 doc 1"), QStringLiteral("202 doc 2") };
    QTest::newRow("hasItem") << QStringLiteral("hasItem") << docs;
    QTest::newRow("itemName") << QStringLiteral("itemName") << docs;
    QTest::newRow("delItem") << QStringLiteral("delItem") << docsLeft;
    QTest::newRow("updateItem after the source")
        << QStringLiteral("updateItem")
        << QStringList { QStringLiteral("200 doc 0"), QStringLiteral("201 renamed"), QStringLiteral("202 doc 2") };
    QTest::newRow("selectItem") << QStringLiteral("selectItem") << docs;
    QTest::newRow("moveItemUp") << QStringLiteral("moveItemUp")
                                << QStringList { QStringLiteral("201 doc 1"),
                                                 QStringLiteral("200 doc 0"),
                                                 QStringLiteral("202 doc 2") };
    QTest::newRow("addItem elsewhere makes way")
        << QStringLiteral("addItem") << QStringList { QStringLiteral("200 doc 0"), QStringLiteral("202 doc 2") };
}

void TestUnreadGroups::askingByIdReadsTheOwner()
{
    QFETCH(QString, call);
    QFETCH(QStringList, after);
    fillUnread();
    if (call == QLatin1String("hasItem")) {
        QVERIFY(m_tree->hasItem(201));
        QVERIFY(!m_tree->hasItem(999));
    } else if (call == QLatin1String("itemName")) {
        QCOMPARE(m_tree->itemName(201), QStringLiteral("doc 1"));
    } else if (call == QLatin1String("delItem")) {
        m_tree->delItem(201);
        m_source->remove(201);
    } else if (call == QLatin1String("updateItem")) {
        // The group was never read: the source's name is the one shown when it is.
        m_source->names[201] = QStringLiteral("renamed");
        m_tree->updateItem(201, QStringLiteral("renamed"));
    } else if (call == QLatin1String("selectItem")) {
        m_tree->selectItem(2, 201);
        int team = 0;
        int item = 0;
        m_tree->getSelectItem(team, item);
        QCOMPARE(item, 201);
        QVERIFY(m_tree->isTeamOpen(2));
    } else if (call == QLatin1String("moveItemUp")) {
        QCOMPARE(m_tree->moveItemUp(2, 201), 200);
    } else if (call == QLatin1String("addItem")) {
        m_tree->addItem(201, 3, QStringLiteral("moved"), QPixmap());
        QCOMPARE(m_tree->itemIds(3).last(), 201);
    }
    QStringList shown;
    for (const int id : m_tree->itemIds(2)) {
        shown << QStringLiteral("%1 %2").arg(id).arg(m_tree->itemName(id));
    }
    QCOMPARE(shown, after);
    QCOMPARE(m_tree->itemCount(2), after.size());
    // Only the group holding the item was read for it (and the group added to).
    const QList<int> read = call == QLatin1String("addItem") ? QList<int> { 2, 3 } : QList<int> { 2 };
    QCOMPARE(m_source->idReads.keys(), read);
}

void TestUnreadGroups::removedFromTheSourceFirst()
{
    // A command that removes an item from the catalogue before the tree: the group it was in shows its new count.
    fillUnread();
    m_source->remove(305);
    m_tree->delItem(305);
    QCOMPARE(m_tree->itemCount(3), 29);
    QCOMPARE(m_tree->itemCount(2), 3);
    QVERIFY(!m_source->idReads.contains(3));
    m_tree->setTeamOpen(3, true);
    QCOMPARE(m_tree->itemIds(3).size(), 29);
    QVERIFY(!m_tree->hasItem(305));
}

void TestUnreadGroups::idShownElsewhereIsLeftOut()
{
    fillUnread();
    m_tree->addTeam(9, QStringLiteral("Mine"), 0, true);
    m_tree->addItem(201, 9, QStringLiteral("kept here"), QPixmap());
    m_tree->setTeamOpen(2, true);
    QCOMPARE(m_tree->itemIds(2), (QList<int> { 200, 202 }));
    QCOMPARE(m_tree->itemCount(2), 2);
    QCOMPARE(m_tree->itemIds(9), QList<int> { 201 });
    QCOMPARE(m_tree->itemName(201), QStringLiteral("kept here"));
}

void TestUnreadGroups::failedReadShowsWhatCame()
{
    fillUnread();
    m_source->failAfter = 10;
    QSignalSpy failed(m_tree, &QQTree::teamReadFailed);
    m_tree->setTeamOpen(3, true);
    QCOMPARE(m_tree->itemCount(3), 10);
    QCOMPARE(m_tree->itemIds(3), m_source->groups.value(3).mid(0, 10));
    // The failure is told, once the call has returned.
    QCOMPARE(failed.size(), 0);
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), 3);
}

void TestUnreadGroups::anyEditsMatchGroupsFilledAtOnce()
{
    // The same edits on a tree filled item by item and on one that reads its groups as it needs them, the
    // catalogue changed first as the window's commands do: the two look alike after every edit, and in every
    // row once all is read.
    for (quint32 seed = 1; seed <= 20; ++seed) {
        cleanup();
        init();
        QQTree* eager = new QQTree(m_host.get());
        eager->setGeometry(QRect(0, 20, 270, 400));
        eager->show();
        QRandomGenerator random(seed);
        int nextId = 1;
        for (int team = 1; team <= 6; ++team) {
            const int count = random.bounded(0, 12);
            eager->addTeam(team, QString::number(team), 0, false);
            for (int i = 0; i < count; ++i) {
                const int id = nextId++;
                m_source->add(team, id, QStringLiteral("item %1").arg(id));
                eager->addItem(id, team, QStringLiteral("item %1").arg(id), QPixmap());
            }
            m_tree->addTeamUnread(team, QString::number(team), count);
        }
        QQTree* trees[] = { eager, m_tree };
        for (int step = 0; step < 60; ++step) {
            const int team = random.bounded(1, 8);
            const QList<int> held = m_source->groups.value(team);
            const int id = held.isEmpty() || random.bounded(5) == 0 ? random.bounded(1, nextId + 2)
                                                                    : held.at(random.bounded(int(held.size())));
            const int op = random.bounded(0, 100);
            const QString what
                = QStringLiteral("seed %1 step %2 op %3 team %4 id %5").arg(seed).arg(step).arg(op).arg(team).arg(id);
            if (op < 15) {
                const bool open = random.bounded(2);
                for (QQTree* t : trees) {
                    t->setTeamOpen(team, open);
                }
            } else if (op < 35) {
                const int added = nextId++;
                const bool top = random.bounded(4) == 0;
                m_source->add(team, added, QStringLiteral("new %1").arg(added));
                for (QQTree* t : trees) {
                    t->addItem(added, team, QStringLiteral("new %1").arg(added), QPixmap(), top);
                }
            } else if (op < 50) {
                m_source->remove(id);
                for (QQTree* t : trees) {
                    t->delItem(id);
                }
            } else if (op < 65) {
                const bool up = random.bounded(2);
                const int a = up ? eager->moveItemUp(team, id) : eager->moveItemDown(team, id);
                const int b = up ? m_tree->moveItemUp(team, id) : m_tree->moveItemDown(team, id);
                QVERIFY2(a == b, qPrintable(what));
            } else if (op < 72) {
                m_source->names[id] = QStringLiteral("renamed %1").arg(id);
                for (QQTree* t : trees) {
                    t->updateItem(id, QStringLiteral("renamed %1").arg(id));
                }
            } else if (op < 80) {
                for (QQTree* t : trees) {
                    t->selectItem(team, id);
                }
            } else if (op < 86) {
                QVERIFY2(eager->hasItem(id) == m_tree->hasItem(id), qPrintable(what));
                QVERIFY2(eager->itemName(id) == m_tree->itemName(id), qPrintable(what));
            } else if (op < 90) {
                const bool up = random.bounded(2);
                const int a = up ? eager->moveTeamUp(team) : eager->moveTeamDown(team);
                const int b = up ? m_tree->moveTeamUp(team) : m_tree->moveTeamDown(team);
                QVERIFY2(a == b, qPrintable(what));
            } else if (op < 94) {
                const int header = random.bounded(2) ? 0 : 28;
                for (QQTree* t : trees) {
                    t->setTeamHeight(team, header);
                }
            } else if (op < 97) {
                for (QQTree* t : trees) {
                    t->clearTeam(team);
                }
                m_source->groups.remove(team);
            } else {
                for (QQTree* t : trees) {
                    t->delTeam(team);
                }
                m_source->groups.remove(team);
            }
            QVERIFY2(outline(eager) == outline(m_tree), qPrintable(what));
        }
        const QStringList expected = describe(eager);
        QCOMPARE(describe(m_tree), expected);
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

QTEST_MAIN(TestUnreadGroups)
#include "tst_unreadgroups.moc"
