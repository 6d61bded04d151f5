// The catalogue operations on a fresh database: order numbers, reads that find nothing, swaps, texts that must
// come back exactly as handed over, the name search, the recent list, listings and batches.
#include "icondatabase.h"
#include "storetestutil.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <memory>
#include <thread>

using StoreTest::ids;
using StoreTest::plainLikeIds;
using StoreTest::scalar;

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void orderNumbersAcrossKinds();
    void itemOrderFollowsTableMaximum();
    void readsOfMissingRowsLeaveRecordUntouched_data();
    void readsOfMissingRowsLeaveRecordUntouched();
    void swapOrders_data();
    void swapOrders();
    void swapChangesBothOrNeither();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void nullTextIsStoredAsEmpty();
    void searchSemantics_data();
    void searchSemantics();
    void searchIndexMatchesPlainScan();
    void searchSeesChangesOfOtherPrograms();
    void searchInsideBatch();
    void searchWithUnpairedSurrogate();
    void recentList();
    void listingsAppend();
    void deleteTeamLeavesItems();
    void updateAndLastTime();
    void batchSkipsOnlyTheFailedAddition();
    void batchCallsOutOfTurn();
    void batchOrderNumbers();
    void lockedDatabaseMakesStatementsWait();
    void withoutConnectionEverythingFails();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("data.db")); }
    int failOn(const QString& table, const QString& when);
    int orderOf(bool group, int id);

    std::unique_ptr<QTemporaryDir> m_dir;
    IconDatabase m_db;
};

void TestCatalogue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = IconDatabase();
    m_db.openDatabaseAt(path(), QString());
    QCOMPARE(m_db.state(), IconDatabase::State::Ok);
    QVERIFY(m_db.errorText().isEmpty());
}

void TestCatalogue::cleanup()
{
    m_db = IconDatabase();
    m_dir.reset();
}

// Makes every insert or update of `table` matching `when` fail, as a full disk or a constraint would.
int TestCatalogue::failOn(const QString& table, const QString& when)
{
    static int n = 0;
    ++n;
    const bool ok = m_db.execSql(QStringLiteral("create trigger fail_%1 before insert on %2 when %3 begin"
                                                " select raise(abort, 'refused'); end")
                                     .arg(n)
                                     .arg(table, when))
        && m_db.execSql(QStringLiteral("create trigger fail_upd_%1 before update on %2 when %3 begin"
                                       " select raise(abort, 'refused'); end")
                            .arg(n)
                            .arg(table, when));
    return ok ? n : 0;
}

void TestCatalogue::orderNumbersAcrossKinds()
{
    const int a = m_db.addTeam(QStringLiteral("programs"), en_team_icon);
    const int b = m_db.addTeam(QStringLiteral("sites"), en_team_site);
    const int c = m_db.addTeam(QStringLiteral("more programs"), en_team_icon);
    QVERIFY(a > 0 && b > 0 && c > 0);
    QCOMPARE(QSet<int>({ a, b, c }).size(), 3);
    TeamInfo t;
    QVERIFY(m_db.getTeam(t, a));
    QCOMPARE(t.order_num, 1);
    QVERIFY(m_db.getTeam(t, b));
    QCOMPARE(t.order_num, 2);
    QCOMPARE(t.ttype, int(en_team_site));
    QVERIFY(m_db.getTeam(t, c));
    QCOMPARE(t.order_num, 3);

    QList<TeamInfo> icons;
    m_db.getTeamsByType(icons, en_team_icon);
    QCOMPARE(icons.size(), 2);
    QCOMPARE(icons.at(0).id, a);
    QCOMPARE(icons.at(1).id, c);
}

