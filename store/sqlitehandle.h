#pragma once

// The SQLite library behind Qt's QSQLITE connections, used directly where the program is built with SQLite's
// headers (BRISKO_HAVE_SQLITE3): for fast reads of many rows, to see whether a transaction is open, and to
// interrupt a long statement from another thread.
#ifdef BRISKO_HAVE_SQLITE3
#include <QSqlDatabase>

#include <sqlite3.h>

namespace SqliteHandle
{
/// The SQLite handle behind a QSQLITE connection, when this program's SQLite library is the very one the Qt
/// driver runs on (the same source id); null otherwise.
sqlite3* of(QSqlDatabase& db);
} // namespace SqliteHandle
#endif
