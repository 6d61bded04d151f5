#include "icondatabase.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>
#include <map>

#ifdef BRISKO_HAVE_SQLITE3
#include <sqlite3.h>
#endif

namespace
{
// Another process holding a lock on the file (a backup or sync tool) makes statements wait this long.
const int kBusyTimeoutMs = 5000;

// SQLite result codes that say the file is not a database (or is damaged beyond reading).
const int kSqliteCorrupt = 11;
const int kSqliteNotADb = 26;

// The catalogue tables. The column order is binding: every read uses "select *" and takes columns by position.
const char* const kCreateTables[] = {
    "create table if not exists team(id integer primary key autoincrement, name text, ttype integer default 0,"
    " order_num integer default 0)",
    "create table if not exists icon_item(id integer primary key autoincrement, icon_name text, file_name text,"
    " team_id integer default 0, last_time integer default 0, order_num integer default 0, ttype integer default 0)",
};

// Indexes that keep the listing operations fast on large catalogues: lists by kind in display order, the
// maximum order number of a new row, the entries of one group, and the recent list.
const char* const kCreateIndexes[] = {
    "create index if not exists team_kind_order on team(ttype, order_num)",
    "create index if not exists icon_item_kind_order on icon_item(ttype, order_num)",
    "create index if not exists icon_item_order on icon_item(order_num)",
    "create index if not exists icon_item_team on icon_item(team_id)",
    "create index if not exists icon_item_last_time on icon_item(last_time)",
};

// The name search index: an FTS5 trigram table over icon_name, its content read from icon_item itself. It only
// narrows the candidates; the LIKE of the search still decides every row. It keeps no positions or sizes
// (detail=none, columnsize=0): a candidate is a row holding every trigram of the keyword, which keeps the index
// small and cheap to write.
//
// Triggers keep it in step, but not by writing to it directly: they log every change of a name in the plain
// table icon_item_search_log, and the log is applied to the index in one statement before the index is used.
// FTS5 flushes its pending terms at every statement that writes it inside a transaction, which would make a batch
// of additions several times slower; and a log needs no FTS5, so any program can still change the catalogue.
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
// Applies the logged changes in their order: removals as FTS5 'delete' commands with the names that were indexed,
// additions as plain inserts.
const char* const kApplySearchLog = "insert into icon_item_search(icon_item_search, rowid, icon_name)"
                                    " select case when removed then 'delete' end, rid, name"
                                    " from icon_item_search_log order by seq";

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

bool catalogueTablesExist(QSqlDatabase& db)
{
    return objectExists(db, QStringLiteral("table"), QStringLiteral("team"))
        && objectExists(db, QStringLiteral("table"), QStringLiteral("icon_item"));
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

bool searchTriggersExist(QSqlDatabase& db)
{
    for (const char* name : kSearchTriggerNames) {
        if (!objectExists(db, QStringLiteral("trigger"), str(name))) {
            return false;
        }
    }
    return objectExists(db, QStringLiteral("table"), QStringLiteral("icon_item_search_log"));
}

void dropSearchTriggers(QSqlDatabase& db)
{
    for (const char* name : kSearchTriggerNames) {
        run(db, QStringLiteral("drop trigger if exists %1").arg(str(name)));
    }
}

// Sets up the search index where SQLite offers it. An index whose triggers or log are missing may have missed
// changes, so it is rebuilt from the table.
void ensureSearchIndex(QSqlDatabase& db)
{
    for (const char* name : kDirectSearchTriggerNames) {
        run(db, QStringLiteral("drop trigger if exists %1").arg(str(name)));
    }
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

bool searchIndexUsable(QSqlDatabase& db)
{
    return searchTableDefinition(db).endsWith(str(kSearchTableDefinition)) && searchTableWorks(db)
        && searchTriggersExist(db);
}

// The index query for a keyword: every trigram (three code points) of it, each quoted, joined by AND.
QString trigramQuery(const QString& keyword)
{
    const QList<uint> cps = keyword.toUcs4();
    QStringList terms;
    for (qsizetype i = 0; i + 3 <= cps.size(); ++i) {
        QString tri = QString::fromUcs4(reinterpret_cast<const char32_t*>(cps.constData() + i), 3);
        tri.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        tri = QLatin1Char('"') + tri + QLatin1Char('"');
        if (!terms.contains(tri)) {
            terms.append(tri);
        }
    }
    return terms.join(QStringLiteral(" AND "));
}

bool isNotADatabaseError(const QSqlError& e)
{
    const int code = e.nativeErrorCode().toInt();
    return code == kSqliteNotADb || code == kSqliteCorrupt;
}

// Texts are stored exactly as handed over; a null QString is stored as the empty text (not SQL NULL), so that
// such an entry still matches the empty search keyword like any other.
QVariant textValue(const QString& s)
{
    return s.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(s);
}

int codePointCount(const QString& s)
{
    int n = 0;
    for (int i = 0; i < s.size(); ++i) {
        if (!(s.at(i).isLowSurrogate() && i > 0 && s.at(i - 1).isHighSurrogate())) {
            ++n;
        }
    }
    return n;
}

std::atomic<int> g_connectionCounter { 0 };

#ifdef BRISKO_HAVE_SQLITE3
// The SQLite handle behind a QSQLITE connection, when this program's SQLite library is the very one the Qt
// driver runs on (the same source id); null otherwise.
sqlite3* nativeHandle(QSqlDatabase& db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    sqlite3* handle = *static_cast<sqlite3* const*>(v.constData());
    QSqlQuery q(db);
    if (!handle || !q.exec(QStringLiteral("select sqlite_source_id()")) || !q.next()
        || q.value(0).toString() != QString::fromLatin1(sqlite3_sourceid()) || sqlite3_initialize() != SQLITE_OK) {
        return nullptr;
    }
    return handle;
}

QString columnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)) : QString();
}

