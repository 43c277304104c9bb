#pragma once
// SQLite files of the backups: copies made through SQLite's online backup, a backup read
// into memory and checked before it may replace anything, and whether another program has a
// database file in use.

#include <QString>

#include <memory>
#include <optional>

struct sqlite3;

struct SqliteCloser {
    void operator()(sqlite3* handle) const;
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// Opens a database file that exists, for reading and writing, waiting on another program's
// lock no longer than the usual limit. Null with the reason when it cannot be opened.
SqliteHandle OpenSqliteFile(const QString& path, QString* error);

// Copies source's main database through the online backup into a new file at target
// (written as target.part, then renamed). A lock of another program is waited on no longer
// than the usual limit; on failure nothing is left behind.
bool WriteSqliteCopy(sqlite3* source, const QString& target, QString* error);

// Copies the whole of source over destination's main database in one write transaction of
// destination, so its other connections, its journal or WAL go on consistently.
bool CopySqliteOver(sqlite3* source, sqlite3* destination, QString* error);

// The file read into a database in memory, without touching the file beyond reading it (no
// journal, -wal or -shm beside it). Refuses, naming the reason, a file that is not a
// regular file, not an SQLite database, or shorter than its own header says.
SqliteHandle LoadSqliteIntoMemory(const QString& path, QString* error);

// Why the database is damaged (SQLite's integrity check) or is not a Kestrum configuration
// (a table or column of the schema missing); nothing when it is sound. busy is set when the
// check could not run for another program's lock.
std::optional<QString> ConfigurationFault(sqlite3* database, bool* busy = nullptr);
std::optional<QString> IntegrityFault(sqlite3* database, bool* busy = nullptr);

// Whether another program has the database file open in a way that its journal or WAL is
// live (a lock on the file or on its -shm). Never true on a system where it cannot be told.
bool OtherProgramHoldsSqliteLocks(const QString& path);
