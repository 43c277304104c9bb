#pragma once
// The database connection component: opens the database that a connection string names.
// "data source = X;" names either a DNC.mdb file (recognised by its header) or a server
// database's URI; the engine object of that kind of database opens it, and the connection
// owns it. Any other file, an empty one included, leaves the connection closed, so it is
// never written to and every statement reports that the connection is not open.
//
// A connection to a server can be lost (server restarted, network gone). The first failure
// that finds the connection lost is reported; later statements of the same routine fail
// without a report, and once the program is back in its event loop the next statement opens
// the connection again.

#include "components/database_engine.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>
#include <unordered_map>

class DatabaseConnection {
public:
    explicit DatabaseConnection(QString name = QStringLiteral("DncConnection"));
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // Opens the database named by "data source = ...;" of the connection string. Returns
    // whether it is open; the reason for a failure is in LastError().
    bool Open(const QString& connectionString, const QString& user = QString(),
              const QString& password = QString());
    // Opens a DNC.mdb path or a server URI as it is. newFile: makes a database file that does
    // not exist yet (and refuses one that does).
    bool OpenLocation(const QString& location, bool newFile = false);
    void Close();
    bool IsOpen() const { return open_ && !lost_; }
    QSqlDatabase Database() const;
    QString LastError() const { return lastError_; }
    // The engine of the database last opened (the file's before any open).
    const DatabaseEngine& Engine() const { return *engine_; }
    // The location last opened: a file path or a URI.
    QString Location() const { return location_; }

    // A prepared, forward-only query for this statement text. Statements are prepared once
    // and kept while the connection stays open: take one, run it, give it back. A statement
    // taken twice (a query run inside another's loop) gets a second, separate query.
    // Returns nothing, with the error, when the connection is closed or the text does not
    // prepare. A lost connection is opened again first when that is allowed (see above).
    struct Prepared {
        std::unique_ptr<QSqlQuery> query;
        quint64 generation = 0;
    };
    Prepared TakePrepared(const QString& sql, QSqlError* error);
    void GiveBack(const QString& sql, Prepared prepared);
    // Whether the statement is prepared and waiting to be taken.
    bool HasPrepared(const QString& sql) const { return prepared_.count(sql) > 0; }

    // Called with every failed statement's error. Returns false when the failure need not be
    // reported: the connection was found lost before, in this same routine.
    bool NoteFailure(const QSqlError& error);
    // Whether the connection was lost (and not yet opened again).
    bool IsLost() const { return lost_; }
    // Whether this failure (or the driver's state after it) shows the connection lost; notes
    // nothing (NoteFailure does).
    bool LostBy(const QSqlError& error) const;
    // Transactions hold the connection: it is never opened again while one is active, so
    // the statements after a loss cannot run outside the transaction they belonged to.
    void TransactionBegun() {
        if (transactions_++ == 0) {
            failedInTransaction_ = false;
        }
    }
    void TransactionEnded() {
        if (transactions_ > 0) {
            --transactions_;
        }
    }

    // Whether a statement failed since the outermost transaction began (a server then
    // refuses the commit: the transaction is all or nothing).
    bool FailedInTransaction() const { return failedInTransaction_; }
    // Opens a lost connection again when that is allowed; returns whether it is open.
    bool EnsureOpen();

    // The data source of a connection string ("data source = X;" gives X), as path text. A
    // value in quotes may hold ';' (a doubled quote stands for one).
    static QString DataSourceOf(const QString& connectionString);
    // The program's connection string for a location, quoted where the location needs it,
    // so DataSourceOf gives the location back whatever it holds.
    static QString ConnectionStringFor(const QString& location);
    // Whether the file starts with the header of a DNC.mdb file.
    static bool IsSqliteFile(const QString& path);

private:
    void DropPrepared();
    void ArmReconnect();
    void ArmCheck();

    QString name_;
    QString lastError_;
    QString location_;
    std::unique_ptr<DatabaseEngine> engine_ = DatabaseEngine::For(QString());
    bool open_ = false;
    bool lost_ = false;
    bool reconnectAllowed_ = false;
    bool lossReported_ = false;
    bool failedInTransaction_ = false;
    int lostAtLoopLevel_ = 0;
    int transactions_ = 0;
    // Bumped at every open and close, so a query taken before a close is never given back.
    quint64 generation_ = 0;
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> prepared_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
