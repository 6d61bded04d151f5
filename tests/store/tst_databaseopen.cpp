// Opening data.db: where it is placed, the first-run copy of the template, a missing template or Documents
// folder, empty and damaged files, older databases without the indexes, and connections shared by copies.
#include "icondatabase.h"
#include "storetestutil.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using StoreTest::scalar;
using StoreTest::withConnection;

namespace
{
QStringList columns(const QString& path, const QString& table)
{
    QStringList names;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("pragma table_info(%1)").arg(table))) {
            while (q.next()) {
                names.append(q.value(1).toString());
            }
        }
    });
    return names;
}

QStringList teamNames(IconDatabase& db)
{
    QStringList names;
    for (int kind : { 1, 2 }) {
        QList<TeamInfo> teams;
        db.getTeamsByType(teams, kind);
        for (const TeamInfo& t : teams) {
            names.append(QStringLiteral("%1:%2").arg(t.ttype).arg(t.name));
        }
    }
    return names;
}
} // namespace

class TestDatabaseOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void placement_data();
    void placement();
    void newCatalogueColumns();
    void damagedFileIsLeftUntouched_data();
    void damagedFileIsLeftUntouched();
    void unusablePaths_data();
    void unusablePaths();
    void olderDatabaseGetsIndexes();
    void searchIndexWithoutTriggersIsRebuilt();
    void openingAndSearchingChangeNothing_data();
    void openingAndSearchingChangeNothing();
    void interruptedChangeIsRolledBack();
    void lockedCatalogueIsReported();
    void notACatalogueIsLeftUntouched_data();
    void notACatalogueIsLeftUntouched();
    void readOnlyCatalogueStillReads_data();
    void readOnlyCatalogueStillReads();
    void integrityCheck_data();
    void integrityCheck();
    void integrityCheckEndsWithTheStore();
    void copiesShareTheConnection();
    void instanceIsProcessWide();

private:
    QString documents() const { return m_home + QStringLiteral("/Documents"); }
    QString dbPath() const { return documents() + QStringLiteral("/Brisko/Desktop/data.db"); }

    QString m_home;
    QString m_runtimeTemplate;
    std::unique_ptr<QTemporaryDir> m_work;
};

void TestDatabaseOpen::initTestCase()
{
    // Only ever run inside the temporary HOME of the test runner: these tests create and remove Documents.
    m_home = QDir::homePath();
    const QString root = qEnvironmentVariable("BRISKO_TEST_ROOT");
    if (root.isEmpty() || !m_home.startsWith(root)) {
        QSKIP("needs the temporary HOME of tests/hermetic.sh");
    }
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), documents());
    QCOMPARE(IconDatabase::defaultDatabasePath(), dbPath());
    // The template the build made in the run-time folder (the working directory of the tests).
    m_runtimeTemplate = QDir::current().absoluteFilePath(QStringLiteral("data.db"));
    QVERIFY2(QFile::exists(m_runtimeTemplate), "the build makes the template data.db");
}

void TestDatabaseOpen::init()
{
    QDir(documents()).removeRecursively();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
}

void TestDatabaseOpen::cleanup()
{
    QDir::setCurrent(QFileInfo(m_runtimeTemplate).absolutePath());
    m_work.reset();
    QDir(documents()).removeRecursively();
}

void TestDatabaseOpen::placement_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("templateThere");
    QTest::addColumn<QStringList>("teams");
    QTest::addColumn<bool>("copyError");
    const QStringList fromTemplate = { QStringLiteral("1:常用软件"), QStringLiteral("2:常用网址") };
    QTest::newRow("Documents missing") << QString() << true << fromTemplate << false;
    QTest::newRow("no root folder") << QStringLiteral("documents") << true << fromTemplate << false;
    QTest::newRow("root without data folder") << QStringLiteral("root") << true << fromTemplate << false;
    QTest::newRow("data folder without file") << QStringLiteral("data folder") << true << fromTemplate << false;
    QTest::newRow("file present") << QStringLiteral("catalogue") << true << QStringList { QStringLiteral("1:mine") }
                                  << false;
    // A zero-byte file is what an interrupted copy leaves: it is replaced by the template like a missing file.
    QTest::newRow("zero-byte file present") << QStringLiteral("empty file") << true << fromTemplate << false;
    QTest::newRow("zero-byte file, template missing") << QStringLiteral("empty file") << false << QStringList() << true;
    QTest::newRow("template missing") << QStringLiteral("documents") << false << QStringList() << true;
}

