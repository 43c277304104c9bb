#include "db/protocol_attributes.h"

#include "db/backend.h"
#include "db/change_log.h"
#include "db/error_report.h"
#include "db/schema_names.h"
#include "db/statement_count.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kPrefix = QStringLiteral("Error Protocol Attributes");

// Steps, as the report shows them.
constexpr int kStepNames = 1;
constexpr int kStepRead = 2;
constexpr int kStepBegin = 3;
constexpr int kStepInsert = 4;
constexpr int kStepUpdate = 5;
constexpr int kStepCommit = 6;

void ReportUnknown(const QString& what) {
    ReportError(
        kPrefix,
        OwnErrorInfo(OwnError::UnknownName, QStringLiteral("The database has no %1").arg(what)),
        kStepNames);
}

std::optional<QString> Table(const QString& table) {
    std::optional<QString> name = SchemaTableName(table);
    if (!name) {
        ReportUnknown(QStringLiteral("table \"%1\"").arg(table));
    }
    return name;
}

std::optional<QStringList> Columns(const QString& table, const QStringList& columns) {
    QStringList names;
    for (const QString& column : columns) {
        const std::optional<QString> name = SchemaColumnName(table, column);
        if (!name) {
            ReportUnknown(QStringLiteral("column \"%1\" in %2").arg(column, table));
            return std::nullopt;
        }
        names << *name;
    }
    return names;
}

bool Run(QSqlQuery& query, const QString& sql, const QList<SqlValue>& values) {
    if (!query.prepare(sql)) {
        return false;
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        query.bindValue(int(i), values.at(i).bound());
    }
    CountStatementSent();
    return query.exec();
}

}  // namespace

QString AttributeKeyColumn(const QString& table) {
    return table.compare(QLatin1String("t_remote"), Qt::CaseInsensitive) == 0
               ? QStringLiteral("rem_client_id")
               : QStringLiteral("client_id");
}

std::optional<AttributeRow> ReadAttributeRow(DatabaseConnection& connection, const QString& table,
                                             const QStringList& columns, qint32 clientId) {
    const std::optional<QString> t = Table(table);
    if (!t) {
        return std::nullopt;
    }
    const std::optional<QStringList> names = Columns(*t, columns);
    if (!names || names->isEmpty()) {
        return std::nullopt;
    }
    AttributeRow row;
    QSqlError error;
    {
        QSqlQuery query(connection.Database());
        query.setForwardOnly(true);
        const QString sql = QStringLiteral("SELECT ") + names->join(QStringLiteral(", ")) +
                            QStringLiteral(" FROM ") + *t + QStringLiteral(" WHERE ") +
                            AttributeKeyColumn(*t) + QStringLiteral(" = ? ORDER BY ") +
                            RowOrderColumn(connection.Engine(), *t) + QStringLiteral(" LIMIT 1");
        if (Run(query, sql, {SqlValue::Number(clientId)})) {
            if (query.next()) {
                row.found = true;
                for (qsizetype i = 0; i < names->size(); ++i) {
                    row.values << query.value(int(i));
                }
            }
            if (query.lastError().type() == QSqlError::NoError) {
                return row;
            }
        }
        error = query.lastError();
    }
    if (!connection.IsOpen()) {
        error = QSqlError(connection.LastError(), QString(), QSqlError::ConnectionError);
    }
    ReportError(kPrefix, ErrorFromSql(error), kStepRead);
    return std::nullopt;
}

bool WriteAttributeRows(DatabaseConnection& connection, qint32 clientId,
                        const QList<AttributeChange>& changes) {
    struct Statement {
        QString sql;
        QList<SqlValue> values;
        int step;
        TableWrite write;
    };
    // Every name is checked before anything is written.
    QList<Statement> statements;
    const SqlValue key = SqlValue::Number(clientId);
    for (const AttributeChange& change : changes) {
        const std::optional<QString> t = Table(change.table);
        if (!t) {
            return false;
        }
        const std::optional<QStringList> names = Columns(*t, change.columns);
        if (!names || names->size() != change.values.size()) {
            return false;
        }
        const QString keyColumn = AttributeKeyColumn(*t);
        if (change.insertRow) {
            statements.append({QStringLiteral("INSERT INTO ") + *t + QStringLiteral(" (") +
                                   keyColumn + QStringLiteral(") VALUES (?)"),
                               {key},
                               kStepInsert,
                               TableWrite::Insert(*t, {keyColumn}, {key})});
        }
        if (names->isEmpty()) {
            continue;
        }
        QStringList sets;
        for (const QString& name : *names) {
            sets << name + QStringLiteral(" = ?");
        }
        QList<SqlValue> values = change.values;
        values << key;
        statements.append({QStringLiteral("UPDATE ") + *t + QStringLiteral(" SET ") +
                               sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") +
                               keyColumn + QStringLiteral(" = ?"),
                           values, kStepUpdate,
                           TableWrite::Update(*t, keyColumn, key, *names, change.values)});
    }
    if (statements.isEmpty()) {
        return true;
    }

    QSqlDatabase db = connection.Database();
    if (connection.IsOpen()) {
        CountStatementSent();  // the begin
    }
    if (!connection.IsOpen() || !db.transaction()) {
        const QSqlError error = connection.IsOpen() ? db.lastError()
                                                    : QSqlError(connection.LastError(), QString(),
                                                                QSqlError::ConnectionError);
        ReportError(kPrefix, ErrorFromSql(error), kStepBegin);
        return false;
    }
    // The report waits for the rollback, so no message box runs while the file is locked.
    QSqlError error;
    int failedStep = 0;
    {
        QSqlQuery query(db);
        for (const Statement& statement : statements) {
            const auto run = [&](QSqlError* runError) {
                const bool ran = Run(query, statement.sql, statement.values);
                *runError = query.lastError();
                return ran;
            };
            if (!RecordedWrite(connection, statement.write, run, &error)) {
                failedStep = statement.step;
                break;
            }
        }
    }
    if (failedStep == 0) {
        CountStatementSent();
        if (db.commit()) {
            return true;
        }
        error = db.lastError();
        failedStep = kStepCommit;
    }
    CountStatementSent();
    db.rollback();
    ReportError(kPrefix, ErrorFromSql(error), failedStep);
    return false;
}
