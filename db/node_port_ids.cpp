#include "db/node_port_ids.h"

#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/statement.h"

namespace {

const QString kPrefix = QStringLiteral("Error NodePortID");
constexpr int kStepBegin = 1;
constexpr int kStepCommit = 2;

QString OnOff(bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("OFF");
}

}  // namespace

std::optional<QList<NodePortRow>> ReadNodePortRows(const QStringList& clientNames) {
    QList<NodePortRow> rows;
    QStringList names = clientNames;
    names.removeAll(QString());
    const std::optional<NamedClients> clients = ClientsByName(names, false);
    if (!clients) {
        return std::nullopt;
    }
    for (const QString& name : std::as_const(names)) {
        const auto client = clients->constFind(name);
        if (client == clients->cend() || !client->Mode.HasClientRow) {
            continue;  // deleted since the list was read
        }
        const ClientModeRecord& mode = client->Mode;
        rows.append(NodePortRow{mode.ClientName, mode.NodeId,
                                mode.HasModeRow ? QString::number(mode.PortNumber) : QString(),
                                mode.PortId, OnOff(client->BtsUsed), OnOff(client->BtsLoop)});
    }
    return rows;
}

QString PortIdText(qint16 port) {
    const QString digits = QStringLiteral("%1").arg(qAbs(int(port)), 3, 10, QLatin1Char('0'));
    return port < 0 ? QStringLiteral("-") + digits : digits;
}

NodePortChange SetNodePortIdsMDB(const QStringList& clientNames, const QString& nodeId,
                                 bool ports) {
    NodePortChange change;
    DeferredReports reports;
    Transaction transaction(ReportAs{kPrefix, kStepBegin});
    if (!transaction.Begun()) {
        return change;
    }
    const QString clients = QStringLiteral("t_dnc_server_clients");
    QStringList names = clientNames;
    names.removeAll(QString());
    // Read inside the transaction, all clients together; the writes follow one by one.
    const std::optional<NamedClients> read = ClientsByName(names, false);
    if (!read) {
        return change;  // reported; not read is not "no longer exists"
    }
    for (const QString& name : std::as_const(names)) {
        const auto found = read->constFind(name);
        const ClientModeRecord mode = found != read->cend() ? found->Mode : ClientModeRecord();
        if (!mode.HasClientRow) {
            change.Skipped << name + QStringLiteral(": the client no longer exists");
            continue;
        }
        if (!mode.HasModeRow) {
            // Without its port row the client has no port number to take an id from.
            change.Skipped << name + QStringLiteral(": the client has no port settings");
            continue;
        }
        const SqlValue key = SqlValue::Number(mode.ClientId);
        // Deleted by someone else since the read: its update finds no row.
        bool gone = false;
        const auto update = [&](const QString& column, const QString& value) {
            const std::optional<qint64> rows = UpdateRecordsCountMDB(
                clients, QStringLiteral("client_id"), key, column, SqlValue::Text(value));
            gone |= rows == qint64(0);
            return rows.value_or(0) > 0;
        };
        if (mode.NodeId != nodeId && update(QStringLiteral("NODE_ID"), nodeId)) {
            ++change.NodeIdsChanged;
        }
        const QString portId = PortIdText(mode.PortNumber);
        if (ports && !gone && portId != mode.PortId && update(QStringLiteral("PORT_ID"), portId)) {
            ++change.PortIdsChanged;
        }
        if (gone) {
            change.Skipped << name + QStringLiteral(": the client no longer exists");
        }
    }
    change.Committed = transaction.Commit(ReportAs{kPrefix, kStepCommit});
    if (!change.Committed) {
        change.NodeIdsChanged = 0;
        change.PortIdsChanged = 0;
    }
    return change;
}
