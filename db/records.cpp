// Look-ups by name and the life cycle of server and client rows.

#include "base/messages.h"
#include "db/change_log.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/statement.h"

#include <QSqlError>

#include <array>

namespace {

const QString kFieldPrefix = QStringLiteral("Error 5#");
// The client window's own prefix, for the steps of its add and delete sequences.
const QString kClientPrefix = QStringLiteral("Error 6#");

const QString kServers = QStringLiteral("t_dnc_servers");
const QString kClients = QStringLiteral("t_dnc_server_clients");

// The rows a new client gets beside its own, in the order they are made.
const std::array<QLatin1String, 7> kDependentTables = {QLatin1String("t_client_mode"),
                                                       QLatin1String("t_client_terminal_mode"),
                                                       QLatin1String("t_filter_table_down"),
                                                       QLatin1String("t_filter_table_up"),
                                                       QLatin1String("t_timeout_table_down"),
                                                       QLatin1String("t_timeout_table_up"),
                                                       QLatin1String("t_command")};

// Steps of AddClientMDB.
constexpr int kAddServerLookUp = 1;
constexpr int kAddBegin = 2;
constexpr int kAddClientRow = 3;
constexpr int kAddClientId = 4;
constexpr int kAddFirstDependent = 5;  // 5 to 11, one per dependent table
constexpr int kAddCommit = 12;

// Steps of DeleteClientRecordsMDB.
constexpr int kDeleteBegin = 1;
constexpr int kDeleteCommit = 2;

// Steps of MoveClientRowMDB.
constexpr int kMoveBegin = 1;
constexpr int kMoveCommit = 2;

// Steps of an identifier look-up after the select itself (steps 1 and 2).
constexpr int kLookUpConvert = 3;

struct IdLookUp {
    LookUp::Outcome outcome = LookUp::Outcome::Failed;
    qint32 id = 0;
};

// An identifier by name. A value that is no 32-bit number is reported and counts as failed.
IdLookUp LookUpId(const QString& table, const QString& nameColumn, const QString& name,
                  const QString& idColumn) {
    const LookUp found = LookUpField(table, nameColumn, SqlValue::Text(name), QStringLiteral("="),
                                     idColumn, kFieldPrefix);
    IdLookUp result;
    result.outcome = found.outcome;
    if (found.found() && !ReadInt32(found.value, result.id)) {
        ReportOwnError(
            ReportAs{kFieldPrefix, kLookUpConvert}, OwnError::Conversion,
            QStringLiteral("%1 of \"%2\" in %3 is not a number").arg(idColumn, name, table));
        result.outcome = LookUp::Outcome::Failed;
    }
    return result;
}

std::optional<qint32> FoundId(const IdLookUp& lookUp, bool* failed) {
    if (failed) {
        *failed = lookUp.outcome == LookUp::Outcome::Failed;
    }
    if (lookUp.outcome != LookUp::Outcome::Found) {
        return std::nullopt;
    }
    return lookUp.id;
}

}  // namespace

std::optional<qint32> GetServerID(const QString& serverName, bool* failed) {
    return FoundId(LookUpId(kServers, QStringLiteral("dnc_server_name"), serverName,
                            QStringLiteral("dnc_server_id")),
                   failed);
}

std::optional<qint32> GetClientID(const QString& clientName, bool* failed) {
    return FoundId(
        LookUpId(kClients, QStringLiteral("client_name"), clientName, QStringLiteral("client_id")),
        failed);
}

void AddServer(const QString& serverName) {
    // Added by another administrator a moment ago: the row wanted is there, nothing to say.
    NameClashWatch clash;
    EditRecordMDB(kServers, QStringLiteral("dnc_server_name"), serverName, EditMode::Ensure);
}

void DeleteServer(const QString& serverName) {
    EditRecordMDB(kServers, QStringLiteral("dnc_server_name"), serverName, EditMode::Delete);
}

namespace {

// The new client's row in each dependent table, inside the caller's transaction: in one
// statement where the engine can send them so, else one by one.
bool InsertDependentRows(qint32 clientId) {
    const QStringList column{QStringLiteral("client_id")};
    const QList<SqlValue> id{SqlValue::Number(clientId)};
    QStringList inserts;
    QList<SqlValue> values;
    for (QLatin1String table : kDependentTables) {
        inserts << QStringLiteral("INSERT INTO ") + table +
                       QStringLiteral(" (client_id) VALUES (?)");
        values << id;
    }
    const QString together = DncConnection.Engine().InsertsAsOne(inserts);
    if (together.isEmpty()) {
        bool complete = true;
        int step = kAddFirstDependent;
        for (QLatin1String table : kDependentTables) {
            complete &=
                InsertRow(QString(table), column, id, ReportAs{kClientPrefix, step++}).has_value();
        }
        return complete;
    }
    const ReportAs as{kClientPrefix, kAddFirstDependent};
    if (!RunCommand(together, values, as)) {
        return false;
    }
    // Each row recorded as its own insert would be.
    for (QLatin1String table : kDependentTables) {
        QSqlError error;
        if (!RecordedWrite(
                DncConnection, TableWrite::Insert(QString(table), column, id),
                [](QSqlError*) { return true; }, &error)) {
            ReportStatementError(as, error);
            return false;
        }
    }
    return true;
}

}  // namespace

