#include "catalogueschema.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

using CatalogueSchema::Content;

namespace
{
// The catalogue tables. The column order is binding: every read uses "select *" and takes columns by position.
const char* const kCreateTables[] = {
    "create table if not exists team(id integer primary key autoincrement, name text, ttype integer default 0,"
    " order_num integer default 0)",
    "create table if not exists icon_item(id integer primary key autoincrement, icon_name text, file_name text,"
    " team_id integer default 0, last_time integer default 0, order_num integer default 0, ttype integer default 0)",
};

// Indexes that keep the listing operations fast on large catalogues: lists by kind in display order, the
// maximum order number of a new row, the entries of one group, the recent list, and the groups' counts and
// entries read as the groups open.
const char* const kCreateIndexes[] = {
    "create index if not exists team_kind_order on team(ttype, order_num)",
    "create index if not exists icon_item_kind_order on icon_item(ttype, order_num)",
    "create index if not exists icon_item_order on icon_item(order_num)",
    "create index if not exists icon_item_team on icon_item(team_id)",
    "create index if not exists icon_item_last_time on icon_item(last_time)",
    // The entries of one group of one kind in display order, and their counts, read from the index alone.
    "create index if not exists icon_item_team_kind_order on icon_item(team_id, ttype, order_num)",
};

// The name search index: an FTS5 trigram table over icon_name, its content read from icon_item itself. It only
// narrows the candidates; the LIKE of the search still decides every row. It keeps no positions or sizes
// (detail=none, columnsize=0): a candidate is a row holding every trigram of the keyword, which keeps the index
// small and cheap to write.
//
// Triggers keep it in step, but not by writing to it directly: they log every change of a name in the plain
// table icon_item_search_log, and every change this program makes applies the log to the index in one statement
// at its end, inside its own transaction, so the index is current whenever that change is. FTS5 flushes its
// pending terms at every statement that writes it inside a transaction, which would make a batch of additions
// several times slower; and a log needs no FTS5, so any program can still change the catalogue. A log that is not
// empty (another program's changes) marks the index stale: searches then scan until the next change here.
const char* const kSearchTable = "icon_item_search";
const char* const kSearchTableDefinition = "using fts5(icon_name, content='icon_item', content_rowid='id',"
                                           " tokenize='trigram', detail=none, columnsize=0)";
const char* const kCreateSearchLog = "create table if not exists icon_item_search_log(seq integer primary key,"
                                     " rid integer, name text, removed integer)";
const char* const kSearchTriggerNames[]
    = { "icon_item_search_log_ai", "icon_item_search_log_ad", "icon_item_search_log_au" };
const char* const kCreateSearchTriggers[] = {
    "create trigger icon_item_search_log_ai after insert on icon_item begin"
    " insert into icon_item_search_log(rid, name, removed) values(new.id, new.icon_name, 0); end",
    "create trigger icon_item_search_log_ad after delete on icon_item begin"
    " insert into icon_item_search_log(rid, name, removed) values(old.id, old.icon_name, 1); end",
    "create trigger icon_item_search_log_au after update of id, icon_name on icon_item begin"
    " insert into icon_item_search_log(rid, name, removed) values(old.id, old.icon_name, 1);"
    " insert into icon_item_search_log(rid, name, removed) values(new.id, new.icon_name, 0); end",
};
// Triggers that wrote to the index directly, replaced by the log.
const char* const kDirectSearchTriggerNames[] = { "icon_item_search_ai", "icon_item_search_ad", "icon_item_search_au" };

// The number of entries of every group and kind, kept by triggers, so that a group's count is read without
// counting its entries (the window shows every group's count at start-up, whatever the groups hold). Made, or
// made anew from icon_item, whenever the table or any of its triggers is missing; read only while all are there.
// No constraint of its own can fail: a change of icon_item that SQLite cannot finish (a full disk) ends the same
// way with the counts as without them.
const char* const kCreateCountTable = "create table if not exists icon_item_count(team_id integer, ttype integer,"
                                      " items integer)";
const char* const kCreateCountIndex
    = "create index if not exists icon_item_count_key on icon_item_count(team_id, ttype)";
const char* const kCountTriggerNames[] = { "icon_item_count_ai", "icon_item_count_ad", "icon_item_count_au" };
const char* const kCreateCountTriggers[] = {
    "create trigger icon_item_count_ai after insert on icon_item begin"
    " insert into icon_item_count(team_id, ttype, items) select new.team_id, new.ttype, 0"
    " where new.team_id is not null and new.ttype is not null"
    " and not exists(select 1 from icon_item_count where team_id=new.team_id and ttype=new.ttype);"
    " update icon_item_count set items=items+1 where team_id=new.team_id and ttype=new.ttype; end",
    "create trigger icon_item_count_ad after delete on icon_item begin"
    " update icon_item_count set items=items-1 where team_id=old.team_id and ttype=old.ttype;"
    " delete from icon_item_count where team_id=old.team_id and ttype=old.ttype and items<=0; end",
    "create trigger icon_item_count_au after update of team_id, ttype on icon_item begin"
    " update icon_item_count set items=items-1 where team_id=old.team_id and ttype=old.ttype;"
    " delete from icon_item_count where team_id=old.team_id and ttype=old.ttype and items<=0;"
    " insert into icon_item_count(team_id, ttype, items) select new.team_id, new.ttype, 0"
    " where new.team_id is not null and new.ttype is not null"
    " and not exists(select 1 from icon_item_count where team_id=new.team_id and ttype=new.ttype);"
    " update icon_item_count set items=items+1 where team_id=new.team_id and ttype=new.ttype; end",
};
const char* const kFillCountTable = "insert into icon_item_count(team_id, ttype, items) select team_id, ttype, count(*)"
                                    " from icon_item where team_id is not null and ttype is not null"
                                    " group by team_id, ttype";
// The leading columns of the catalogue tables, in their binding order; a database whose tables of these names
// have other columns is not a catalogue.
const char* const kTeamColumns[] = { "id", "name", "ttype", "order_num" };
const char* const kItemColumns[] = { "id", "icon_name", "file_name", "team_id", "last_time", "order_num", "ttype" };

QString str(const char* s)
{
    return QString::fromLatin1(s);
}

bool run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql);
}

