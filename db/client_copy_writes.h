#pragma once
// The statements of a copy onto many targets, shared by the parts of the copy.

#include "db/client_copy.h"
#include "db/statement.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>
#include <utility>

namespace client_copy {

const QString kPrefix = QStringLiteral("Error Client Copy");
const QString kClients = QStringLiteral("t_dnc_server_clients");
const QString kClientId = QStringLiteral("client_id");
const QString kDirectories = QStringLiteral("t_client_directory");

// Steps of the copy, as its reports number them.
enum Step {
    kStepBegin = 1,
    kStepTargetProtocol,
    kStepPort,
    kStepFilterUp,
    kStepTimeoutUp,
    kStepSourceProtocol,
    kStepProtocol,
    kStepShopTermRow,
    kStepTerminal,
    kStepTerminalFlag,
    kStepRemoteRow,
    kStepRemote,
    kStepRemoteFlags,
    kStepFilterDown,
    kStepTimeoutDown,
    kStepEobDelay,
    kStepDirectory,
    kStepCommit,
};

using Assignments = QList<std::pair<QString, SqlValue>>;

// A text that holds a number is written as that number (the port values are kept as text).
inline SqlValue Bare(const QString& text) {
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok);
    return ok ? SqlValue::Number(number) : SqlValue::Text(text);
}

inline QString Marks(qsizetype n) {
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

// The per-client tables a copy writes, and the column naming the client in each.
const std::pair<const char*, const char*> kRowTables[] = {
    {"t_client_mode", "client_id"},           {"t_filter_table_up", "client_id"},
    {"t_timeout_table_up", "client_id"},      {"t_client_terminal_mode", "client_id"},
    {"t_filter_table_down", "client_id"},     {"t_timeout_table_down", "client_id"},
    {"t_shopterm_clients", "shop_client_id"}, {"t_remote", "rem_client_id"}};

// One target of a copy, as read when its row was locked.
struct Target {
    qint32 id = 0;
    CopyOutcome* outcome = nullptr;
    QSet<QString> rows;  // the per-client tables it has a row in
    QList<DirectoryRecord> dirs;
};
using Targets = QList<Target*>;

inline QList<qint32> IdsOf(const Targets& targets) {
    QList<qint32> ids;
    for (const Target* target : targets) {
        ids << target->id;
    }
    return ids;
}

// The writes of a copy onto many targets: each statement serves all of them. A failing
// statement is reported once and counted on the first target; the copy is then done again
// target by target.
class Copy {
public:
    explicit Copy(CopyOutcome& counted) : counted_(counted) {}

    void Failed() { ++counted_.FailedStatements; }
    bool FailedAny() const { return counted_.FailedStatements > 0; }

    // UPDATE table SET columns WHERE key IN (ids). Returns false on a failure.
    bool Set(const QString& table, const QString& keyColumn, const QList<qint32>& ids,
             const Assignments& assignments, Step step);

    // The source's row onto the targets' rows; a source without the row leaves the targets'
    // values (what they keep) as they are, a target without the row gets nothing, and the
    // outcomes say so.
    void CopyRow(bool sourceHasRow, const QString& table, const Targets& targets,
                 const Assignments& assignments, Step step, const QString& keyColumn = kClientId,
                 const QString& kept = QStringLiteral("its own"));

    // The rows, in one statement where the new keys can come back from it (or none are
    // needed), else one by one. Returns each row's key (0 when not known); nothing on a
    // failure.
    std::optional<QList<qint32>> Insert(const QString& table, const QStringList& columns,
                                        const QList<QList<SqlValue>>& rows, Step step);

    // The targets without a row in table get one (keyColumn and clientColumn their id).
    void EnsureRows(const QString& table, const Targets& targets, const QStringList& columns,
                    Step step);

private:
    CopyOutcome& counted_;
};

}  // namespace client_copy
