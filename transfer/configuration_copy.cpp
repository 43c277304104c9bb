#include "transfer/configuration_copy.h"

#include "db/backend.h"
#include "db/configuration_rows.h"
#include "db/schema_names.h"
#include "transfer/target_columns.h"

namespace {

// Refusals list every problem at once, up to this many.
constexpr qsizetype kMaxProblems = 10;

QString JoinProblems(const QStringList& problems) {
    QString text = problems.mid(0, kMaxProblems).join(QStringLiteral("; "));
    if (problems.size() > kMaxProblems) {
        text += QStringLiteral("; and %1 more").arg(problems.size() - kMaxProblems);
    }
    return text;
}

const SourceTable* FindTable(const SourceConfiguration& source, const QString& name) {
    for (const SourceTable& table : source.tables) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &table;
        }
    }
    return nullptr;
}

qsizetype IndexOfColumn(const QStringList& columns, const QString& name) {
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

// A table's rows as the target stores them.
struct PreparedTable {
    QString name;
    QStringList columns;
    QList<QVariantList> rows;
    qint64 lastKey = 0;  // for tables whose key the database hands out
};

}  // namespace

CopyOutcome CopyConfiguration(const SourceConfiguration& source, DatabaseConnection& target,
                              TargetRows rows) {
    CopyOutcome outcome;
    const QStringList tables = SchemaTables();

    // Everything the schema needs must be there; say all that is missing at once.
    QStringList missingTables;
    QStringList missingColumns;
    for (const QString& table : tables) {
        const SourceTable* found = FindTable(source, table);
        if (!found) {
            missingTables << table;
            continue;
        }
        for (const QString& column : SchemaColumns(table)) {
            if (IndexOfColumn(found->columns, column) < 0) {
                missingColumns << table + QLatin1Char('.') + column;
            }
        }
    }
    if (!missingTables.isEmpty() || !missingColumns.isEmpty()) {
        QStringList parts;
        if (!missingTables.isEmpty()) {
            parts << QStringLiteral("missing tables: ") + missingTables.join(QStringLiteral(", "));
        }
        if (!missingColumns.isEmpty()) {
            parts << QStringLiteral("missing columns: ") +
                         missingColumns.join(QStringLiteral(", "));
        }
        outcome.error = QStringLiteral("The source lacks what Kestrum needs: ") +
                        parts.join(QStringLiteral("; "));
        return outcome;
    }
    for (const SourceTable& table : source.tables) {
        const auto name = SchemaTableName(table.name);
        if (!name) {
            outcome.skipped << QStringLiteral("table ") + table.name;
            continue;
        }
        for (const QString& column : table.columns) {
            if (!SchemaColumnName(*name, column)) {
                outcome.skipped << QStringLiteral("column ") + *name + QLatin1Char('.') + column;
            }
        }
    }

    // Every value converted before anything is written.
    QList<PreparedTable> prepared;
    QStringList problems;
    for (const QString& table : tables) {
        const SourceTable& from = *FindTable(source, table);
        const QList<TargetColumn> columns = TargetColumns(table);
        QList<qsizetype> positions;
        PreparedTable to;
        to.name = table;
        for (const TargetColumn& column : columns) {
            positions << IndexOfColumn(from.columns, column.name);
            to.columns << column.name;
        }
        const QString autoKey = AutoKeyColumn(table);
        to.lastKey = qMax<qint64>(0, from.lastKey.value_or(0));
        for (const QVariantList& row : from.rows) {
            QVariantList values;
            values.reserve(columns.size());
            for (qsizetype i = 0; i < columns.size(); ++i) {
                QString problem;
                const auto value =
                    ConvertValue(columns.at(i), row.value(positions.at(i)), &problem);
                if (!value) {
                    problems << QStringLiteral("%1 row %2 = %3, column %4: %5")
                                    .arg(table, columns.at(0).name,
                                         row.value(positions.at(0)).toString(), columns.at(i).name,
                                         problem);
                    values << QVariant();
                    continue;
                }
                values << *value;
            }
            if (!autoKey.isEmpty()) {
                to.lastKey = qMax(to.lastKey, values.at(0).toLongLong());
            }
            to.rows << values;
        }
        prepared << to;
    }
    if (!problems.isEmpty()) {
        outcome.error = QStringLiteral("Values that do not fit: ") + JoinProblems(problems);
        return outcome;
    }

    // The target may hold the schema's own protocol rows, nothing else.
    QString error;
    QStringList holding;
    for (const QString& table : tables) {
        if (table == QLatin1String("t_protocol") || rows == TargetRows::Replace) {
            continue;
        }
        const auto count = ConfigurationRows::CountRows(target, table, &error);
        if (!count) {
            outcome.error = error;
            return outcome;
        }
        if (*count > 0) {
            holding << QStringLiteral("%1 (%2 rows)").arg(table).arg(*count);
        }
    }
    if (!holding.isEmpty()) {
        outcome.error = QStringLiteral("The target already holds a configuration: ") +
                        holding.join(QStringLiteral(", ")) +
                        QStringLiteral("; it is left as it is");
        return outcome;
    }

    if (!ConfigurationRows::Begin(target, &error)) {
        outcome.error = error;
        return outcome;
    }
    bool ok = true;
    for (const PreparedTable& table : prepared) {
        const bool keyed = !AutoKeyColumn(table.name).isEmpty();
        qint64 last = table.lastKey;
        if (ok && keyed && rows == TargetRows::Replace) {
            const std::optional<qint64> current = ReadKeyCounter(target, table.name, &error);
            ok = current.has_value();
            last = qMax(last, current.value_or(0));
        }
        if (rows == TargetRows::Replace || table.name == QLatin1String("t_protocol")) {
            ok = ok && ConfigurationRows::DeleteAllRows(target, table.name, &error);
        }
        ok = ok &&
             ConfigurationRows::InsertRows(target, table.name, table.columns, table.rows, &error);
        if (ok && keyed) {
            ok = SetKeyCounter(target, table.name, last, &error);
        }
    }
    if (!ok) {
        ConfigurationRows::Rollback(target);
        outcome.error = error;
        return outcome;
    }
    if (!ConfigurationRows::Commit(target, &error)) {
        outcome.error = error;
        return outcome;
    }
    for (const PreparedTable& table : prepared) {
        outcome.copied << qMakePair(table.name, table.rows.size());
    }
    outcome.ok = true;
    return outcome;
}

bool ReadDatabaseConfiguration(DatabaseConnection& connection, SourceConfiguration* source,
                               QString* error) {
    SourceConfiguration result;
    for (const QString& table : SchemaTables()) {
        SourceTable read;
        read.name = table;
        read.columns = SchemaColumns(table);
        if (!ConfigurationRows::ReadTable(connection, table, &read.rows, error)) {
            return false;
        }
        const QString key = AutoKeyColumn(table);
        if (!key.isEmpty()) {
            const auto last = ReadKeyCounter(connection, table, error);
            if (!last) {
                return false;
            }
            read.lastKey = *last;
        }
        result.tables << read;
    }
    *source = std::move(result);
    return true;
}
