// The reads behind groups filled as they open: every group's count from the count table its triggers keep (or
// from the entries where the table is not kept), a group's ids in display order, one entry's name and group.
#include "icondatabase.h"
#include "storetestutil.h"

#include <QMap>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using StoreTest::scalar;
using StoreTest::withConnection;

namespace
{
using Counts = QMap<QPair<int, int>, int>;

/// The counts as a plain count of the entries gives them, on a connection of its own.
Counts countedFromEntries(const QString& path)
{
    Counts counts;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("select team_id, ttype, count(*) from icon_item where team_id is not null"
                              " and ttype is not null group by team_id, ttype"));
        while (q.next()) {
            counts[{ q.value(0).toInt(), q.value(1).toInt() }] = q.value(2).toInt();
        }
    });
    return counts;
}

Counts readCounts(IconDatabase& db)
{
    Counts counts;
    const bool ok = db.readTeamItemCounts([&](int team, int ttype, int count) { counts[{ team, ttype }] += count; });
    return ok ? counts : Counts { { { -1, -1 }, -1 } };
}

/// The ids of a group in display order as a plain select gives them.
QList<int> orderedIds(const QString& path, int team, int ttype)
{
    QList<int> ids;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select id from icon_item where team_id=? and ttype=? order by order_num, id"));
        q.addBindValue(team);
        q.addBindValue(ttype);
        q.exec();
        while (q.next()) {
            ids.append(q.value(0).toInt());
        }
    });
    return ids;
}

bool runElsewhere(const QString& path, const QStringList& statements)
{
    bool ok = true;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        for (const QString& sql : statements) {
            ok = ok && q.exec(sql);
        }
    });
    return ok;
}
} // namespace

class TestGroupReads : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void countsFollowEveryChange();
    void idsInDisplayOrder();
    void nameAndGroupOfAnEntry();
    void olderCatalogueIsCountedUntilItsFirstChange();
    void countTriggersDroppedElsewhere();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("data.db")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestGroupReads::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestGroupReads::cleanup()
{
    m_dir.reset();
}

// Additions, deletions, whole groups emptied, batches, and other programs' changes (moving an entry
// to another group or kind, a group or kind of NULL): the counts read are always those of the entries.
void TestGroupReads::countsFollowEveryChange()
{
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    QVERIFY(db.isWritable());
    QList<int> teams;
    for (int i = 0; i < 4; ++i) {
        teams.append(db.addTeam(QStringLiteral("group %1").arg(i), i < 2 ? en_team_icon : en_team_site));
    }
    QRandomGenerator random(77);
    QList<int> items;
    for (int step = 0; step < 400; ++step) {
        const int team = teams.at(random.bounded(int(teams.size())));
        const int ttype = random.bounded(1, 3);
        const int op = random.bounded(100);
        const QString what = QStringLiteral("step %1 op %2").arg(step).arg(op);
        if (op < 40) {
            const int id = db.addItem(QStringLiteral("e%1").arg(step), QStringLiteral("/e"), team, ttype);
            QVERIFY2(id > 0, qPrintable(what));
            items.append(id);
        } else if (op < 55 && !items.isEmpty()) {
            QVERIFY2(db.deleteItem(items.takeAt(random.bounded(int(items.size())))), qPrintable(what));
        } else if (op < 58) {
            QVERIFY2(db.deleteTeamItems(team), qPrintable(what));
        } else if (op < 68) {
            // A drop of several files: one batch.
            QVERIFY2(db.beginBatch(), qPrintable(what));
            for (int i = 0; i < 5; ++i) {
                items.append(db.addItem(QStringLiteral("b%1").arg(i), QStringLiteral("/b"), team, ttype));
                QVERIFY2(items.last() > 0, qPrintable(what));
            }
            QVERIFY2(db.commitBatch(), qPrintable(what));
        } else if (op < 80 && !items.isEmpty()) {
            const int id = items.at(random.bounded(int(items.size())));
            const QString change = random.bounded(2) ? QStringLiteral("team_id=%1").arg(teams.at(random.bounded(4)))
                                                     : QStringLiteral("ttype=%1").arg(random.bounded(1, 4));
            QVERIFY2(
                runElsewhere(path(), { QStringLiteral("update icon_item set %1 where id=%2").arg(change).arg(id) }),
                qPrintable(what));
        } else if (op < 84) {
            QVERIFY2(
                runElsewhere(path(),
                             { QStringLiteral("insert into icon_item(icon_name, team_id, ttype) values('n', null, 1)"),
                               QStringLiteral("insert into icon_item(icon_name, team_id, ttype) values('n', %1, null)")
                                   .arg(team),
                               QStringLiteral("update icon_item set team_id=null where id=(select max(id) from"
                                              " icon_item where team_id is not null)") }),
                qPrintable(what));
        } else if (op < 88) {
            QVERIFY2(runElsewhere(path(),
                                  { QStringLiteral("delete from icon_item where id in (select id from icon_item"
                                                   " order by random() limit 3)") }),
                     qPrintable(what));
        } else {
            QVERIFY2(db.setItemLastTime(items.value(0, 1), step), qPrintable(what));
        }
        const Counts expected = countedFromEntries(path());
        QCOMPARE(readCounts(db), expected);
        for (const int t : std::as_const(teams)) {
            for (const int kind : { 1, 2, 3 }) {
                QVERIFY2(db.readTeamItemCount(t, kind) == expected.value({ t, kind }), qPrintable(what));
            }
        }
    }
    // No row of a count of nothing is kept.
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from icon_item_count where items<=0")).toInt(), 0);
}

