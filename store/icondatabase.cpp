#include "icondatabase.h"

#include "catalogueschema.h"
#include "integritycheck.h"
#include "sqlitehandle.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>
#include <map>

namespace
{
// How long a statement waits for another program's lock on the file (a backup or sync tool, a database browser)
// before it gives up. The store runs on the GUI thread, so nothing waits long: reads (opening, listings,
// searches) only wait out a commit in progress; a change waits a little longer, since most locks last for a
// commit of a few milliseconds, and then fails and says so.
const int kReadBusyTimeoutMs = 200;
const int kWriteBusyTimeoutMs = 500;

// SQLite result codes (primary codes: the low byte of an extended one).
const int kSqliteBusy = 5;
const int kSqliteCorrupt = 11;
const int kSqliteConstraint = 19;
const int kSqliteNotADb = 26;

using CatalogueSchema::buildSchema;
using CatalogueSchema::catalogueTablesExist;
using CatalogueSchema::Content;
using CatalogueSchema::readContent;
using CatalogueSchema::schemaComplete;
using CatalogueSchema::searchIndexUsable;

bool run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql);
}

int primaryCode(const QSqlError& e)
{
    return e.nativeErrorCode().toInt() & 0xff;
}

bool isNotADatabaseError(const QSqlError& e)
{
    const int code = primaryCode(e);
    return code == kSqliteNotADb || code == kSqliteCorrupt;
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

/// Rolls back whatever transaction is open on the connection, so that it is in autocommit mode again. The
/// ROLLBACK fails harmlessly when SQLite has already rolled back on its own (a full disk, an I/O error).
void rollbackAll(QSqlDatabase& db)
{
    run(db, QStringLiteral("rollback"));
#ifdef BRISKO_HAVE_SQLITE3
    sqlite3* handle = SqliteHandle::of(db);
    if (handle && !sqlite3_get_autocommit(handle) && !run(db, QStringLiteral("rollback"))) {
        qWarning("the catalogue's transaction could not be ended");
    }
#endif
}

} // namespace

struct IconDatabase::Shared
{
    QString connectionName;
    QSqlDatabase db;
    State state = State::NotOpened;
    WriteBlock block = WriteBlock::None;
    QString path;
    QString errorText;
    QSqlError lastError;
    int busyTimeout = -1;
    // Switched to write-ahead logging by a change of this run (and back when the catalogue closes).
    bool walMode = false;
    bool inBatch = false;
    // SQLite gave up the batch's transaction: the rest of the batch is refused.
    bool batchLost = false;
    // The highest order number of each table during a batch, by the statement that reads it.
    std::map<QString, int> batchMaxOrder;
    // The schema version (SQLite's schema cookie) at which the schema was last found complete or brought up to
    // date; a change brings it up to date first when the version differs (an older catalogue, another program).
    int upkeepVersion = -1;
    // The schema version at which searchSetUp was last found.
    int searchVersion = -1;
    bool searchSetUp = false;
    // Prepared statements of this connection, by statement text.
    std::map<QString, std::unique_ptr<QSqlQuery>> statements;
    std::unique_ptr<IntegrityCheck> check;
#ifdef BRISKO_HAVE_SQLITE3
    // The connection's own SQLite handle, used to read rows of the listings without QSqlQuery's per-value
    // overhead and to see whether a transaction is open; null where the handle cannot be used safely (then
    // QSqlQuery reads the rows).
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

    bool usable() const
    {
        return isOpen() && state == State::Ok;
    }

    WriteBlock currentBlock() const
    {
        if (block == WriteBlock::None && check && check->result() == Integrity::Damaged) {
            return WriteBlock::Damaged;
        }
        return block;
    }

    bool writable() const
    {
        return usable() && currentBlock() == WriteBlock::None;
    }

