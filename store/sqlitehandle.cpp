#include "sqlitehandle.h"

#ifdef BRISKO_HAVE_SQLITE3
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

sqlite3* SqliteHandle::of(QSqlDatabase& db)
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
#endif
