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
    return DatabaseEngine::For(QString())->SchemaScript();
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
    DatabaseConnection connection(QStringLiteral("new-installation-") +
                                  QUuid::createUuid().toString(QUuid::Id128));
    if (!connection.OpenLocation(path, true)) {
        return Fail(error, connection.LastError());
    }
    const bool ok = RunStatements(connection.Database(), script, error);
    connection.Close();
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
    if (!IsDatabaseUri(uri)) {
        return Fail(error, QStringLiteral("\"%1\" is not a server database URI").arg(uri));
    }
    DatabaseConnection connection(QStringLiteral("new-installation-") +
                                  QUuid::createUuid().toString(QUuid::Id128));
    QString reason;
    if (!OpenDatabaseAt(connection, uri, &reason)) {
        return Fail(error, reason);
    }
    const DatabaseEngine& engine = connection.Engine();
    // Any table of the configuration in the schema the tables would go to.
    const std::optional<QStringList> tables = engine.TableNames(connection.Database(), error);
    if (!tables) {
        return false;
    }
    QStringList found;
    for (const QString& table : *tables) {
        if (IsSchemaTable(table)) {
            found << table;
        }
    }
    if (!found.isEmpty()) {
        return Fail(error, QStringLiteral("the database \"%1\" already holds the tables (%2); it "
                                          "is left as it is")
                               .arg(uri, found.join(QStringLiteral(", "))));
    }
    const QString script = engine.SchemaScript();
    if (script.isEmpty()) {
        return Fail(error, QStringLiteral("The schema script is missing from the program"));
    }
    return RunStatements(connection.Database(), script, error);
}

bool AddOwnTables(DatabaseConnection& connection, QString* error) {
    // No transaction of its own: inside the caller's, the tables come and go with it.
    QSqlQuery query(connection.Database());
    for (const QString& statement : Statements(connection.Engine().OwnTablesScript())) {
        if (!query.exec(statement)) {
            return Fail(error,
                        query.lastError().text() + QStringLiteral(" in: ") + statement.left(80));
        }
    }
    return true;
}
