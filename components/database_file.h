#pragma once
// The DNC.mdb file as a whole, as backups and restores handle it: copies made through the
// file engine's online backup, a backup read into memory and checked before it may replace
// anything, and whether another program has the file in use. The handles are the file
// engine's own; nothing outside it needs to know what they are.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct sqlite3;

struct DatabaseFileCloser {
    void operator()(sqlite3* handle) const;
};
using DatabaseFileHandle = std::unique_ptr<sqlite3, DatabaseFileCloser>;

// Opens a database file that exists, for reading and writing, waiting on another program's
// lock no longer than the usual limit. Null with the reason when it cannot be opened.
DatabaseFileHandle OpenDatabaseFile(const QString& path, QString* error);

// Copies source's main database through the online backup into a new file at target
// (written as target.part, then renamed). A lock of another program is waited on no longer
// than the usual limit; on failure nothing is left behind.
bool WriteDatabaseFileCopy(const DatabaseFileHandle& source, const QString& target, QString* error);

// Copies the whole of source over destination's main database in one write transaction of
// destination, so its other connections, its journal or WAL go on consistently.
bool CopyDatabaseFileOver(const DatabaseFileHandle& source, const DatabaseFileHandle& destination,
                          QString* error);

// The file read into a database in memory, without touching the file beyond reading it (no
// journal, -wal or -shm beside it). Refuses, naming the reason, a file that is not a
// regular file, not a database file, or shorter than its own header says.
DatabaseFileHandle LoadDatabaseFileIntoMemory(const QString& path, QString* error);

// Why the database is damaged (the engine's integrity check) or lacks a table or column of
// schema (each table with its columns); nothing when it is sound. busy is set when the check could
// not run for another program's lock.
std::optional<QString> SchemaFault(const DatabaseFileHandle& database,
                                   const QList<QPair<QString, QStringList>>& schema,
                                   bool* busy = nullptr);
std::optional<QString> IntegrityFault(const DatabaseFileHandle& database, bool* busy = nullptr);

// Whether another program has the database file open in a way that its journal or WAL is
// live (a lock on the file or on its -shm). Never true on a system where it cannot be told.
bool OtherProgramHoldsDatabaseFile(const QString& path);
