#include "db/new_installation.h"

#include "base/atomic_file.h"
#include "base/paths.h"
#include "components/database_connection.h"
#include "db/backend.h"
#include "db/schema_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

QString SchemaScript() {
    return SchemaScriptFor(DatabaseBackend::SQLite);
}

namespace {

// The statements of a script: split at semicolons that end a line, comments dropped.
QStringList Statements(const QString& script) {
    QStringList statements;
    QString current;
    for (const QString& rawLine : script.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--"))) {
            continue;
        }
        current += rawLine + QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            statements << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty()) {
        statements << current.trimmed();
    }
    return statements;
}

bool Fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

// Runs the script in one transaction: every table or none (the server's DDL is
// transactional too).
bool RunStatements(QSqlDatabase db, const QString& script, QString* error) {
    bool ok = db.transaction();
    if (!ok) {
        return Fail(error, db.lastError().text());
    }
    {
        QSqlQuery query(db);
        for (const QString& statement : Statements(script)) {
            if (!query.exec(statement)) {
                ok = Fail(error,
                          query.lastError().text() + QStringLiteral(" in: ") + statement.left(80));
                break;
            }
        }
        query.finish();
    }
    if (ok && !db.commit()) {
        ok = Fail(error, db.lastError().text());
    }
    if (!ok) {
        db.rollback();
    }
    return ok;
}

bool RunScript(const QString& path, const QString& script, QString* error) {
    const QString name = QStringLiteral("new-installation-") + QUuid::createUuid().toString();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            ok = Fail(error, db.lastError().text());
        } else {
            ok = RunStatements(db, script, error);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

}  // namespace

bool CreateDatabaseFile(const QString& folder, QString* error) {
    const QString nativeFolder = NativePath(folder);
    if (!QDir(nativeFolder).exists()) {
        return Fail(error, QStringLiteral("The folder \"%1\" does not exist").arg(folder));
    }
    const QString target = QDir(nativeFolder).filePath(QStringLiteral("DNC.mdb"));
    const QFileInfo link(target);
    if (link.isSymLink() && !link.exists()) {
        return Fail(error, QStringLiteral("\"%1\" is a link to \"%2\", which does not exist; "
                                          "nothing was created")
                               .arg(target, link.symLinkTarget()));
    }
    if (!StoredFileName(target).isEmpty()) {
        return Fail(
            error,
            QStringLiteral("\"%1\" already holds a DNC.mdb; it is left as it is").arg(folder));
    }
    const QString script = SchemaScript();
    if (script.isEmpty()) {
        return Fail(error, QStringLiteral("The schema script is missing from the program"));
    }
    // Build it under a temporary name, then move it into place without replacing anything.
    const QString temporary =
        QDir(nativeFolder)
            .filePath(QStringLiteral("DNC.mdb.new-") + QUuid::createUuid().toString(QUuid::Id128));
    if (!RunScript(temporary, script, error)) {
        QFile::remove(temporary);
        return false;
    }
    // A plain rename would copy through a link that appeared meanwhile.
    if (!RenameWithoutReplacing(temporary, target, error)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool CreateDatabaseAt(const QString& path, QString* error) {
    if (QFileInfo::exists(path)) {
        return Fail(error, QStringLiteral("\"%1\" already exists; it is left as it is").arg(path));
    }
    const QString script = SchemaScript();
    if (script.isEmpty()) {
        return Fail(error, QStringLiteral("The schema script is missing from the program"));
    }
    if (!RunScript(path, script, error)) {
        QFile::remove(path);
        return false;
    }
    return true;
}

bool CreateServerSchema(const QString& uri, QString* error) {
    DatabaseConnection connection(QStringLiteral("new-installation-") +
                                  QUuid::createUuid().toString(QUuid::Id128));
    QString reason;
    const std::optional<DatabaseBackend> backend = OpenDatabaseAt(connection, uri, &reason);
    if (!backend) {
        return Fail(error, reason);
    }
    if (*backend != DatabaseBackend::PostgreSQL) {
        return Fail(error, QStringLiteral("\"%1\" is not a PostgreSQL URI").arg(uri));
    }
    QStringList found;
    {
        // Any table of the configuration in the schema the tables would go to.
        QSqlQuery query(connection.Database());
        if (!query.exec(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                       "WHERE table_schema = current_schema()"))) {
            return Fail(error, query.lastError().text());
        }
        while (query.next()) {
            const QString table = query.value(0).toString();
            if (IsSchemaTable(table)) {
                found << table;
            }
        }
    }
    if (!found.isEmpty()) {
        return Fail(error, QStringLiteral("the database \"%1\" already holds the tables (%2); it "
                                          "is left as it is")
                               .arg(uri, found.join(QStringLiteral(", "))));
    }
    const QString script = SchemaScriptFor(DatabaseBackend::PostgreSQL);
    if (script.isEmpty()) {
        return Fail(error, QStringLiteral("The schema script is missing from the program"));
    }
    return RunStatements(connection.Database(), script, error);
}