void TestCatalogue::itemOrderFollowsTableMaximum()
{
    const int files = m_db.addTeam(QStringLiteral("files"), en_team_icon);
    const int sites = m_db.addTeam(QStringLiteral("sites"), en_team_site);
    const int first = m_db.addItem(QStringLiteral("first"), QStringLiteral("/a"), files, en_team_icon);
    IconItemInfo info;
    QVERIFY(m_db.getItem(info, first));
    QCOMPARE(info.order_num, 1);
    QCOMPARE(info.last_time, 0);

    const int x = m_db.addItem(QStringLiteral("x"), QStringLiteral("/x"), files, en_team_icon);
    const int y = m_db.addItem(QStringLiteral("y"), QStringLiteral("https://y"), sites, en_team_site);
    QVERIFY(m_db.execSql(QStringLiteral("update icon_item set order_num=5 where id=%1").arg(x)));
    QVERIFY(m_db.execSql(QStringLiteral("update icon_item set order_num=9 where id=%1").arg(y)));
    // Another group and another kind: the maximum is over the whole table.
    const int other = m_db.addItem(QStringLiteral("other"), QStringLiteral("https://o"), sites, en_team_site);
    QVERIFY(m_db.getItem(info, other));
    QCOMPARE(info.order_num, 10);
    QCOMPARE(info.team_id, sites);
    QCOMPARE(info.ttype, int(en_team_site));
}

void TestCatalogue::readsOfMissingRowsLeaveRecordUntouched_data()
{
    QTest::addColumn<int>("id");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("never used") << 999999;
    QTest::newRow("deleted") << -2; // replaced by the ids of a deleted entry and group below
}

void TestCatalogue::readsOfMissingRowsLeaveRecordUntouched()
{
    QFETCH(int, id);
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    int itemId = id;
    int teamId = id;
    if (id == -2) {
        itemId = m_db.addItem(QStringLiteral("gone"), QStringLiteral("/gone"), team, en_team_icon);
        m_db.deleteItem(itemId);
        m_db.deleteTeam(team);
        teamId = team;
    }
    IconItemInfo item;
    item.id = 42;
    item.icon_name = QStringLiteral("caller's name");
    item.file_name = QStringLiteral("caller's path");
    item.team_id = 7;
    item.last_time = 8;
    item.order_num = 9;
    item.ttype = 2;
    const IconItemInfo before = item;
    QVERIFY(!m_db.getItem(item, itemId));
    QCOMPARE(item.id, before.id);
    QCOMPARE(item.icon_name, before.icon_name);
    QCOMPARE(item.file_name, before.file_name);
    QCOMPARE(item.team_id, before.team_id);
    QCOMPARE(item.last_time, before.last_time);
    QCOMPARE(item.order_num, before.order_num);
    QCOMPARE(item.ttype, before.ttype);

    TeamInfo t;
    t.id = 5;
    t.name = QStringLiteral("caller's group");
    t.ttype = 2;
    t.order_num = 6;
    QVERIFY(!m_db.getTeam(t, teamId));
    QCOMPARE(t.id, 5);
    QCOMPARE(t.name, QStringLiteral("caller's group"));
    QCOMPARE(t.ttype, 2);
    QCOMPARE(t.order_num, 6);
}

void TestCatalogue::swapOrders_data()
{
    QTest::addColumn<bool>("groups");
    QTest::addColumn<int>("orderA");
    QTest::addColumn<int>("orderB");
    QTest::addColumn<bool>("aExists");
    QTest::addColumn<bool>("bExists");
    QTest::addColumn<int>("expectedA");
    QTest::addColumn<int>("expectedB");
    for (const bool groups : { false, true }) {
        const char* kind = groups ? "groups" : "items";
        QTest::addRow("%s: 3 and 7", kind) << groups << 3 << 7 << true << true << 7 << 3;
        QTest::addRow("%s: neighbours", kind) << groups << 1 << 2 << true << true << 2 << 1;
        QTest::addRow("%s: first missing", kind) << groups << 3 << 7 << false << true << 3 << 7;
        QTest::addRow("%s: second missing", kind) << groups << 3 << 7 << true << false << 3 << 7;
        QTest::addRow("%s: equal orders", kind) << groups << 4 << 4 << true << true << 4 << 4;
    }
}

// The order number of a group or an entry; -1 when there is no such row.
int TestCatalogue::orderOf(bool group, int id)
{
    if (group) {
        TeamInfo info;
        return m_db.getTeam(info, id) ? info.order_num : -1;
    }
    IconItemInfo info;
    return m_db.getItem(info, id) ? info.order_num : -1;
}

