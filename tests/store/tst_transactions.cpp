// Every change is stored whole or not at all, the caller is told which, and afterwards the connection is back in
// autocommit mode: another program reading the file (so that a commit cannot happen) or a full disk (so that SQLite
// rolls the transaction back on its own) must never leave later changes in a transaction that is never committed.
#include "icondatabase.h"
#include "storetestutil.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using StoreTest::scalar;
using StoreTest::withConnection;

namespace
{
/// Every row of both tables as text, read by an independent connection: what another program (or the next run)
/// sees of the catalogue.
QStringList contents(const QString& path)
{
    QStringList rows;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("select id, name, ttype, order_num from team order by id"));
        while (q.next()) {
            rows.append(QStringLiteral("team %1 %2 %3 %4")
                            .arg(q.value(0).toInt())
                            .arg(q.value(1).toString())
                            .arg(q.value(2).toInt())
                            .arg(q.value(3).toInt()));
        }
        q.exec(QStringLiteral("select * from icon_item order by id"));
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < 7; ++i) {
                values.append(q.value(i).toString());
            }
            rows.append(QStringLiteral("item ") + values.join(QLatin1Char(' ')));
        }
    });
    return rows;
}

int itemsNamed(const QString& path, const QString& name)
{
    return scalar(path, QStringLiteral("select count(*) from icon_item where icon_name='%1'").arg(name)).toInt();
}
} // namespace

class TestTransactions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void changeWhileAnotherProgramReads_data();
    void changeWhileAnotherProgramReads();
    void batchRolledBackBySqlite();
    void batchLeftOpenAtCloseIsWholeOrAbsent();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("data.db")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTransactions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTransactions::cleanup()
{
    m_dir.reset();
}

void TestTransactions::changeWhileAnotherProgramReads_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("change");
    for (const char* change : { "addTeam",
                                "addItem",
                                "renameTeam",
                                "deleteTeam",
                                "updateItem",
                                "deleteItem",
                                "deleteTeamItems",
                                "setItemLastTime",
                                "swapTeamOrder",
                                "swapItemOrder",
                                "batch" }) {
        QTest::addRow("%s", change) << QStringLiteral("current") << QString::fromLatin1(change);
    }
    // The first change of a catalogue without indexes and search index also makes them; the first change after
    // another program's changes also brings the search index up to date.
    QTest::newRow("older catalogue: addItem") << QStringLiteral("older") << QStringLiteral("addItem");
    QTest::newRow("older catalogue: swapItemOrder") << QStringLiteral("older") << QStringLiteral("swapItemOrder");
    QTest::newRow("changed by another program: updateItem")
        << QStringLiteral("changed elsewhere") << QStringLiteral("updateItem");
    QTest::newRow("changed by another program: batch")
        << QStringLiteral("changed elsewhere") << QStringLiteral("batch");
}

// Another program (a backup or sync tool, a database browser) holds a read lock on data.db while Brisko opens it
// and the person changes something. The change cannot be committed: it must be reported as failed and leave
// nothing behind; once the reader is gone, later changes are stored for good.
void TestTransactions::changeWhileAnotherProgramReads()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, change);

    if (catalogue == QLatin1String("older")) {
        QVERIFY(StoreTest::makeOlderCatalogue(
            path(),
            { QStringLiteral("insert into team values(1,'files',1,1),(2,'more',1,2)"),
              QStringLiteral("insert into icon_item values(1,'alpha','/a',1,0,1,1),(2,'beta','/b',1,0,2,1)") }));
    } else {
        IconDatabase db;
        db.openDatabaseAt(path(), QString());
        QCOMPARE(db.addTeam(QStringLiteral("files"), en_team_icon), 1);
        QCOMPARE(db.addTeam(QStringLiteral("more"), en_team_icon), 2);
        QCOMPARE(db.addItem(QStringLiteral("alpha"), QStringLiteral("/a"), 1, en_team_icon), 1);
        QCOMPARE(db.addItem(QStringLiteral("beta"), QStringLiteral("/b"), 1, en_team_icon), 2);
    }
    if (catalogue == QLatin1String("changed elsewhere")) {
        withConnection(path(), [](QSqlDatabase& db) {
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("insert into icon_item values(3,'gamma','/c',2,0,3,1)")));
        });
    }
    const QStringList before = contents(path());
    QVERIFY(!before.isEmpty());

    // The file at rest has a rollback journal, and the reader keeps Brisko from switching it to write-ahead
    // logging: no change can be committed while it reads.
    StoreTest::ReadLock reader(path());
    QVERIFY(reader.held());
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    QVERIFY(db.isUsable());

    bool reported = false;
    if (change == QLatin1String("addTeam")) {
        reported = db.addTeam(QStringLiteral("new"), en_team_icon) != 0;
    } else if (change == QLatin1String("addItem")) {
        reported = db.addItem(QStringLiteral("new"), QStringLiteral("/new"), 1, en_team_icon) != 0;
    } else if (change == QLatin1String("renameTeam")) {
        reported = db.renameTeam(1, QStringLiteral("renamed"));
    } else if (change == QLatin1String("deleteTeam")) {
        reported = db.deleteTeam(2);
    } else if (change == QLatin1String("updateItem")) {
        reported = db.updateItem(1, QStringLiteral("renamed"), QStringLiteral("/r"));
    } else if (change == QLatin1String("deleteItem")) {
        reported = db.deleteItem(2);
    } else if (change == QLatin1String("deleteTeamItems")) {
        reported = db.deleteTeamItems(1);
    } else if (change == QLatin1String("setItemLastTime")) {
        reported = db.setItemLastTime(1, 1700000000);
    } else if (change == QLatin1String("swapTeamOrder")) {
        reported = db.swapTeamOrder(1, 2);
    } else if (change == QLatin1String("swapItemOrder")) {
        reported = db.swapItemOrder(1, 2);
    } else if (change == QLatin1String("batch")) {
        // The batch may begin and take its additions; only its commit can tell.
        if (db.beginBatch()) {
            db.addItem(QStringLiteral("new"), QStringLiteral("/new"), 1, en_team_icon);
            db.addItem(QStringLiteral("newer"), QStringLiteral("/newer"), 1, en_team_icon);
            reported = db.commitBatch();
        }
    }
    QVERIFY2(!reported, "a change that cannot be committed is reported as failed");
    QCOMPARE(contents(path()), before);
    reader.release();

    // Nothing is left pending: a later change is stored at once, for every other program to see.
    const int later = db.addItem(QStringLiteral("later"), QStringLiteral("/later"), 1, en_team_icon);
    QVERIFY(later > 0);
    QCOMPARE(itemsNamed(path(), QStringLiteral("later")), 1);
    QVERIFY(db.setItemLastTime(later, 1234));
    QCOMPARE(scalar(path(), QStringLiteral("select last_time from icon_item where id=%1").arg(later)).toInt(), 1234);
    QList<IconItemInfo> found;
    db.searchItems(found, QStringLiteral("later"));
    QCOMPARE(StoreTest::ids(found), QList<int>({ later }));

    // The next run sees exactly that: the failed change absent, the later one there.
    db = IconDatabase();
    QStringList expected = before;
    QStringList now = contents(path());
    QCOMPARE(now.size(), expected.size() + 1);
    QVERIFY(now.last().startsWith(QStringLiteral("item %1 later").arg(later)));
    now.removeLast();
    QCOMPARE(now, expected);
}