bool bindNative(sqlite3_stmt* stmt, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values.at(i);
        int rc = SQLITE_OK;
        if (v.typeId() == QMetaType::QString) {
            // Bound without a copy (a null destructor is SQLITE_STATIC): the values outlive the statement's run,
            // and the bindings are cleared when it is reset.
            const QString& text = *static_cast<const QString*>(v.constData());
            rc = sqlite3_bind_text16(stmt, i + 1, text.utf16(), int(text.size() * sizeof(QChar)), nullptr);
        } else {
            rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
        }
        if (rc != SQLITE_OK) {
            return false;
        }
    }
    return true;
}
#endif
} // namespace

struct IconDatabase::Shared
{
    QString connectionName;
    QSqlDatabase db;
    State state = State::NotOpened;
    QString path;
    QString errorText;
    bool searchIndex = false;
    bool inBatch = false;
    // The highest order number of each table during a batch, by the statement that reads it.
    std::map<QString, int> batchMaxOrder;
    bool walMode = false;
    // Prepared statements of this connection, by statement text.
    std::map<QString, std::unique_ptr<QSqlQuery>> statements;
#ifdef BRISKO_HAVE_SQLITE3
    // The connection's own SQLite handle, used to read rows of the listings without QSqlQuery's per-value
    // overhead; null where the handle cannot be used safely (then QSqlQuery reads them).
    sqlite3* handle = nullptr;
    std::map<QString, sqlite3_stmt*> nativeStatements;

    sqlite3_stmt* nativeStatement(const QString& sql)
    {
        if (!handle) {
            return nullptr;
        }
        auto it = nativeStatements.find(sql);
        if (it != nativeStatements.end()) {
            return it->second;
        }
        sqlite3_stmt* stmt = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            return nullptr;
        }
        nativeStatements.emplace(sql, stmt);
        return stmt;
    }