void TestCatalogue::swapOrders()
{
    QFETCH(bool, groups);
    QFETCH(int, orderA);
    QFETCH(int, orderB);
    QFETCH(bool, aExists);
    QFETCH(bool, bExists);
    QFETCH(int, expectedA);
    QFETCH(int, expectedB);
    int a = 0;
    int b = 0;
    if (groups) {
        a = m_db.addTeam(QStringLiteral("a"), en_team_icon);
        b = m_db.addTeam(QStringLiteral("b"), en_team_icon);
    } else {
        const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
        a = m_db.addItem(QStringLiteral("a"), QStringLiteral("/a"), team, en_team_icon);
        b = m_db.addItem(QStringLiteral("b"), QStringLiteral("/b"), team, en_team_icon);
    }
    const QString update = groups ? QStringLiteral("update team set order_num=%1 where id=%2")
                                  : QStringLiteral("update icon_item set order_num=%1 where id=%2");
    QVERIFY(m_db.execSql(update.arg(orderA).arg(a)));
    QVERIFY(m_db.execSql(update.arg(orderB).arg(b)));
    const int missing = 4242;
    if (groups) {
        m_db.swapTeamOrder(aExists ? a : missing, bExists ? b : missing);
    } else {
        m_db.swapItemOrder(aExists ? a : missing, bExists ? b : missing);
    }
    QCOMPARE(orderOf(groups, a), expectedA);
    QCOMPARE(orderOf(groups, b), expectedB);
    QCOMPARE(orderOf(groups, missing), -1);
}

void TestCatalogue::swapChangesBothOrNeither()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    const int other = m_db.addTeam(QStringLiteral("u"), en_team_icon);
    const int a = m_db.addItem(QStringLiteral("a"), QStringLiteral("/a"), team, en_team_icon);
    const int b = m_db.addItem(QStringLiteral("b"), QStringLiteral("/b"), team, en_team_icon);
    // The second update of each swap is refused: the first must be undone with it.
    QVERIFY(failOn(QStringLiteral("icon_item"), QStringLiteral("old.id=%1").arg(b)));
    QVERIFY(failOn(QStringLiteral("team"), QStringLiteral("old.id=%1").arg(other)));
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    m_db.swapItemOrder(a, b);
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    m_db.swapTeamOrder(team, other);

    IconItemInfo info;
    QVERIFY(m_db.getItem(info, a));
    QCOMPARE(info.order_num, 1);
    QVERIFY(m_db.getItem(info, b));
    QCOMPARE(info.order_num, 2);
    TeamInfo t;
    QVERIFY(m_db.getTeam(t, team));
    QCOMPARE(t.order_num, 1);
    QVERIFY(m_db.getTeam(t, other));
    QCOMPARE(t.order_num, 2);
    // No transaction is left open: later changes are written for good.
    m_db.setItemLastTime(a, 77);
    QCOMPARE(scalar(path(), QStringLiteral("select last_time from icon_item where id=%1").arg(a)).toInt(), 77);
}

void TestCatalogue::textsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << QStringLiteral("Tom's files");
    QTest::newRow("only apostrophes") << QStringLiteral("''");
    QTest::newRow("placeholder") << QStringLiteral("%1 and %2");
    QTest::newRow("percent") << QStringLiteral("100%");
    QTest::newRow("underscore") << QStringLiteral("my_file_name");
    QTest::newRow("backslashes") << QStringLiteral("C:\\Users\\u\\a.txt \\\\ \\%");
    QTest::newRow("double quotes") << QStringLiteral("say \"hi\" \"");
    QTest::newRow("injection") << QStringLiteral("x'); drop table team; --");
    QTest::newRow("chinese") << QStringLiteral("常用软件 文档");
    QTest::newRow("emoji") << QStringLiteral("fun 😀🎉 end");
    QTest::newRow("leading and trailing blanks") << QStringLiteral("  padded  ");
    QTest::newRow("newline and tab") << QStringLiteral("two\nlines\tand tab");
    QTest::newRow("10000 characters") << QString(10000, QLatin1Char('w')).replace(5000, 3, QStringLiteral("a'b"));
    QTest::newRow("empty") << QString(QLatin1String(""));
}