// A full disk makes SQLite roll back a batch's transaction on its own half-way through a drop. The additions
// after that point must not be stored one by one behind the caller's back (it is told the batch failed), and the
// connection must not be left in a transaction.
void TestTransactions::batchRolledBackBySqlite()
{
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    const int team = db.addTeam(QStringLiteral("files"), en_team_icon);
    QVERIFY(team > 0);
    const QStringList before = contents(path());
    const int pages = scalar(path(), QStringLiteral("pragma page_count")).toInt();
    QVERIFY(pages > 0);
    QVERIFY(db.execSql(QStringLiteral("pragma max_page_count=%1").arg(pages + 12)));

    QVERIFY(db.beginBatch());
    const QString longName(1500, QLatin1Char('x'));
    QList<int> ids;
    int refused = 0;
    for (int i = 0; i < 60; ++i) {
        const int id = db.addItem(longName + QString::number(i), QStringLiteral("/f%1").arg(i), team, en_team_icon);
        if (id > 0) {
            ids.append(id);
        } else {
            ++refused;
        }
    }
    QVERIFY2(refused > 0, "the fixture fills the allowed pages");
    QVERIFY(!db.commitBatch());
    // Whole or absent: the caller was told the batch failed, so none of it is there.
    QCOMPARE(contents(path()), before);

    // The connection is not stuck in a transaction: with room again, a change is stored at once.
    QVERIFY(db.execSql(QStringLiteral("pragma max_page_count=1073741823")));
    const int id = db.addItem(QStringLiteral("after"), QStringLiteral("/after"), team, en_team_icon);
    QVERIFY(id > 0);
    QCOMPARE(itemsNamed(path(), QStringLiteral("after")), 1);
    QVERIFY(db.beginBatch());
    QVERIFY(db.addItem(QStringLiteral("batch after"), QStringLiteral("/b"), team, en_team_icon) > 0);
    QVERIFY(db.commitBatch());
    QCOMPARE(itemsNamed(path(), QStringLiteral("batch after")), 1);
    QList<IconItemInfo> found;
    db.searchItems(found, QStringLiteral("after"));
    QCOMPARE(found.size(), 2);
}

// A batch still open when the catalogue closes is committed when it can be, and otherwise left out whole.
void TestTransactions::batchLeftOpenAtCloseIsWholeOrAbsent()
{
    {
        IconDatabase db;
        db.openDatabaseAt(path(), QString());
        const int team = db.addTeam(QStringLiteral("files"), en_team_icon);
        QVERIFY(db.beginBatch());
        QVERIFY(db.addItem(QStringLiteral("kept one"), QStringLiteral("/1"), team, en_team_icon) > 0);
        QVERIFY(db.addItem(QStringLiteral("kept two"), QStringLiteral("/2"), team, en_team_icon) > 0);
    }
    QCOMPARE(itemsNamed(path(), QStringLiteral("kept one")) + itemsNamed(path(), QStringLiteral("kept two")), 2);
    IconDatabase db;
    db.openDatabaseAt(path(), QString());
    QList<IconItemInfo> found;
    db.searchItems(found, QStringLiteral("kept"));
    QCOMPARE(found.size(), 2);
    QVERIFY(db.hasSearchIndex());
}

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