void TestDatabaseOpen::placement()
{
    QFETCH(QString, before);
    QFETCH(bool, templateThere);
    QFETCH(QStringList, teams);
    QFETCH(bool, copyError);

    // The working directory holds the template (or not), as the executable's folder does.
    if (templateThere) {
        QVERIFY(QFile::copy(m_runtimeTemplate, m_work->filePath(QStringLiteral("data.db"))));
    }
    QVERIFY(QDir::setCurrent(m_work->path()));

    const QString dataFolder = QFileInfo(dbPath()).absolutePath();
    if (before == QLatin1String("documents")) {
        QVERIFY(QDir().mkpath(documents()));
    } else if (before == QLatin1String("root")) {
        QVERIFY(QDir().mkpath(documents() + QStringLiteral("/Brisko")));
    } else if (before == QLatin1String("data folder")) {
        QVERIFY(QDir().mkpath(dataFolder));
    } else if (before == QLatin1String("empty file")) {
        QVERIFY(QDir().mkpath(dataFolder));
        QVERIFY(TestUtil::writeFile(dbPath(), QByteArray()));
    } else if (before == QLatin1String("catalogue")) {
        IconDatabase own;
        own.openDatabaseAt(dbPath(), QString());
        QVERIFY(own.addTeam(QStringLiteral("mine"), en_team_icon) > 0);
    }

    if (copyError) {
        QTest::ignoreMessage(QtDebugMsg, "copy file error!");
    }
    IconDatabase db;
    db.openDatabase();
    QCOMPARE(db.state(), IconDatabase::State::Ok);
    QVERIFY(db.isUsable());
    QVERIFY(db.errorText().isEmpty());
    QCOMPARE(db.databasePath(), dbPath());
    QVERIFY(QFileInfo(dataFolder).isDir());
    QCOMPARE(teamNames(db), teams);

    // Whatever the start, the catalogue takes additions, and keeps them for the next run.
    const int team = db.addTeam(QStringLiteral("new group"), en_team_icon);
    QVERIFY(team > 0);
    QVERIFY(db.addItem(QStringLiteral("file"), QStringLiteral("/home/u/file"), team, en_team_icon) > 0);
    db = IconDatabase();
    // Closed, the catalogue is one self-contained file again.
    QVERIFY(!QFile::exists(dbPath() + QStringLiteral("-wal")));
    QCOMPARE(scalar(dbPath(), QStringLiteral("pragma journal_mode")).toString(), QStringLiteral("delete"));
    IconDatabase again;
    again.openDatabase();
    QCOMPARE(teamNames(again).size(), teams.size() + 1);
    QList<IconItemInfo> items;
    again.getItemsByType(items, en_team_icon);
    QCOMPARE(items.size(), 1);
}

// A new catalogue has the two tables with their columns in the binding order, and the search index.
void TestDatabaseOpen::newCatalogueColumns()
{
    const QString path = m_work->filePath(QStringLiteral("new.db"));
    {
        IconDatabase db;
        db.openDatabaseAt(path, QString());
        QVERIFY(db.isUsable());
        QVERIFY(db.hasSearchIndex());
    }
    QCOMPARE(
        columns(path, QStringLiteral("team")),
        QStringList(
            { QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("ttype"), QStringLiteral("order_num") }));
    QCOMPARE(columns(path, QStringLiteral("icon_item")),
             QStringList({ QStringLiteral("id"),
                           QStringLiteral("icon_name"),
                           QStringLiteral("file_name"),
                           QStringLiteral("team_id"),
                           QStringLiteral("last_time"),
                           QStringLiteral("order_num"),
                           QStringLiteral("ttype") }));
    // The build's template has the same shape.
    QCOMPARE(columns(m_runtimeTemplate, QStringLiteral("icon_item")), columns(path, QStringLiteral("icon_item")));
    QCOMPARE(columns(m_runtimeTemplate, QStringLiteral("team")), columns(path, QStringLiteral("team")));
}

void TestDatabaseOpen::damagedFileIsLeftUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray random(64 * 1024, '\0');
    QRandomGenerator rng(7);
    for (char& c : random) {
        c = char(rng.bounded(256));
    }
    QByteArray header = QByteArray("SQLite format 3\0", 16) + random.left(8 * 1024);
    QByteArray text = QByteArray("These are my notes, not a database.\n").repeated(50);
    QTest::newRow("random bytes") << random;
    QTest::newRow("text file") << text;
    QTest::newRow("SQLite header, then garbage") << header;
    QTest::newRow("one byte") << QByteArray("x");
}

