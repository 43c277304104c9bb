#pragma once
// The database layer's side of the engine objects: which database a program opens, the one
// function that opens it, and the statement parts that depend on the schema's keys as well
// as on the engine. What differs between engines is asked of the connection's engine.

#include "components/database_connection.h"
#include "db/sql_value.h"

#include <QString>

#include <optional>

// ---- Opening a database ----------------------------------------------------------------

// Whether the text names a server database rather than a DNC.mdb path (the engines' rule).
bool IsDatabaseUri(const QString& location);

// The database an installation's settings file names: ADMIN/DBURI when it is set, otherwise
// DNC.mdb in ADMIN/MDBPATH (default the program folder), as a local path. What every tool
// uses without --db, and what the program opens.
QString InstallationDatabase(const QString& settingsFile);

// Opens the connection on a DNC.mdb path or a server URI. False with the reason ("database
// ... not found", the server's own refusal) in *error. Every program and tool opens its
// databases through here.
bool OpenDatabaseAt(DatabaseConnection& connection, const QString& location,
                    QString* error = nullptr);

// ---- Statements that differ ------------------------------------------------------------

// The column that gives a table's stored order: its integer key where it has one (the same
// on both), otherwise the engine's row position.
QString RowOrderColumn(const DatabaseEngine& engine, const QString& table);
QString RowOrderColumn(const QString& table);  // on DncConnection's engine

// A row position as read from RowOrderColumn, ready to be bound again.
SqlValue RowPositionValue(const QVariant& position);

// The table's generated key column ("" for a table without one).
QString IdentityColumn(const QString& table);

// What follows an INSERT so that the statement itself hands back the new key, where the
// engine needs it (read as the statement's first row). Empty for a table without a key.
QString InsertReturning(const DatabaseEngine& engine, const QString& table);

// Whether a statement on DncConnection failed because a unique index refused the row.
bool IsUniqueViolation(const QSqlError& error);

// Whether the table exists. Asking never fails a statement (a server transaction survives).
std::optional<bool> TableExists(DatabaseConnection& connection, const QString& table,
                                QString* error = nullptr);

// The last key a table's generated key handed out, 0 when none. A copy carries it along, so
// a deleted row's key is never handed out again.
std::optional<qint64> ReadKeyCounter(DatabaseConnection& connection, const QString& table,
                                     QString* error = nullptr);
// The next key the table hands out will be last + 1.
bool SetKeyCounter(DatabaseConnection& connection, const QString& table, qint64 last,
                   QString* error = nullptr);

// Sets each generated key's next value past the highest key stored (after rows were copied
// in with their keys), where the engine does not do so by itself.
bool SetKeySequencesPastRows(DatabaseConnection& connection, QString* error = nullptr);
