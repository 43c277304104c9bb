#pragma once
// One object per database engine: everything that differs between the DNC.mdb file (the
// default) and a server database shared by several administrators. The rest of the program
// runs the same statements on both and asks the engine of its connection for the rest.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class DatabaseEngine {
public:
    virtual ~DatabaseEngine() = default;

    // The one rule that tells a server database (a connection URI) from a DNC.mdb path.
    static bool NamesServer(const QString& location);
    // The engine of the database a location names.
    static std::unique_ptr<DatabaseEngine> For(const QString& location);
    // The engine an error report names as its source; nullptr for any other source.
    static const DatabaseEngine* Named(const QString& name);

    // The engine's name as error reports show it.
    virtual QString Name() const = 0;
    // Whether the database lives on a server (and may be shared, lost, reconnected).
    virtual bool IsServer() const = 0;

    // Opens the database at location as the Qt connection connectionName, with the session
    // set up. newFile: a database file that does not exist yet is made (a server database
    // must exist). False with the reason in *error.
    virtual bool Open(const QString& connectionName, const QString& location, bool newFile,
                      QString* error) const = 0;

    // The schema script: every table of the configuration and Kestrum's own.
    virtual QString SchemaScript() const = 0;
    // Kestrum's own tables only, each made when missing: the one-time upgrade of a database
    // made before them.
    virtual QString OwnTablesScript() const = 0;
    // Whether the table exists. Asking never fails a statement (a server transaction
    // survives).
    virtual std::optional<bool> TableExists(const QSqlDatabase& db, const QString& table,
                                            QString* error) const = 0;
    // The names of the tables in the database's current schema.
    virtual std::optional<QStringList> TableNames(const QSqlDatabase& db, QString* error) const = 0;

    // ---- Statements that differ ----
    // The column of a row's stored position, for a table without an integer key.
    virtual QString RowPositionColumn() const = 0;
    // What follows an INSERT so that the statement hands back the new key ("" when the
    // driver's last insert id does so).
    virtual QString InsertReturning(const QString& keyColumn) const = 0;
    // Several INSERT statements sent as one ("" when the engine runs each on its own): on a
    // server each statement is a round trip. The values are those of the statements in turn.
    virtual QString InsertsAsOne(const QStringList& inserts) const = 0;
    // Whether the driver's last insert id can be asked after any insert.
    virtual bool HasLastInsertId() const = 0;
    // The statement that makes a just begun transaction read one snapshot ("" when the
    // transaction already does).
    virtual QString SnapshotIsolation() const = 0;
    // What makes a SELECT lock the rows it read until the transaction ends.
    virtual QString RowLockClause() const = 0;
    // A generated integer key that is never reused.
    virtual QString GeneratedKeyDefinition(const QString& column) const = 0;

    // ---- Failures ----
    virtual bool IsUniqueViolation(const QSqlError& error) const = 0;
    // Whether the failure means the connection itself is gone.
    virtual bool IsLostConnection(const QSqlError& error, const QSqlDatabase& db) const = 0;
    // Whether the driver knows the connection is gone, though no statement has said so yet.
    virtual bool IsConnectionBroken(const QSqlDatabase& db) const = 0;
    // Whether the failure is only another's lock (worth waiting for), by its code.
    virtual bool IsBusyCode(qint32 code) const = 0;
    // Whether a failed statement spoils its transaction, so it can only be rolled back.
    virtual bool FailureSpoilsTransaction() const = 0;
    // Whether the failure only repeats an earlier one of a spoiled transaction.
    virtual bool IsAbortedTransaction(const QSqlError& error) const = 0;
    // The failure's text for an error report.
    virtual QString ErrorDescription(const QSqlError& error) const;

    // ---- Key counters ----
    // The last key the table's generated key handed out, 0 when none.
    virtual std::optional<qint64> ReadKeyCounter(const QSqlDatabase& db, const QString& table,
                                                 const QString& key, QString* error) const = 0;
    // The next key the table hands out will be last + 1.
    virtual bool SetKeyCounter(const QSqlDatabase& db, const QString& table, const QString& key,
                               qint64 last, QString* error) const = 0;
    // The next key past the highest key stored (after rows were copied in with their keys).
    virtual bool SetKeyPastRows(const QSqlDatabase& db, const QString& table, const QString& key,
                                QString* error) const = 0;

    // ---- Backup and restore ----
    // Whether the engine copies the whole open database into a file by itself (a server
    // configuration is copied table by table instead).
    virtual bool HasFileBackup() const = 0;
    // The online backup: a consistent copy of the open database into a new file at target,
    // while the program keeps it open.
    virtual bool BackupToFile(const QSqlDatabase& db, const QString& target,
                              QString* error) const = 0;
    // The other sessions of Kestrum and its tools on the same database, each as "user from
    // address, connected since time"; none for a database file (a lock on the file tells its
    // use).
    virtual std::optional<QStringList> OtherSessions(const QSqlDatabase& db,
                                                     QString* error) const = 0;
    // The restore hook: the whole contents of a backup file put into the open database in
    // place, through the engine's own locking.
    virtual bool RestoreFromFile(const QSqlDatabase& db, const QString& source,
                                 QString* error) const = 0;

protected:
    // The statements between the own-tables marks of a schema script.
    static QString OwnTablesOf(const QString& script);
};