void TestDatabaseOpen::damagedFileIsLeftUntouched()
{
    QFETCH(QByteArray, content);
    QVERIFY(QDir().mkpath(QFileInfo(dbPath()).absolutePath()));
    QVERIFY(TestUtil::writeFile(dbPath(), content));
    QVERIFY(QDir::setCurrent(m_work->path()));
    QVERIFY(QFile::copy(m_runtimeTemplate, m_work->filePath(QStringLiteral("data.db"))));
    const QStringList filesBefore = QDir(QFileInfo(dbPath()).absolutePath()).entryList(QDir::Files);

    QTest::ignoreMessage(QtDebugMsg, "open db error!");
    IconDatabase db;
    db.openDatabase();
    QCOMPARE(db.state(), IconDatabase::State::NotADatabase);
    QVERIFY(!db.isUsable());
    QVERIFY(db.errorText().contains(QDir::toNativeSeparators(dbPath())));
    QVERIFY(db.errorText().contains(QStringLiteral("已原样保留")));
    QVERIFY(!db.hasSearchIndex());

    // Every operation fails as without a connection, and nothing reaches the file.
    QCOMPARE(db.addTeam(QStringLiteral("t"), en_team_icon), 0);
    QCOMPARE(db.addItem(QStringLiteral("i"), QStringLiteral("/i"), 1, en_team_icon), 0);
    QVERIFY(!db.beginBatch());
    QVERIFY(!db.commitBatch());
    TeamInfo t;
    QVERIFY(!db.getTeam(t, 1));
    IconItemInfo i;
    QVERIFY(!db.getItem(i, 1));
    QList<TeamInfo> teams;
    db.getTeamsByType(teams, 1);
    QList<IconItemInfo> items;
    db.getItemsByType(items, 1);
    db.getTeamItems(items, 1);
    db.getRecentItems(items);
    db.searchItems(items, QString());
    db.searchItems(items, QStringLiteral("conf"));
    QVERIFY(teams.isEmpty() && items.isEmpty());
    db.swapTeamOrder(1, 2);
    db.swapItemOrder(1, 2);
    for (int k = 0; k < 8; ++k) {
        QTest::ignoreMessage(QtDebugMsg, "query error!");
    }
    db.execSql(QStringLiteral("create table x(a)"));
    db.renameTeam(1, QStringLiteral("x"));
    db.deleteTeam(1);
    db.updateItem(1, QStringLiteral("a"), QStringLiteral("b"));
    db.deleteItem(1);
    db.deleteTeamItems(1);
    db.setItemLastTime(1, 5);
    db.execSql(QStringLiteral("vacuum"));
    db = IconDatabase();

    QCOMPARE(TestUtil::readFile(dbPath()), content);
    QCOMPARE(QDir(QFileInfo(dbPath()).absolutePath()).entryList(QDir::Files), filesBefore);

    // Opening again (the next run) changes nothing either.
    QTest::ignoreMessage(QtDebugMsg, "open db error!");
    IconDatabase again;
    again.openDatabaseAt(dbPath(), m_runtimeTemplate);
    QCOMPARE(again.state(), IconDatabase::State::NotADatabase);
    QCOMPARE(TestUtil::readFile(dbPath()), content);
}

void TestDatabaseOpen::unusablePaths_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("state");
    QTest::newRow("a folder where the file belongs")
        << QStringLiteral("folder") << int(IconDatabase::State::OpenFailed);
    QTest::newRow("a file where the data folder belongs")
        << QStringLiteral("file as folder") << int(IconDatabase::State::NoFolder);
}

void TestDatabaseOpen::unusablePaths()
{
    QFETCH(QString, kind);
    QFETCH(int, state);
    const QString folder = m_work->filePath(QStringLiteral("Desktop"));
    QString path = folder + QStringLiteral("/data.db");
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
        QTest::ignoreMessage(QtDebugMsg, "open db error!");
    } else {
        QVERIFY(TestUtil::writeFile(folder, QByteArray("not a folder")));
        QTest::ignoreMessage(QtDebugMsg, "copy file error!");
        QTest::ignoreMessage(QtDebugMsg, "open db error!");
    }
    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    QCOMPARE(int(db.state()), state);
    QVERIFY(!db.isUsable());
    QVERIFY(!db.errorText().isEmpty());
    QCOMPARE(db.addTeam(QStringLiteral("t"), en_team_icon), 0);
    if (kind != QLatin1String("folder")) {
        QCOMPARE(TestUtil::readFile(folder), QByteArray("not a folder"));
    }
}

