#pragma once
// The DNC.mdb file: an SQLite 3 database, recognised by its header.

#include "components/database_engine.h"

struct sqlite3;

class SqliteEngine final : public DatabaseEngine {
public:
    // Whether the file starts with the engine's header.
    static bool IsDatabaseFile(const QString& path);
    // The SQLite handle under a Qt connection; null for another driver.
    static sqlite3* HandleOf(const QSqlDatabase& db);
    // Copies the main database of from over the main database of to in one write transaction
    // of to, waiting for another connection's lock up to the usual 5 s. SQLITE_OK when done,
    // else SQLite's code (SQLITE_BUSY or SQLITE_LOCKED when the wait ran out).
    static int CopyPages(sqlite3* to, sqlite3* from);

    QString Name() const override;
    bool IsServer() const override { return false; }
    bool Open(const QString& connectionName, const QString& location, bool newFile,
              QString* error) const override;
    QString SchemaScript() const override;
    QString OwnTablesScript() const override;
    std::optional<bool> TableExists(const QSqlDatabase& db, const QString& table,
                                    QString* error) const override;
    std::optional<QStringList> TableNames(const QSqlDatabase& db, QString* error) const override;
    QString RowPositionColumn() const override { return QStringLiteral("rowid"); }
    // SQLite hands back rows of an INSERT since 3.35; a multi-row insert needs its keys.
    QString InsertReturning(const QString& keyColumn) const override {
        return keyColumn.isEmpty() ? QString() : QStringLiteral(" RETURNING ") + keyColumn;
    }
    // A file has no round trips to save.
    QString InsertsAsOne(const QStringList&) const override { return QString(); }
    bool HasLastInsertId() const override { return true; }
    QString SnapshotIsolation() const override { return QString(); }
    QString RowLockClause() const override { return QString(); }
    QString GeneratedKeyDefinition(const QString& column) const override;
    bool IsUniqueViolation(const QSqlError& error) const override;
    bool IsLostConnection(const QSqlError&, const QSqlDatabase&) const override { return false; }
    bool IsConnectionBroken(const QSqlDatabase&) const override { return false; }
    bool IsBusyCode(qint32 code) const override;
    bool FailureSpoilsTransaction() const override { return false; }
    bool IsAbortedTransaction(const QSqlError&) const override { return false; }
    std::optional<qint64> ReadKeyCounter(const QSqlDatabase& db, const QString& table,
                                         const QString& key, QString* error) const override;
    bool SetKeyCounter(const QSqlDatabase& db, const QString& table, const QString& key,
                       qint64 last, QString* error) const override;
    bool SetKeyPastRows(const QSqlDatabase&, const QString&, const QString&,
                        QString*) const override {
        return true;  // an AUTOINCREMENT key never goes below the highest stored
    }
    bool HasFileBackup() const override { return true; }
    std::optional<QStringList> OtherSessions(const QSqlDatabase&, QString*) const override {
        return QStringList();
    }
    bool BackupToFile(const QSqlDatabase& db, const QString& target, QString* error) const override;
    bool RestoreFromFile(const QSqlDatabase& db, const QString& source,
                         QString* error) const override;
};