bool AddClientMDB(const QString& clientName, const QString& serverName) {
    const IdLookUp server = LookUpId(kServers, QStringLiteral("dnc_server_name"), serverName,
                                     QStringLiteral("dnc_server_id"));
    if (server.outcome == LookUp::Outcome::NotFound) {
        ReportOwnError(ReportAs{kClientPrefix, kAddServerLookUp}, OwnError::NotFound,
                       QStringLiteral("The DNC Server \"%1\" does not exist; the client \"%2\" "
                                      "was not created")
                           .arg(serverName, clientName));
    }
    if (server.outcome != LookUp::Outcome::Found) {
        return false;
    }

    // All rows of the client or none: a crash half-way leaves no client without its rows.
    // Reports wait until the transaction has ended.
    DeferredReports reports;
    Transaction transaction(ReportAs{kClientPrefix, kAddBegin});
    if (!transaction.Begun()) {
        return false;
    }
    NoteServerName(DncConnection, qint32(server.id), serverName);
    const std::optional<CommandDone> inserted =
        InsertRow(kClients, {QStringLiteral("client_name"), QStringLiteral("dnc_server_id")},
                  {SqlValue::Text(clientName), SqlValue::Number(server.id)},
                  ReportAs{kClientPrefix, kAddClientRow});
    if (!inserted) {
        return false;  // reported; without the row there is no identifier to use
    }
    // The id of the row just inserted, not a look-up by name: another client of that name
    // would otherwise receive the new rows.
    qint32 clientId = 0;
    if (!ReadInt32(inserted->lastInsertId, clientId)) {
        ReportOwnError(ReportAs{kClientPrefix, kAddClientId}, OwnError::NotFound,
                       QStringLiteral("The new client \"%1\" has no client_id; its rows were "
                                      "not created")
                           .arg(clientName));
        return false;
    }
    bool complete = InsertDependentRows(clientId);
    return transaction.Commit(ReportAs{kClientPrefix, kAddCommit}) && complete;
}

void RenameClientMDB(const QString& oldName, const QString& newName) {
    EditRecordMDB(kClients, QStringLiteral("client_name"), oldName, EditMode::SetField,
                  QStringLiteral("client_name"), SqlValue::Text(newName));
}

void DeleteClientMDB(const QString& clientName) {
    EditRecordMDB(kClients, QStringLiteral("client_name"), clientName, EditMode::Delete);
}

bool DeleteClientRecordsMDB(const QString& clientName) {
    const IdLookUp client =
        LookUpId(kClients, QStringLiteral("client_name"), clientName, QStringLiteral("client_id"));
    if (client.outcome != LookUp::Outcome::Found) {
        return false;
    }
    DeferredReports reports;
    Transaction transaction(ReportAs{kClientPrefix, kDeleteBegin});
    if (!transaction.Begun()) {
        return false;
    }
    // The row whose id was looked up (the first of that name), and the shop-terminal
    // listings of that same id.
    EditRecordByIdMDB(kClients, QStringLiteral("client_id"), client.id, EditMode::Delete);
    DeleteRecordsMDB(QStringLiteral("t_shopterm_clients"), QStringLiteral("clients_id"),
                     SqlValue::Number(client.id));
    return transaction.Commit(ReportAs{kClientPrefix, kDeleteCommit});
}

std::optional<bool> ClientRowHeldMDB(qint32 clientId) {
    const LookUp found =
        LookUpField(kClients, QStringLiteral("client_id"), SqlValue::Number(clientId),
                    QStringLiteral("="), QStringLiteral("client_id"), kFieldPrefix, true);
    if (found.outcome == LookUp::Outcome::Failed) {
        return std::nullopt;
    }
    return found.found();
}

std::optional<bool> MoveClientRowMDB(qint32 clientId, qint32 fromServerId, qint32 toServerId) {
    DeferredReports reports;
    Transaction transaction(ReportAs{kClientPrefix, kMoveBegin});
    const LookUp server =
        LookUpField(kClients, QStringLiteral("client_id"), SqlValue::Number(clientId),
                    QStringLiteral("="), QStringLiteral("dnc_server_id"), kFieldPrefix, true);
    if (server.outcome == LookUp::Outcome::Failed) {
        return std::nullopt;
    }
    qint32 serverId = 0;
    if (!server.found() || !ReadInt32(server.value, serverId) || serverId != fromServerId) {
        return false;
    }
    if (!UpdateRecordsMDB(kClients, QStringLiteral("client_id"), SqlValue::Number(clientId),
                          QStringLiteral("dnc_server_id"), SqlValue::Number(toServerId))) {
        return std::nullopt;
    }
    if (!transaction.Commit(ReportAs{kClientPrefix, kMoveCommit})) {
        return std::nullopt;
    }
    return true;
}

void ShowClientGone(const QString& clientName) {
    ShowMessage(QStringLiteral("DNC Client \"") + clientName +
                    QStringLiteral("\" is no longer in the database"),
                MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("DNC Client not found"));
}

bool ReadCurrentClientIds() {
    if (CurrentClientName.isEmpty()) {
        return false;
    }
    const IdLookUp server = LookUpId(kClients, QStringLiteral("client_name"), CurrentClientName,
                                     QStringLiteral("dnc_server_id"));
    const IdLookUp client = LookUpId(kClients, QStringLiteral("client_name"), CurrentClientName,
                                     QStringLiteral("client_id"));
    if (server.outcome != LookUp::Outcome::Found || client.outcome != LookUp::Outcome::Found) {
        return false;  // the ids stay; no other client's record is read in their place
    }
    CurrentServerId = server.id;
    CurrentClientId = client.id;
    ReadClientMode(CurrentClientId);
    return true;
}