// A catalogue made before the indexes existed gets them (and a filled search index) with its first change, in
// the same transaction; until then it is read and searched as it is. Its rows and columns stay as they were.
void TestDatabaseOpen::olderDatabaseGetsIndexes()
{
    const QString path = m_work->filePath(QStringLiteral("old.db"));
    QVERIFY(
        StoreTest::makeOlderCatalogue(path,
                                      { QStringLiteral("insert into team values(1,'old group',1,1)"),
                                        QStringLiteral("insert into icon_item values(1,'Configure','/c',1,0,2,1)"),
                                        QStringLiteral("insert into icon_item values(2,'Notes','/n',1,5,3,1)"),
                                        QStringLiteral("insert into icon_item values(3,'myconfig','/m',1,0,4,1)") }));
    const QStringList teamColumns = columns(path, QStringLiteral("team"));
    const QStringList itemColumns = columns(path, QStringLiteral("icon_item"));
    auto indexCount = [&] {
        int n = 0;
        for (const char* index : { "team_kind_order",
                                   "icon_item_kind_order",
                                   "icon_item_order",
                                   "icon_item_team",
                                   "icon_item_last_time" }) {
            n += scalar(path,
                        QStringLiteral("select count(*) from sqlite_master where type='index' and name='%1'")
                            .arg(QLatin1String(index)))
                     .toInt();
        }
        return n;
    };

    IconDatabase db;
    db.openDatabaseAt(path, QString());
    QVERIFY(db.isUsable());
    QVERIFY(db.isWritable());
    QVERIFY(!db.hasSearchIndex());
    QCOMPARE(indexCount(), 0);
    QList<IconItemInfo> found;
    db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(StoreTest::ids(found), QList<int>({ 1, 3 }));
    QList<IconItemInfo> recent;
    db.getRecentItems(recent);
    QCOMPARE(recent.size(), 3);
    QCOMPARE(recent.at(0).id, 2);

    QCOMPARE(db.addItem(QStringLiteral("new config"), QStringLiteral("/x"), 1, en_team_icon), 4);
    QCOMPARE(indexCount(), 5);
    QVERIFY(db.hasSearchIndex());
    QCOMPARE(columns(path, QStringLiteral("team")), teamColumns);
    QCOMPARE(columns(path, QStringLiteral("icon_item")), itemColumns);
    // The search index was filled from the rows that were already there.
    found.clear();
    db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(StoreTest::ids(found), QList<int>({ 1, 3, 4 }));
}

// Changes made while the search triggers were missing (by a program without FTS5) are not lost to the search:
// it scans the table until the next change rebuilds the index.
void TestDatabaseOpen::searchIndexWithoutTriggersIsRebuilt()
{
    const QString path = m_work->filePath(QStringLiteral("stale.db"));
    {
        IconDatabase db;
        db.openDatabaseAt(path, QString());
        const int team = db.addTeam(QStringLiteral("t"), en_team_icon);
        QVERIFY(db.addItem(QStringLiteral("Config one"), QStringLiteral("/1"), team, en_team_icon) == 1);
        QVERIFY(db.addItem(QStringLiteral("Notes"), QStringLiteral("/2"), team, en_team_icon) == 2);
    }
    withConnection(path, [](QSqlDatabase& db) {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("drop trigger icon_item_search_log_ai")));
        QVERIFY(q.exec(QStringLiteral("drop trigger icon_item_search_log_au")));
        QVERIFY(q.exec(QStringLiteral("insert into icon_item values(3,'my config','/3',1,0,3,1)")));
        QVERIFY(q.exec(QStringLiteral("update icon_item set icon_name='configured' where id=2")));
    });
    IconDatabase db;
    db.openDatabaseAt(path, QString());
    QVERIFY(!db.hasSearchIndex());
    QList<IconItemInfo> found;
    db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(StoreTest::ids(found), QList<int>({ 1, 2, 3 }));
    QCOMPARE(scalar(path,
                    QStringLiteral("select count(*) from sqlite_master where type='trigger'"
                                   " and name like 'icon_item_search%'"))
                 .toInt(),
             1);

    QVERIFY(db.setItemLastTime(1, 5));
    QVERIFY(db.hasSearchIndex());
    found.clear();
    db.searchItems(found, QStringLiteral("config"));
    QCOMPARE(StoreTest::ids(found), QList<int>({ 1, 2, 3 }));
    QCOMPARE(scalar(path,
                    QStringLiteral("select count(*) from sqlite_master where type='trigger'"
                                   " and name like 'icon_item_search%'"))
                 .toInt(),
             3);
}

void TestDatabaseOpen::openingAndSearchingChangeNothing_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<bool>("indexCurrent");
    QTest::newRow("search index current") << QStringLiteral("current") << true;
    QTest::newRow("changed by another program") << QStringLiteral("changed elsewhere") << false;
    QTest::newRow("search triggers missing") << QStringLiteral("no triggers") << false;
    QTest::newRow("older catalogue without indexes") << QStringLiteral("older") << false;
    QTest::newRow("another program reading") << QStringLiteral("read lock") << true;
}

