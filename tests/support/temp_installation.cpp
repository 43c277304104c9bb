#include "tests/support/temp_installation.h"

#include "base/settings.h"
#include "db/backend.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "tests/support/checked_query.h"
#include "tests/support/test_backend.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

#include <map>
#include <memory>

TempInstallation::TempInstallation() : TempInstallation(Options()) {}

TempInstallation::TempInstallation(const Options& options) {
    valid_ = dir_.isValid();
    if (!valid_) {
        return;
    }
    ResetApplicationState();
    ResetDatabaseState();
    SetProgramFolder(dir_.path());
    SettingsFileName = JoinPath(dir_.path(), QStringLiteral("Kestrum.ini"));
    const QString name = options.computerName;
    SetComputerNameSource([name]() -> std::optional<QString> { return name; });
    LocalComputerName = name.toUpper();
    DatabaseFolder = dir_.path();
    if (options.settings) {
        WriteFile(QStringLiteral("Kestrum.ini"), *options.settings);
    }
    if (options.createDatabase) {
        QString error;
        if (TestOnServer()) {
            serverUri_ = FreshServerDatabase(&error);
            valid_ = !serverUri_.isEmpty();
        } else {
            valid_ = CreateDatabaseFile(dir_.path(), &error);
        }
        if (!valid_) {
            qWarning("Could not prepare the database: %s", qPrintable(error));
        }
    }
    DncConnectionString = DatabaseConnection::ConnectionStringFor(DatabaseLocation());
    if (valid_ && options.createDatabase && options.openConnection) {
        valid_ = OpenConnection();
    }
    checkName_ = QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::Id128);
}

namespace {

std::map<QString, std::unique_ptr<DatabaseConnection>>& CheckConnections() {
    static std::map<QString, std::unique_ptr<DatabaseConnection>> connections;
    return connections;
}

}  // namespace

TempInstallation::~TempInstallation() {
    DncConnection.Close();
    DropCheckConnection();
    ResetDatabaseState();
    CurrentClientMode = ClientModeRecord();
    ExportClientMode = ClientModeRecord();
    DownAttributes = DownAttributesRecord();
    UpAttributes = UpAttributesRecord();
    TerminalAttributes = TerminalAttributesRecord();
    RemoteAttributes = RemoteAttributesRecord();
    ResetApplicationState();
    SetProgramFolder(QString());
    SetComputerNameSource({});
}

QString TempInstallation::Folder() const {
    return dir_.path();
}

QString TempInstallation::FilePath(const QString& name) const {
    return dir_.filePath(name);
}