bool objectExists(QSqlDatabase& db, const QString& type, const QString& name)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("select count(*) from sqlite_master where type=? and name=?"));
    q.addBindValue(type);
    q.addBindValue(name);
    return q.exec() && q.next() && q.value(0).toInt() > 0;
}

/// True when `table` exists and its columns begin with `names`, in that order.
template <size_t N>
bool hasColumns(QSqlDatabase& db, const QString& table, const char* const (&names)[N])
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("pragma table_info(%1)").arg(table))) {
        return false;
    }
    size_t i = 0;
    for (; q.next(); ++i) {
        if (i < N && q.value(1).toString().compare(QLatin1String(names[i]), Qt::CaseInsensitive) != 0) {
            return false;
        }
    }
    return i >= N;
}

// True when the search table can be queried here (the FTS5 module and its trigram tokenizer are present).
bool searchTableWorks(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("select count(*) from icon_item_search where icon_item_search match '\"abc\"'"));
}

QString searchTableDefinition(QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select sql from sqlite_master where type='table' and name=?"));
    q.addBindValue(str(kSearchTable));
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

/// True when the three triggers named and the table they write to are all there.
bool triggersAndTableExist(QSqlDatabase& db, const char* const (&triggers)[3], const QString& table)
{
    for (const char* name : triggers) {
        if (!objectExists(db, QStringLiteral("trigger"), str(name))) {
            return false;
        }
    }
    return objectExists(db, QStringLiteral("table"), table);
}

void dropTriggers(QSqlDatabase& db, const char* const (&triggers)[3])
{
    for (const char* name : triggers) {
        run(db, QStringLiteral("drop trigger if exists %1").arg(str(name)));
    }
}

bool searchTriggersExist(QSqlDatabase& db)
{
    return triggersAndTableExist(db, kSearchTriggerNames, QStringLiteral("icon_item_search_log"));
}

void dropSearchTriggers(QSqlDatabase& db)
{
    dropTriggers(db, kSearchTriggerNames);
}

// Sets up the search index where SQLite offers it, inside the caller's transaction. An index whose triggers or log
// are missing may have missed changes, so it is rebuilt from the table.
void ensureSearchIndex(QSqlDatabase& db)
{
    dropTriggers(db, kDirectSearchTriggerNames);
    bool existed = objectExists(db, QStringLiteral("table"), str(kSearchTable));
    if (existed && !searchTableDefinition(db).endsWith(str(kSearchTableDefinition))) {
        // Made with other options: made anew (and filled below).
        if (!run(db, QStringLiteral("drop table icon_item_search"))) {
            return;
        }
        existed = false;
    }
    if (!existed && !run(db, QStringLiteral("create virtual table icon_item_search ") + str(kSearchTableDefinition))) {
        return; // no FTS5 or no trigram tokenizer: searches scan the table
    }
    const QString rebuild = QStringLiteral("insert into icon_item_search(icon_item_search) values('rebuild')");
    if (!searchTableWorks(db) && !(run(db, rebuild) && searchTableWorks(db))) {
        return; // an index beyond rebuilding: searches scan the table
    }
    if (existed && searchTriggersExist(db)) {
        return;
    }
    dropSearchTriggers(db);
    bool ok = run(db, str(kCreateSearchLog)) && run(db, QStringLiteral("delete from icon_item_search_log"));
    for (const char* sql : kCreateSearchTriggers) {
        ok = ok && run(db, str(sql));
    }
    ok = ok && run(db, rebuild);
    if (!ok) {
        dropSearchTriggers(db);
    }
}

bool countTriggersExist(QSqlDatabase& db)
{
    return triggersAndTableExist(db, kCountTriggerNames, QStringLiteral("icon_item_count"));
}

// Sets up the count table inside the caller's transaction, filled from icon_item when it is new or may have
// missed changes. What cannot be made is left out (the counts are then read from the entries).
void ensureItemCounts(QSqlDatabase& db)
{
    if (countTriggersExist(db)) {
        return;
    }
    dropTriggers(db, kCountTriggerNames);
    bool ok = run(db, str(kCreateCountTable)) && run(db, str(kCreateCountIndex))
        && run(db, QStringLiteral("delete from icon_item_count"));
    for (const char* sql : kCreateCountTriggers) {
        ok = ok && run(db, str(sql));
    }
    ok = ok && run(db, str(kFillCountTable));
    if (!ok) {
        dropTriggers(db, kCountTriggerNames);
    }
}
} // namespace