// Opening the catalogue, listing and searching it change nothing in the file, whatever state its search index is
// in: a stale or missing index is bypassed by a plain scan with the same results. The next change the person
// makes brings the index up to date.
void TestDatabaseOpen::openingAndSearchingChangeNothing()
{
    QFETCH(QString, catalogue);
    QFETCH(bool, indexCurrent);
    const QString path = m_work->filePath(QStringLiteral("data.db"));
    if (catalogue == QLatin1String("older")) {
        QStringList rows = { QStringLiteral("insert into team values(1,'group',1,1)") };
        for (int i = 0; i < 40; ++i) {
            rows.append(QStringLiteral("insert into icon_item values(%1,'entry %2 config','/f',1,%3,%1,1)")
                            .arg(i + 1)
                            .arg(i)
                            .arg(i % 7));
        }
        QVERIFY(StoreTest::makeOlderCatalogue(path, rows));
    } else {
        QVERIFY(StoreTest::makeCatalogue(path, 40));
    }
    if (catalogue == QLatin1String("changed elsewhere") || catalogue == QLatin1String("no triggers")) {
        withConnection(path, [&](QSqlDatabase& db) {
            QSqlQuery q(db);
            if (catalogue == QLatin1String("no triggers")) {
                QVERIFY(q.exec(QStringLiteral("drop trigger icon_item_search_log_ai")));
                QVERIFY(q.exec(QStringLiteral("drop trigger icon_item_search_log_au")));
                QVERIFY(q.exec(QStringLiteral("drop trigger icon_item_search_log_ad")));
            }
            QVERIFY(q.exec(QStringLiteral("insert into icon_item values(100,'outside config','/o',1,9,100,1)")));
            QVERIFY(q.exec(QStringLiteral("update icon_item set icon_name='renamed' where id=3")));
            QVERIFY(q.exec(QStringLiteral("delete from icon_item where id=4")));
        });
    }
    const StoreTest::FileState before = StoreTest::FileState::of(path);
    std::unique_ptr<StoreTest::ReadLock> reader;
    if (catalogue == QLatin1String("read lock")) {
        reader = std::make_unique<StoreTest::ReadLock>(path);
        QVERIFY(reader->held());
    }

    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    QCOMPARE(db.state(), IconDatabase::State::Ok);
    QVERIFY(db.isWritable());
    QCOMPARE(db.hasSearchIndex(), indexCurrent);
    QVERIFY(StoreTest::FileState::of(path) == before);

    QList<TeamInfo> teams;
    db.getTeamsByType(teams, en_team_icon);
    QCOMPARE(teams.size(), 1);
    QList<IconItemInfo> items;
    db.getItemsByType(items, en_team_icon);
    QCOMPARE(items.size(), scalar(path, QStringLiteral("select count(*) from icon_item")).toInt());
    db.getTeamItems(items, 1);
    db.getRecentItems(items);
    const QStringList keywords = { QString(),
                                   QStringLiteral("e"),
                                   QStringLiteral("co"),
                                   QStringLiteral("config"),
                                   QStringLiteral("entry 1"),
                                   QStringLiteral("renamed"),
                                   QStringLiteral("outside"),
                                   QStringLiteral("con%"),
                                   QStringLiteral("nothing here") };
    for (const QString& keyword : keywords) {
        QList<IconItemInfo> found;
        db.searchItems(found, keyword);
        QCOMPARE(StoreTest::ids(found), StoreTest::plainLikeIds(path, keyword));
    }
    QVERIFY(StoreTest::FileState::of(path) == before);
    db = IconDatabase();
    QVERIFY(StoreTest::FileState::of(path) == before);
    reader.reset();

    // The first change brings the index up to date in its own transaction.
    db.openDatabaseAt(path, m_runtimeTemplate);
    QVERIFY(db.setItemLastTime(1, 77));
    QVERIFY(db.hasSearchIndex());
    QCOMPARE(scalar(path, QStringLiteral("select count(*) from icon_item_search_log")).toInt(), 0);
    for (const QString& keyword : keywords) {
        QList<IconItemInfo> found;
        db.searchItems(found, keyword);
        QCOMPARE(StoreTest::ids(found), StoreTest::plainLikeIds(path, keyword));
    }
}

// A program that ended in the middle of a change to a file with a rollback journal (a crash, a power loss) leaves
// the journal beside it: opening the catalogue rolls the change back, as SQLite does, and shows what was stored.
void TestDatabaseOpen::interruptedChangeIsRolledBack()
{
    const QString source = m_work->filePath(QStringLiteral("source.db"));
    const QString path = m_work->filePath(QStringLiteral("data.db"));
    QVERIFY(StoreTest::makeCatalogue(source, 3000));
    // The state of the files in the middle of a large change: pages already written to the file, the journal
    // holding the old ones; copied while the change is open, as a crash would leave them.
    withConnection(source, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("pragma cache_size=10")));
        QVERIFY(q.exec(QStringLiteral("begin")));
        QVERIFY(q.exec(QStringLiteral("update icon_item set icon_name='half done', file_name=file_name||'x'")));
        QVERIFY(QFile::exists(source + QStringLiteral("-journal")));
        QVERIFY(QFile::copy(source, path));
        QVERIFY(QFile::copy(source + QStringLiteral("-journal"), path + QStringLiteral("-journal")));
        QVERIFY(q.exec(QStringLiteral("rollback")));
    });

    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    QCOMPARE(db.state(), IconDatabase::State::Ok);
    QList<IconItemInfo> found;
    db.searchItems(found, QStringLiteral("half done"));
    QVERIFY(found.isEmpty());
    QList<IconItemInfo> items;
    db.getItemsByType(items, en_team_icon);
    QCOMPARE(items.size(), 3000);
    QCOMPARE(items.at(0).icon_name, QStringLiteral("entry 0 config"));
}