void TestCatalogue::textsRoundTrip()
{
    QFETCH(QString, text);
    const QString plain = QStringLiteral("plain");

    // Group names: added and renamed.
    const int team = m_db.addTeam(text, en_team_icon);
    QVERIFY(team > 0);
    TeamInfo t;
    QVERIFY(m_db.getTeam(t, team));
    QCOMPARE(t.name, text);
    m_db.renameTeam(team, plain);
    QVERIFY(m_db.getTeam(t, team));
    QCOMPARE(t.name, plain);
    m_db.renameTeam(team, text);
    QList<TeamInfo> teams;
    m_db.getTeamsByType(teams, en_team_icon);
    QCOMPARE(teams.size(), 1);
    QCOMPARE(teams.at(0).name, text);

    // Entry names and paths/addresses: added and updated, in both columns.
    const int item = m_db.addItem(text, text, team, en_team_site);
    QVERIFY(item > 0);
    IconItemInfo info;
    QVERIFY(m_db.getItem(info, item));
    QCOMPARE(info.icon_name, text);
    QCOMPARE(info.file_name, text);
    m_db.updateItem(item, plain, plain);
    QVERIFY(m_db.getItem(info, item));
    QCOMPARE(info.icon_name, plain);
    QCOMPARE(info.file_name, plain);
    m_db.updateItem(item, text, text);
    const int other = m_db.addItem(plain, plain, team, en_team_site);

    QList<IconItemInfo> items;
    m_db.getItemsByType(items, en_team_site);
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).icon_name, text);
    QCOMPARE(items.at(0).file_name, text);

    // The stored value itself, seen by another connection.
    QCOMPARE(scalar(path(), QStringLiteral("select file_name from icon_item where id=%1").arg(item)).toString(), text);
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from team")).toInt(), 1);

    // As a search keyword the text finds its own entry (its % and _ keep their LIKE meaning), exactly as a plain
    // scan does.
    items.clear();
    m_db.searchItems(items, text);
    QVERIFY(ids(items).contains(item));
    QCOMPARE(ids(items), plainLikeIds(path(), text));
    Q_UNUSED(other);
}

// A name that was never set is stored as empty text, not as SQL NULL, so the empty keyword still finds it.
void TestCatalogue::nullTextIsStoredAsEmpty()
{
    const int team = m_db.addTeam(QString(), en_team_icon);
    const int id = m_db.addItem(QString(), QString(), team, en_team_icon);
    QVERIFY(team > 0 && id > 0);
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from icon_item where icon_name = '' and file_name = ''"))
                 .toInt(),
             1);
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from team where name = ''")).toInt(), 1);
    QList<IconItemInfo> found;
    m_db.searchItems(found, QString());
    QCOMPARE(ids(found), QList<int>({ id }));
}

void TestCatalogue::searchSemantics_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("expected");
    const QStringList names = {
        QStringLiteral("xABy"),      QStringLiteral("abc"),        QStringLiteral("aXc"),
        QStringLiteral("Config"),    QStringLiteral("myconf.txt"), QStringLiteral("50% off"),
        QStringLiteral("500 pages"), QStringLiteral("It's mine"),  QStringLiteral("a\\b"),
        QStringLiteral("Éclair"),    QStringLiteral("éclair"),     QStringLiteral("常用软件"),
        QStringLiteral("say \"q\""), QStringLiteral("😀ab smile"),  QStringLiteral("under_score"),
        QStringLiteral("ÄRGER"),     QStringLiteral("ärger"),
    };
    auto row = [&](const char* name, const QString& keyword, const QStringList& expected) {
        QTest::newRow(name) << names << keyword << expected;
    };
    row("ab folds ASCII case",
        QStringLiteral("ab"),
        { QStringLiteral("xABy"), QStringLiteral("abc"), QStringLiteral("😀ab smile") });
    row("a_c: one character", QStringLiteral("a_c"), { QStringLiteral("abc"), QStringLiteral("aXc") });
    row("empty keyword finds all", QString(), names);
    row("percent alone finds all", QStringLiteral("%"), names);
    row("conf through the index", QStringLiteral("conf"), { QStringLiteral("Config"), QStringLiteral("myconf.txt") });
    row("CONF upper case", QStringLiteral("CONF"), { QStringLiteral("Config"), QStringLiteral("myconf.txt") });
    row("50% keeps its wildcard", QStringLiteral("50%"), { QStringLiteral("50% off"), QStringLiteral("500 pages") });
    row("apostrophe is an apostrophe", QStringLiteral("it's"), { QStringLiteral("It's mine") });
    row("backslash is literal", QStringLiteral("a\\b"), { QStringLiteral("a\\b") });
    row("double quotes", QStringLiteral("\"q\""), { QStringLiteral("say \"q\"") });
    row("non-ASCII case is not folded", QStringLiteral("écl"), { QStringLiteral("éclair") });
    row("non-ASCII case, other way", QStringLiteral("ÄRG"), { QStringLiteral("ÄRGER") });
    row("two Chinese characters", QStringLiteral("常用"), { QStringLiteral("常用软件") });
    row("three Chinese characters", QStringLiteral("用软件"), { QStringLiteral("常用软件") });
    row("emoji and two letters", QStringLiteral("😀ab"), { QStringLiteral("😀ab smile") });
    row("underscore keeps its wildcard", QStringLiteral("r_s"), { QStringLiteral("under_score") });
    row("nothing matches", QStringLiteral("zqxj"), {});
    row("longer than any name", QStringLiteral("configuration"), {});
}