void TestGroupReads::idsInDisplayOrder()
{
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    const int team = db.addTeam(QStringLiteral("files"), en_team_icon);
    const int other = db.addTeam(QStringLiteral("more"), en_team_icon);
    QList<int> ids;
    for (int i = 0; i < 6; ++i) {
        ids.append(db.addItem(QStringLiteral("f%1").arg(i), QStringLiteral("/f"), i == 3 ? other : team, en_team_icon));
    }
    // A site filed under this group by another program is not one of its files.
    QVERIFY(db.addItem(QStringLiteral("site"), QStringLiteral("https://example.org"), team, en_team_site) > 0);
    QVERIFY(db.swapItemOrder(ids[0], ids[4]));
    // Two entries with one order number (a swap half made by another program) come in id order.
    QVERIFY(runElsewhere(path(), { QStringLiteral("update icon_item set order_num=2 where id=%1").arg(ids[5]) }));
    std::vector<int> read;
    QVERIFY(db.readTeamItemIds(team, en_team_icon, read));
    QCOMPARE(QList<int>(read.begin(), read.end()), orderedIds(path(), team, en_team_icon));
    QCOMPARE(QList<int>(read.begin(), read.end()), (QList<int> { ids[4], ids[1], ids[5], ids[2], ids[0] }));
    // Appended to what the list holds.
    QVERIFY(db.readTeamItemIds(other, en_team_icon, read));
    QCOMPARE(read.back(), ids[3]);
    QCOMPARE(int(read.size()), 6);
    read.clear();
    QVERIFY(db.readTeamItemIds(12345, en_team_icon, read));
    QVERIFY(read.empty());
}

void TestGroupReads::nameAndGroupOfAnEntry()
{
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    const int team = db.addTeam(QStringLiteral("files"), en_team_icon);
    const int id = db.addItem(QStringLiteral("它's 100%1"), QStringLiteral("/f"), team, en_team_icon);
    QString name = QStringLiteral("untouched");
    QVERIFY(db.readItemName(id, name));
    QCOMPARE(name, QStringLiteral("它's 100%1"));
    name = QStringLiteral("untouched");
    QVERIFY(!db.readItemName(id + 1, name));
    QCOMPARE(name, QStringLiteral("untouched"));
    QCOMPARE(db.readItemTeam(id, en_team_icon), team);
    QCOMPARE(db.readItemTeam(id, en_team_site), 0);
    QCOMPARE(db.readItemTeam(id + 1, en_team_icon), 0);

    IconDatabase closed;
    QCOMPARE(closed.readItemTeam(id, en_team_icon), 0);
    QCOMPARE(closed.readTeamItemCount(team, en_team_icon), 0);
    QVERIFY(!closed.readTeamItemCounts([](int, int, int) {}));
}