void TempInstallation::WriteFile(const QString& name, const QByteArray& bytes) const {
    QFile file(FilePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

QByteArray TempInstallation::ReadFile(const QString& name) const {
    QFile file(FilePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TempInstallation::OpenConnection() {
    return DncConnection.Open(DncConnectionString);
}

QString TempInstallation::DatabaseLocation() const {
    return OnServer() ? serverUri_ : DatabasePath();
}

QString TempInstallation::RowOrder(const QString& table) const {
    return RowOrderColumn(*DatabaseEngine::For(DatabaseLocation()), table);
}

namespace {

// A connection of the test's own to the same database, opened at first use; a connection that
// does not open fails the test.
QSqlDatabase CheckConnection(const QString& name, const QString& location) {
    if (!IsDatabaseUri(location)) {
        // SQLite makes the file when it is missing: a test may build a foreign one so.
        if (QSqlDatabase::contains(name)) {
            return QSqlDatabase::database(name);
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(location);
        if (!db.open()) {
            QTest::qFail(qPrintable(QStringLiteral("Check connection to %1 failed: %2")
                                        .arg(location, db.lastError().text())),
                         __FILE__, __LINE__);
        }
        return db;
    }
    auto& connections = CheckConnections();
    auto found = connections.find(name);
    if (found == connections.end() || !found->second->IsOpen()) {
        auto connection = std::make_unique<DatabaseConnection>(name);
        if (!connection->OpenLocation(location)) {
            QTest::qFail(qPrintable(QStringLiteral("Check connection to %1 failed: %2")
                                        .arg(location, connection->LastError())),
                         __FILE__, __LINE__);
        }
        found = connections.insert_or_assign(name, std::move(connection)).first;
    }
    return found->second->Database();
}

}  // namespace

QList<QVariantList> TempInstallation::Query(const QString& sql, const QVariantList& bind) const {
    return RowsOrFail(CheckConnection(checkName_, DatabaseLocation()), sql, bind);
}

QVariant TempInstallation::QueryValue(const QString& sql, const QVariantList& bind) const {
    const QList<QVariantList> rows = Query(sql, bind);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

QStringList TempInstallation::TextRows(const QString& sql, const QVariantList& bind,
                                       const QString& null) const {
    QStringList rows;
    for (const QVariantList& row : Query(sql, bind)) {
        QStringList fields;
        for (const QVariant& field : row) {
            fields << (field.isNull() ? null : field.toString());
        }
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

bool TempInstallation::Exec(const QString& sql, const QVariantList& bind) const {
    QSqlQuery query(CheckConnection(checkName_, DatabaseLocation()));
    return ExecOrFail(query, sql, bind);
}

void TempInstallation::DropCheckConnection() {
    CheckConnections().erase(checkName_);
    if (QSqlDatabase::contains(checkName_)) {
        QSqlDatabase::database(checkName_, false).close();
        QSqlDatabase::removeDatabase(checkName_);
    }
}

QStringList TempInstallation::TableNames() const {
    // The configuration's tables: Kestrum's own (the change log) are not among them.
    return TextRows(OnServer()
                        ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE "
                                         "table_schema = current_schema() AND table_name NOT "
                                         "LIKE 'kestrum\\_%' ORDER BY 1")
                        : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                         "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name NOT "
                                         "LIKE 'kestrum\\_%' ESCAPE '\\' ORDER BY 1"));
}

QStringList TempInstallation::ColumnNames(const QString& table) const {
    return TextRows(OnServer()
                        ? QStringLiteral("SELECT column_name FROM information_schema.columns "
                                         "WHERE table_schema = current_schema() AND "
                                         "table_name = ? ORDER BY ordinal_position")
                        : QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"),
                    {table});
}

bool TempInstallation::RefuseInserts(const QString& table) const {
    if (!OnServer()) {
        return Exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE INSERT ON %1 "
                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                        .arg(table));
    }
    return Exec(QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger AS "
                               "'BEGIN RAISE EXCEPTION ''refused''; END' LANGUAGE plpgsql")) &&
           Exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE INSERT ON %1 "
                               "FOR EACH ROW EXECUTE FUNCTION refuse()")
                    .arg(table));
}

bool TempInstallation::AddPlant(const Plant& servers) const {
    // The set-up's many small writes need not wait for the disk; the tests' own do.
    QSqlQuery pragma(DncConnection.Database());
    if (!OnServer() && !ExecOrFail(pragma, QStringLiteral("PRAGMA synchronous = OFF"))) {
        return false;
    }
    bool made = true;
    for (const auto& [server, clients] : servers) {
        AddServer(server);
        for (const QString& client : clients) {
            made = AddClientMDB(client, server) && made;
        }
    }
    if (!OnServer()) {
        made = ExecOrFail(pragma, QStringLiteral("PRAGMA synchronous = FULL")) && made;
    }
    return made;
}

QVariant TempInstallation::ClientId(const QString& name) const {
    return QueryValue(
        QStringLiteral("SELECT client_id FROM t_dnc_server_clients WHERE client_name = ?"), {name});
}

QStringList TempInstallation::ClientsOf(const QString& server) const {
    return TextRows(
        QStringLiteral("SELECT c.client_name FROM t_dnc_server_clients c JOIN t_dnc_servers s "
                       "ON s.dnc_server_id = c.dnc_server_id WHERE s.dnc_server_name = ? "
                       "ORDER BY c.client_name"),
        {server});
}

QStringList TempInstallation::Rows(const QString& table) const {
    return TextRows(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY 1"));
}

qint64 TempInstallation::Count(const QString& table, const QString& where,
                               const QVariantList& bind) const {
    return QueryValue(QStringLiteral("SELECT COUNT(*) FROM ") + table +
                          (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                      bind)
        .toLongLong();
}