    void close()
    {
        check.reset(); // stops the check and waits for its thread
        if (inBatch && isOpen()) {
            // Additions handed over in a batch are kept (when they can be committed).
            finishBatch();
        }
        inBatch = false;
        batchLost = false;
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
        busyTimeout = -1;
        upkeepVersion = -1;
        searchVersion = -1;
        searchSetUp = false;
        countsVersion = -1;
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
            lastError = q->lastError();
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
            lastError = q->lastError();
            q->finish();
            return nullptr;
        }
        return q;
    }

    /// Runs a prepared statement that returns no rows (or whose rows are not wanted); it is reset afterwards.
    bool exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery* q = execute(sql, values);
        if (!q) {
            return false;
        }
        q->finish();
        return true;
    }

    /// The first column of the first row of a select as an integer; `none` when there is none.
    int selectInt(const QString& sql, int none = 0)
    {
        QSqlQuery* q = execute(sql, {});
        if (!q) {
            return none;
        }
        const int value = q->next() ? q->value(0).toInt() : none;
        q->finish();
        return value;
    }

    int schemaVersion()
    {
        return selectInt(QStringLiteral("pragma schema_version"), -1);
    }

    void setBusyTimeout(int ms)
    {
        if (ms == busyTimeout || !isOpen()) {
            return;
        }
#ifdef BRISKO_HAVE_SQLITE3
        if (handle) {
            sqlite3_busy_timeout(handle, ms);
            busyTimeout = ms;
            return;
        }
#endif
        if (exec(QStringLiteral("pragma busy_timeout=%1").arg(ms))) {
            busyTimeout = ms;
        }
    }

    // ---- Transactions

    /// Rolls back whatever is open, so that the connection is in autocommit mode again.
    void rollback()
    {
        batchMaxOrder.clear();
        exec(QStringLiteral("rollback"));
#ifdef BRISKO_HAVE_SQLITE3
        if (handle && !sqlite3_get_autocommit(handle)) {
            // A statement still running would keep the rollback from ending the transaction.
            for (auto& entry : statements) {
                entry.second->finish();
            }
            for (auto& entry : nativeStatements) {
                sqlite3_reset(entry.second);
            }
            if (!exec(QStringLiteral("rollback"))) {
                qWarning("the catalogue's transaction could not be ended");
            }
        }
#endif
    }

    /// Ends the transaction of a change: commits it when `ok`, else rolls it back; also when the commit fails,
    /// for SQLite then keeps the transaction open (another program reading a file with a rollback journal keeps
    /// a commit from happening). True when committed. Afterwards the connection is in autocommit mode.
    bool endTransaction(bool ok)
    {
        ok = ok && exec(QStringLiteral("commit"));
        if (!ok) {
            rollback();
        }
        return ok;
    }

    /// True unless SQLite has given up the open transaction on its own, which it does after some failures (a full
    /// disk, an I/O error, a lost lock) but not after others (a refused row). Without the native handle the kind
    /// of the last failure decides, erring on the side of a lost transaction.
    bool transactionAlive()
    {
#ifdef BRISKO_HAVE_SQLITE3
        if (handle) {
            return !sqlite3_get_autocommit(handle);
        }
#endif
        return primaryCode(lastError) == kSqliteConstraint;
    }

    /// The batch's transaction is gone or broken: undo all of it and refuse the rest of the batch.
    void dropBatch()
    {
        rollback();
        batchLost = true;
    }

    /// Runs `body`, the statements of one change, as a whole: in a transaction of its own, or inside the open
    /// batch (`compound`: the body runs more than one statement). True when the change is stored, or, in a
    /// batch, made part of it.
    bool change(const std::function<bool()>& body, bool compound)
    {
        if (!writable()) {
            return false;
        }
        if (inBatch) {
            return changeInBatch(body, compound);
        }
        setBusyTimeout(kWriteBusyTimeoutMs);
        useWriteAheadLog();
        // Taking the write lock at the start means the change cannot fail half-way on another program's lock.
        bool ok = exec(QStringLiteral("begin immediate"));
        if (ok) {
            ok = endTransaction(upkeep() && body() && applySearchLog());
        }
        setBusyTimeout(kReadBusyTimeoutMs);
        return ok;
    }

    bool changeInBatch(const std::function<bool()>& body, bool compound)
    {
        if (batchLost) {
            return false;
        }
        if (!compound) {
            // One statement is undone alone by SQLite when it fails, unless SQLite gives up the transaction.
            if (body()) {
                return true;
            }
            if (!transactionAlive()) {
                dropBatch();
            }
            return false;
        }
        if (!exec(QStringLiteral("savepoint brisko_change"))) {
            dropBatch();
            return false;
        }
        const bool ok = body();
        if ((!ok && !exec(QStringLiteral("rollback to brisko_change")))
            || !exec(QStringLiteral("release brisko_change"))) {
            // The savepoint went with the transaction.
            dropBatch();
            return false;
        }
        return ok;
    }

    /// With the first change of a run the file switches to write-ahead logging with NORMAL sync: a commit costs
    /// no disk flush, and the file stays consistent after a crash or power loss (at worst the last moments of
    /// changes are lost). Not when the catalogue opens, which must not change the file; and not waited for: while
    /// another program reads the file the switch is left to a later change, and this one uses the rollback journal.
    void useWriteAheadLog()
    {
        if (walMode) {
            return;
        }
        setBusyTimeout(0);
        if (QSqlQuery* q = execute(QStringLiteral("pragma journal_mode=wal"), {})) {
            walMode = q->next() && q->value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
            q->finish();
        }
        if (walMode) {
            exec(QStringLiteral("pragma synchronous=normal"));
        }
        setBusyTimeout(kWriteBusyTimeoutMs);
    }

    /// Inside the transaction of a change: brings the schema up to date where it is older than this program's
    /// or was changed by another program (missing indexes, a missing or stale search index). What cannot be made
    /// is left out; false only when the transaction itself failed.
    bool upkeep()
    {
        const int version = schemaVersion();
        if (version < 0) {
            return false;
        }
        if (version == upkeepVersion) {
            return true;
        }
        if (!exec(QStringLiteral("savepoint brisko_upkeep"))) {
            return false;
        }
        if (!buildSchema(db) && !exec(QStringLiteral("rollback to brisko_upkeep"))) {
            return false;
        }
        if (!exec(QStringLiteral("release brisko_upkeep"))) {
            return false;
        }
        upkeepVersion = schemaVersion();
        checkSearchIndex(upkeepVersion);
        return true;
    }

    void checkSearchIndex(int version)
    {
        searchSetUp = searchIndexUsable(db);
        searchVersion = version;
    }

    /// Inside the transaction of a change: applies the name changes the triggers logged (this change's, and any
    /// another program made since) to the search index, so that the index is current when the change commits.
    /// An index that cannot take them is left stale rather than the change refused: searches then scan.
    bool applySearchLog()
    {
        if (!searchSetUp) {
            return true;
        }
        QSqlQuery* q = execute(QStringLiteral("select exists(select 1 from icon_item_search_log)"), {});
        if (!q) {
            return false;
        }
        const bool pending = q->next() && q->value(0).toInt() != 0;
        q->finish();
        if (!pending) {
            return true;
        }
        if (!exec(QStringLiteral("savepoint brisko_search"))) {
            return false;
        }
        if (exec(QString::fromLatin1(CatalogueSchema::kApplySearchLog))
            && exec(QStringLiteral("delete from icon_item_search_log"))) {
            return exec(QStringLiteral("release brisko_search"));
        }
        return exec(QStringLiteral("rollback to brisko_search")) && exec(QStringLiteral("release brisko_search"));
    }

    /// True when the search index can answer now: it is set up, and no change waits in its log (another
    /// program's, or this program's own inside an open batch). Reads only.
    bool searchIndexCurrent()
    {
        if (!usable()) {
            return false;
        }
        QSqlQuery* q = execute(QStringLiteral("select (select schema_version from pragma_schema_version),"
                                              " exists(select 1 from icon_item_search_log)"),
                               {});
        if (!q) {
            return false; // no log table: no index
        }
        int version = -1;
        bool pending = true;
        if (q->next()) {
            version = q->value(0).toInt();
            pending = q->value(1).toInt() != 0;
        }
        q->finish();
        if (version != searchVersion) {
            checkSearchIndex(version);
        }
        return searchSetUp && !pending;
    }

    /// Commits the open batch (or rolls it back when it was lost or cannot be committed). True when committed.
    bool finishBatch()
    {
        inBatch = false;
        const bool ok = endTransaction(!batchLost && applySearchLog());
        batchLost = false;
        batchMaxOrder.clear();
        setBusyTimeout(kReadBusyTimeoutMs);
        return ok;
    }

    /// Runs one statement that changes rows, as a change of its own.
    bool update(const QString& sql, const QVariantList& values)
    {
        batchMaxOrder.clear();
        return change([&] { return exec(sql, values); }, false);
    }

    int insert(const QString& maxSql, const QString& insertSql, QVariantList values)
    {
        int id = 0;
        const bool stored = change(
            [&] {
                // Inside a batch this connection holds the write lock, and only its own additions change the
                // maximum: it is read once per table and then carried along.
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
                    return false;
                }
                id = q->lastInsertId().toInt();
                q->finish();
                if (inBatch) {
                    batchMaxOrder[maxSql] = order;
                }
                return id > 0;
            },
            false);
        return stored ? id : 0;
    }

    /// Runs a select of icon_item rows and appends them to the list. False when the statement failed (the rows
    /// read before the failure stay appended).
    bool listItems(const QString& sql, const QVariantList& values, QList<IconItemInfo>& list);

    // The schema version at which the count table was last found kept (or not) by its triggers.
    int countsVersion = -1;
    bool countsKept = false;
    /// True when the count table holds the entries' counts (see CatalogueSchema::itemCountsKept).
    bool itemCountsKept();

    class Columns;
    /// Runs a select and passes each row to `row`; false when the statement failed.
    bool eachRow(const QString& sql, const QVariantList& values, const std::function<void(const Columns&)>& row);

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
    s.block = WriteBlock::None;
    s.errorText.clear();
    s.path = QFileInfo(dbPath).absoluteFilePath();
    const QString folder = QFileInfo(s.path).absolutePath();
    const QString shownPath = QDir::toNativeSeparators(s.path);
    const QString cannotOpen = QStringLiteral("无法打开目录数据库 %1：%2");

    // First run: make the whole folder path (a fresh account may have no Documents folder) and copy the template.
    // A zero-byte file is what an interrupted copy leaves: it is replaced by the template as well (unless a
    // write-ahead log beside it holds the content of a new database).
    const QFileInfo found(s.path);
    const bool zeroBytes
        = found.isFile() && found.size() == 0 && QFileInfo(s.path + QStringLiteral("-wal")).size() == 0;
    if (!found.exists() || zeroBytes) {
        if (!QDir().mkpath(folder)) {
            qDebug("copy file error!");
            s.fail(State::NoFolder,
                   QStringLiteral("无法创建目录数据库所在的文件夹 %1，目录无法保存。")
                       .arg(QDir::toNativeSeparators(folder)));
            return;
        }
        if (!templatePath.isEmpty()) {
            if (zeroBytes && QFile::exists(templatePath)) {
                QFile::remove(s.path);
            }
            if (QFile::copy(templatePath, s.path)) {
                // An installed template may be read-only; the user's copy must be writable.
                QFile::setPermissions(s.path, QFile::permissions(s.path) | QFile::ReadOwner | QFile::WriteOwner);
            } else {
                qDebug("copy file error!");
            }
        }
    }

    // A file is handed to SQLite for writing only once a read-only look has shown that it is a catalogue (or a
    // database without any table, a new one), so that nothing in any other file is changed: an empty file is a
    // new database, anything else must carry the SQLite header and the catalogue's tables. Opening a file for
    // writing changes it only through a rollback journal or a write-ahead log left beside it, which SQLite
    // applies on the first read; without either, the connection below reads the content itself before anything
    // is written, and the look through a connection of its own is left out.
    const QString leftAlone = QStringLiteral("无法使用目录数据库 %1：%2，已原样保留。");
    const QString notADatabase = leftAlone.arg(shownPath, QStringLiteral("该文件不是可读的数据库"));
    Content content = Content::Empty;
    const QFileInfo info(s.path);
    if (info.exists()) {
        if (info.isDir()) {
            s.fail(State::OpenFailed, cannotOpen.arg(shownPath, QStringLiteral("该路径是一个文件夹。")));
            return;
        }
        QFile file(s.path);
        if (!file.open(QIODevice::ReadOnly)) {
            s.fail(State::OpenFailed, cannotOpen.arg(shownPath, QStringLiteral("没有读取该文件的权限。")));
            return;
        }
        const QByteArray header = file.read(16);
        file.close();
        if (!header.isEmpty() && header != QByteArray("SQLite format 3\0", 16)) {
            s.fail(State::NotADatabase, notADatabase);
            return;
        }
        const bool logBeside = QFileInfo::exists(s.path + QStringLiteral("-journal"))
            || QFileInfo::exists(s.path + QStringLiteral("-wal"));
        if (!header.isEmpty() && logBeside) {
            const QString probeName = QStringLiteral("brisko-probe-%1").arg(++g_connectionCounter);
            QSqlError error;
            bool read = false;
            {
                QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), probeName);
                probe.setDatabaseName(s.path);
                probe.setConnectOptions(
                    QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kReadBusyTimeoutMs));
                if (probe.open()) {
                    read = readContent(probe, content, error);
                } else {
                    error = probe.lastError();
                }
                probe.close();
            }
            QSqlDatabase::removeDatabase(probeName);
            if (!read && isNotADatabaseError(error)) {
                s.fail(State::NotADatabase, notADatabase);
                return;
            }
            // Any other failure (a journal left by a crash, which only a connection that may write can roll
            // back; a lock) is met again by the connection below, which reads the content itself.
        }
    }
    const QString notACatalogue
        = leftAlone.arg(shownPath, QStringLiteral("该数据库中没有 Brisko 的目录表，不是 Brisko 的目录"));
    if (content == Content::Other) {
        s.fail(State::NotACatalogue, notACatalogue);
        return;
    }

    // A file or folder that cannot be written is opened for reading only: its catalogue is shown, and changes
    // are refused (and said to be) rather than lost at once.
    if (info.exists() && !info.isWritable()) {
        s.block = WriteBlock::ReadOnlyFile;
    } else if (!QFileInfo(folder).isWritable()) {
        s.block = WriteBlock::ReadOnlyFolder;
    }

    // The first connection takes Qt's default name, as the rest of the program expects; further ones (tests,
    // tools) take names of their own.
    s.connectionName = QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection))
        ? QStringLiteral("brisko-store-%1").arg(++g_connectionCounter)
        : QLatin1String(QSqlDatabase::defaultConnection);
    s.db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), s.connectionName);
    s.db.setDatabaseName(s.path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kReadBusyTimeoutMs);
    if (s.block != WriteBlock::None) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    }
    s.db.setConnectOptions(options);
    if (!s.db.open()) {
        const QString why = s.db.lastError().text();
        s.close();
        s.fail(State::OpenFailed, cannotOpen.arg(shownPath, why));
        return;
    }
    s.busyTimeout = kReadBusyTimeoutMs;
    // Read again on this connection: when the look above failed this is the first reading, and a journal left by
    // a crash has been rolled back by now.
    QSqlError error;
    if (!readContent(s.db, content, error)) {
        s.close();
        if (isNotADatabaseError(error)) {
            s.fail(State::NotADatabase, notADatabase);
        } else if (primaryCode(error) == kSqliteBusy) {
            s.fail(State::OpenFailed,
                   cannotOpen.arg(shownPath,
                                  QStringLiteral("该文件正被另一个程序独占使用。关闭那个程序后重新启动 Brisko。")));
        } else {
            s.fail(State::OpenFailed, cannotOpen.arg(shownPath, error.text()));
        }
        return;
    }
    if (content == Content::Other) {
        s.close();
        s.fail(State::NotACatalogue, notACatalogue);
        return;
    }

    // A page cache of up to 16 MiB holds a catalogue of 100,000 entries with its indexes, so searches and
    // listings read from memory instead of from the file again on every call.
    run(s.db, QStringLiteral("pragma cache_size=-16384"));
    // Statement journals (kept for every insert, whose triggers write to the search log) stay in memory instead
    // of going to temporary files.
    run(s.db, QStringLiteral("pragma temp_store=memory"));

    // A new catalogue gets its tables; an existing one is not changed here (what its schema lacks is added with
    // the person's first change).
    if (content == Content::Empty) {
        ensureSchema(s.db);
    }
    if (!catalogueTablesExist(s.db)) {
        // Typically a new, empty file in a place that cannot be written. The connection stays, so nothing changes
        // behind the user's back; every operation fails as without one.
        s.fail(State::SchemaFailed, QStringLiteral("无法在目录数据库 %1 中建立目录表，目录无法保存。").arg(shownPath));
        return;
    }