// A catalogue made before the count table existed is counted from its entries, and opening and counting change
// nothing; its first change makes the table, filled from the entries already there.
void TestGroupReads::olderCatalogueIsCountedUntilItsFirstChange()
{
    QVERIFY(StoreTest::makeOlderCatalogue(path(),
                                          { QStringLiteral("insert into team values(1,'old',1,1)"),
                                            QStringLiteral("insert into team values(2,'sites',2,2)"),
                                            QStringLiteral("insert into icon_item values(1,'a','/a',1,0,2,1)"),
                                            QStringLiteral("insert into icon_item values(2,'b','/b',1,0,3,1)"),
                                            QStringLiteral("insert into icon_item values(3,'s','http://s',2,0,4,2)"),
                                            QStringLiteral("insert into icon_item values(4,'x','/x',1,0,5,2)") }));
    const StoreTest::FileState before = StoreTest::FileState::of(path());
    const Counts expected { { { 1, 1 }, 2 }, { { 2, 2 }, 1 }, { { 1, 2 }, 1 } };
    {
        IconDatabase db;
        db.openDatabaseAt(path(), QString());
        QCOMPARE(readCounts(db), expected);
        QCOMPARE(db.readTeamItemCount(1, en_team_icon), 2);
        std::vector<int> ids;
        QVERIFY(db.readTeamItemIds(1, en_team_icon, ids));
        QCOMPARE(QList<int>(ids.begin(), ids.end()), (QList<int> { 1, 2 }));
    }
    QVERIFY(StoreTest::FileState::of(path()) == before);

    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    QVERIFY(db.addItem(QStringLiteral("c"), QStringLiteral("/c"), 1, en_team_icon) > 0);
    QCOMPARE(scalar(path(), QStringLiteral("select items from icon_item_count where team_id=1 and ttype=1")).toInt(),
             3);
    Counts after = expected;
    after[{ 1, 1 }] = 3;
    QCOMPARE(readCounts(db), after);
}

// Another program that drops a count trigger and then changes entries: the counts are read from the entries until
// the next change here makes the table anew.
void TestGroupReads::countTriggersDroppedElsewhere()
{
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    const int team = db.addTeam(QStringLiteral("files"), en_team_icon);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(db.addItem(QStringLiteral("f%1").arg(i), QStringLiteral("/f"), team, en_team_icon) > 0);
    }
    QVERIFY(runElsewhere(path(),
                         { QStringLiteral("drop trigger icon_item_count_ad"),
                           QStringLiteral("delete from icon_item where icon_name='f0'"),
                           QStringLiteral("delete from icon_item where icon_name='f1'") }));
    QCOMPARE(db.readTeamItemCount(team, en_team_icon), 2);
    QCOMPARE(readCounts(db), (Counts { { { team, en_team_icon }, 2 } }));
    QVERIFY(db.addItem(QStringLiteral("f4"), QStringLiteral("/f"), team, en_team_icon) > 0);
    QCOMPARE(scalar(path(),
                    QStringLiteral("select count(*) from sqlite_master where type='trigger'"
                                   " and name like 'icon_item_count%'"))
                 .toInt(),
             3);
    QCOMPARE(scalar(path(), QStringLiteral("select items from icon_item_count where team_id=%1").arg(team)).toInt(), 3);
    QCOMPARE(readCounts(db), (Counts { { { team, en_team_icon }, 3 } }));
}

QTEST_MAIN(TestGroupReads)
#include "tst_groupreads.moc"
