#include "db/configuration_rows.h"

#include "db/backend.h"
#include "db/schema_names.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ConfigurationRows {

namespace {

bool Fail(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
    return false;
}

bool Failed(QString* error, const QSqlError& sqlError, const QString& what) {
    return Fail(error, what + QStringLiteral(": ") + sqlError.text());
}

// The schema's spelling of a table, or nothing (and the error) for a name it does not have.
std::optional<QString> Table(const QString& table, QString* error) {
    const auto name = SchemaTableName(table);
    if (!name) {
        Fail(error, QStringLiteral("No table %1 in the schema").arg(table));
    }
    return name;
}

}  // namespace

bool ReadTable(DatabaseConnection& connection, const QString& table, QList<QVariantList>* rows,
               QString* error) {
    const auto name = Table(table, error);
    if (!name) {
        return false;
    }
    const QStringList columns = SchemaColumns(*name);
    // Keyed tables in key order, the others as stored (a server keeps no order of its own).
    QSqlQuery query(connection.Database());
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                            .arg(columns.join(QStringLiteral(", ")), *name,
                                 RowOrderColumn(connection.Engine(), *name));
    if (!query.exec(sql)) {
        return Failed(error, query.lastError(), QStringLiteral("Reading %1").arg(*name));
    }
    rows->clear();
    while (query.next()) {
        QVariantList row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i) {
            row << query.value(i);
        }
        rows->append(std::move(row));
    }
    if (query.lastError().type() != QSqlError::NoError) {
        return Failed(error, query.lastError(), QStringLiteral("Reading %1").arg(*name));
    }
    return true;
}

std::optional<qint64> CountRows(DatabaseConnection& connection, const QString& table,
                                QString* error) {
    const auto name = Table(table, error);
    if (!name) {
        return std::nullopt;
    }
    QSqlQuery query(connection.Database());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + *name) || !query.next()) {
        Failed(error, query.lastError(), QStringLiteral("Counting the rows of %1").arg(*name));
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

bool DeleteAllRows(DatabaseConnection& connection, const QString& table, QString* error) {
    const auto name = Table(table, error);
    if (!name) {
        return false;
    }
    QSqlQuery query(connection.Database());
    if (!query.exec(QStringLiteral("DELETE FROM ") + *name)) {
        return Failed(error, query.lastError(), QStringLiteral("Emptying %1").arg(*name));
    }
    return true;
}

bool InsertRows(DatabaseConnection& connection, const QString& table, const QStringList& columns,
                const QList<QVariantList>& rows, QString* error) {
    const auto name = Table(table, error);
    if (!name) {
        return false;
    }
    QStringList checked;
    for (const QString& column : columns) {
        const auto spelled = SchemaColumnName(*name, column);
        if (!spelled) {
            return Fail(error, QStringLiteral("No column %1 in table %2").arg(column, *name));
        }
        checked << *spelled;
    }
    // Several rows per statement: each statement is a round trip on a server database, and
    // 900 values stay below every backend's limit of bound values.
    const qsizetype perStatement = qMax<qsizetype>(1, 900 / qMax<qsizetype>(1, checked.size()));
    QStringList marks;
    marks.fill(QStringLiteral("?"), checked.size());
    const QString tuple = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                             .arg(*name, checked.join(QStringLiteral(", ")));
    QSqlQuery query(connection.Database());
    qsizetype prepared = 0;  // rows of the statement prepared in query
    for (qsizetype first = 0; first < rows.size(); first += perStatement) {
        const qsizetype count = qMin(perStatement, rows.size() - first);
        if (count != prepared) {
            QStringList tuples;
            tuples.fill(tuple, count);
            if (!query.prepare(head + tuples.join(QStringLiteral(", ")))) {
                return Failed(error, query.lastError(), QStringLiteral("Writing %1").arg(*name));
            }
            prepared = count;
        }
        int position = 0;
        for (qsizetype r = first; r < first + count; ++r) {
            for (const QVariant& value : rows.at(r)) {
                query.bindValue(position++, value);
            }
        }
        if (!query.exec()) {
            return Failed(error, query.lastError(), QStringLiteral("Writing %1").arg(*name));
        }
    }
    return true;
}

bool Begin(DatabaseConnection& connection, QString* error) {
    QSqlDatabase db = connection.Database();
    if (!db.transaction()) {
        return Failed(error, db.lastError(), QStringLiteral("Starting the transaction"));
    }
    return true;
}

bool BeginSnapshot(DatabaseConnection& connection, QString* error) {
    if (!Begin(connection, error)) {
        return false;
    }
    const QString level = connection.Engine().SnapshotIsolation();
    QSqlQuery query(connection.Database());
    if (!level.isEmpty() && !query.exec(level)) {
        const QSqlError failure = query.lastError();
        Rollback(connection);
        return Failed(error, failure, QStringLiteral("Starting the transaction"));
    }
    return true;
}

bool Commit(DatabaseConnection& connection, QString* error) {
    QSqlDatabase db = connection.Database();
    if (!db.commit()) {
        const QSqlError failure = db.lastError();
        db.rollback();
        return Failed(error, failure, QStringLiteral("Committing"));
    }
    return true;
}

void Rollback(DatabaseConnection& connection) {
    connection.Database().rollback();
}

}  // namespace ConfigurationRows