#endif

    ~Shared()
    {
        close();
    }

    bool isOpen() const
    {
        return db.isValid() && db.isOpen();
    }

    void close()
    {
        if (inBatch && isOpen()) {
            // Additions handed over in a batch are kept.
            QSqlQuery(db).exec(QStringLiteral("commit"));
        }
        inBatch = false;
        batchMaxOrder.clear();
        statements.clear();
#ifdef BRISKO_HAVE_SQLITE3
        for (auto& entry : nativeStatements) {
            sqlite3_finalize(entry.second);
        }
        nativeStatements.clear();
        handle = nullptr;
#endif
        if (isOpen() && walMode) {
            // The file goes back to a rollback journal when the catalogue closes, so that at rest it is one
            // self-contained file (for backups and sync tools) that can also be read where it cannot be written.
            // Not worth waiting for when another process is reading it.
            QSqlQuery q(db);
            q.exec(QStringLiteral("pragma busy_timeout=0"));
            q.exec(QStringLiteral("pragma journal_mode=delete"));
        }
        walMode = false;
        if (db.isValid()) {
            db.close();
        }
        db = QSqlDatabase();
        if (!connectionName.isEmpty()) {
            QSqlDatabase::removeDatabase(connectionName);
            connectionName.clear();
        }
        searchIndex = false;
    }

    /// The cached prepared statement for `sql`, or nullptr without a connection or when it cannot be prepared.
    QSqlQuery* statement(const QString& sql)
    {
        if (!isOpen()) {
            return nullptr;
        }
        auto it = statements.find(sql);
        if (it != statements.end()) {
            return it->second.get();
        }
        auto q = std::make_unique<QSqlQuery>(db);
        q->setForwardOnly(true);
        if (!q->prepare(sql)) {
            return nullptr;
        }
        QSqlQuery* result = q.get();
        statements.emplace(sql, std::move(q));
        return result;
    }

    /// Runs a prepared statement with the given values; the caller reads the rows (if any) and calls finish().
    /// Nullptr when it could not be prepared or run.
    QSqlQuery* execute(const QString& sql, const QVariantList& values)
    {
        QSqlQuery* q = statement(sql);
        if (!q) {
            return nullptr;
        }
        for (int i = 0; i < values.size(); ++i) {
            q->bindValue(i, values.at(i));
        }
        if (!q->exec()) {
            q->finish();
            return nullptr;
        }
        return q;
    }

    /// Runs a prepared statement that returns no rows; the statement is reset afterwards.
    bool write(const QString& sql, const QVariantList& values)
    {
        batchMaxOrder.clear();
        QSqlQuery* q = execute(sql, values);
        if (!q) {
            return false;
        }
        q->finish();
        return true;
    }

    /// The first column of the first row of a select as an integer; 0 when there is none.
    int selectInt(const QString& sql)
    {
        QSqlQuery* q = execute(sql, {});
        if (!q) {
            return 0;
        }
        const int value = q->next() ? q->value(0).toInt() : 0;
        q->finish();
        return value;
    }

    int insert(const QString& maxSql, const QString& insertSql, QVariantList values)
    {
        // Inside a batch this connection holds the write lock, and only its own additions change the maximum:
        // it is read once per table and then carried along.
        int maximum = 0;
        auto known = inBatch ? batchMaxOrder.find(maxSql) : batchMaxOrder.end();
        if (known != batchMaxOrder.end()) {
            maximum = known->second;
        } else {
            maximum = selectInt(maxSql);
            if (inBatch) {
                batchMaxOrder[maxSql] = maximum;
            }
        }
        const int order = maximum + 1;
        values.append(order);
        QSqlQuery* q = execute(insertSql, values);
        if (!q) {
            return 0;
        }
        const int id = q->lastInsertId().toInt();
        if (inBatch) {
            batchMaxOrder[maxSql] = order;
        }
        q->finish();
        return id;
    }

    /// Applies the logged name changes to the search index; true when the index is up to date.
    bool syncSearchIndex()
    {
        QSqlQuery* q = execute(QStringLiteral("select exists(select 1 from icon_item_search_log)"), {});
        if (!q) {
            return false;
        }
        const bool pending = q->next() && q->value(0).toInt() != 0;
        q->finish();
        if (!pending) {
            return true;
        }
        if (!write(QStringLiteral("savepoint search_log"), {})) {
            return false;
        }
        const bool ok
            = write(str(kApplySearchLog), {}) && write(QStringLiteral("delete from icon_item_search_log"), {});
        if (!ok) {
            write(QStringLiteral("rollback to search_log"), {});
        }
        write(QStringLiteral("release search_log"), {});
        return ok;
    }

    /// Runs a select of icon_item rows and appends them to the list. False when the statement failed (the rows
    /// read before the failure stay appended).
    bool listItems(const QString& sql, const QVariantList& values, QList<IconItemInfo>& list);

    /// Records why the catalogue cannot be used, and says so in the debug output.
    void fail(State s, const QString& text)
    {
        qDebug("open db error!");
        state = s;
        errorText = text;
    }
};

IconDatabase::IconDatabase()
    : d(std::make_shared<Shared>())
{
}

IconDatabase::IconDatabase(const IconDatabase& other) = default;
IconDatabase& IconDatabase::operator=(const IconDatabase& other) = default;
IconDatabase::~IconDatabase() = default;

IconDatabase& IconDatabase::instance()
{
    // Qt's registry of connections and its driver loader are made first, so that they outlive the instance
    // and its connection can still be closed cleanly at process exit.
    static const bool registryReady = [] {
        QSqlDatabase::drivers();
        QSqlDatabase::contains(QStringLiteral("brisko-registry-probe"));
        // Likewise the shared empty query that every QSqlQuery starts from: closing runs queries at exit.
        QSqlQuery probe;
        return true;
    }();
    Q_UNUSED(registryReady);
    static IconDatabase db;
    return db;
}

QString IconDatabase::defaultDatabasePath()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents + QStringLiteral("/Brisko/Desktop/data.db");
}

void IconDatabase::openDatabase()
{
    openDatabaseAt(defaultDatabasePath(), QDir::current().absoluteFilePath(QStringLiteral("data.db")));
}

