#include "db/node_port_ids.h"

#include "db/change_log.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/statement.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlQuery>

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
    // The node id in one statement, the port ids in one per distinct id; the records go into
    // the log client by client, as written one client after another.
    QList<qint32> order;
    QList<SqlValue> nodeKeys;
    QMap<QString, QList<SqlValue>> portKeys;
    QHash<qint32, QString> nameOf;
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
        if (nameOf.contains(mode.ClientId)) {
            continue;  // named twice: the first write leaves nothing for the second
        }
        order << mode.ClientId;
        nameOf.insert(mode.ClientId, name);
        if (mode.NodeId != nodeId) {
            nodeKeys << SqlValue::Number(mode.ClientId);
        }
        const QString portId = PortIdText(mode.PortNumber);
        if (ports && portId != mode.PortId) {
            portKeys[portId] << SqlValue::Number(mode.ClientId);
        }
    }
    qint64 expected = nodeKeys.size();
    qint64 written = 0;
    {
        RecordsInClientOrder records(order);
        const std::optional<qint64> nodes =
            UpdateRecordsInMDB(clients, QStringLiteral("client_id"), nodeKeys,
                               QStringLiteral("NODE_ID"), SqlValue::Text(nodeId));
        written += nodes.value_or(0);
        change.NodeIdsChanged = int(nodes.value_or(0));
        for (auto it = portKeys.cbegin(); it != portKeys.cend(); ++it) {
            const std::optional<qint64> rows =
                UpdateRecordsInMDB(clients, QStringLiteral("client_id"), it.value(),
                                   QStringLiteral("PORT_ID"), SqlValue::Text(it.key()));
            expected += it.value().size();
            written += rows.value_or(0);
            change.PortIdsChanged += int(rows.value_or(0));
        }
        records.Done();
    }
    if (written < expected) {
        // Some were deleted by someone else since the read: their updates found no row.
        QList<SqlValue> ids;
        for (const qint32 id : std::as_const(order)) {
            ids << SqlValue::Number(id);
        }
        QSet<qint32> left;
        QStringList marks;
        for (qsizetype i = 0; i < ids.size(); ++i) {
            marks << QStringLiteral("?");
        }
        const RowsRead stillThere = ForEachRow(
            QStringLiteral("SELECT client_id FROM t_dnc_server_clients WHERE client_id IN (") +
                marks.join(QStringLiteral(", ")) + QLatin1Char(')'),
            ids, ReportAs{kPrefix, kStepBegin},
            [&left](const QSqlQuery& query) { left.insert(query.value(0).toInt()); });
        if (stillThere.ok) {
            for (const qint32 id : std::as_const(order)) {
                if (!left.contains(id)) {
                    change.Skipped
                        << nameOf.value(id) + QStringLiteral(": the client no longer exists");
                }
            }
        }
    }
    change.Committed = transaction.Commit(ReportAs{kPrefix, kStepCommit});
    if (!change.Committed) {
        change.NodeIdsChanged = 0;
        change.PortIdsChanged = 0;
    }
    return change;
}