void TestCatalogue::searchSemantics()
{
    QFETCH(QStringList, names);
    QFETCH(QString, keyword);
    QFETCH(QStringList, expected);
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    const int sites = m_db.addTeam(QStringLiteral("s"), en_team_site);
    for (int i = 0; i < names.size(); ++i) {
        // Both kinds and all groups are searched.
        QVERIFY(
            m_db.addItem(names.at(i), QStringLiteral("/p"), i % 2 ? sites : team, i % 2 ? en_team_site : en_team_icon));
    }
    QList<IconItemInfo> items;
    m_db.searchItems(items, keyword);
    QStringList found;
    for (const IconItemInfo& i : items) {
        found.append(i.icon_name);
    }
    QCOMPARE(found, expected);
    QCOMPARE(ids(items), plainLikeIds(path(), keyword));
}

// The trigram index only narrows the candidates: across random names and keywords, after additions, renames and
// deletions, its results are those of the plain scan, row for row.
void TestCatalogue::searchIndexMatchesPlainScan()
{
    QVERIFY2(m_db.hasSearchIndex(), "SQLite of this system offers FTS5 with the trigram tokenizer");
    const QString alphabet = QStringLiteral("aAbBcC_%'é É中文😀");
    QList<uint> letters;
    for (uint c : alphabet.toUcs4()) {
        letters.append(c);
    }
    QRandomGenerator rng(20261209);
    auto randomText = [&](int minLen, int maxLen) {
        const int len = minLen + int(rng.bounded(maxLen - minLen + 1));
        QList<uint> cps;
        for (int i = 0; i < len; ++i) {
            cps.append(letters.at(int(rng.bounded(int(letters.size())))));
        }
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(cps.constData()), cps.size());
    };
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    QList<int> itemIds;
    QVERIFY(m_db.beginBatch());
    for (int i = 0; i < 600; ++i) {
        itemIds.append(m_db.addItem(randomText(0, 12), QStringLiteral("/f"), team, en_team_icon));
    }
    QVERIFY(m_db.commitBatch());

    auto compareMany = [&](const char* stage) {
        for (int k = 0; k < 150; ++k) {
            const QString keyword = randomText(1, 5);
            QList<IconItemInfo> items;
            m_db.searchItems(items, keyword);
            const QList<int> expected = plainLikeIds(path(), keyword);
            if (ids(items) != expected) {
                QFAIL(qPrintable(QStringLiteral("%1: keyword \"%2\" gives %3 rows, plain scan %4")
                                     .arg(QString::fromLatin1(stage), keyword)
                                     .arg(items.size())
                                     .arg(expected.size())));
            }
        }
    };
    compareMany("after additions");
    if (QTest::currentTestFailed()) {
        return;
    }
    for (int i = 0; i < itemIds.size(); i += 3) {
        m_db.updateItem(itemIds.at(i), randomText(0, 12), QStringLiteral("/g"));
    }
    for (int i = 1; i < itemIds.size(); i += 7) {
        m_db.deleteItem(itemIds.at(i));
    }
    compareMany("after renames and deletions");
    if (QTest::currentTestFailed()) {
        return;
    }
    m_db.deleteTeamItems(team);
    compareMany("after the group's entries were deleted");

    // The index itself agrees with the table after all those changes.
    bool consistent = false;
    StoreTest::withConnection(path(), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        consistent = q.exec(QStringLiteral("insert into icon_item_search(icon_item_search) values('integrity-check')"));
    });
    QVERIFY(consistent);
}