// Applies the logged changes in their order: removals as FTS5 'delete' commands with the names that were indexed,
// additions as plain inserts.
const char* const CatalogueSchema::kApplySearchLog = "insert into icon_item_search(icon_item_search, rowid, icon_name)"
                                                     " select case when removed then 'delete' end, rid, name"
                                                     " from icon_item_search_log order by seq";

namespace CatalogueSchema
{

bool catalogueTablesExist(QSqlDatabase& db)
{
    return objectExists(db, QStringLiteral("table"), QStringLiteral("team"))
        && objectExists(db, QStringLiteral("table"), QStringLiteral("icon_item"));
}

/// Reads what the database holds, without changing anything; false (and the error) when it cannot be read.
bool readContent(QSqlDatabase& db, Content& content, QSqlError& error)
{
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("select count(*) from sqlite_master")) || !q.next()) {
            error = q.lastError();
            return false;
        }
        if (q.value(0).toInt() == 0) {
            content = Content::Empty;
            return true;
        }
    }
    content = hasColumns(db, QStringLiteral("team"), kTeamColumns)
            && hasColumns(db, QStringLiteral("icon_item"), kItemColumns)
        ? Content::Catalogue
        : Content::Other;
    return true;
}

// True when the search index, its log and the triggers that fill the log are all there and work here.
bool searchIndexUsable(QSqlDatabase& db)
{
    return searchTableDefinition(db).endsWith(str(kSearchTableDefinition)) && searchTableWorks(db)
        && searchTriggersExist(db);
}

/// Creates whatever of the catalogue's tables, indexes and search index is missing, inside the caller's
/// transaction. False when the tables or indexes could not be made (a search index SQLite cannot offer is
/// simply left out).
bool buildSchema(QSqlDatabase& db)
{
    bool ok = true;
    for (const char* sql : kCreateTables) {
        ok = ok && run(db, str(sql));
    }
    for (const char* sql : kCreateIndexes) {
        ok = ok && run(db, str(sql));
    }
    if (ok) {
        ensureItemCounts(db);
        ensureSearchIndex(db);
    }
    return ok;
}

/// True when the catalogue has everything buildSchema() would make. Reads only.
bool schemaComplete(QSqlDatabase& db)
{
    return catalogueTablesExist(db) && indexesAndCountsComplete(db) && searchIndexUsable(db);
}

bool indexesAndCountsComplete(QSqlDatabase& db)
{
    for (const char* sql : kCreateIndexes) {
        const QString name = str(sql).section(QLatin1Char(' '), 5, 5);
        if (!objectExists(db, QStringLiteral("index"), name)) {
            return false;
        }
    }
    return countTriggersExist(db);
}

bool itemCountsKept(QSqlDatabase& db)
{
    return countTriggersExist(db);
}

} // namespace CatalogueSchema
