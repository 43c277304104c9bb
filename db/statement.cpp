#include "db/statement.h"

#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "db/statement_count.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

int nameClashWatches = 0;
bool nameClashSeen = false;

ErrorInfo ClosedConnectionError() {
    if (DncConnection.IsLost()) {
        return OwnErrorInfo(
            OwnError::ConnectionClosed,
            QStringLiteral("The connection to the database server was lost (%1). The action "
                           "was not completed; the next one connects again")
                .arg(DncConnection.LastError()));
    }
    QString description = QStringLiteral("The database connection is not open");
    if (!DncConnection.LastError().isEmpty()) {
        description += QStringLiteral(": ") + DncConnection.LastError();
    }
    return OwnErrorInfo(OwnError::ConnectionClosed, description);
}

// Every failed statement passes here: a lost connection is reported once per routine, a
// name refused by a unique index while a watch looks for it is not reported at all.
void ReportSqlError(const ReportAs& as, const QSqlError& error) {
    if (nameClashWatches > 0 && IsUniqueViolation(error)) {
        nameClashSeen = true;
        return;
    }
    if (!DncConnection.NoteFailure(error)) {
        return;
    }
    if (DncConnection.IsLost() || !DncConnection.IsOpen()) {
        ReportError(as.prefix, ClosedConnectionError(), as.line);
        return;
    }
    ReportError(as.prefix, ErrorFromSql(error), as.line);
}

// A prepared query, given back to the connection when done (also on every early return).
class Lease {
public:
    Lease(const QString& sql, const QList<SqlValue>& values) : sql_(sql) {
        prepared_ = DncConnection.TakePrepared(sql, &error_);
        if (!prepared_.query) {
            return;
        }
        for (qsizetype i = 0; i < values.size(); ++i) {
            prepared_.query->bindValue(int(i), values.at(i).bound());
        }
        CountStatementSent();
        if (!prepared_.query->exec()) {
            error_ = prepared_.query->lastError();
            ran_ = false;
            return;
        }
        ran_ = true;
    }
    ~Lease() { GiveBack(); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    bool Ran() const { return ran_; }
    QSqlQuery& Query() { return *prepared_.query; }
    // The statement's error, once the query is given back (a report may run an event loop,
    // so it is never shown while a query is in use).
    void ReportFailure(const ReportAs& as) {
        GiveBack();
        ReportSqlError(as, error_);
    }
    void Finish(QSqlError* readError) {
        if (prepared_.query) {
            const QSqlError error = prepared_.query->lastError();
            if (readError && error.type() != QSqlError::NoError) {
                *readError = error;
            }
        }
        GiveBack();
    }

private:
    void GiveBack() {
        if (prepared_.query) {
            DncConnection.GiveBack(sql_, std::move(prepared_));
            prepared_ = DatabaseConnection::Prepared();
        }
    }

    QString sql_;
    DatabaseConnection::Prepared prepared_;
    QSqlError error_;
    bool ran_ = false;
};

}  // namespace

void ReportStatementError(const ReportAs& as, const QSqlError& error) {
    ReportSqlError(as, error);
}

void ReportOwnError(const ReportAs& as, OwnError error, const QString& description) {
    ReportError(as.prefix, OwnErrorInfo(error, description), as.line);
}

std::optional<QString> CheckedTable(const QString& table, const ReportAs& as) {
    std::optional<QString> name = SchemaTableName(table);
    if (!name) {
        ReportOwnError(as, OwnError::UnknownName,
                       QStringLiteral("The database has no table \"%1\"").arg(table));
    }
    return name;
}

std::optional<QString> CheckedColumn(const QString& table, const QString& column,
                                     const ReportAs& as) {
    std::optional<QString> name = SchemaColumnName(table, column);
    if (!name) {
        ReportOwnError(as, OwnError::UnknownName,
                       QStringLiteral("The table %1 has no column \"%2\"").arg(table, column));
    }
    return name;
}

std::optional<QString> CheckedColumnList(const QString& table, const QString& columns,
                                         const ReportAs& as) {
    if (columns.trimmed() == QLatin1String("*")) {
        return QStringLiteral("*");
    }
    QStringList names;
    for (const QString& column : columns.split(QLatin1Char(','))) {
        const std::optional<QString> name = CheckedColumn(table, column.trimmed(), as);
        if (!name) {
            return std::nullopt;
        }
        names << *name;
    }
    return names.join(QStringLiteral(", "));
}

std::optional<QString> CheckedOperator(const QString& op, const ReportAs& as) {
    std::optional<QString> name = SqlOperator(op);
    if (!name) {
        ReportOwnError(as, OwnError::UnknownName,
                       QStringLiteral("\"%1\" is not a comparison this program uses").arg(op));
    }
    return name;
}

RowsRead ForEachRow(const QString& sql, const QList<SqlValue>& values, const ReportAs& as,
                    const std::function<void(const QSqlQuery&)>& onRow) {
    RowsRead result;
    Lease lease(sql, values);
    if (!lease.Ran()) {
        lease.ReportFailure(as);
        return result;
    }
    QSqlQuery& query = lease.Query();
    while (query.next()) {
        onRow(query);
        ++result.rows;
    }
    QSqlError readError;
    lease.Finish(&readError);
    if (readError.type() != QSqlError::NoError) {
        ReportSqlError(as, readError);
        return result;
    }
    result.ok = true;
    return result;
}