void IconDatabase::openDatabaseAt(const QString& dbPath, const QString& templatePath)
{
    Shared& s = *d;
    s.close();
    s.state = State::NotOpened;
    s.errorText.clear();
    s.path = QFileInfo(dbPath).absoluteFilePath();
    const QString shownPath = QDir::toNativeSeparators(s.path);

    // First run: make the whole folder path (a fresh account may have no Documents folder) and copy the template.
    if (!QFileInfo::exists(s.path)) {
        const QString folder = QFileInfo(s.path).absolutePath();
        if (!QDir().mkpath(folder)) {
            qDebug("copy file error!");
            s.fail(State::NoFolder,
                   QStringLiteral("无法创建目录数据库所在的文件夹 %1，目录无法保存。")
                       .arg(QDir::toNativeSeparators(folder)));
            return;
        }
        if (!templatePath.isEmpty()) {
            if (QFile::copy(templatePath, s.path)) {
                // An installed template may be read-only; the user's copy must be writable.
                QFile::setPermissions(s.path, QFile::permissions(s.path) | QFile::ReadOwner | QFile::WriteOwner);
            } else {
                qDebug("copy file error!");
            }
        }
    }

    // A file that is not a SQLite database is never handed to SQLite in read-write mode, so that nothing in it
    // is changed: an empty file is a new database, anything else must carry the SQLite header.
    const QString notADatabase
        = QStringLiteral("无法使用目录数据库 %1：该文件不是可读的数据库，已原样保留。").arg(shownPath);
    QFileInfo info(s.path);
    if (info.exists()) {
        if (info.isDir()) {
            s.fail(State::OpenFailed, QStringLiteral("无法打开目录数据库 %1：该路径是一个文件夹。").arg(shownPath));
            return;
        }
        QFile file(s.path);
        if (!file.open(QIODevice::ReadOnly)) {
            s.fail(State::OpenFailed, QStringLiteral("无法打开目录数据库 %1：没有读取该文件的权限。").arg(shownPath));
            return;
        }
        const QByteArray header = file.read(16);
        file.close();
        if (!header.isEmpty() && header != QByteArray("SQLite format 3\0", 16)) {
            s.fail(State::NotADatabase, notADatabase);
            return;
        }
        if (!header.isEmpty()) {
            // The header is right; a read-only look at the schema shows whether the rest is readable.
            const QString probeName = QStringLiteral("brisko-probe-%1").arg(++g_connectionCounter);
            bool damaged = false;
            {
                QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), probeName);
                probe.setDatabaseName(s.path);
                probe.setConnectOptions(
                    QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
                if (probe.open()) {
                    QSqlQuery q(probe);
                    if (!q.exec(QStringLiteral("select count(*) from sqlite_master"))) {
                        damaged = isNotADatabaseError(q.lastError());
                    }
                } else {
                    damaged = isNotADatabaseError(probe.lastError());
                }
                probe.close();
            }
            QSqlDatabase::removeDatabase(probeName);
            if (damaged) {
                s.fail(State::NotADatabase, notADatabase);
                return;
            }
        }
    }

    // The first connection takes Qt's default name, as the rest of the program expects; further ones (tests,
    // tools) take names of their own.
    s.connectionName = QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection))
        ? QStringLiteral("brisko-store-%1").arg(++g_connectionCounter)
        : QLatin1String(QSqlDatabase::defaultConnection);
    s.db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), s.connectionName);
    s.db.setDatabaseName(s.path);
    s.db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!s.db.open()) {
        const QString why = s.db.lastError().text();
        s.close();
        s.fail(State::OpenFailed, QStringLiteral("无法打开目录数据库 %1：%2").arg(shownPath, why));
        return;
    }
    {
        QSqlQuery check(s.db);
        if (!check.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QSqlError e = check.lastError();
            check.finish();
            const bool damaged = isNotADatabaseError(e);
            s.close();
            if (damaged) {
                s.fail(State::NotADatabase, notADatabase);
            } else {
                s.fail(State::OpenFailed, QStringLiteral("无法打开目录数据库 %1：%2").arg(shownPath, e.text()));
            }
            return;
        }
    }

    // Write-ahead logging with NORMAL sync: a commit costs no disk flush, and the file stays consistent after a
    // crash or power loss (at worst the last moments of changes are lost). Where WAL cannot be used SQLite keeps
    // its rollback journal with full syncs.
    {
        QSqlQuery q(s.db);
        s.walMode = q.exec(QStringLiteral("pragma journal_mode=wal")) && q.next()
            && q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    }
    if (s.walMode) {
        run(s.db, QStringLiteral("pragma synchronous=normal"));
    }
    // A page cache of up to 16 MiB holds a catalogue of 100,000 entries with its indexes, so searches and
    // listings read from memory instead of from the file again on every call.
    run(s.db, QStringLiteral("pragma cache_size=-16384"));
    // Statement journals (kept for every insert, whose triggers write to the search index) stay in memory
    // instead of going to temporary files.
    run(s.db, QStringLiteral("pragma temp_store=memory"));

    ensureSchema(s.db);
    if (!catalogueTablesExist(s.db)) {
        // Typically a new, empty file in a place that cannot be written. The connection stays, so nothing changes
        // behind the user's back; every operation fails as without one.
        s.fail(State::SchemaFailed, QStringLiteral("无法在目录数据库 %1 中建立目录表，目录无法保存。").arg(shownPath));
        return;
    }
    s.searchIndex = searchIndexUsable(s.db);
    if (s.searchIndex) {
        // Changes logged since the last search (by this program or another) reach the index now, so the log stays
        // short even when nobody searches.
        s.syncSearchIndex();
    }