// Another program changing the catalogue (with SQLite alone) is seen by the next search.
void TestCatalogue::searchSeesChangesOfOtherPrograms()
{
    QVERIFY(m_db.hasSearchIndex());
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    const int kept = m_db.addItem(QStringLiteral("Config kept"), QStringLiteral("/k"), team, en_team_icon);
    const int renamed = m_db.addItem(QStringLiteral("Config renamed"), QStringLiteral("/r"), team, en_team_icon);
    const int removed = m_db.addItem(QStringLiteral("Config removed"), QStringLiteral("/d"), team, en_team_icon);
    QList<IconItemInfo> found;
    m_db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(ids(found), QList<int>({ kept, renamed, removed }));

    StoreTest::withConnection(path(), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("insert into icon_item(icon_name,file_name,team_id,last_time,order_num,ttype)"
                                      " values('external config','/e',%1,0,99,1)")
                           .arg(team)));
        QVERIFY(q.exec(QStringLiteral("update icon_item set icon_name='Notes' where id=%1").arg(renamed)));
        QVERIFY(q.exec(QStringLiteral("delete from icon_item where id=%1").arg(removed)));
    });
    found.clear();
    m_db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(ids(found), plainLikeIds(path(), QStringLiteral("config")));
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(1).icon_name, QStringLiteral("external config"));
}

void TestCatalogue::searchInsideBatch()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    QVERIFY(m_db.beginBatch());
    const int a = m_db.addItem(QStringLiteral("batch config"), QStringLiteral("/a"), team, en_team_icon);
    QList<IconItemInfo> found;
    m_db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(ids(found), QList<int>({ a }));
    const int b = m_db.addItem(QStringLiteral("second config"), QStringLiteral("/b"), team, en_team_icon);
    QVERIFY(m_db.commitBatch());
    found.clear();
    m_db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(ids(found), QList<int>({ a, b }));
}

// A keyword holding half of a surrogate pair (text pasted from a broken source) finds what the plain scan finds:
// SQLite converts such text its own way, which the trigram index does not know.
void TestCatalogue::searchWithUnpairedSurrogate()
{
    QVERIFY(m_db.hasSearchIndex());
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    const QChar high(0xD800);
    QVERIFY(m_db.addItem(QStringLiteral("a") + high + QStringLiteral("bcd"), QStringLiteral("/a"), team, en_team_icon));
    QVERIFY(m_db.addItem(QStringLiteral("plain bcd"), QStringLiteral("/p"), team, en_team_icon));
    for (const QString& keyword :
         { high + QStringLiteral("bc"), high + QStringLiteral("bcd"), QStringLiteral("bcd") }) {
        QList<IconItemInfo> found;
        m_db.searchItems(found, keyword);
        QCOMPARE(ids(found), plainLikeIds(path(), keyword));
    }
}

void TestCatalogue::recentList()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    QList<int> opened;
    for (int i = 0; i < 33; ++i) {
        const int id = m_db.addItem(QStringLiteral("item %1").arg(i), QStringLiteral("/i"), team, en_team_icon);
        if (i == 4 || i == 17 || i == 30) {
            opened.append(id);
        }
    }
    m_db.setItemLastTime(opened.at(0), 1700000200);
    m_db.setItemLastTime(opened.at(1), 1700000900);
    m_db.setItemLastTime(opened.at(2), 1700000500);
    QList<IconItemInfo> recent;
    m_db.getRecentItems(recent);
    QCOMPARE(recent.size(), 20);
    QCOMPARE(recent.at(0).id, opened.at(1));
    QCOMPARE(recent.at(1).id, opened.at(2));
    QCOMPARE(recent.at(2).id, opened.at(0));
    QCOMPARE(recent.at(0).last_time, 1700000900);
    for (int i = 3; i < 20; ++i) {
        QCOMPARE(recent.at(i).last_time, 0);
    }
}

