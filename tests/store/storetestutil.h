#pragma once

#include "icondatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>

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
} // namespace StoreTest