#ifdef BRISKO_HAVE_SQLITE3
    s.handle = nativeHandle(s.db);
#endif
    s.state = State::Ok;
}

bool IconDatabase::ensureSchema(QSqlDatabase& db)
{
    if (!db.isOpen()) {
        return false;
    }
    // Nothing is written when everything is already there, so a read-only catalogue opens as well.
    if (catalogueTablesExist(db)) {
        bool indexesThere = true;
        for (const char* sql : kCreateIndexes) {
            const QString name = str(sql).section(QLatin1Char(' '), 5, 5);
            indexesThere = indexesThere && objectExists(db, QStringLiteral("index"), name);
        }
        if (indexesThere && searchIndexUsable(db)) {
            return true;
        }
    }
    const bool inTransaction = run(db, QStringLiteral("savepoint brisko_schema"));
    bool ok = true;
    for (const char* sql : kCreateTables) {
        ok = ok && run(db, str(sql));
    }
    for (const char* sql : kCreateIndexes) {
        ok = ok && run(db, str(sql));
    }
    if (ok) {
        ensureSearchIndex(db);
    }
    if (inTransaction) {
        if (ok) {
            ok = run(db, QStringLiteral("release brisko_schema"));
        } else {
            run(db, QStringLiteral("rollback to brisko_schema"));
            run(db, QStringLiteral("release brisko_schema"));
        }
    }
    return ok && catalogueTablesExist(db);
}

bool IconDatabase::isUsable() const
{
    return d->state == State::Ok;
}

IconDatabase::State IconDatabase::state() const
{
    return d->state;
}

QString IconDatabase::errorText() const
{
    if (d->state == State::Ok) {
        return QString();
    }
    if (d->state == State::NotOpened) {
        return QStringLiteral("目录数据库尚未打开。");
    }
    return d->errorText;
}

QString IconDatabase::databasePath() const
{
    return d->path;
}

bool IconDatabase::hasSearchIndex() const
{
    return d->searchIndex;
}

bool IconDatabase::execSql(const QString& sql)
{
    d->batchMaxOrder.clear();
    bool ok = false;
    if (d->isOpen()) {
        QSqlQuery q(d->db);
        ok = q.exec(sql);
    }
    if (!ok) {
        qDebug("query error!");
    }
    return ok;
}

namespace
{
/// Says "query error!" in the debug output when a write failed; passes the result on.
bool reportWrite(bool ok)
{
    if (!ok) {
        qDebug("query error!");
    }
    return ok;
}

void readTeamRow(QSqlQuery* q, TeamInfo& t)
{
    t.id = q->value(0).toInt();
    t.name = q->value(1).toString();
    t.ttype = q->value(2).toInt();
    t.order_num = q->value(3).toInt();
}

void readItemRow(QSqlQuery* q, IconItemInfo& i)
{
    i.id = q->value(0).toInt();
    i.icon_name = q->value(1).toString();
    i.file_name = q->value(2).toString();
    i.team_id = q->value(3).toInt();
    i.last_time = q->value(4).toInt();
    i.order_num = q->value(5).toInt();
    i.ttype = q->value(6).toInt();
}

/// Appends every row of a run select to `list`, read with `readRow`, and finishes the select. False without a
/// select or when reading failed.
template <typename Info>
bool readRows(QSqlQuery* q, QList<Info>& list, void (*readRow)(QSqlQuery*, Info&))
{
    if (!q) {
        return false;
    }
    while (q->next()) {
        Info info;
        readRow(q, info);
        list.append(std::move(info));
    }
    const bool ok = !q->lastError().isValid();
    q->finish();
    return ok;
}

/// Reads the first row of a run select into `info` (untouched when there is none) and finishes the select.
template <typename Info>
bool readFirstRow(QSqlQuery* q, Info& info, void (*readRow)(QSqlQuery*, Info&))
{
    if (!q) {
        return false;
    }
    const bool found = q->next();
    if (found) {
        readRow(q, info);
    }
    q->finish();
    return found;
}
} // namespace