// Another program holding the file for itself (an exclusive transaction) while Brisko starts: opening gives up
// after a moment and says which file and why; the next start, with the lock gone, opens it as usual.
void TestDatabaseOpen::lockedCatalogueIsReported()
{
    const QString path = m_work->filePath(QStringLiteral("data.db"));
    QVERIFY(StoreTest::makeCatalogue(path, 10));
    const StoreTest::FileState before = StoreTest::FileState::of(path);
    withConnection(path, [&](QSqlDatabase& other) {
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("begin exclusive")));
        QTest::ignoreMessage(QtDebugMsg, "open db error!");
        IconDatabase db;
        db.openDatabaseAt(path, m_runtimeTemplate);
        QCOMPARE(db.state(), IconDatabase::State::OpenFailed);
        QVERIFY2(db.errorText().contains(QDir::toNativeSeparators(path)), qPrintable(db.errorText()));
        QVERIFY2(db.errorText().contains(QStringLiteral("另一个程序")), qPrintable(db.errorText()));
        QCOMPARE(db.addTeam(QStringLiteral("t"), en_team_icon), 0);
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("rollback")));
    });
    QVERIFY(StoreTest::FileState::of(path) == before);
    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    QCOMPARE(db.state(), IconDatabase::State::Ok);
}

void TestDatabaseOpen::notACatalogueIsLeftUntouched_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<bool>("catalogue");
    QTest::newRow("tables of another program")
        << QStringList { QStringLiteral("create table notes(id integer primary key, body text)"),
                         QStringLiteral("insert into notes(body) values('mine')") }
        << false;
    QTest::newRow("a team table only") << QStringList { QStringLiteral(
        "create table team(id integer primary key, name text, ttype integer,"
        " order_num integer)") } << false;
    QTest::newRow("tables of the same names, other columns")
        << QStringList { QStringLiteral("create table team(id integer primary key, title text)"),
                         QStringLiteral("create table icon_item(id integer primary key, path text, size integer)") }
        << false;
    QTest::newRow("a view only") << QStringList { QStringLiteral("create view v as select 1 as x") } << false;
    // A database without tables is a new catalogue: it gets the schema.
    QTest::newRow("empty database") << QStringList { QStringLiteral("pragma user_version=3") } << true;
}

// A SQLite file that holds something other than a catalogue is reported and left exactly as it is.
void TestDatabaseOpen::notACatalogueIsLeftUntouched()
{
    QFETCH(QStringList, statements);
    QFETCH(bool, catalogue);
    const QString path = m_work->filePath(QStringLiteral("data.db"));
    withConnection(path, [&](QSqlDatabase& db) {
        for (const QString& sql : statements) {
            QVERIFY2(QSqlQuery(db).exec(sql), qPrintable(sql));
        }
    });
    QVERIFY(QFileInfo(path).size() > 0);
    const StoreTest::FileState before = StoreTest::FileState::of(path);

    if (!catalogue) {
        QTest::ignoreMessage(QtDebugMsg, "open db error!");
    }
    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    if (catalogue) {
        QCOMPARE(db.state(), IconDatabase::State::Ok);
        QCOMPARE(columns(path, QStringLiteral("icon_item")).size(), 7);
        QVERIFY(db.addTeam(QStringLiteral("first"), en_team_icon) > 0);
        return;
    }
    QCOMPARE(db.state(), IconDatabase::State::NotACatalogue);
    QVERIFY(!db.isUsable());
    QVERIFY(!db.isWritable());
    QVERIFY2(db.errorText().contains(QDir::toNativeSeparators(path)), qPrintable(db.errorText()));
    QVERIFY2(db.errorText().contains(QStringLiteral("已原样保留")), qPrintable(db.errorText()));
    QCOMPARE(db.addTeam(QStringLiteral("t"), en_team_icon), 0);
    QCOMPARE(db.addItem(QStringLiteral("i"), QStringLiteral("/i"), 1, en_team_icon), 0);
    QVERIFY(!db.beginBatch());
    QList<IconItemInfo> items;
    db.searchItems(items, QStringLiteral("abc"));
    QVERIFY(items.isEmpty());
    QVERIFY(StoreTest::FileState::of(path) == before);
    db = IconDatabase();
    QVERIFY(StoreTest::FileState::of(path) == before);
}

