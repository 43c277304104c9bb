#pragma once
// A configuration on a PostgreSQL server, named by a libpq connection URI and shared by
// several administrators.

#include "components/database_engine.h"

class PostgresEngine final : public DatabaseEngine {
public:
    // Whether the text is a URI of this engine (postgresql:// or postgres://).
    static bool IsUri(const QString& location);

    QString Name() const override;
    bool IsServer() const override { return true; }
    bool Open(const QString& connectionName, const QString& location, bool newFile,
              QString* error) const override;
    QString SchemaScript() const override;
    QString OwnTablesScript() const override;
    std::optional<bool> TableExists(const QSqlDatabase& db, const QString& table,
                                    QString* error) const override;
    std::optional<QStringList> TableNames(const QSqlDatabase& db, QString* error) const override;
    QString RowPositionColumn() const override { return QStringLiteral("ctid"); }
    QString InsertReturning(const QString& keyColumn) const override;
    QString InsertsAsOne(const QStringList& inserts) const override;
    bool HasLastInsertId() const override { return false; }
    QString SnapshotIsolation() const override;
    QString RowLockClause() const override { return QStringLiteral(" FOR UPDATE"); }
    QString GeneratedKeyDefinition(const QString& column) const override;
    bool IsUniqueViolation(const QSqlError& error) const override;
    bool IsLostConnection(const QSqlError& error, const QSqlDatabase& db) const override;
    bool IsConnectionBroken(const QSqlDatabase& db) const override;
    bool IsBusyCode(qint32) const override { return false; }
    bool FailureSpoilsTransaction() const override { return true; }
    bool IsAbortedTransaction(const QSqlError& error) const override;
    QString ErrorDescription(const QSqlError& error) const override;
    std::optional<qint64> ReadKeyCounter(const QSqlDatabase& db, const QString& table,
                                         const QString& key, QString* error) const override;
    bool SetKeyCounter(const QSqlDatabase& db, const QString& table, const QString& key,
                       qint64 last, QString* error) const override;
    bool SetKeyPastRows(const QSqlDatabase& db, const QString& table, const QString& key,
                        QString* error) const override;
    bool HasFileBackup() const override { return false; }
    std::optional<QStringList> OtherSessions(const QSqlDatabase& db, QString* error) const override;
    bool BackupToFile(const QSqlDatabase& db, const QString& target, QString* error) const override;
    bool RestoreFromFile(const QSqlDatabase& db, const QString& source,
                         QString* error) const override;
};