#ifdef BRISKO_HAVE_SQLITE3
    s.handle = SqliteHandle::of(s.db);
    if (s.handle && s.block == WriteBlock::None && sqlite3_db_readonly(s.handle, "main") == 1) {
        s.block = WriteBlock::ReadOnlyFile;
    }
#endif
    const int version = s.schemaVersion();
    s.checkSearchIndex(version);
    // The tables were looked at above and the search index just now.
    if (s.searchSetUp && CatalogueSchema::indexesAndCountsComplete(s.db)) {
        s.upkeepVersion = version;
    }
    s.state = State::Ok;
}

bool IconDatabase::ensureSchema(QSqlDatabase& db)
{
    if (!db.isOpen()) {
        return false;
    }
    Content content = Content::Other;
    QSqlError error;
    if (!readContent(db, content, error) || content == Content::Other) {
        return false;
    }
    // Nothing is written when everything is already there.
    if (content == Content::Catalogue && schemaComplete(db)) {
        return true;
    }
    if (!run(db, QStringLiteral("begin immediate"))) {
        return false;
    }
    const bool ok = buildSchema(db) && run(db, QStringLiteral("commit"));
    if (!ok) {
        rollbackAll(db);
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
    return d->searchIndexCurrent();
}

bool IconDatabase::isWritable() const
{
    return d->writable();
}

IconDatabase::WriteBlock IconDatabase::writeBlock() const
{
    return d->usable() ? d->currentBlock() : WriteBlock::None;
}

QString IconDatabase::writeBlockReason() const
{
    const QString shownPath = QDir::toNativeSeparators(d->path);
    switch (writeBlock()) {
    case WriteBlock::None:
        break;
    case WriteBlock::ReadOnlyFile:
        return QStringLiteral("无法保存对目录数据库 %1 的修改：该文件是只读的（没有写入权限，或位于只读的磁盘上）。")
            .arg(shownPath);
    case WriteBlock::ReadOnlyFolder:
        return QStringLiteral("无法保存对目录数据库 %1 的修改：它所在的文件夹 %2 不可写入，无法在其中建立日志文件。")
            .arg(shownPath, QDir::toNativeSeparators(QFileInfo(d->path).absolutePath()));
    case WriteBlock::Damaged:
        return QStringLiteral("目录数据库 %1 已损坏（完整性检查发现了错误），该文件未被改动；显示的内容可能不完整。")
            .arg(shownPath);
    }
    return QString();
}

bool IconDatabase::startIntegrityCheck(QObject* context, std::function<void()> onDamaged)
{
    Shared& s = *d;
    if (!s.usable() || s.check) {
        return false;
    }
    s.check = std::make_unique<IntegrityCheck>();
    s.check->start(s.path, context, std::move(onDamaged));
    return true;
}

IconDatabase::Integrity IconDatabase::integrity() const
{
    return d->check ? d->check->result() : Integrity::NotChecked;
}

bool IconDatabase::execSql(const QString& sql)
{
    Shared& s = *d;
    s.batchMaxOrder.clear();
    bool ok = false;
    if (s.writable()) {
        s.setBusyTimeout(kWriteBusyTimeoutMs);
        QSqlQuery q(s.db);
        ok = q.exec(sql);
        q.finish();
        s.setBusyTimeout(kReadBusyTimeoutMs);
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
    return reportWrite(d->update(QStringLiteral("update  team set name=? where id=?"), { textValue(name), id }));
}

bool IconDatabase::deleteTeam(int id)
{
    return reportWrite(d->update(QStringLiteral("delete from  team where id=?"), { id }));
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
    return reportWrite(d->update(QStringLiteral("update icon_item set icon_name=?,file_name=? where id=?"),
                                 { textValue(icon_name), textValue(file_name), id }));
}

bool IconDatabase::deleteItem(int id)
{
    return reportWrite(d->update(QStringLiteral("delete from  icon_item where id=?"), { id }));
}

bool IconDatabase::deleteTeamItems(int team_id)
{
    return reportWrite(d->update(QStringLiteral("delete from  icon_item where team_id=?"), { team_id }));
}

bool IconDatabase::setItemLastTime(int id, int time)
{
    return reportWrite(d->update(QStringLiteral("update icon_item set last_time=? where id=?"), { time, id }));
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
    // Only a current index is used (it is checked by reading, never brought up to date here: a search never
    // writes); a stale one is bypassed by the plain scan until the next change updates it.
    if (codePointCount(keyword) >= 3 && !keyword.contains(QLatin1Char('%')) && !keyword.contains(QLatin1Char('_'))
        && keyword.isValidUtf16() && d->searchIndexCurrent()) {
        const qsizetype before = list.size();
        if (d->listItems(QStringLiteral("select * from icon_item where id in (select rowid from icon_item_search"
                                        " where icon_item_search match ?) and icon_name like ? order by id"),
                         { trigramQuery(keyword), pattern },
                         list)) {
            return;
        }
        // The index could not answer (damaged, say): the plain scan gives the same rows.
        list.resize(before);
    }
    d->listItems(QStringLiteral("select * from icon_item where icon_name like ?"), { pattern }, list);
}

// ---- Reordering

namespace
{
/// Gives row A the order number of row B and B that of A, with `update` ("update ... set order_num=? where
/// id=?"), as one change: both rows change or neither.
template <typename Shared>
bool swapOrders(Shared& s, const QString& update, int idA, int orderA, int idB, int orderB)
{
    s.batchMaxOrder.clear();
    return reportWrite(s.change(
        [&] {
            return s.exec(update, { orderB, idA }) && s.exec(update, { orderA, idB });
        },
        true));
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
    if (s.inBatch || !s.writable()) {
        return false;
    }
    s.setBusyTimeout(kWriteBusyTimeoutMs);
    s.useWriteAheadLog();
    // Takes the write lock at once, so the batch cannot fail half-way on another program's lock.
    bool ok = s.exec(QStringLiteral("begin immediate"));
    if (ok && !s.upkeep()) {
        s.endTransaction(false);
        ok = false;
    }
    if (!ok) {
        s.setBusyTimeout(kReadBusyTimeoutMs);
        qDebug("query error!");
        return false;
    }
    s.inBatch = true;
    s.batchLost = false;
    return true;
}

bool IconDatabase::commitBatch()
{
    Shared& s = *d;
    if (!s.inBatch) {
        return false;
    }
    return reportWrite(s.finishBatch());
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
    if (!q.prepare(QString::fromLatin1(kNamesAfterSql))) {
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
    ok = q.prepare(QString::fromLatin1(kOneNameSql));
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

// ---- Groups filled as they open

/// The columns of the current row of a select, read through SQLite's own interface where the connection allows,
/// else through QSqlQuery.
class IconDatabase::Shared::Columns
{
public:
#ifdef BRISKO_HAVE_SQLITE3
    sqlite3_stmt* stmt = nullptr;
#endif
    QSqlQuery* query = nullptr;

    int integer(int column) const
    {
#ifdef BRISKO_HAVE_SQLITE3
        if (stmt) {
            return sqlite3_column_int(stmt, column);
        }
#endif
        return query->value(column).toInt();
    }

    QString text(int column) const
    {
#ifdef BRISKO_HAVE_SQLITE3
        if (stmt) {
            return columnText(stmt, column);
        }
#endif
        return query->value(column).toString();
    }
};

bool IconDatabase::Shared::eachRow(const QString& sql,
                                   const QVariantList& values,
                                   const std::function<void(const Columns&)>& row)
{
    Columns columns;
#ifdef BRISKO_HAVE_SQLITE3
    if (sqlite3_stmt* stmt = nativeStatement(sql)) {
        columns.stmt = stmt;
        int rc = SQLITE_ERROR;
        if (bindNative(stmt, values)) {
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                row(columns);
            }
        }
        // Resetting ends the read, so no lock or snapshot is held between calls.
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return rc == SQLITE_DONE;
    }
#endif
    QSqlQuery* q = execute(sql, values);
    if (!q) {
        return false;
    }
    columns.query = q;
    while (q->next()) {
        row(columns);
    }
    const bool ok = !q->lastError().isValid();
    q->finish();
    return ok;
}

bool IconDatabase::Shared::itemCountsKept()
{
    const int version = schemaVersion();
    if (version != countsVersion) {
        countsKept = version >= 0 && CatalogueSchema::itemCountsKept(db);
        countsVersion = version;
    }
    return countsKept;
}

bool IconDatabase::readTeamItemCounts(const TeamCount& row)
{
    if (!d->isOpen()) {
        return false;
    }
    const auto pass = [&row](const Shared::Columns& c) { row(c.integer(0), c.integer(1), c.integer(2)); };
    // The counts the triggers keep; where they are not kept (a catalogue not changed since it was made by an
    // older program), counted from the index on (team_id, ttype, order_num), or from the table without it.
    if (d->itemCountsKept()) {
        return d->eachRow(QStringLiteral("select team_id, ttype, items from icon_item_count where items>0"), {}, pass);
    }
    return d->eachRow(QStringLiteral("select team_id, ttype, count(*) from icon_item where team_id is not null"
                                     " and ttype is not null group by team_id, ttype"),
                      {},
                      pass);
}

int IconDatabase::readTeamItemCount(int team_id, int ttype)
{
    if (!d->isOpen()) {
        return 0;
    }
    const QString sql = d->itemCountsKept()
        ? QStringLiteral("select items from icon_item_count where team_id=? and ttype=?")
        : QStringLiteral("select count(*) from icon_item where team_id=? and ttype=?");
    int count = 0;
    d->eachRow(sql, { team_id, ttype }, [&count](const Shared::Columns& c) { count += c.integer(0); });
    return count;
}

bool IconDatabase::readTeamItemIds(int team_id, int ttype, std::vector<int>& ids)
{
    return d->eachRow(QStringLiteral("select id from icon_item where team_id=? and ttype=? order by order_num, id"),
                      { team_id, ttype },
                      [&ids](const Shared::Columns& c) { ids.push_back(c.integer(0)); });
}

bool IconDatabase::readItemName(int id, QString& name)
{
    bool found = false;
    d->eachRow(QStringLiteral("select icon_name from icon_item where id=?"), { id }, [&](const Shared::Columns& c) {
        name = c.text(0);
        found = true;
    });
    return found;
}

int IconDatabase::readItemTeam(int id, int ttype)
{
    int team = 0;
    d->eachRow(QStringLiteral("select team_id from icon_item where id=? and ttype=?"),
               { id, ttype },
               [&team](const Shared::Columns& c) { team = c.integer(0); });
    return team;
}