void TestDatabaseOpen::readOnlyCatalogueStillReads_data()
{
    QTest::addColumn<bool>("folderOnly");
    QTest::addColumn<int>("block");
    QTest::newRow("read-only file") << false << int(IconDatabase::WriteBlock::ReadOnlyFile);
    QTest::newRow("read-only folder (no journal can be made)") << true << int(IconDatabase::WriteBlock::ReadOnlyFolder);
}

// A catalogue the user may only read still shows its groups and entries and can be searched (also when another
// program changed it, so that its search index is stale). Every change is refused and reported, the reason is
// there to tell the person, and the file stays as it is.
void TestDatabaseOpen::readOnlyCatalogueStillReads()
{
    QFETCH(bool, folderOnly);
    QFETCH(int, block);
    const QString folder = m_work->filePath(QStringLiteral("ro"));
    const QString path = folder + QStringLiteral("/data.db");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(StoreTest::makeCatalogue(path, 30));
    withConnection(path, [](QSqlDatabase& db) {
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("update icon_item set icon_name='other config' where id=5")));
    });
    const StoreTest::FileState before = StoreTest::FileState::of(path);
    std::unique_ptr<StoreTest::Unwritable> fileGuard;
    if (!folderOnly) {
        fileGuard = std::make_unique<StoreTest::Unwritable>(path);
    }
    StoreTest::Unwritable folderGuard(folder);
    if (!folderGuard.done() || (fileGuard && !fileGuard->done())) {
        QSKIP("this file system or account cannot make a file read-only");
    }

    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    QCOMPARE(db.state(), IconDatabase::State::Ok);
    QVERIFY(db.isUsable());
    QVERIFY(!db.isWritable());
    QCOMPARE(int(db.writeBlock()), block);
    QVERIFY2(db.writeBlockReason().contains(QDir::toNativeSeparators(path)), qPrintable(db.writeBlockReason()));
    QList<TeamInfo> teams;
    db.getTeamsByType(teams, en_team_icon);
    QCOMPARE(teams.size(), 1);
    QList<IconItemInfo> items;
    db.getItemsByType(items, en_team_icon);
    QCOMPARE(items.size(), 30);
    for (const QString& keyword : { QStringLiteral("config"), QStringLiteral("other"), QStringLiteral("entry 2") }) {
        QList<IconItemInfo> found;
        db.searchItems(found, keyword);
        QCOMPARE(StoreTest::ids(found), StoreTest::plainLikeIds(path, keyword));
    }

    QCOMPARE(db.addTeam(QStringLiteral("t"), en_team_icon), 0);
    QCOMPARE(db.addItem(QStringLiteral("i"), QStringLiteral("/i"), 1, en_team_icon), 0);
    QVERIFY(!db.beginBatch());
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    QVERIFY(!db.renameTeam(1, QStringLiteral("x")));
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    QVERIFY(!db.setItemLastTime(1, 5));
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    QVERIFY(!db.swapItemOrder(1, 2));
    db = IconDatabase();
    QVERIFY(StoreTest::FileState::of(path) == before);
}

void TestDatabaseOpen::integrityCheck_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::newRow("sound catalogue") << false;
    QTest::newRow("damaged page") << true;
}

// The quick check runs on a thread of its own; a damaged file is reported once and no longer written to.
void TestDatabaseOpen::integrityCheck()
{
    QFETCH(bool, damaged);
    const QString path = m_work->filePath(QStringLiteral("data.db"));
    if (damaged) {
        QVERIFY(StoreTest::makeDamagedCatalogue(path, 3000));
        QVERIFY(scalar(path, QStringLiteral("pragma quick_check")).toString() != QLatin1String("ok"));
    } else {
        QVERIFY(StoreTest::makeCatalogue(path, 3000));
    }
    const StoreTest::FileState before = StoreTest::FileState::of(path);

    IconDatabase db;
    db.openDatabaseAt(path, m_runtimeTemplate);
    QVERIFY(db.isUsable());
    QVERIFY(db.isWritable());
    QCOMPARE(db.integrity(), IconDatabase::Integrity::NotChecked);
    QObject context;
    int told = 0;
    QVERIFY(db.startIntegrityCheck(&context, [&] { ++told; }));
    QVERIFY(!db.startIntegrityCheck(&context, [&] { ++told; })); // once per opened catalogue
    QTRY_VERIFY(db.integrity() == IconDatabase::Integrity::Sound || db.integrity() == IconDatabase::Integrity::Damaged);
    QCOMPARE(db.integrity(), damaged ? IconDatabase::Integrity::Damaged : IconDatabase::Integrity::Sound);
    QTRY_COMPARE(told, damaged ? 1 : 0);
    QCOMPARE(db.isWritable(), !damaged);
    if (!damaged) {
        QVERIFY(db.addItem(QStringLiteral("new"), QStringLiteral("/new"), 1, en_team_icon) > 0);
        return;
    }
    QCOMPARE(db.writeBlock(), IconDatabase::WriteBlock::Damaged);
    QVERIFY2(db.writeBlockReason().contains(QDir::toNativeSeparators(path)), qPrintable(db.writeBlockReason()));
    QVERIFY2(db.writeBlockReason().contains(QStringLiteral("未被改动")), qPrintable(db.writeBlockReason()));
    QCOMPARE(db.addItem(QStringLiteral("new"), QStringLiteral("/new"), 1, en_team_icon), 0);
    QCOMPARE(db.addTeam(QStringLiteral("new"), en_team_icon), 0);
    QVERIFY(!db.beginBatch());
    QTest::ignoreMessage(QtDebugMsg, "query error!");
    QVERIFY(!db.deleteItem(1));
    QTest::qWait(50);
    QCOMPARE(told, 1);
    db = IconDatabase();
    QVERIFY(StoreTest::FileState::of(path) == before);
}

