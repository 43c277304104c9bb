#include "db/client_attributes.h"

#include "db/dnc_database.h"
#include "db/statement.h"

ClientModeRecord CurrentClientMode;
ClientModeRecord ExportClientMode;
DownAttributesRecord DownAttributes;
UpAttributesRecord UpAttributes;
TerminalAttributesRecord TerminalAttributes;
RemoteAttributesRecord RemoteAttributes;

namespace {

const QString kClients = QStringLiteral("t_dnc_server_clients");
const QString kClientId = QStringLiteral("client_id");

// The rows of table whose key column equals the id, sorted by that column; the readers use
// the first.
Recordset RowsOf(const QString& table, const QString& keyColumn, const SqlValue& key,
                 const ReportAs& as) {
    const std::optional<QString> sql = SortedSelectText(table, keyColumn, QStringLiteral("="),
                                                        keyColumn, QStringLiteral("*"), as.prefix);
    if (!sql) {
        return Recordset();
    }
    return SelectRows(*sql, {key}, as);
}

// The first row of a table for the client, read field by field.
class FirstRow {
public:
    FirstRow(const QString& table, const QString& keyColumn, qint32 id, const ReportAs& as)
        : rows_(RowsOf(table, keyColumn, SqlValue::Number(id), as)) {}
    bool Found() const { return !rows_.IsEmpty(); }
    QVariant operator[](const char* column) const {
        return rows_.Field(0, QString::fromLatin1(column));
    }

private:
    Recordset rows_;
};

void ReadClientModeInto(ClientModeRecord& record, qint32 clientId) {
    const QString prefix = QStringLiteral("Error Client Mode");
    record = ClientModeRecord();

    const FirstRow port(QStringLiteral("t_client_mode"), kClientId, clientId, {prefix, 1});
    record.HasModeRow = port.Found();
    if (port.Found()) {
        ReadText(port["m_baud"], record.Baud);
        ReadText(port["m_parity"], record.Parity);
        ReadText(port["m_databits"], record.DataBits);
        ReadText(port["m_stopbits"], record.StopBits);
        ReadInt16(port["cnc_comport"], record.PortNumber);
    }

    const FirstRow client(kClients, kClientId, clientId, {prefix, 2});
    record.HasClientRow = client.Found();
    if (!client.Found()) {
        return;  // without the client's row there is no protocol or server of its own
    }
    ReadInt32(client["client_id"], record.ClientId);
    ReadInt32(client["dnc_server_id"], record.ServerId);
    ReadText(client["client_name"], record.ClientName);
    ReadText(client["NODE_ID"], record.NodeId);
    ReadText(client["PORT_ID"], record.PortId);
    const QVariant protocolId = client["protocol_id"];
    ReadText(protocolId, record.Protocol);
    ReadText(client["com_ports"], record.DetectedPorts);

    qint32 protocolNumber = 0;
    if (ReadInt32(protocolId, protocolNumber)) {
        const FirstRow protocol(QStringLiteral("t_protocol"), QStringLiteral("protocol_id"),
                                protocolNumber, {prefix, 3});
        if (protocol.Found()) {
            ReadText(protocol["protocol_name"], record.Protocol);
            ReadText(protocol["protocol_dll"], record.ProtocolLibrary);
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

ClientModeRecord ClientModeOf(qint32 clientId) {
    ClientModeRecord record;
    ReadClientModeInto(record, clientId);
    return record;
}

DownAttributesRecord DownAttributesOf(qint32 clientId) {
    const QString prefix = QStringLiteral("Error Client Clone Down Attributes");
    DownAttributesRecord r;
    const FirstRow filter(QStringLiteral("t_filter_table_down"), kClientId, clientId, {prefix, 1});
    r.HasFilterRow = filter.Found();
    if (filter.Found()) {
        ReadYesNo(filter["init"], r.init);
        ReadYesNo(filter["strip_header"], r.strip_header);
        ReadInt16(filter["strip_all"], r.strip_all);
        ReadYesNo(filter["strip_1stpercent"], r.strip_1stpercent);
        ReadYesNo(filter["stop_Endpercent"], r.stop_Endpercent);
        ReadInt16(filter["leader"], r.leader);
        ReadInt16(filter["trailer"], r.trailer);
        ReadText(filter["start_file_char"], r.start_file_char);
        ReadText(filter["end_file_char"], r.end_file_char);
    }
    const FirstRow timeout(QStringLiteral("t_timeout_table_down"), kClientId, clientId,
                           {prefix, 2});
    r.HasTimeoutRow = timeout.Found();
    if (timeout.Found()) {
        ReadInt16(timeout["init_timeout"], r.init_timeout);
        ReadInt16(timeout["interchar_timeout"], r.interchar_timeout);
        ReadInt16(timeout["char_delay"], r.char_delay);
        ReadInt16(timeout["eob_delay"], r.eob_delay);
        ReadInt16(timeout["char_buffer"], r.char_buffer);
    }
    const FirstRow client(kClients, kClientId, clientId, {prefix, 3});
    r.HasClientRow = client.Found();
    if (client.Found()) {
        ReadText(client["protocol_id"], r.Protocol);
    }
    return r;
}

UpAttributesRecord UpAttributesOf(qint32 clientId) {
    const QString prefix = QStringLiteral("Error Client Clone Up Attributes");
    UpAttributesRecord r;
    const FirstRow filter(QStringLiteral("t_filter_table_up"), kClientId, clientId, {prefix, 1});
    r.HasFilterRow = filter.Found();
    if (filter.Found()) {
        ReadYesNo(filter["noparity_upload"], r.noparity_upload);
        ReadYesNo(filter["trim_percent"], r.trim_percent);
        ReadYesNo(filter["crlf_adj"], r.crlf_adj);
        ReadText(filter["start_file_char"], r.start_file_char);
        ReadText(filter["end_file_char"], r.end_file_char);
        ReadText(filter["filesave_mode"], r.filesave_mode);
    }
    const FirstRow timeout(QStringLiteral("t_timeout_table_up"), kClientId, clientId, {prefix, 2});
    r.HasTimeoutRow = timeout.Found();
    if (timeout.Found()) {
        ReadInt16(timeout["init_timeout"], r.init_timeout);
        ReadInt16(timeout["up_timeout"], r.up_timeout);
    }
    const FirstRow client(kClients, kClientId, clientId, {prefix, 3});
    r.HasClientRow = client.Found();
    if (client.Found()) {
        ReadText(client["NODE_ID"], r.NODE_ID);
        ReadText(client["PORT_ID"], r.PORT_ID);
    }
    return r;
}

TerminalAttributesRecord TerminalAttributesOf(qint32 clientId) {
    const QString prefix = QStringLiteral("Error Term Attributes");
    TerminalAttributesRecord r;
    const FirstRow terminal(QStringLiteral("t_client_terminal_mode"), kClientId, clientId,
                            {prefix, 1});
    r.HasTerminalRow = terminal.Found();
    if (terminal.Found()) {
        ReadInt16(terminal["line_length"], r.line_length);
        ReadInt16(terminal["line_number"], r.line_number);
        ReadInt16(terminal["char_delay"], r.char_delay);
    }
    const FirstRow client(kClients, kClientId, clientId, {prefix, 2});
    r.HasClientRow = client.Found();
    if (client.Found()) {
        ReadYesNo(client["terminal_enabled"], r.terminal_enabled);
    }
    return r;
}

RemoteAttributesRecord RemoteAttributesOf(qint32 clientId) {
    const QString prefix = QStringLiteral("Error Remote Attributes");
    RemoteAttributesRecord r;
    const FirstRow remote(QStringLiteral("t_remote"), QStringLiteral("rem_client_id"), clientId,
                          {prefix, 1});
    r.HasRemoteRow = remote.Found();
    if (remote.Found()) {
        ReadText(remote["c_start_char"], r.c_start_char);
        ReadText(remote["c_end_char"], r.c_end_char);
        ReadText(remote["down_cmd_char"], r.down_cmd_char);
        ReadText(remote["up_cmd_char"], r.up_cmd_char);
        ReadText(remote["path_cmd_char"], r.path_cmd_char);
        ReadText(remote["down_n_offset_char"], r.down_n_offset_char);
        ReadText(remote["redirect_cmd_char"], r.redirect_cmd_char);
        ReadText(remote["kill_cmd_char"], r.kill_cmd_char);
        ReadText(remote["files_cmd_char"], r.files_cmd_char);
        ReadYesNo(remote["upload_report"], r.upload_report);
        ReadText(remote["report_name"], r.report_name);
    }
    const FirstRow client(kClients, kClientId, clientId, {prefix, 2});
    r.HasClientRow = client.Found();
    if (client.Found()) {
        ReadYesNo(client["terminal_enabled"], r.terminal_enabled);
        ReadYesNo(client["alt_protocol_used"], r.alt_protocol_used);
        ReadYesNo(client["alt_protocol"], r.alt_protocol);
        ReadYesNo(client["bts_used"], r.bts_used);
        ReadYesNo(client["bts_eobdelay"], r.bts_eobdelay);
        ReadText(client["bts_pin"], r.bts_pin);
        ReadText(client["bts_address"], r.bts_address);
        ReadYesNo(client["bts_loop"], r.bts_loop);
        ReadYesNo(client["bts_latency"], r.bts_latency);
    }
    return r;
}

void ReadClientMode(qint32 clientId) {
    ReadClientModeInto(CurrentClientMode, clientId);
}

void ReadExportClientMode(qint32 clientId) {
    ReadClientModeInto(ExportClientMode, clientId);
}

void ReadDownAttributes(qint32 clientId) {
    DownAttributes = DownAttributesOf(clientId);
}

void ReadUpAttributes(qint32 clientId) {
    UpAttributes = UpAttributesOf(clientId);
}

void ReadTerminalAttributes(qint32 clientId) {
    TerminalAttributes = TerminalAttributesOf(clientId);
}

void ReadRemoteAttributes(qint32 clientId) {
    RemoteAttributes = RemoteAttributesOf(clientId);
}

bool HasShopTermList(qint32 shopClientId) {
    const QString prefix = QStringLiteral("Error 2#");
    const Recordset listings =
        RowsOf(QStringLiteral("t_shopterm_clients"), QStringLiteral("shop_client_id"),
               SqlValue::Number(shopClientId), {prefix, 2});
    if (listings.IsEmpty()) {
        return false;
    }
    AllClients.clear();
    for (int row = 0; row < listings.RecordCount(); ++row) {
        ClientListEntry entry;
        ReadInt32(listings.Field(row, QStringLiteral("shopterm_id")), entry.Field1);
        ReadInt32(listings.Field(row, QStringLiteral("clients_id")), entry.Field2);
        if (const std::optional<QVariant> name =
                GetFieldValueMDB(kClients, kClientId, SqlValue::Number(entry.Field2),
                                 QStringLiteral("="), QStringLiteral("client_name"))) {
            ReadText(*name, entry.ClientName);
        }
        AllClients.append(entry);
    }
    return true;
}

qint32 GetDirID(const QString& path) {
    const QString prefix = QStringLiteral("Error GetDirID");
    const std::optional<QString> sql = SortedSelectText(
        QStringLiteral("t_client_directory"), kClientId, QStringLiteral("="),
        QStringLiteral("dir_id"), QStringLiteral("dir_id, directory_direct"), prefix);
    if (!sql) {
        return 0;
    }
    const Recordset rows = SelectRows(*sql, {SqlValue::Number(CurrentClientId)}, {prefix, 2});
    const QString marker = QStringLiteral("Alias - ");
    for (int row = 0; row < rows.RecordCount(); ++row) {
        QString stored;
        ReadText(rows.Field(row, 1), stored);
        // A list text "path  Alias - name" stands for its path: the part before the marker.
        const qsizetype at = stored.indexOf(marker);
        if (at >= 0) {
            stored = stored.left(at).trimmed();
        }
        // The column ignores letter case, and so does the folder it names.
        if (stored.compare(path, Qt::CaseInsensitive) == 0) {
            qint32 id = 0;
            ReadInt32(rows.Field(row, 0), id);
            return id;
        }
    }
    return 0;
}

bool IsTerminalGroup(qint32 protocolId) {
    switch (protocolId) {
        case 4:
        case 7:
        case 61:
        case 62:
        case 63:
        case 71:
        case 72:
        case 73:
        case 101:
        case 102:
        case 103:
            return true;
        default:
            return false;
    }
}

bool IsRemoteGroup(qint32 protocolId) {
    switch (protocolId) {
        case 7:
        case 71:
        case 72:
        case 73:
        case 10:
        case 101:
        case 102:
        case 103:
            return true;
        default:
            return false;
    }
}
