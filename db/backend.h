#pragma once
// What differs between the two database engines, in one place: the SQLite file (DNC.mdb,
// the default) and a PostgreSQL server shared by several administrators. Everything else in
// the database layer runs the same statements on both.

#include "components/database_connection.h"
#include "db/sql_value.h"

#include <QString>

#include <optional>

class QSqlError;

// ---- Opening a database ----------------------------------------------------------------

// Whether the text names a server database (a postgresql:// or postgres:// URI) rather than a
// DNC.mdb path.
bool IsDatabaseUri(const QString& location);

// Opens the connection on a DNC.mdb path or a PostgreSQL URI. Returns the backend, or nothing
// with the reason ("database ... not found", the server's own refusal) in *error. Every tool
// opens its databases through here.
std::optional<DatabaseBackend> OpenDatabaseAt(DatabaseConnection& connection,
                                              const QString& location, QString* error = nullptr);

// ---- Statements that differ ------------------------------------------------------------

// The engine's name as error reports show it.
QString EngineName(DatabaseBackend backend);

// The column that gives a table's stored order: its integer key where it has one (the same
// on both), otherwise SQLite's rowid or the server's row position (ctid).
QString RowOrderColumn(DatabaseBackend backend, const QString& table);
QString RowOrderColumn(const QString& table);  // on DncConnection's backend

// A row position as read from RowOrderColumn, ready to be bound again.
SqlValue RowPositionValue(const QVariant& position);

// The table's generated key column ("" for a table without one).
QString IdentityColumn(const QString& table);

// What follows an INSERT so that the statement itself hands back the new key: " RETURNING
// key" on the server (read as the statement's first row), nothing on SQLite (its last insert
// id). Empty for a table without a generated key.
QString InsertReturning(DatabaseBackend backend, const QString& table);

// The statement that makes a just begun transaction read one snapshot of the database:
// the server's default reads each statement's own; SQLite's transaction already does.
QString SnapshotIsolation(DatabaseBackend backend);

// What makes a SELECT lock the rows it read until the transaction ends: FOR UPDATE on the
// server; nothing on SQLite, whose write transaction already shuts out other writers.
QString RowLockClause(DatabaseBackend backend);

// Whether a statement failed because a unique index refused the row (a name already used).
bool IsUniqueViolation(const QSqlError& error);

// Whether the table exists. Asking never fails a statement (a server transaction survives).
std::optional<bool> TableExists(DatabaseConnection& connection, const QString& table,
                                QString* error = nullptr);

// The schema script of the backend, as built into the program.
QString SchemaScriptFor(DatabaseBackend backend);

// The last key a table's generated key handed out, 0 when none (SQLite's sqlite_sequence, the
// server's sequence). A copy carries it along, so a deleted row's key is never handed out again.
std::optional<qint64> ReadKeyCounter(DatabaseConnection& connection, const QString& table,
                                     QString* error = nullptr);
// The next key the table hands out will be last + 1.
bool SetKeyCounter(DatabaseConnection& connection, const QString& table, qint64 last,
                   QString* error = nullptr);

// The definition of a generated integer key for a table of Kestrum's own (never reused).
QString GeneratedKeyDefinition(DatabaseBackend backend, const QString& column);

// Sets each generated key's next value past the highest key stored (after rows were copied
// in with their keys). SQLite does so by itself.
bool SetKeySequencesPastRows(DatabaseConnection& connection, QString* error = nullptr);