bool IconDatabase::Shared::listItems(const QString& sql, const QVariantList& values, QList<IconItemInfo>& list)
{
#ifdef BRISKO_HAVE_SQLITE3
    if (sqlite3_stmt* stmt = nativeStatement(sql)) {
        int rc = SQLITE_ERROR;
        if (bindNative(stmt, values)) {
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                IconItemInfo& i = list.emplaceBack();
                i.id = sqlite3_column_int(stmt, 0);
                i.icon_name = columnText(stmt, 1);
                i.file_name = columnText(stmt, 2);
                i.team_id = sqlite3_column_int(stmt, 3);
                i.last_time = sqlite3_column_int(stmt, 4);
                i.order_num = sqlite3_column_int(stmt, 5);
                i.ttype = sqlite3_column_int(stmt, 6);
            }
        }
        // Resetting ends the read, so no lock or snapshot is held between calls.
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return rc == SQLITE_DONE;
    }
#endif
    return readRows(execute(sql, values), list, readItemRow);
}

// ---- Groups

int IconDatabase::addTeam(const QString& name, int ttype)
{
    return d->insert(QStringLiteral("select max(order_num) from team"),
                     QStringLiteral("insert into team(name,ttype,order_num) values(?,?,?)"),
                     { textValue(name), ttype });
}

bool IconDatabase::renameTeam(int id, const QString& name)
{
    return reportWrite(d->write(QStringLiteral("update  team set name=? where id=?"), { textValue(name), id }));
}

bool IconDatabase::deleteTeam(int id)
{
    return reportWrite(d->write(QStringLiteral("delete from  team where id=?"), { id }));
}

bool IconDatabase::getTeam(TeamInfo& info, int id)
{
    return readFirstRow(d->execute(QStringLiteral("select * from team where id=?"), { id }), info, readTeamRow);
}

void IconDatabase::getTeamsByType(QList<TeamInfo>& list, int ttype)
{
    readRows(d->execute(QStringLiteral("select * from team where ttype=? order by order_num"), { ttype }),
             list,
             readTeamRow);
}

// ---- Entries

int IconDatabase::addItem(const QString& icon_name, const QString& file_name, int team_id, int ttype)
{
    // The order value goes last among the bound values, hence the column order of this insert.
    return d->insert(QStringLiteral("select max(order_num) from icon_item"),
                     QStringLiteral("insert into icon_item(icon_name,file_name,team_id,last_time,ttype,order_num)"
                                    " values(?,?,?,0,?,?)"),
                     { textValue(icon_name), textValue(file_name), team_id, ttype });
}

bool IconDatabase::updateItem(int id, const QString& icon_name, const QString& file_name)
{
    return reportWrite(d->write(QStringLiteral("update icon_item set icon_name=?,file_name=? where id=?"),
                                { textValue(icon_name), textValue(file_name), id }));
}

bool IconDatabase::deleteItem(int id)
{
    return reportWrite(d->write(QStringLiteral("delete from  icon_item where id=?"), { id }));
}

bool IconDatabase::deleteTeamItems(int team_id)
{
    return reportWrite(d->write(QStringLiteral("delete from  icon_item where team_id=?"), { team_id }));
}

bool IconDatabase::setItemLastTime(int id, int time)
{
    return reportWrite(d->write(QStringLiteral("update icon_item set last_time=? where id=?"), { time, id }));
}

bool IconDatabase::getItem(IconItemInfo& info, int id)
{
    return readFirstRow(d->execute(QStringLiteral("select * from icon_item where id=?"), { id }), info, readItemRow);
}

void IconDatabase::getTeamItems(QList<IconItemInfo>& list, int team_id)
{
    d->listItems(QStringLiteral("select * from icon_item where team_id=?"), { team_id }, list);
}

void IconDatabase::getItemsByType(QList<IconItemInfo>& list, int ttype)
{
    d->listItems(QStringLiteral("select * from icon_item where ttype=? order by order_num"), { ttype }, list);
}

void IconDatabase::getRecentItems(QList<IconItemInfo>& list)
{
    d->listItems(QStringLiteral("select * from icon_item order by last_time desc limit 20"), {}, list);
}

