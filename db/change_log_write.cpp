// The forms of a write as the change log sees it, and the action the records name.

#include "db/change_log.h"

namespace {

QString g_action;
std::function<QString()> g_actionProvider;

}  // namespace

TableWrite TableWrite::Insert(const QString& table, const QStringList& columns,
                              const QList<SqlValue>& values) {
    TableWrite write;
    write.kind = Kind::Insert;
    write.table = table;
    write.columns = columns;
    write.values = values;
    return write;
}

TableWrite TableWrite::Update(const QString& table, const QString& whereColumn,
                              const SqlValue& whereValue, const QStringList& columns,
                              const QList<SqlValue>& values) {
    TableWrite write;
    write.kind = Kind::Update;
    write.table = table;
    write.whereColumn = whereColumn;
    write.whereValue = whereValue;
    write.columns = columns;
    write.values = values;
    return write;
}

TableWrite TableWrite::Delete(const QString& table, const QString& whereColumn,
                              const SqlValue& whereValue) {
    TableWrite write;
    write.kind = Kind::Delete;
    write.table = table;
    write.whereColumn = whereColumn;
    write.whereValue = whereValue;
    return write;
}

TableWrite TableWrite::InsertRows(const QString& table, const QStringList& columns,
                                  const QList<QList<SqlValue>>& rows) {
    TableWrite write = Insert(table, columns, rows.value(0));
    write.rowValues = rows;
    return write;
}

TableWrite TableWrite::UpdateRows(const QString& table, const QString& whereColumn,
                                  const QList<SqlValue>& keys, const QStringList& columns,
                                  const QList<QList<SqlValue>>& rowValues) {
    TableWrite write =
        Update(table, whereColumn, keys.value(0, SqlValue::Null()), columns, rowValues.value(0));
    write.whereValues = keys;
    write.rowValues = rowValues;
    return write;
}

void SetCurrentAction(const QString& action) {
    g_action = action;
}

QString CurrentAction() {
    if (!g_action.isEmpty()) {
        return g_action;
    }
    return g_actionProvider ? g_actionProvider() : QString();
}

void SetActionProvider(std::function<QString()> provider) {
    g_actionProvider = std::move(provider);
}

ActionScope::ActionScope(const QString& action) : previous_(g_action) {
    g_action = action;
}

ActionScope::~ActionScope() {
    g_action = previous_;
}
