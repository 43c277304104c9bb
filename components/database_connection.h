#pragma once
// The database connection component: opens the file that a connection string names.
// Only an SQLite file (recognised by its header) is opened; any other file, an empty one
// included, leaves the connection closed, so it is never written to and every statement
// reports that the connection is not open.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <memory>
#include <unordered_map>

class DatabaseConnection {
public:
    explicit DatabaseConnection(QString name = QStringLiteral("DncConnection"));
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // Opens the file named by "data source = ...;" of the connection string. Returns
    // whether it is open; the reason for a failure is in LastError().
    bool Open(const QString& connectionString, const QString& user = QString(),
              const QString& password = QString());
    void Close();
    bool IsOpen() const { return open_; }
    QSqlDatabase Database() const;
    QString LastError() const { return lastError_; }

    // A prepared, forward-only query for this statement text. Statements are prepared once
    // and kept while the connection stays open: take one, run it, give it back. A statement
    // taken twice (a query run inside another's loop) gets a second, separate query.
    // Returns nothing, with the error, when the connection is closed or the text does not
    // prepare.
    struct Prepared {
        std::unique_ptr<QSqlQuery> query;
        quint64 generation = 0;
    };
    Prepared TakePrepared(const QString& sql, QSqlError* error);
    void GiveBack(const QString& sql, Prepared prepared);

    // The data source of a connection string ("data source = X;" gives X), as path text.
    static QString DataSourceOf(const QString& connectionString);
    // Whether the file starts with the SQLite header.
    static bool IsSqliteFile(const QString& path);

private:
    void DropPrepared();

    QString name_;
    QString lastError_;
    bool open_ = false;
    // Bumped at every open and close, so a query taken before a close is never given back.
    quint64 generation_ = 0;
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> prepared_;
};
