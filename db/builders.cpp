// The statement builders: every table, column and operator word is checked against the
// schema, every value is bound.

#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "db/statement.h"

namespace {

const QString kSelectPrefix = QStringLiteral("Error 3#");
const QString kSortedPrefix = QStringLiteral("Error 2#");
const QString kFieldPrefix = QStringLiteral("Error 5#");
const QString kInsertPrefix = QStringLiteral("Error 6#");
const QString kUpdatePrefix = QStringLiteral("Error UpdateRecordsMDB ");
const QString kEditPrefix = QStringLiteral("Error 1#");
const QString kDeletePrefix = QStringLiteral("Error Delete Shop Clients ");

// Step numbers shared by the builders.
constexpr int kStepNames = 1;
constexpr int kStepRun = 2;
constexpr int kStepAct = 3;  // the edit's change of the row it found

struct Where {
    QString table;
    QString column;
    QString op;
};

std::optional<Where> CheckWhere(const QString& table, const QString& column, const QString& op,
                                const ReportAs& as) {
    const std::optional<QString> t = CheckedTable(table, as);
    if (!t) {
        return std::nullopt;
    }
    const std::optional<QString> c = CheckedColumn(*t, column, as);
    if (!c) {
        return std::nullopt;
    }
    const std::optional<QString> o = CheckedOperator(op, as);
    if (!o) {
        return std::nullopt;
    }
    return Where{*t, *c, *o};
}

QString WhereText(const Where& where) {
    return QStringLiteral(" FROM ") + where.table + QStringLiteral(" WHERE ") + where.column +
           QLatin1Char(' ') + where.op + QStringLiteral(" ?");
}

void EditRecord(const QString& table, const QString& keyColumn, const SqlValue& key, EditMode mode,
                const QString& field, const SqlValue& value) {
    const ReportAs names{kEditPrefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, keyColumn, QStringLiteral("="), names);
    if (!where) {
        return;
    }
    std::optional<QString> setColumn;
    if (mode == EditMode::SetField) {
        setColumn = CheckedColumn(where->table, field, names);
        if (!setColumn) {
            return;
        }
    }
    // The first row is found by its position and acted on by it, as the row it was.
    const QString position = RowOrderColumn(where->table);
    const LookUp row =
        SelectFirstValue(QStringLiteral("SELECT ") + position + WhereText(*where) +
                             QStringLiteral(" ORDER BY ") + position + QStringLiteral(" LIMIT 1"),
                         {key}, ReportAs{kEditPrefix, kStepRun});
    if (row.outcome == LookUp::Outcome::Failed) {
        return;
    }
    const ReportAs act{kEditPrefix, kStepAct};
    const SqlValue rowid = RowPositionValue(row.value);
    const QString atRow = QStringLiteral(" = ? WHERE ") + position + QStringLiteral(" = ?");
    // The row found, as the log names it: by the table's own key (then also its position).
    const QString ownKey = TableKeyColumn(where->table);
    const QString logColumn = ownKey.isEmpty() ? where->column : ownKey;
    const SqlValue logKey = ownKey.isEmpty() ? key : rowid;
    switch (mode) {
        case EditMode::Ensure:
            if (row.found()) {
                RunLoggedCommand(
                    TableWrite::Update(where->table, logColumn, logKey, {where->column}, {key}),
                    QStringLiteral("UPDATE ") + where->table + QStringLiteral(" SET ") +
                        where->column + atRow,
                    {key, rowid}, act);
            } else {
                RunLoggedCommand(TableWrite::Insert(where->table, {where->column}, {key}),
                                 QStringLiteral("INSERT INTO ") + where->table +
                                     QStringLiteral(" (") + where->column +
                                     QStringLiteral(") VALUES (?)"),
                                 {key}, act);
            }
            break;
        case EditMode::SetField:
            if (row.found()) {
                RunLoggedCommand(
                    TableWrite::Update(where->table, logColumn, logKey, {*setColumn}, {value}),
                    QStringLiteral("UPDATE ") + where->table + QStringLiteral(" SET ") +
                        *setColumn + atRow,
                    {value, rowid}, act);
            }
            break;
        case EditMode::Delete:
            if (row.found()) {
                RunLoggedCommand(TableWrite::Delete(where->table, logColumn, logKey),
                                 QStringLiteral("DELETE FROM ") + where->table +
                                     QStringLiteral(" WHERE ") + position + QStringLiteral(" = ?"),
                                 {rowid}, act);
            }
            break;
    }
}

}  // namespace

