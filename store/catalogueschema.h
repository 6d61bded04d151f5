#pragma once

#include <QSqlDatabase>
#include <QSqlError>

/// The catalogue's schema: its two tables, the indexes of the listings, the count of entries per group, and the
/// name search index with the triggers and the log that keep it in step; what a database file holds, and making
/// what a catalogue lacks.
namespace CatalogueSchema
{
/// What a database file holds.
enum class Content
{
    Empty, ///< nothing at all in it (no table, view, index or trigger): a new catalogue
    Catalogue,
    Other, ///< tables of another program
};

/// Reads what the database holds, without changing anything; false (and the error) when it cannot be read.
bool readContent(QSqlDatabase& db, Content& content, QSqlError& error);

bool catalogueTablesExist(QSqlDatabase& db);

/// Creates whatever of the catalogue's tables, indexes and search index is missing, inside the caller's
/// transaction. False when the tables or indexes could not be made (a search index SQLite cannot offer is simply
/// left out).
bool buildSchema(QSqlDatabase& db);

/// True when the catalogue has everything buildSchema() would make. Reads only.
bool schemaComplete(QSqlDatabase& db);

/// True when the catalogue's indexes and its count table with the triggers that keep it are all there: what
/// schemaComplete() looks at besides the tables and the search index, for a caller that has looked at those
/// already. Reads only.
bool indexesAndCountsComplete(QSqlDatabase& db);

/// True when the count table (icon_item_count: team_id, ttype, items) and the triggers that keep it are all there,
/// so that it holds the number of entries of every group and kind. Reads only.
bool itemCountsKept(QSqlDatabase& db);

/// True when the search index, its log and the triggers that fill the log are all there and work here.
bool searchIndexUsable(QSqlDatabase& db);

/// Applies the logged name changes to the search index, in their order (the log is emptied after it).
extern const char* const kApplySearchLog;
} // namespace CatalogueSchema
