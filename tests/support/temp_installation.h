#pragma once
// A temporary installation for one test: a program folder with a fresh DNC.mdb made from
// the schema script and, when given, a settings file. The application state, the database
// state and the seams it set are put back when it goes away.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <utility>

class TempInstallation {
public:
    struct Options {
        bool createDatabase = true;
        bool openConnection = true;          // open DncConnection on the new DNC.mdb
        std::optional<QByteArray> settings;  // bytes of Kestrum.ini
        QString computerName = QStringLiteral("CNCSRV1");
    };

    TempInstallation();
    explicit TempInstallation(const Options& options);
    ~TempInstallation();
    TempInstallation(const TempInstallation&) = delete;
    TempInstallation& operator=(const TempInstallation&) = delete;

    bool IsValid() const { return valid_; }
    QString Folder() const;
    QString FilePath(const QString& name) const;
    QString DatabasePath() const { return FilePath(QStringLiteral("DNC.mdb")); }
    // Where the configuration is: the DNC.mdb path, or the server database's URI.
    QString DatabaseLocation() const;
    bool OnServer() const { return !serverUri_.isEmpty(); }
    // The column giving a table's stored order on this backend (for ORDER BY in checks).
    QString RowOrder(const QString& table) const;
    QString SettingsPath() const { return FilePath(QStringLiteral("Kestrum.ini")); }

    void WriteFile(const QString& name, const QByteArray& bytes) const;
    QByteArray ReadFile(const QString& name) const;

    // Opens DncConnection on this installation's database.
    bool OpenConnection();

    // Runs a query on a separate connection to the same file, for checking what was stored
    // without going through the code under test. Returns the rows as lists of values; a
    // statement that fails fails the test (and gives no rows).
    QList<QVariantList> Query(const QString& sql, const QVariantList& bind = {}) const;
    QVariant QueryValue(const QString& sql, const QVariantList& bind = {}) const;
    // The rows as text, fields joined by '|' and a NULL field shown as null: whole rows to
    // compare before and after.
    QStringList TextRows(const QString& sql, const QVariantList& bind = {},
                         const QString& null = QString()) const;
    // The tables of the database and a table's columns in their order, on either backend.
    QStringList TableNames() const;
    QStringList ColumnNames(const QString& table) const;
    // Makes the database refuse every insert into the table with the message "refused".
    bool RefuseInserts(const QString& table) const;
    // Runs a statement on that separate connection (for setting up rows); a statement that
    // fails fails the test.
    bool Exec(const QString& sql, const QVariantList& bind = {}) const;
    // Forgets that connection (after a server restart ended it); the next check opens anew.
    void DropCheckConnection();

    // Servers, each with its clients, made as the program makes them (a client with its
    // dependent rows). False when one could not be made.
    using Plant = QList<std::pair<QString, QStringList>>;
    bool AddPlant(const Plant& servers) const;
    // Read on the separate connection: a client's id, a server's client names in name order,
    // a table's rows as text in key order, and a count of a table's rows.
    QVariant ClientId(const QString& name) const;
    QStringList ClientsOf(const QString& server) const;
    QStringList Rows(const QString& table) const;
    qint64 Count(const QString& table, const QString& where = QString(),
                 const QVariantList& bind = {}) const;

private:
    QTemporaryDir dir_;
    bool valid_ = false;
    QString checkName_;
    QString serverUri_;
};