Recordset SelectRows(const QString& sql, const QList<SqlValue>& values, const ReportAs& as) {
    Lease lease(sql, values);
    if (!lease.Ran()) {
        lease.ReportFailure(as);
        return Recordset();
    }
    QSqlQuery& query = lease.Query();
    // The names are known once the query ran, also when it returns no row.
    const QSqlRecord record = query.record();
    const int width = int(record.count());
    QStringList columns;
    for (int i = 0; i < width; ++i) {
        columns << record.fieldName(i);
    }
    QVector<QVariant> cells;
    while (query.next()) {
        for (int i = 0; i < width; ++i) {
            cells.append(query.value(i));
        }
    }
    QSqlError readError;
    lease.Finish(&readError);
    if (readError.type() != QSqlError::NoError) {
        ReportSqlError(as, readError);
    }
    return Recordset(std::move(columns), std::move(cells));
}

LookUp SelectFirstValue(const QString& sql, const QList<SqlValue>& values, const ReportAs& as) {
    LookUp result;
    Lease lease(sql, values);
    if (!lease.Ran()) {
        lease.ReportFailure(as);
        return result;
    }
    QSqlQuery& query = lease.Query();
    if (query.next()) {
        result.outcome = LookUp::Outcome::Found;
        result.value = query.value(0);
    } else {
        result.outcome = LookUp::Outcome::NotFound;
    }
    QSqlError readError;
    lease.Finish(&readError);
    if (readError.type() != QSqlError::NoError) {
        ReportSqlError(as, readError);
        return LookUp();
    }
    return result;
}

std::optional<CommandDone> RunCommand(const QString& sql, const QList<SqlValue>& values,
                                      const ReportAs& as, bool returnsKey) {
    Lease lease(sql, values);
    if (!lease.Ran()) {
        lease.ReportFailure(as);
        return std::nullopt;
    }
    CommandDone done;
    done.rowsAffected = lease.Query().numRowsAffected();
    if (returnsKey) {
        // The statement's own row: the key the insert was given.
        while (lease.Query().next()) {
            done.keys << lease.Query().value(0);
            if (lease.Query().record().count() > 1) {
                done.alongside << lease.Query().value(1);
            }
        }
        done.lastInsertId = done.keys.value(0);
    } else if (DncConnection.Engine().HasLastInsertId()) {
        // Not on a server: its driver would ask for lastval(), which fails and aborts the
        // transaction when no key was made.
        done.lastInsertId = lease.Query().lastInsertId();
    }
    lease.Finish(nullptr);
    return done;
}

NameClashWatch::NameClashWatch() {
    if (nameClashWatches++ == 0) {
        nameClashSeen = false;
    }
}

NameClashWatch::~NameClashWatch() {
    --nameClashWatches;
}

bool NameClashWatch::Seen() const {
    return nameClashSeen;
}

Transaction::Transaction(const ReportAs& as) {
    // A connection lost in an earlier action is opened again here, before the begin.
    if (!DncConnection.EnsureOpen()) {
        // Nothing of the routine may run without its transaction: say why here.
        ReportSqlError(as,
                       QSqlError(DncConnection.LastError(), QString(), QSqlError::ConnectionError));
        return;
    }
    QSqlDatabase db = DncConnection.Database();
    CountStatementSent();
    active_ = db.transaction();
    if (!active_) {
        ReportSqlError(as, db.lastError());
        return;
    }
    DncConnection.TransactionBegun();
    NoteTransactionBegun(DncConnection);
}

Transaction::~Transaction() {
    if (active_) {
        if (DncConnection.IsOpen()) {
            CountStatementSent();
            DncConnection.Database().rollback();
        }
        DncConnection.TransactionEnded();
        NoteTransactionEnding(DncConnection, ReportAs(), false);
    }
}

bool Transaction::Commit(const ReportAs& as) {
    if (!active_) {
        return false;  // never begun (reported), or already ended
    }
    active_ = false;
    QSqlDatabase db = DncConnection.Database();
    // A change that lost its change-log record, or (on a server, which keeps nothing of a
    // transaction in which a statement failed, already reported) a failed statement: roll
    // back instead of committing or reporting a refused commit as well. The records go in
    // while the connection is still held for the transaction.
    const bool recorded = NoteTransactionEnding(DncConnection, as);
    DncConnection.TransactionEnded();
    if (!recorded || (DncConnection.Engine().FailureSpoilsTransaction() &&
                      (DncConnection.FailedInTransaction() || DncConnection.IsLost()))) {
        if (DncConnection.IsOpen()) {
            CountStatementSent();
            db.rollback();
        }
        return false;
    }
    CountStatementSent();
    if (db.commit()) {
        return true;
    }
    const QSqlError error = db.lastError();
    CountStatementSent();
    db.rollback();
    ReportSqlError(as, error);
    return false;
}
