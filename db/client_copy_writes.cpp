#include "db/client_copy_writes.h"

#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"

namespace client_copy {

bool Copy::Set(const QString& table, const QString& keyColumn, const QList<qint32>& ids,
               const Assignments& assignments, Step step) {
    if (ids.isEmpty()) {
        return true;
    }
    const ReportAs as{kPrefix, step};
    const std::optional<QString> t = CheckedTable(table, as);
    const std::optional<QString> key = t ? CheckedColumn(*t, keyColumn, as) : std::nullopt;
    if (!key) {
        Failed();
        return false;
    }
    QStringList sets;
    QStringList names;
    QList<SqlValue> values;
    for (const auto& [column, value] : assignments) {
        const std::optional<QString> c = CheckedColumn(*t, column, as);
        if (!c) {
            Failed();
            return false;
        }
        sets << *c + QStringLiteral(" = ?");
        names << *c;
        values << value;
    }
    QList<SqlValue> keys;
    for (const qint32 id : ids) {
        keys << SqlValue::Number(id);
    }
    const TableWrite write = TableWrite::UpdateRows(*t, *key, keys, names, {values});
    values << keys;
    const std::optional<CommandDone> done =
        RunLoggedCommand(write,
                         QStringLiteral("UPDATE ") + *t + QStringLiteral(" SET ") +
                             sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + *key +
                             QStringLiteral(" IN (") + Marks(keys.size()) + QLatin1Char(')'),
                         values, as);
    if (!done) {
        Failed();
        return false;
    }
    return true;
}

void Copy::CopyRow(bool sourceHasRow, const QString& table, const Targets& targets,
                   const Assignments& assignments, Step step, const QString& keyColumn,
                   const QString& kept) {
    if (!sourceHasRow) {
        for (Target* target : targets) {
            target->outcome->Notes
                << table + QStringLiteral(": the source has no row; the target keeps ") + kept;
        }
        return;
    }
    QList<qint32> ids;
    for (const Target* target : targets) {
        if (target->rows.contains(table)) {
            ids << target->id;
        }
    }
    if (!Set(table, keyColumn, ids, assignments, step)) {
        return;
    }
    for (Target* target : targets) {
        if (!target->rows.contains(table)) {
            target->outcome->Notes
                << table + QStringLiteral(": the target has no row; nothing copied");
        }
    }
}

std::optional<QList<qint32>> Copy::Insert(const QString& table, const QStringList& columns,
                                          const QList<QList<SqlValue>>& rows, Step step) {
    QList<qint32> keys;
    if (rows.isEmpty()) {
        return keys;
    }
    const ReportAs as{kPrefix, step};
    QString returning = InsertReturning(DncConnection.Engine(), table);
    if (rows.size() == 1 || (returning.isEmpty() && !IdentityColumn(table).isEmpty())) {
        for (const QList<SqlValue>& row : rows) {
            const std::optional<CommandDone> done = InsertRow(table, columns, row, as);
            if (!done) {
                Failed();
                return std::nullopt;
            }
            qint32 key = 0;
            ReadInt32(done->lastInsertId, key);
            keys << key;
        }
        return keys;
    }
    const std::optional<QString> t = CheckedTable(table, as);
    QStringList names;
    for (const QString& column : columns) {
        const std::optional<QString> name =
            t ? CheckedColumn(*t, column, as) : std::optional<QString>();
        if (!name) {
            Failed();
            return std::nullopt;
        }
        names << *name;
    }
    QStringList tuples;
    QList<SqlValue> values;
    for (const QList<SqlValue>& row : rows) {
        tuples << QLatin1Char('(') + Marks(row.size()) + QLatin1Char(')');
        values << row;
    }
    // No engine promises the keys in the rows' order: the first column, one value per
    // row, comes back beside each key to show they are.
    if (!returning.isEmpty()) {
        returning += QStringLiteral(", ") + names.constFirst();
    }
    const std::optional<CommandDone> done =
        RunLoggedCommand(TableWrite::InsertRows(*t, names, rows),
                         QStringLiteral("INSERT INTO ") + *t + QStringLiteral(" (") +
                             names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES ") +
                             tuples.join(QStringLiteral(", ")) + returning,
                         values, as, !returning.isEmpty());
    if (!done) {
        Failed();
        return std::nullopt;
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!returning.isEmpty() &&
            (i >= done->alongside.size() ||
             done->alongside.at(i).toString() != rows.at(i).constFirst().bound().toString())) {
            ReportOwnError(as, OwnError::Conversion,
                           QStringLiteral("%1: the new keys came back out of order").arg(*t));
            Failed();
            return std::nullopt;
        }
        qint32 key = 0;
        ReadInt32(done->keys.value(i), key);
        keys << key;
    }
    return keys;
}

void Copy::EnsureRows(const QString& table, const Targets& targets, const QStringList& columns,
                      Step step) {
    Targets missing;
    QList<QList<SqlValue>> rows;
    for (Target* target : targets) {
        if (!target->rows.contains(table)) {
            missing << target;
            QList<SqlValue> row;
            for (qsizetype i = 0; i < columns.size(); ++i) {
                row << SqlValue::Number(target->id);
            }
            rows << row;
        }
    }
    if (Insert(table, columns, rows, step)) {
        for (Target* target : std::as_const(missing)) {
            target->rows.insert(table);
        }
    }
}

}  // namespace client_copy
