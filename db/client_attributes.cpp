#include "db/client_attributes.h"

#include "db/dnc_database.h"
#include "db/statement.h"

ClientModeRecord CurrentClientMode;
ClientModeRecord ExportClientMode;

namespace {

const QString kModePrefix = QStringLiteral("Error Client Mode");

// Steps of the mode reader, one per table it reads.
constexpr int kStepPort = 1;
constexpr int kStepClient = 2;
constexpr int kStepProtocol = 3;

// The rows of table whose key column equals the id, sorted by that column.
Recordset RowsOf(const QString& table, const QString& keyColumn, const SqlValue& key, int step) {
    const std::optional<QString> sql = SortedSelectText(
        table, keyColumn, QStringLiteral("="), keyColumn, QStringLiteral("*"), kModePrefix);
    if (!sql) {
        return Recordset();
    }
    return SelectRows(*sql, {key}, ReportAs{kModePrefix, step});
}

void ReadClientModeInto(ClientModeRecord& record, qint32 clientId) {
    const SqlValue id = SqlValue::Number(clientId);

    const Recordset port =
        RowsOf(QStringLiteral("t_client_mode"), QStringLiteral("client_id"), id, kStepPort);
    if (!port.IsEmpty()) {
        ReadText(port.Field(0, QStringLiteral("m_baud")), record.Baud);
        ReadText(port.Field(0, QStringLiteral("m_parity")), record.Parity);
        ReadText(port.Field(0, QStringLiteral("m_databits")), record.DataBits);
        ReadText(port.Field(0, QStringLiteral("m_stopbits")), record.StopBits);
        ReadInt16(port.Field(0, QStringLiteral("cnc_comport")), record.PortNumber);
    }

    const Recordset client = RowsOf(QStringLiteral("t_dnc_server_clients"),
                                    QStringLiteral("client_id"), id, kStepClient);
    if (client.IsEmpty()) {
        // Without the client's row there is no protocol or server of its own to look up.
        return;
    }
    ReadInt32(client.Field(0, QStringLiteral("client_id")), record.ClientId);
    ReadInt32(client.Field(0, QStringLiteral("dnc_server_id")), record.ServerId);
    ReadText(client.Field(0, QStringLiteral("client_name")), record.ClientName);
    ReadText(client.Field(0, QStringLiteral("NODE_ID")), record.NodeId);
    ReadText(client.Field(0, QStringLiteral("PORT_ID")), record.PortId);
    const QVariant protocolId = client.Field(0, QStringLiteral("protocol_id"));
    ReadText(protocolId, record.Protocol);
    ReadText(client.Field(0, QStringLiteral("com_ports")), record.DetectedPorts);

    qint32 protocolNumber = 0;
    if (ReadInt32(protocolId, protocolNumber)) {
        const Recordset protocol =
            RowsOf(QStringLiteral("t_protocol"), QStringLiteral("protocol_id"),
                   SqlValue::Number(protocolNumber), kStepProtocol);
        if (!protocol.IsEmpty()) {
            ReadText(protocol.Field(0, QStringLiteral("protocol_name")), record.Protocol);
            ReadText(protocol.Field(0, QStringLiteral("protocol_dll")), record.ProtocolLibrary);
        }
    }

    if (const std::optional<QVariant> serverName =
            GetFieldValueMDB(QStringLiteral("t_dnc_servers"), QStringLiteral("dnc_server_id"),
                             SqlValue::Number(record.ServerId), QStringLiteral("="),
                             QStringLiteral("dnc_server_name"))) {
        ReadText(*serverName, record.ServerName);
    }
}

}  // namespace

void ReadClientMode(qint32 clientId) {
    ReadClientModeInto(CurrentClientMode, clientId);
}

void ReadExportClientMode(qint32 clientId) {
    ReadClientModeInto(ExportClientMode, clientId);
}