void IconDatabase::searchItems(QList<IconItemInfo>& list, const QString& keyword)
{
    // The keyword sits between two % signs of a LIKE pattern; % and _ typed in it keep their LIKE meaning.
    const QString pattern = QLatin1Char('%') + keyword + QLatin1Char('%');
    // A keyword of three or more characters without wildcards is looked up in the trigram index first, which
    // yields every row that could match (every row holding all the keyword's trigrams; the index folds case
    // more widely than LIKE does); the LIKE then decides, so the rows are exactly those of a plain scan, in the
    // same (row id) order. A keyword with half a surrogate pair is scanned: SQLite converts it its own way.
    if (d->searchIndex && codePointCount(keyword) >= 3 && !keyword.contains(QLatin1Char('%'))
        && !keyword.contains(QLatin1Char('_')) && keyword.isValidUtf16() && d->syncSearchIndex()) {
        const qsizetype before = list.size();
        if (d->listItems(QStringLiteral("select * from icon_item where id in (select rowid from icon_item_search"
                                        " where icon_item_search match ?) and icon_name like ? order by id"),
                         { trigramQuery(keyword), pattern },
                         list)) {
            return;
        }
        // The index could not answer (damaged, say), or the file cannot be written to bring it up to date: the
        // plain scan gives the same rows.
        list.resize(before);
    }
    d->listItems(QStringLiteral("select * from icon_item where icon_name like ?"), { pattern }, list);
}

// ---- Reordering

namespace
{
/// Gives row A the order number of row B and B that of A, with `update` ("update ... set order_num=? where
/// id=?"). Both rows change or neither: a savepoint works inside a batch as well as on its own.
template <typename Shared>
bool swapOrders(Shared& s, const QString& update, int idA, int orderA, int idB, int orderB)
{
    if (!s.write(QStringLiteral("savepoint swap_order"), {})) {
        qDebug("query error!");
        return false;
    }
    const bool ok = s.write(update, { orderB, idA }) && s.write(update, { orderA, idB });
    if (!ok) {
        qDebug("query error!");
        s.write(QStringLiteral("rollback to swap_order"), {});
    }
    return reportWrite(s.write(QStringLiteral("release swap_order"), {})) && ok;
}
} // namespace

bool IconDatabase::swapTeamOrder(int idA, int idB)
{
    TeamInfo a;
    TeamInfo b;
    if (!getTeam(a, idA) || !getTeam(b, idB)) {
        return false;
    }
    return swapOrders(
        *d, QStringLiteral("update  team set order_num=? where id=?"), idA, a.order_num, idB, b.order_num);
}

bool IconDatabase::swapItemOrder(int idA, int idB)
{
    IconItemInfo a;
    IconItemInfo b;
    if (!getItem(a, idA) || !getItem(b, idB)) {
        return false;
    }
    return swapOrders(
        *d, QStringLiteral("update  icon_item set order_num=? where id=?"), idA, a.order_num, idB, b.order_num);
}

// ---- Batches

bool IconDatabase::beginBatch()
{
    Shared& s = *d;
    if (s.inBatch || !s.isOpen()) {
        return false;
    }
    // Takes the write lock at once (waiting up to the busy timeout), so the batch cannot fail half-way on a lock.
    if (!s.write(QStringLiteral("begin immediate"), {})) {
        qDebug("query error!");
        return false;
    }
    s.inBatch = true;
    return true;
}

bool IconDatabase::commitBatch()
{
    Shared& s = *d;
    if (!s.inBatch) {
        return false;
    }
    s.inBatch = false;
    if (s.write(QStringLiteral("commit"), {})) {
        return true;
    }
    qDebug("query error!");
    s.write(QStringLiteral("rollback"), {});
    return false;
}

// ---- Entry names at once, and changes heard as they happen

namespace
{
const char* const kNamesAfterSql = "select id, ttype, icon_name from icon_item where id>? order by id limit ?";
const char* const kOneNameSql = "select id, ttype, icon_name from icon_item where id=?";

#ifdef BRISKO_HAVE_SQLITE3
/// A listener of row changes on one SQLite connection, handed to SQLite as the update hook's argument.
struct ChangeListener
{
    quint64 key = 0;
    sqlite3* handle = nullptr;
    std::function<void(int)> changed;
};

std::map<quint64, std::unique_ptr<ChangeListener>>& changeListeners()
{
    static std::map<quint64, std::unique_ptr<ChangeListener>> listeners;
    return listeners;
}

void onRowChange(void* arg, int, const char* database, const char* table, sqlite3_int64 rowid)
{
    if (qstrcmp(table, "icon_item") == 0 && qstrcmp(database, "main") == 0) {
        static_cast<ChangeListener*>(arg)->changed(int(rowid));
    }
}

/// Passes the rows of a prepared statement of id, kind and name to `row`; false unless it ran to its end.
bool stepNames(sqlite3_stmt* stmt, const IconDatabase::NameRow& row)
{
    int rc = SQLITE_ERROR;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        // A NULL name (which no search matches) is passed as a null pointer.
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
        row(sqlite3_column_int(stmt, 0), sqlite3_column_int(stmt, 1), name, sqlite3_column_bytes(stmt, 2));
    }
    return rc == SQLITE_DONE;
}
#endif

