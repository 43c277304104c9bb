#include "tests/support/temp_installation.h"

#include "base/settings.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

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
    DncConnectionString = QStringLiteral("Provider = Microsoft.Jet.OLEDB.4.0;data source = ") +
                          DatabasePath() + QStringLiteral(";");
    if (options.settings) {
        WriteFile(QStringLiteral("Kestrum.ini"), *options.settings);
    }
    if (options.createDatabase) {
        QString error;
        valid_ = CreateDatabaseFile(dir_.path(), &error);
        if (!valid_) {
            qWarning("Could not create DNC.mdb: %s", qPrintable(error));
        }
        if (valid_ && options.openConnection) {
            valid_ = OpenConnection();
        }
    }
    checkName_ = QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::Id128);
}

TempInstallation::~TempInstallation() {
    DncConnection.Close();
    if (QSqlDatabase::contains(checkName_)) {
        QSqlDatabase::database(checkName_, false).close();
        QSqlDatabase::removeDatabase(checkName_);
    }
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

namespace {

QSqlDatabase CheckConnection(const QString& name, const QString& path) {
    if (QSqlDatabase::contains(name)) {
        return QSqlDatabase::database(name);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.open();
    return db;
}

}  // namespace

QList<QVariantList> TempInstallation::Query(const QString& sql, const QVariantList& bind) const {
    QSqlQuery query(CheckConnection(checkName_, DatabasePath()));
    query.prepare(sql);
    for (const QVariant& value : bind) {
        query.addBindValue(value);
    }
    QList<QVariantList> rows;
    if (!query.exec()) {
        qWarning("Check query failed: %s: %s", qPrintable(sql),
                 qPrintable(query.lastError().text()));
        return rows;
    }
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i) {
            row << query.value(i);
        }
        rows << row;
    }
    return rows;
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
    QSqlQuery query(CheckConnection(checkName_, DatabasePath()));
    query.prepare(sql);
    for (const QVariant& value : bind) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        qWarning("Check statement failed: %s: %s", qPrintable(sql),
                 qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}