// The check's thread does not outlive the catalogue: closing it stops the check, and nobody is told afterwards.
void TestDatabaseOpen::integrityCheckEndsWithTheStore()
{
    const QString path = m_work->filePath(QStringLiteral("data.db"));
    QVERIFY(StoreTest::makeDamagedCatalogue(path, 3000));
    int told = 0;
    {
        QObject context;
        IconDatabase db;
        db.openDatabaseAt(path, m_runtimeTemplate);
        QVERIFY(db.startIntegrityCheck(&context, [&] { ++told; }));
    }
    {
        IconDatabase db;
        db.openDatabaseAt(path, m_runtimeTemplate);
        QObject context;
        QVERIFY(db.startIntegrityCheck(&context, [&] { ++told; }));
        // Opening again (what the window does on each construction) ends the first check the same way.
        db.openDatabaseAt(path, m_runtimeTemplate);
        QCOMPARE(db.integrity(), IconDatabase::Integrity::NotChecked);
    }
    {
        IconDatabase db;
        db.openDatabaseAt(path, m_runtimeTemplate);
        auto context = std::make_unique<QObject>();
        QVERIFY(db.startIntegrityCheck(context.get(), [&] { ++told; }));
        // The one to tell is gone before the answer: the catalogue still stops taking changes.
        context.reset();
        QTRY_COMPARE(db.integrity(), IconDatabase::Integrity::Damaged);
        QVERIFY(!db.isWritable());
    }
    QTest::qWait(50);
    QCOMPARE(told, 0);
}

void TestDatabaseOpen::copiesShareTheConnection()
{
    const QString path = m_work->filePath(QStringLiteral("shared.db"));
    IconDatabase holder;
    IconDatabase early = holder; // taken before the open: still the same catalogue
    holder.openDatabaseAt(path, QString());
    QVERIFY(early.isUsable());
    QVERIFY(early.addTeam(QStringLiteral("via early copy"), en_team_icon) > 0);
    {
        IconDatabase copy(holder);
        IconDatabase assigned;
        assigned = holder;
        QVERIFY(copy.addTeam(QStringLiteral("via copy"), en_team_icon) > 0);
        QVERIFY(assigned.beginBatch());
        QVERIFY(assigned.addTeam(QStringLiteral("via assigned"), en_team_site) > 0);
        QVERIFY(holder.commitBatch());
    }
    // The copies went out of scope: the connection stays open for the other holders.
    QVERIFY(holder.isUsable());
    QVERIFY(holder.addTeam(QStringLiteral("after"), en_team_icon) > 0);
    QList<TeamInfo> teams;
    early.getTeamsByType(teams, en_team_icon);
    QCOMPARE(teams.size(), 3);
    QCOMPARE(scalar(path, QStringLiteral("select count(*) from team")).toInt(), 4);
}

void TestDatabaseOpen::instanceIsProcessWide()
{
    IconDatabase& a = IconDatabase::instance();
    IconDatabase& b = IconDatabase::instance();
    QCOMPARE(&a, &b);
    QVERIFY(QDir::setCurrent(m_work->path()));
    QVERIFY(QFile::copy(m_runtimeTemplate, m_work->filePath(QStringLiteral("data.db"))));
    a.openDatabase();
    QVERIFY(a.isUsable());
    IconDatabase window = a; // the main window's copy
    QCOMPARE(teamNames(window), QStringList({ QStringLiteral("1:常用软件"), QStringLiteral("2:常用网址") }));
    QCOMPARE(window.databasePath(), dbPath());
}

QTEST_GUILESS_MAIN(TestDatabaseOpen)
#include "tst_databaseopen.moc"