void TestCatalogue::listingsAppend()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    m_db.addItem(QStringLiteral("one"), QStringLiteral("/1"), team, en_team_icon);
    m_db.addItem(QStringLiteral("two"), QStringLiteral("/2"), team, en_team_icon);

    QList<TeamInfo> teams;
    m_db.getTeamsByType(teams, en_team_icon);
    m_db.getTeamsByType(teams, en_team_icon);
    QCOMPARE(teams.size(), 2);
    QCOMPARE(teams.at(0).id, teams.at(1).id);

    const std::function<void(QList<IconItemInfo>&)> listings[] = {
        [&](QList<IconItemInfo>& l) { m_db.getTeamItems(l, team); },
        [&](QList<IconItemInfo>& l) { m_db.getItemsByType(l, en_team_icon); },
        [&](QList<IconItemInfo>& l) { m_db.getRecentItems(l); },
        [&](QList<IconItemInfo>& l) { m_db.searchItems(l, QStringLiteral("o")); },
        [&](QList<IconItemInfo>& l) { m_db.searchItems(l, QStringLiteral("one")); },
    };
    for (const auto& listing : listings) {
        QList<IconItemInfo> once;
        listing(once);
        QVERIFY(!once.isEmpty());
        QList<IconItemInfo> twice = once;
        listing(twice);
        QCOMPARE(twice.size(), once.size() * 2);
        QCOMPARE(ids(twice.mid(once.size())), ids(once));
    }
}

void TestCatalogue::deleteTeamLeavesItems()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    const int a = m_db.addItem(QStringLiteral("a"), QStringLiteral("/a"), team, en_team_icon);
    const int b = m_db.addItem(QStringLiteral("b"), QStringLiteral("/b"), team, en_team_icon);
    m_db.deleteTeam(team);
    TeamInfo t;
    QVERIFY(!m_db.getTeam(t, team));
    QList<IconItemInfo> items;
    m_db.getTeamItems(items, team);
    QCOMPARE(ids(items), QList<int>({ a, b }));
    m_db.deleteTeamItems(team);
    items.clear();
    m_db.getTeamItems(items, team);
    QVERIFY(items.isEmpty());
}

void TestCatalogue::updateAndLastTime()
{
    const int team = m_db.addTeam(QStringLiteral("s"), en_team_site);
    const int id = m_db.addItem(QStringLiteral("Site"), QStringLiteral("https://a.example"), team, en_team_site);
    m_db.updateItem(id, QStringLiteral("Renamed"), QStringLiteral("https://b.example"));
    m_db.setItemLastTime(id, 1765000000);
    IconItemInfo info;
    QVERIFY(m_db.getItem(info, id));
    QCOMPARE(info.icon_name, QStringLiteral("Renamed"));
    QCOMPARE(info.file_name, QStringLiteral("https://b.example"));
    QCOMPARE(info.last_time, 1765000000);
    QCOMPARE(info.order_num, 1);
    QList<IconItemInfo> found;
    m_db.searchItems(found, QStringLiteral("named"));
    QCOMPARE(ids(found), QList<int>({ id }));
    found.clear();
    m_db.searchItems(found, QStringLiteral("Site"));
    QVERIFY(found.isEmpty());
}

void TestCatalogue::batchSkipsOnlyTheFailedAddition()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    QVERIFY(failOn(QStringLiteral("icon_item"), QStringLiteral("new.icon_name='refused'")));
    QVERIFY(m_db.beginBatch());
    const int a = m_db.addItem(QStringLiteral("first"), QStringLiteral("/1"), team, en_team_icon);
    const int bad = m_db.addItem(QStringLiteral("refused"), QStringLiteral("/2"), team, en_team_icon);
    const int c = m_db.addItem(QStringLiteral("third"), QStringLiteral("/3"), team, en_team_icon);
    QVERIFY(a > 0);
    QCOMPARE(bad, 0);
    QVERIFY(c > 0);
    // Nothing is visible to others before the commit.
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from icon_item")).toInt(), 0);
    QVERIFY(m_db.commitBatch());
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from icon_item")).toInt(), 2);
    QList<IconItemInfo> items;
    m_db.getItemsByType(items, en_team_icon);
    QCOMPARE(ids(items), QList<int>({ a, c }));
    QCOMPARE(items.at(0).order_num, 1);
    QCOMPARE(items.at(1).order_num, 2);
    items.clear();
    m_db.searchItems(items, QStringLiteral("third"));
    QCOMPARE(ids(items), QList<int>({ c }));
}

