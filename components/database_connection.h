#pragma once
// The database connection component: opens the file that a connection string names.
// Only an SQLite file (recognised by its header) is opened; any other file, an empty one
// included, leaves the connection closed, so it is never written to and every statement
// reports that the connection is not open.

#include <QSqlDatabase>
#include <QString>

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
    bool IsOpen() const;
    QSqlDatabase Database() const;
    QString LastError() const { return lastError_; }

    // The data source of a connection string ("data source = X;" gives X), as path text.
    static QString DataSourceOf(const QString& connectionString);
    // Whether the file starts with the SQLite header.
    static bool IsSqliteFile(const QString& path);

private:
    QString name_;
    QString lastError_;
};
