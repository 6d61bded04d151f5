#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QObject;

/// Kind of a group or an entry, stored in both `ttype` columns.
enum tb_en_team_type
{
    en_team_icon = 1, ///< programs, documents, folders, launchers
    en_team_site = 2, ///< web sites
};

/// One `team` row.
struct TeamInfo
{
    int id = 0;
    QString name;
    int ttype = 0;
    int order_num = 0;
};

/// One `icon_item` row.
struct IconItemInfo
{
    int id = 0;
    QString icon_name;
    QString file_name;
    int team_id = 0;
    int last_time = 0;
    int order_num = 0;
    int ttype = 0;
};

// Lists of records are filled by the thousand: they may be moved in memory as plain bytes.
Q_DECLARE_TYPEINFO(TeamInfo, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(IconItemInfo, Q_RELOCATABLE_TYPE);

/// The catalogue store: the only owner of SQL. A small value class around the shared SQLite connection;
/// copies share the connection, which closes when the last holder goes away.
///
/// The store writes only when asked to change something. Every change is one transaction: it is stored whole or
/// not at all, its result says which, and afterwards the connection is back in autocommit mode whatever happened.
/// Opening, listing and searching only read, and wait only a moment for another program's lock.
class IconDatabase
{
public:
    /// Why the catalogue cannot be used (Ok when it can).
    enum class State
    {
        NotOpened, ///< openDatabase() has not run yet
        Ok, ///< open and holding the catalogue tables
        NoFolder, ///< the data folder could not be created
        OpenFailed, ///< SQLite could not open the file (permissions, a folder in its place, ...)
        NotADatabase, ///< the file is not a readable SQLite database; it is left untouched
        NotACatalogue, ///< a SQLite database holding other tables than the catalogue's; it is left untouched
        SchemaFailed, ///< the catalogue tables could not be created in an empty database
    };

    /// Why a usable catalogue does not take changes (None when it does).
    enum class WriteBlock
    {
        None,
        ReadOnlyFile, ///< the file cannot be written (its mode, its owner, a read-only mount)
        ReadOnlyFolder, ///< the folder of the file cannot be written, so no journal can be made beside it
        Damaged, ///< the quick check found the file damaged
    };

    /// The outcome of the quick check of the file.
    enum class Integrity
    {
        NotChecked, ///< no check was started for the catalogue open now
        Running,
        Sound,
        Damaged,
        Unknown, ///< the check could not run to its end (the file locked for long, the catalogue closed first)
    };

    IconDatabase();
    IconDatabase(const IconDatabase& other);
    IconDatabase& operator=(const IconDatabase& other);
    ~IconDatabase();

    /// The process-wide instance, made on first use.
    static IconDatabase& instance();

    /// Finds or creates <Documents>/Brisko/Desktop/data.db (copying the template "data.db" from the working
    /// directory on the first run) and opens it. Failures are reported through state() and errorText().
    void openDatabase();

    /// Opens the given database file as openDatabase() does, copying `templatePath` there when the file does not
    /// exist yet. openDatabase() uses this with the standard paths; tests and tools use it directly.
    void openDatabaseAt(const QString& dbPath, const QString& templatePath);

    /// The path openDatabase() uses: <Documents>/Brisko/Desktop/data.db.
    static QString defaultDatabasePath();

    /// Creates the catalogue tables, indexes and search index, in one transaction, where they are missing in an
    /// open database that is empty or already a catalogue; any other database is left alone (false). Writes
    /// nothing when all is there. Used for new catalogues and by the tool that makes the template. True on
    /// success.
    static bool ensureSchema(QSqlDatabase& db);

    bool isUsable() const;
    State state() const;
    /// A sentence for the user saying which file could not be used and why; empty when usable.
    QString errorText() const;
    /// The database file in use (or that could not be used).
    QString databasePath() const;
    /// True when name searches of three or more characters are served by the trigram index inside the database
    /// now. False where SQLite lacks FTS5, and while the index is missing or stale (the catalogue was changed by
    /// another program, or made before the index existed) until the next change brings it up to date: searches
    /// then scan the table, with the same results.
    bool hasSearchIndex() const;

    /// True when the catalogue is usable and takes changes.
    bool isWritable() const;
    WriteBlock writeBlock() const;
    /// A sentence for the person saying which file cannot take changes and why; empty when it can.
    QString writeBlockReason() const;

    /// Starts SQLite's quick check of the catalogue file, with a read-only connection on a thread of its own, once
    /// per opened catalogue. When it finds the file damaged the store refuses every later change (writeBlock()
    /// becomes Damaged) and `onDamaged` runs on the thread of `context` (the store's own thread), unless
    /// `context` is gone by then. Closing the catalogue stops the check and waits for its thread. False when no
    /// check was started (nothing usable is open, or a check was already started).
    bool startIntegrityCheck(QObject* context, std::function<void()> onDamaged);
    Integrity integrity() const;

    /// Runs one statement as given (a transaction it begins is the caller's). Refused when the catalogue does
    /// not take changes.
    bool execSql(const QString& sql);

    // Writes return true when the change is stored (a swap: when both rows exist and both changed); additions
    // return the new row's id, 0 when nothing was stored. A failed change leaves nothing behind.

    // Groups
    int addTeam(const QString& name, int ttype);
    bool renameTeam(int id, const QString& name);
    bool deleteTeam(int id);
    bool swapTeamOrder(int idA, int idB);
    bool getTeam(TeamInfo& info, int id);
    void getTeamsByType(QList<TeamInfo>& list, int ttype);

    // Entries
    int addItem(const QString& icon_name, const QString& file_name, int team_id, int ttype);
    bool updateItem(int id, const QString& icon_name, const QString& file_name);
    bool deleteItem(int id);
    bool deleteTeamItems(int team_id);
    bool swapItemOrder(int idA, int idB);
    bool setItemLastTime(int id, int time);
    bool getItem(IconItemInfo& info, int id);
    void getTeamItems(QList<IconItemInfo>& list, int team_id);
    void getItemsByType(QList<IconItemInfo>& list, int ttype);
    void getRecentItems(QList<IconItemInfo>& list);
    void searchItems(QList<IconItemInfo>& list, const QString& keyword);

    /// Runs many changes in one transaction (a drop of many files): begin, any number of addItem (or other)
    /// calls, commit. An addition refused by the catalogue's rules is skipped alone; when SQLite gives up the
    /// transaction itself (a full disk, an I/O error) the rest of the batch is refused at once and nothing of it
    /// is stored. True when the transaction began / committed; when the commit fails nothing of the batch is
    /// stored and false is returned.
    bool beginBatch();
    bool commitBatch();

    // ---- Entry names at once, and changes heard as they happen (for a name index kept in memory)

    /// One entry as a name index sees it: its id, kind, and name as UTF-8 bytes (valid during the call only;
    /// a null pointer for a NULL name).
    using NameRow = std::function<void(int id, int ttype, const char* name, int size)>;
    /// Passes the entries whose id is greater than `afterId` to `row`, in row id order, at most `limit` of them
    /// (all when `limit` is negative). False when they could not be read (the rows passed before the failure
    /// stand).
    bool readItemNamesAfter(int afterId, int limit, const NameRow& row);
    /// Passes the entries among `ids` that exist to `row`, in the order of `ids`; ids without an entry are
    /// left out. False when a read failed.
    bool readItemNames(const QList<int>& ids, const NameRow& row);
    /// Starts hearing of the entries inserted, changed or removed through this connection: `changed(id)` runs
    /// right after each such row change, committed or not, so read the row again (outside a transaction) to
    /// learn what it holds. The listener must not use the catalogue itself. One listener per connection: a
    /// later one takes the place of an earlier one. Returns its key, 0 where changes cannot be heard.
    quint64 listenToItemChanges(std::function<void(int id)> changed);
    /// True while the listener of `key` still hears every change of this connection; false once the
    /// connection was opened again or another listener took its place (changes may have gone unheard since).
    bool isListening(quint64 key);
    /// Ends the listener of `key`; an ended or unknown key does nothing.
    void stopListening(quint64 key);
    /// True while a transaction is open on this connection: its changes may still be undone, unheard.
    bool inTransaction() const;
    /// A number that changes whenever another connection (another program) has committed a change to the
    /// file; -1 when it cannot be read.
    qint64 foreignChangeCount();

    // ---- Groups filled as they open: the item counts at once, a group's items when it is first shown

    /// The number of entries of kind `ttype` in group `teamId`.
    using TeamCount = std::function<void(int teamId, int ttype, int count)>;
    /// Passes the number of entries of every group and kind that holds any (from an index, without reading the
    /// entries themselves). False when they could not be read.
    bool readTeamItemCounts(const TeamCount& row);
    /// Appends the ids of the entries of kind `ttype` in group `team_id`, ordered by order_num (then id). False
    /// when they could not be read (the ids appended before the failure stand).
    bool readTeamItemIds(int team_id, int ttype, std::vector<int>& ids);
    /// The number of entries of kind `ttype` in group `team_id`; 0 when it cannot be read.
    int readTeamItemCount(int team_id, int ttype);
    /// The name of an entry; false (and `name` untouched) when there is no such entry.
    bool readItemName(int id, QString& name);
    /// The group of an entry of kind `ttype`; 0 when there is no such entry.
    int readItemTeam(int id, int ttype);

private:
    struct Shared;
    std::shared_ptr<Shared> d;
};