bool queryNames(QSqlQuery& q, const IconDatabase::NameRow& row)
{
    if (!q.exec()) {
        return false;
    }
    while (q.next()) {
        const QVariant value = q.value(2);
        const QByteArray name = value.toString().toUtf8();
        row(q.value(0).toInt(), q.value(1).toInt(), value.isNull() ? nullptr : name.constData(), int(name.size()));
    }
    const bool ok = !q.lastError().isValid();
    q.finish();
    return ok;
}
} // namespace

bool IconDatabase::readItemNamesAfter(int afterId, int limit, const NameRow& row)
{
    if (!d->isOpen()) {
        return false;
    }
#ifdef BRISKO_HAVE_SQLITE3
    if (sqlite3* handle = d->handle) {
        sqlite3_stmt* stmt = nullptr;
        const bool ok = sqlite3_prepare_v2(handle, kNamesAfterSql, -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_bind_int(stmt, 1, afterId) == SQLITE_OK && sqlite3_bind_int(stmt, 2, limit) == SQLITE_OK
            && stepNames(stmt, row);
        sqlite3_finalize(stmt);
        return ok;
    }
#endif
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!q.prepare(str(kNamesAfterSql))) {
        return false;
    }
    q.bindValue(0, afterId);
    q.bindValue(1, limit);
    return queryNames(q, row);
}

bool IconDatabase::readItemNames(const QList<int>& ids, const NameRow& row)
{
    if (!d->isOpen()) {
        return false;
    }
    bool ok = true;
#ifdef BRISKO_HAVE_SQLITE3
    if (sqlite3* handle = d->handle) {
        sqlite3_stmt* stmt = nullptr;
        ok = sqlite3_prepare_v2(handle, kOneNameSql, -1, &stmt, nullptr) == SQLITE_OK;
        for (qsizetype i = 0; ok && i < ids.size(); ++i) {
            ok = sqlite3_bind_int(stmt, 1, ids.at(i)) == SQLITE_OK && stepNames(stmt, row);
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        return ok;
    }
#endif
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    ok = q.prepare(str(kOneNameSql));
    for (qsizetype i = 0; ok && i < ids.size(); ++i) {
        q.bindValue(0, ids.at(i));
        ok = queryNames(q, row);
    }
    return ok;
}

quint64 IconDatabase::listenToItemChanges(std::function<void(int id)> changed)
{
#ifdef BRISKO_HAVE_SQLITE3
    static quint64 lastKey = 0;
    if (!d->isOpen() || !d->handle || !changed) {
        return 0;
    }
    auto listener = std::make_unique<ChangeListener>();
    listener->key = ++lastKey;
    listener->handle = d->handle;
    listener->changed = std::move(changed);
    sqlite3_update_hook(d->handle, onRowChange, listener.get());
    const quint64 key = listener->key;
    changeListeners().emplace(key, std::move(listener));
    return key;
#else
    Q_UNUSED(changed)
    return 0;
#endif
}

bool IconDatabase::isListening(quint64 key)
{
#ifdef BRISKO_HAVE_SQLITE3
    const auto it = changeListeners().find(key);
    // A listener of a connection closed since is never handed to SQLite again: its handle may be gone.
    if (it == changeListeners().end() || !d->isOpen() || !d->handle || d->handle != it->second->handle) {
        return false;
    }
    // SQLite says which hook was in place only by replacing it: put back whatever was there if it was not ours.
    ChangeListener* listener = it->second.get();
    void* previous = sqlite3_update_hook(d->handle, onRowChange, listener);
    if (previous == listener) {
        return true;
    }
    sqlite3_update_hook(d->handle, previous ? onRowChange : nullptr, previous);
    return false;
#else
    Q_UNUSED(key)
    return false;
#endif
}

void IconDatabase::stopListening(quint64 key)
{
#ifdef BRISKO_HAVE_SQLITE3
    const auto it = changeListeners().find(key);
    if (it == changeListeners().end()) {
        return;
    }
    if (isListening(key)) {
        sqlite3_update_hook(d->handle, nullptr, nullptr);
    }
    changeListeners().erase(it);
#else
    Q_UNUSED(key)
#endif
}

bool IconDatabase::inTransaction() const
{
#ifdef BRISKO_HAVE_SQLITE3
    if (d->isOpen() && d->handle) {
        return sqlite3_get_autocommit(d->handle) == 0;
    }
#endif
    return d->inBatch;
}

qint64 IconDatabase::foreignChangeCount()
{
    if (!d->isOpen()) {
        return -1;
    }
    QSqlQuery* q = d->execute(QStringLiteral("pragma data_version"), {});
    if (!q) {
        return -1;
    }
    const qint64 version = q->next() ? q->value(0).toLongLong() : -1;
    q->finish();
    return version;
}