void TestCatalogue::batchCallsOutOfTurn()
{
    QVERIFY(!m_db.commitBatch());
    QVERIFY(m_db.beginBatch());
    QVERIFY(!m_db.beginBatch());
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    const int a = m_db.addItem(QStringLiteral("a"), QStringLiteral("/a"), team, en_team_icon);
    const int b = m_db.addItem(QStringLiteral("b"), QStringLiteral("/b"), team, en_team_icon);
    // A swap inside a batch is part of it.
    m_db.swapItemOrder(a, b);
    QVERIFY(m_db.commitBatch());
    QVERIFY(!m_db.commitBatch());
    IconItemInfo info;
    QVERIFY(m_db.getItem(info, a));
    QCOMPARE(info.order_num, 2);
    // A batch left open when the last holder goes away is committed, not lost.
    QVERIFY(m_db.beginBatch());
    m_db.addItem(QStringLiteral("c"), QStringLiteral("/c"), team, en_team_icon);
    m_db = IconDatabase();
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from icon_item")).toInt(), 3);
}

// Order numbers inside a batch are those of single additions: the table's maximum plus one, after deletions and
// direct changes as well.
void TestCatalogue::batchOrderNumbers()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    QVERIFY(m_db.beginBatch());
    const int site = m_db.addTeam(QStringLiteral("s"), en_team_site);
    const int a = m_db.addItem(QStringLiteral("a"), QStringLiteral("/a"), team, en_team_icon);
    const int b = m_db.addItem(QStringLiteral("b"), QStringLiteral("/b"), team, en_team_icon);
    m_db.deleteItem(b);
    const int c = m_db.addItem(QStringLiteral("c"), QStringLiteral("/c"), site, en_team_site);
    QVERIFY(m_db.execSql(QStringLiteral("update icon_item set order_num=40 where id=%1").arg(a)));
    const int d = m_db.addItem(QStringLiteral("d"), QStringLiteral("/d"), team, en_team_icon);
    const int site2 = m_db.addTeam(QStringLiteral("s2"), en_team_site);
    QVERIFY(m_db.commitBatch());
    const QList<std::pair<int, int>> expected = { { a, 40 }, { c, 2 }, { d, 41 } };
    for (const auto& [id, order] : expected) {
        IconItemInfo info;
        QVERIFY(m_db.getItem(info, id));
        QCOMPARE(info.order_num, order);
    }
    TeamInfo t;
    QVERIFY(m_db.getTeam(t, site));
    QCOMPARE(t.order_num, 2);
    QVERIFY(m_db.getTeam(t, site2));
    QCOMPARE(t.order_num, 3);
}

// Another process holding the write lock for a moment (a backup or sync tool committing) makes an addition wait
// for it, not fail. The holder lets go a moment after the addition has started.
void TestCatalogue::lockedDatabaseMakesStatementsWait()
{
    const int team = m_db.addTeam(QStringLiteral("t"), en_team_icon);
    std::promise<void> locked;
    std::promise<void> adding;
    std::thread holder([&] {
        StoreTest::withConnection(path(), [&](QSqlDatabase& db) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("begin immediate"));
            q.exec(QStringLiteral("insert into team(name,ttype,order_num) values('other process',1,100)"));
            locked.set_value();
            adding.get_future().wait();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            q.exec(QStringLiteral("commit"));
        });
    });
    locked.get_future().wait();
    adding.set_value();
    const int id = m_db.addItem(QStringLiteral("waited"), QStringLiteral("/w"), team, en_team_icon);
    holder.join();
    QVERIFY(id > 0);
    QCOMPARE(scalar(path(), QStringLiteral("select count(*) from team")).toInt(), 2);
}

void TestCatalogue::withoutConnectionEverythingFails()
{
    IconDatabase none;
    QCOMPARE(none.state(), IconDatabase::State::NotOpened);
    QVERIFY(!none.isUsable());
    QVERIFY(!none.errorText().isEmpty());
    QCOMPARE(none.addTeam(QStringLiteral("t"), en_team_icon), 0);
    QCOMPARE(none.addItem(QStringLiteral("i"), QStringLiteral("/i"), 1, en_team_icon), 0);
    TeamInfo t;
    QVERIFY(!none.getTeam(t, 1));
    IconItemInfo i;
    QVERIFY(!none.getItem(i, 1));
    QList<IconItemInfo> items;
    none.getRecentItems(items);
    none.searchItems(items, QString());
    none.getItemsByType(items, 1);
    QVERIFY(items.isEmpty());
    QVERIFY(!none.beginBatch());
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    QVERIFY(!none.execSql(QStringLiteral("select 1")));
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    none.renameTeam(1, QStringLiteral("x"));
    none.swapItemOrder(1, 2); // rows cannot be read: nothing is written, nothing is said
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
