#include "components/database_engine.h"

#include "components/postgres_engine.h"
#include "components/sqlite_engine.h"

#include <QStringList>

bool DatabaseEngine::NamesServer(const QString& location) {
    return PostgresEngine::IsUri(location);
}

std::unique_ptr<DatabaseEngine> DatabaseEngine::For(const QString& location) {
    if (NamesServer(location)) {
        return std::make_unique<PostgresEngine>();
    }
    return std::make_unique<SqliteEngine>();
}

const DatabaseEngine* DatabaseEngine::Named(const QString& name) {
    static const SqliteEngine file;
    static const PostgresEngine server;
    if (name == file.Name()) {
        return &file;
    }
    return name == server.Name() ? &server : nullptr;
}

QString DatabaseEngine::ErrorDescription(const QSqlError& error) const {
    return error.databaseText().trimmed();
}

QString DatabaseEngine::OwnTablesOf(const QString& script) {
    const QString begin = QStringLiteral("-- own tables begin\n");
    const QString end = QStringLiteral("-- own tables end");
    const qsizetype from = script.indexOf(begin);
    const qsizetype to = script.indexOf(end);
    if (from < 0 || to < from) {
        return QString();
    }
    return script.mid(from + begin.size(), to - from - begin.size());
}