std::optional<QString> SortedSelectText(const QString& table, const QString& whereColumn,
                                        const QString& op, const QString& sortColumn,
                                        const QString& columns, const QString& prefix) {
    const ReportAs names{prefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, whereColumn, op, names);
    if (!where) {
        return std::nullopt;
    }
    const std::optional<QString> sort = CheckedColumn(where->table, sortColumn, names);
    if (!sort) {
        return std::nullopt;
    }
    const std::optional<QString> list = CheckedColumnList(where->table, columns, names);
    if (!list) {
        return std::nullopt;
    }
    return QStringLiteral("SELECT ") + *list + WhereText(*where) + QStringLiteral(" ORDER BY ") +
           *sort + QStringLiteral(" ASC, ") + RowOrderColumn(where->table);
}

LookUp LookUpField(const QString& table, const QString& whereColumn, const SqlValue& value,
                   const QString& op, const QString& wantedColumn, const QString& prefix,
                   bool lockRow) {
    const ReportAs names{prefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, whereColumn, op, names);
    if (!where) {
        return LookUp();
    }
    const std::optional<QString> wanted = CheckedColumn(where->table, wantedColumn, names);
    if (!wanted) {
        return LookUp();
    }
    return SelectFirstValue(QStringLiteral("SELECT ") + *wanted + WhereText(*where) +
                                QStringLiteral(" ORDER BY ") + RowOrderColumn(where->table) +
                                QStringLiteral(" LIMIT 1") +
                                (lockRow ? DncConnection.Engine().RowLockClause() : QString()),
                            {value}, ReportAs{prefix, kStepRun});
}

std::optional<CommandDone> InsertRow(const QString& table, const QStringList& columns,
                                     const QList<SqlValue>& values, const ReportAs& as) {
    const std::optional<QString> t = CheckedTable(table, as);
    if (!t) {
        return std::nullopt;
    }
    if (columns.isEmpty() || columns.size() != values.size()) {
        ReportOwnError(as, OwnError::BadStatement,
                       QStringLiteral("%1 columns but %2 values for a row of %3")
                           .arg(columns.size())
                           .arg(values.size())
                           .arg(*t));
        return std::nullopt;
    }
    QStringList names;
    QStringList marks;
    for (const QString& column : columns) {
        const std::optional<QString> name = CheckedColumn(*t, column.trimmed(), as);
        if (!name) {
            return std::nullopt;
        }
        names << *name;
        marks << QStringLiteral("?");
    }
    // The new key comes back from the insert itself (a second statement could see another
    // administrator's row).
    const QString returning = InsertReturning(DncConnection.Engine(), *t);
    return RunLoggedCommand(TableWrite::Insert(*t, names, values),
                            QStringLiteral("INSERT INTO ") + *t + QStringLiteral(" (") +
                                names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                                marks.join(QStringLiteral(", ")) + QLatin1Char(')') + returning,
                            values, as, !returning.isEmpty());
}

Recordset OpenSelectMDB(const QString& table, const QString& whereColumn, const SqlValue& value,
                        const QString& op, const QString& columns) {
    const ReportAs names{kSelectPrefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, whereColumn, op, names);
    if (!where) {
        return Recordset();
    }
    const std::optional<QString> list = CheckedColumnList(where->table, columns, names);
    if (!list) {
        return Recordset();
    }
    return SelectRows(QStringLiteral("SELECT ") + *list + WhereText(*where) +
                          QStringLiteral(" ORDER BY ") + RowOrderColumn(where->table),
                      {value}, ReportAs{kSelectPrefix, kStepRun});
}

Recordset OpenSortedSelectMDB(const QString& table, const QString& whereColumn,
                              const SqlValue& value, const QString& op, const QString& sortColumn,
                              const QString& errorPrefix) {
    const QString prefix = errorPrefix.isEmpty() ? kSortedPrefix : errorPrefix;
    const std::optional<QString> sql =
        SortedSelectText(table, whereColumn, op, sortColumn, QStringLiteral("*"), prefix);
    if (!sql) {
        return Recordset();
    }
    return SelectRows(*sql, {value}, ReportAs{prefix, kStepRun});
}

