#pragma once
// Running statements on DncConnection, inside the database layer: each statement text is
// prepared once, values are bound, and a failure is shown in the report form with the
// caller's prefix and step number. Nothing here is for windows.

#include "db/error_report.h"
#include "db/recordset.h"
#include "db/sql_value.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class QSqlError;
class QSqlQuery;

// How a failure is reported: the routine's prefix and the step that failed.
struct ReportAs {
    QString prefix;
    int line = 0;
};

void ReportOwnError(const ReportAs& as, OwnError error, const QString& description);

// Reports a failed statement of DncConnection as every statement's failure is reported: a
// lost connection in plain words once per routine, a name refused while a NameClashWatch
// looks for it not at all.
void ReportStatementError(const ReportAs& as, const QSqlError& error);

// Names checked against the schema and spelled as it spells them; an unknown name is
// reported and gives nothing.
std::optional<QString> CheckedTable(const QString& table, const ReportAs& as);
std::optional<QString> CheckedColumn(const QString& table, const QString& column,
                                     const ReportAs& as);
// "*" or a comma-separated list of the table's columns.
std::optional<QString> CheckedColumnList(const QString& table, const QString& columns,
                                         const ReportAs& as);
std::optional<QString> CheckedOperator(const QString& op, const ReportAs& as);

struct RowsRead {
    int rows = 0;     // rows handed on, also when the read broke off
    bool ok = false;  // false when the statement failed (reported)
};

// Runs a query and hands every row to onRow while the query stands on it.
RowsRead ForEachRow(const QString& sql, const QList<SqlValue>& values, const ReportAs& as,
                    const std::function<void(const QSqlQuery&)>& onRow);

// Runs a query and keeps every row. A failed query gives a closed recordset.
Recordset SelectRows(const QString& sql, const QList<SqlValue>& values, const ReportAs& as);

// The first column of the first row: found (possibly NULL), not found, or failed (reported).
struct LookUp {
    enum class Outcome { Found, NotFound, Failed };
    Outcome outcome = Outcome::Failed;
    QVariant value;
    bool found() const { return outcome == Outcome::Found; }
};
LookUp SelectFirstValue(const QString& sql, const QList<SqlValue>& values, const ReportAs& as);

struct CommandDone {
    qint64 rowsAffected = 0;
    QVariant lastInsertId;
    QList<QVariant> keys;       // returnsKey: the key of every row inserted, in order
    QList<QVariant> alongside;  // returnsKey: a second returned column of each row, if any
};
// Runs an INSERT, UPDATE or DELETE; nothing when it failed (reported). returnsKey: the
// statement hands back the new key as its row (INSERT ... RETURNING).
std::optional<CommandDone> RunCommand(const QString& sql, const QList<SqlValue>& values,
                                      const ReportAs& as, bool returnsKey = false);

// Statement forms with checked names, shared by the builders and the routines built on them.
// Line numbers: names are checked at step 1, the statement runs at step 2.

// SELECT columns FROM table WHERE column op ? ORDER BY sortColumn ASC; ties keep stored order.
std::optional<QString> SortedSelectText(const QString& table, const QString& whereColumn,
                                        const QString& op, const QString& sortColumn,
                                        const QString& columns, const QString& prefix);
// The wanted column of the first row (in stored order) whose column op value.
// lockRow: inside a transaction on the server, the row stays locked until the end, so another
// administrator cannot delete or change it half-way through a sequence of writes.
LookUp LookUpField(const QString& table, const QString& whereColumn, const SqlValue& value,
                   const QString& op, const QString& wantedColumn, const QString& prefix,
                   bool lockRow = false);
// INSERT INTO table (columns) VALUES (values); names are checked at as.line too.
std::optional<CommandDone> InsertRow(const QString& table, const QStringList& columns,
                                     const QList<SqlValue>& values, const ReportAs& as);

// A transaction on DncConnection: begun when the connection is open, rolled back unless
// committed. Begin and commit failures are reported. A transaction that did not begin is a
// failure: its statements must not run one by one instead (check Begun before them).
class Transaction {
public:
    explicit Transaction(const ReportAs& as);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Whether the transaction began (and has not ended yet).
    bool Begun() const { return active_; }
    // True only when the transaction began and its commit succeeded.
    bool Commit(const ReportAs& as);

private:
    bool active_ = false;
};
