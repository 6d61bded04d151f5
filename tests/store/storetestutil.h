#pragma once

#include "icondatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace StoreTest
{
/// Runs `body` on a connection of its own to the database file, independent of the store under test.
inline void withConnection(const QString& path, const std::function<void(QSqlDatabase&)>& body)
{
    static int counter = 0;
    const QString name = QStringLiteral("independent-%1").arg(++counter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open()) {
            body(db);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

/// The ids a plain scan with the search's LIKE pattern finds, in row id order.
inline QList<int> plainLikeIds(const QString& path, const QString& keyword)
{
    QList<int> ids;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select id from icon_item where icon_name like ? order by id"));
        q.addBindValue(QString(QLatin1Char('%') + keyword + QLatin1Char('%')));
        if (q.exec()) {
            while (q.next()) {
                ids.append(q.value(0).toInt());
            }
        }
    });
    return ids;
}

/// One value of the first row of a statement on an independent connection.
inline QVariant scalar(const QString& path, const QString& sql)
{
    QVariant value;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (q.exec(sql) && q.next()) {
            value = q.value(0);
        }
    });
    return value;
}

inline QList<int> ids(const QList<IconItemInfo>& items)
{
    QList<int> result;
    for (const IconItemInfo& i : items) {
        result.append(i.id);
    }
    return result;
}

/// Another program reading the file: a connection of its own that has begun a transaction and read from the
/// catalogue, so it holds a read lock until release() or its end. While it does, a change of a file with a
/// rollback journal cannot be committed.
class ReadLock
{
public:
    explicit ReadLock(const QString& path)
        : m_name(QStringLiteral("reader-%1").arg(++counter()))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            m_held = q.exec(QStringLiteral("begin")) && q.exec(QStringLiteral("select count(*) from sqlite_master"))
                && q.next();
        }
    }
    ~ReadLock() { release(); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

    bool held() const { return m_held; }

    void release()
    {
        if (m_name.isEmpty()) {
            return;
        }
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen()) {
                QSqlQuery(db).exec(QStringLiteral("commit"));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
        m_held = false;
    }

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }
    QString m_name;
    bool m_held = false;
};

/// Makes a file or folder unwritable for this process until the guard goes: by its mode for an ordinary user,
/// by the immutable attribute for root (whom modes do not stop), as a read-only mount would.
class Unwritable
{
public:
    explicit Unwritable(const QString& path)
        : m_path(path)
    {
        if (::geteuid() != 0) {
            m_oldPermissions = QFile::permissions(path);
            const QFile::Permissions writeBits
                = QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
            m_done = QFile::setPermissions(path, m_oldPermissions & ~writeBits);
        } else {
            m_done = setImmutable(true);
        }
        m_done = m_done && !QFileInfo(path).isWritable();
    }
    ~Unwritable() { undo(); }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;

    /// False when the file system or the process's rights do not allow it (the test then skips).
    bool done() const { return m_done; }

    void undo()
    {
        if (m_path.isEmpty()) {
            return;
        }
        if (::geteuid() != 0) {
            QFile::setPermissions(m_path, m_oldPermissions);
        } else {
            setImmutable(false);
        }
        m_path.clear();
    }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    QString m_path;
    QFile::Permissions m_oldPermissions;
    bool m_done = false;
};

/// The bytes of a file and the names of the files beside it: what must stay as it was when nothing was asked
/// to change.
struct FileState
{
    QByteArray bytes;
    QStringList folder;

    static FileState of(const QString& path)
    {
        FileState s;
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            s.bytes = f.readAll();
        }
        s.folder = QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        return s;
    }
    bool operator==(const FileState& o) const { return bytes == o.bytes && folder == o.folder; }
};

/// A catalogue as made before the indexes and the search index existed: the two tables alone, then `rows` (SQL
/// statements) run on them. True when every statement ran.
inline bool makeOlderCatalogue(const QString& path, const QStringList& rows)
{
    bool ok = false;
    withConnection(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("create table team(id integer primary key, name text, ttype integer,"
                                   " order_num integer)"))
            && q.exec(QStringLiteral("create table icon_item(id integer primary key, icon_name text, file_name text,"
                                     " team_id integer, last_time integer, order_num integer, ttype integer)"));
        for (const QString& sql : rows) {
            ok = ok && q.exec(sql);
        }
    });
    return ok;
}

/// A catalogue of `count` entries in one group, closed again (a self-contained file).
inline bool makeCatalogue(const QString& path, int count)
{
    IconDatabase db;
    db.openDatabaseAt(path, QString());
    const int team = db.addTeam(QStringLiteral("group"), en_team_icon);
    bool ok = team > 0 && db.beginBatch();
    for (int i = 0; ok && i < count; ++i) {
        ok = db.addItem(
                 QStringLiteral("entry %1 config").arg(i), QStringLiteral("/files/%1").arg(i), team, en_team_icon)
            > 0;
    }
    return ok && db.commitBatch();
}

/// A catalogue of `count` entries with one page in the middle of the file overwritten, as a failing disk would
/// leave it: the header and the schema still read, the entries do not all.
inline bool makeDamagedCatalogue(const QString& path, int count)
{
    if (!makeCatalogue(path, count)) {
        return false;
    }
    const int pageSize = scalar(path, QStringLiteral("pragma page_size")).toInt();
    const int pages = scalar(path, QStringLiteral("pragma page_count")).toInt();
    QFile f(path);
    if (pageSize <= 0 || pages < 8 || !f.open(QIODevice::ReadWrite)) {
        return false;
    }
    const qint64 offset = qint64(pageSize) * (pages / 2);
    return f.seek(offset) && f.write(QByteArray(pageSize, char(0x5a))) == pageSize;
}
} // namespace StoreTest