std::optional<QVariant> GetFieldValueMDB(const QString& table, const QString& whereColumn,
                                         const SqlValue& value, const QString& op,
                                         const QString& wantedColumn) {
    const LookUp found = LookUpField(table, whereColumn, value, op, wantedColumn, kFieldPrefix);
    if (!found.found()) {
        return std::nullopt;
    }
    return found.value;
}

bool InsertRecordMDB(const QString& table, const QStringList& columns,
                     const QList<SqlValue>& values) {
    return InsertRow(table, columns, values, ReportAs{kInsertPrefix, kStepRun}).has_value();
}

std::optional<qint64> UpdateRecordsCountMDB(const QString& table, const QString& whereColumn,
                                            const SqlValue& whereValue, const QString& setColumn,
                                            const SqlValue& setValue) {
    const ReportAs names{kUpdatePrefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, whereColumn, QStringLiteral("="), names);
    if (!where) {
        return std::nullopt;
    }
    const std::optional<QString> set = CheckedColumn(where->table, setColumn, names);
    if (!set) {
        return std::nullopt;
    }
    const std::optional<CommandDone> done = RunLoggedCommand(
        TableWrite::Update(where->table, where->column, whereValue, {*set}, {setValue}),
        QStringLiteral("UPDATE ") + where->table + QStringLiteral(" SET ") + *set +
            QStringLiteral(" = ? WHERE ") + where->column + QStringLiteral(" = ?"),
        {setValue, whereValue}, ReportAs{kUpdatePrefix, kStepRun});
    if (!done) {
        return std::nullopt;
    }
    return done->rowsAffected;
}

std::optional<qint64> UpdateRecordsInMDB(const QString& table, const QString& whereColumn,
                                         const QList<SqlValue>& keys, const QString& setColumn,
                                         const SqlValue& setValue) {
    if (keys.isEmpty()) {
        return 0;
    }
    const ReportAs names{kUpdatePrefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, whereColumn, QStringLiteral("="), names);
    const std::optional<QString> set =
        where ? CheckedColumn(where->table, setColumn, names) : std::nullopt;
    if (!set) {
        return std::nullopt;
    }
    QStringList marks;
    QList<SqlValue> values{setValue};
    for (const SqlValue& key : keys) {
        marks << QStringLiteral("?");
        values << key;
    }
    const std::optional<CommandDone> done = RunLoggedCommand(
        TableWrite::UpdateRows(where->table, where->column, keys, {*set}, {{setValue}}),
        QStringLiteral("UPDATE ") + where->table + QStringLiteral(" SET ") + *set +
            QStringLiteral(" = ? WHERE ") + where->column + QStringLiteral(" IN (") +
            marks.join(QStringLiteral(", ")) + QLatin1Char(')'),
        values, ReportAs{kUpdatePrefix, kStepRun});
    if (!done) {
        return std::nullopt;
    }
    return done->rowsAffected;
}

bool UpdateRecordsMDB(const QString& table, const QString& whereColumn, const SqlValue& whereValue,
                      const QString& setColumn, const SqlValue& setValue) {
    return UpdateRecordsCountMDB(table, whereColumn, whereValue, setColumn, setValue).has_value();
}

void EditRecordMDB(const QString& table, const QString& keyColumn, const QString& keyText,
                   EditMode mode, const QString& field, const SqlValue& value) {
    EditRecord(table, keyColumn, SqlValue::Text(keyText), mode, field, value);
}

void EditRecordByIdMDB(const QString& table, const QString& keyColumn, qint32 key, EditMode mode,
                       const QString& field, const SqlValue& value) {
    EditRecord(table, keyColumn, SqlValue::Number(key), mode, field, value);
}

void DeleteRecordsMDB(const QString& table, const QString& column, const SqlValue& value) {
    const ReportAs names{kDeletePrefix, kStepNames};
    const std::optional<Where> where = CheckWhere(table, column, QStringLiteral("="), names);
    if (!where) {
        return;
    }
    RunLoggedCommand(TableWrite::Delete(where->table, where->column, value),
                     QStringLiteral("DELETE") + WhereText(*where), {value},
                     ReportAs{kDeletePrefix, kStepRun});
}
