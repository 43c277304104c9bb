#include "db/client_attributes.h"

#include "db/dnc_database.h"
#include "db/statement.h"

#include <QSet>

#include <algorithm>
#include <initializer_list>
#include <type_traits>
#include <variant>
#include <vector>

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

// One column of a row and the record field it is read into; the field's type picks the reader.
template <class Record>
struct Column {
    const char* name;
    std::variant<QString Record::*, qint16 Record::*, qint32 Record::*, bool Record::*> field;
};

bool ReadValue(const QVariant& value, QString& target) {
    return ReadText(value, target);
}
bool ReadValue(const QVariant& value, qint16& target) {
    return ReadInt16(value, target);
}
bool ReadValue(const QVariant& value, qint32& target) {
    return ReadInt32(value, target);
}
bool ReadValue(const QVariant& value, bool& target) {
    return ReadYesNo(value, target);
}

template <class Record, class Get>
void ReadColumns(Record& record, const std::vector<Column<Record>>& columns, const Get& get) {
    for (const Column<Record>& column : columns) {
        std::visit([&](auto field) { ReadValue(get(column.name), record.*field); }, column.field);
    }
}

// The columns of a client's mode record, by the table they come from.
using ModeColumns = std::vector<Column<ClientModeRecord>>;
const ModeColumns kModeColumns = {{"m_baud", &ClientModeRecord::Baud},
                                  {"m_parity", &ClientModeRecord::Parity},
                                  {"m_databits", &ClientModeRecord::DataBits},
                                  {"m_stopbits", &ClientModeRecord::StopBits},
                                  {"cnc_comport", &ClientModeRecord::PortNumber}};
const ModeColumns kModeClientColumns = {
    {"client_id", &ClientModeRecord::ClientId},     {"dnc_server_id", &ClientModeRecord::ServerId},
    {"client_name", &ClientModeRecord::ClientName}, {"NODE_ID", &ClientModeRecord::NodeId},
    {"PORT_ID", &ClientModeRecord::PortId},         {"protocol_id", &ClientModeRecord::Protocol},
    {"com_ports", &ClientModeRecord::DetectedPorts}};
const ModeColumns kModeProtocolColumns = {{"protocol_name", &ClientModeRecord::Protocol},
                                          {"protocol_dll", &ClientModeRecord::ProtocolLibrary}};

// The first row of a table for the client, read field by field.
class FirstRow {
public:
    FirstRow(const QString& table, const QString& keyColumn, qint32 id, const ReportAs& as)
        : rows_(RowsOf(table, keyColumn, SqlValue::Number(id), as)) {}
    bool Found() const { return !rows_.IsEmpty(); }
    QVariant operator[](const char* column) const {
        return rows_.Field(0, QString::fromLatin1(column));
    }

    // Reads the columns into the record when there is a row; says whether there was.
    template <class Record>
    bool ReadInto(Record& record,
                  std::initializer_list<Column<std::type_identity_t<Record>>> columns) const {
        return ReadInto(record, std::vector<Column<Record>>(columns));
    }
    template <class Record>
    bool ReadInto(Record& record, const std::vector<Column<Record>>& columns) const {
        if (!Found()) {
            return false;
        }
        ReadColumns(record, columns, [this](const char* name) { return (*this)[name]; });
        return true;
    }

private:
    Recordset rows_;
};

void ReadClientModeInto(ClientModeRecord& record, qint32 clientId) {
    const QString prefix = QStringLiteral("Error Client Mode");
    record = ClientModeRecord();

    record.HasModeRow = FirstRow(QStringLiteral("t_client_mode"), kClientId, clientId, {prefix, 1})
                            .ReadInto(record, kModeColumns);

    const FirstRow client(kClients, kClientId, clientId, {prefix, 2});
    record.HasClientRow = client.ReadInto(record, kModeClientColumns);
    if (!record.HasClientRow) {
        return;  // without the client's row there is no protocol or server of its own
    }

    qint32 protocolNumber = 0;
    if (ReadInt32(client["protocol_id"], protocolNumber)) {
        FirstRow(QStringLiteral("t_protocol"), QStringLiteral("protocol_id"), protocolNumber,
                 {prefix, 3})
            .ReadInto(record, kModeProtocolColumns);
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
    using R = DownAttributesRecord;
    const QString prefix = QStringLiteral("Error Client Clone Down Attributes");
    R r;
    r.HasFilterRow =
        FirstRow(QStringLiteral("t_filter_table_down"), kClientId, clientId, {prefix, 1})
            .ReadInto(r, {{"init", &R::init},
                          {"strip_header", &R::strip_header},
                          {"strip_all", &R::strip_all},
                          {"strip_1stpercent", &R::strip_1stpercent},
                          {"stop_Endpercent", &R::stop_Endpercent},
                          {"leader", &R::leader},
                          {"trailer", &R::trailer},
                          {"start_file_char", &R::start_file_char},
                          {"end_file_char", &R::end_file_char}});
    r.HasTimeoutRow =
        FirstRow(QStringLiteral("t_timeout_table_down"), kClientId, clientId, {prefix, 2})
            .ReadInto(r, {{"init_timeout", &R::init_timeout},
                          {"interchar_timeout", &R::interchar_timeout},
                          {"char_delay", &R::char_delay},
                          {"eob_delay", &R::eob_delay},
                          {"char_buffer", &R::char_buffer}});
    r.HasClientRow = FirstRow(kClients, kClientId, clientId, {prefix, 3})
                         .ReadInto(r, {{"protocol_id", &R::Protocol}});
    return r;
}

UpAttributesRecord UpAttributesOf(qint32 clientId) {
    using R = UpAttributesRecord;
    const QString prefix = QStringLiteral("Error Client Clone Up Attributes");
    R r;
    r.HasFilterRow = FirstRow(QStringLiteral("t_filter_table_up"), kClientId, clientId, {prefix, 1})
                         .ReadInto(r, {{"noparity_upload", &R::noparity_upload},
                                       {"trim_percent", &R::trim_percent},
                                       {"crlf_adj", &R::crlf_adj},
                                       {"start_file_char", &R::start_file_char},
                                       {"end_file_char", &R::end_file_char},
                                       {"filesave_mode", &R::filesave_mode}});
    r.HasTimeoutRow =
        FirstRow(QStringLiteral("t_timeout_table_up"), kClientId, clientId, {prefix, 2})
            .ReadInto(r, {{"init_timeout", &R::init_timeout}, {"up_timeout", &R::up_timeout}});
    r.HasClientRow = FirstRow(kClients, kClientId, clientId, {prefix, 3})
                         .ReadInto(r, {{"NODE_ID", &R::NODE_ID}, {"PORT_ID", &R::PORT_ID}});
    return r;
}

TerminalAttributesRecord TerminalAttributesOf(qint32 clientId) {
    using R = TerminalAttributesRecord;
    const QString prefix = QStringLiteral("Error Term Attributes");
    R r;
    r.HasTerminalRow =
        FirstRow(QStringLiteral("t_client_terminal_mode"), kClientId, clientId, {prefix, 1})
            .ReadInto(r, {{"line_length", &R::line_length},
                          {"line_number", &R::line_number},
                          {"char_delay", &R::char_delay}});
    r.HasClientRow = FirstRow(kClients, kClientId, clientId, {prefix, 2})
                         .ReadInto(r, {{"terminal_enabled", &R::terminal_enabled}});
    return r;
}

RemoteAttributesRecord RemoteAttributesOf(qint32 clientId) {
    using R = RemoteAttributesRecord;
    const QString prefix = QStringLiteral("Error Remote Attributes");
    R r;
    r.HasRemoteRow =
        FirstRow(QStringLiteral("t_remote"), QStringLiteral("rem_client_id"), clientId, {prefix, 1})
            .ReadInto(r, {{"c_start_char", &R::c_start_char},
                          {"c_end_char", &R::c_end_char},
                          {"down_cmd_char", &R::down_cmd_char},
                          {"up_cmd_char", &R::up_cmd_char},
                          {"path_cmd_char", &R::path_cmd_char},
                          {"down_n_offset_char", &R::down_n_offset_char},
                          {"redirect_cmd_char", &R::redirect_cmd_char},
                          {"kill_cmd_char", &R::kill_cmd_char},
                          {"files_cmd_char", &R::files_cmd_char},
                          {"upload_report", &R::upload_report},
                          {"report_name", &R::report_name}});
    r.HasClientRow = FirstRow(kClients, kClientId, clientId, {prefix, 2})
                         .ReadInto(r, {{"terminal_enabled", &R::terminal_enabled},
                                       {"alt_protocol_used", &R::alt_protocol_used},
                                       {"alt_protocol", &R::alt_protocol},
                                       {"bts_used", &R::bts_used},
                                       {"bts_eobdelay", &R::bts_eobdelay},
                                       {"bts_pin", &R::bts_pin},
                                       {"bts_address", &R::bts_address},
                                       {"bts_loop", &R::bts_loop},
                                       {"bts_latency", &R::bts_latency}});
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

namespace {

// Names per statement: a fixed count keeps one prepared statement; a short list repeats a name.
constexpr qsizetype kNamesPerRead = 64;
const QString kListPrefix = QStringLiteral("Error Client List");

QString NameMarks() {
    QStringList marks;
    for (qsizetype i = 0; i < kNamesPerRead; ++i) {
        marks << QStringLiteral("?");
    }
    return QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The client columns keep their own names; the joined tables' keys are renamed.
const QString kClientsByNameSql =
    QStringLiteral(
        "SELECT c.client_id, c.client_name, c.dnc_server_id, c.NODE_ID, c.PORT_ID, "
        "c.protocol_id, c.com_ports, c.bts_used, c.bts_loop, m.client_id AS mode_client_id, "
        "m.m_baud, m.m_parity, m.m_databits, m.m_stopbits, m.cnc_comport, "
        "p.protocol_id AS protocol_row_id, p.protocol_name, p.protocol_dll, "
        "s.dnc_server_id AS server_row_id, s.dnc_server_name "
        "FROM t_dnc_server_clients c "
        "LEFT JOIN t_client_mode m ON m.client_id = c.client_id "
        "LEFT JOIN t_protocol p ON p.protocol_id = c.protocol_id "
        "LEFT JOIN t_dnc_servers s ON s.dnc_server_id = c.dnc_server_id "
        "WHERE c.client_name IN ") +
    NameMarks() + QStringLiteral(" ORDER BY c.client_id");

const QString kDirsByNameSql =
    QStringLiteral(
        "SELECT d.client_id, d.dir_id, d.directory_direct, d.directory_alias, d.dir_mode, "
        "d.explore_from_here FROM t_client_directory d WHERE d.client_id IN "
        "(SELECT c.client_id FROM t_dnc_server_clients c WHERE c.client_name IN ") +
    NameMarks() + QStringLiteral(") ORDER BY d.client_id, d.directory_direct, d.dir_id");

// Names compare as the name column does in DNC.mdb: letter case ignored for A to Z only.
QString FoldedName(const QString& name) {
    QString folded = name;
    for (QChar& c : folded) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - ('a' - 'A'));
        }
    }
    return folded;
}

bool IsAscii(const QString& name) {
    return std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 128; });
}

QList<SqlValue> NameValues(const QStringList& chunk) {
    QList<SqlValue> values;
    for (qsizetype i = 0; i < kNamesPerRead; ++i) {
        values << SqlValue::Text(chunk.at(qMin(i, chunk.size() - 1)));
    }
    return values;
}

NamedClient ClientFromRow(const Recordset& rows, int row) {
    const auto field = [&](const char* column) {
        return rows.Field(row, QString::fromLatin1(column));
    };
    NamedClient client;
    ClientModeRecord& mode = client.Mode;
    mode.HasModeRow = !field("mode_client_id").isNull();
    if (mode.HasModeRow) {
        ReadColumns(mode, kModeColumns, field);
    }
    mode.HasClientRow = true;
    ReadColumns(mode, kModeClientColumns, field);
    if (!field("protocol_row_id").isNull()) {
        ReadColumns(mode, kModeProtocolColumns, field);
    }
    if (!field("server_row_id").isNull()) {
        ReadText(field("dnc_server_name"), mode.ServerName);
    }
    ReadYesNo(field("bts_used"), client.BtsUsed);
    ReadYesNo(field("bts_loop"), client.BtsLoop);
    return client;
}

// One name the old way, statement by statement: for what the joined read cannot tell apart.
std::optional<NamedClient> ClientAlone(const QString& name, bool withDirs) {
    const std::optional<qint32> id = GetClientID(name);
    if (!id) {
        return std::nullopt;
    }
    NamedClient client;
    client.Mode = ClientModeOf(*id);
    const RemoteAttributesRecord remote = RemoteAttributesOf(*id);
    client.BtsUsed = remote.bts_used;
    client.BtsLoop = remote.bts_loop;
    if (withDirs) {
        const QList<DirectoryRecord> kept = ClientDirs;
        LoadClientDirs(*id);
        client.Dirs = ClientDirs;
        ClientDirs = kept;
    }
    return client;
}

}  // namespace

std::optional<NamedClients> ClientsByName(const QStringList& names, bool withDirs) {
    NamedClients found;
    QStringList joined;
    QStringList alone;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (!seen.contains(name)) {
            seen.insert(name);
            // The database may fold other letters than A to Z: such a name is read by itself.
            (IsAscii(name) ? joined : alone) << name;
        }
    }
    for (qsizetype first = 0; first < joined.size(); first += kNamesPerRead) {
        const QStringList chunk = joined.mid(first, kNamesPerRead);
        const QList<SqlValue> values = NameValues(chunk);
        const Recordset rows = SelectRows(kClientsByNameSql, values, ReportAs{kListPrefix, 1});
        if (!rows.IsOpen()) {
            return std::nullopt;
        }
        // Rows come in client_id order, so the first of a name is the one a look-up finds.
        QHash<QString, int> firstOfName;
        QHash<qint64, int> rowsOfClient;
        for (int row = 0; row < rows.RecordCount(); ++row) {
            ++rowsOfClient[rows.Field(row, 0).toLongLong()];
            const QString key = FoldedName(rows.Field(row, 1).toString());
            if (!firstOfName.contains(key)) {
                firstOfName.insert(key, row);
            }
        }
        QMultiHash<qint64, QString> nameOfClient;
        for (const QString& name : chunk) {
            const auto at = firstOfName.constFind(FoldedName(name));
            if (at == firstOfName.cend()) {
                continue;
            }
            const qint64 id = rows.Field(*at, 0).toLongLong();
            if (rowsOfClient.value(id) > 1) {
                alone << name;  // two mode rows: the first in stored order is the client's
                continue;
            }
            found.insert(name, ClientFromRow(rows, *at));
            nameOfClient.insert(id, name);
        }
        if (!withDirs || nameOfClient.isEmpty()) {
            continue;
        }
        const Recordset dirs = SelectRows(kDirsByNameSql, values, ReportAs{kListPrefix, 2});
        if (!dirs.IsOpen()) {
            return std::nullopt;
        }
        for (int row = 0; row < dirs.RecordCount(); ++row) {
            DirectoryRecord dir;
            ReadInt32(dirs.Field(row, 1), dir.dir_id);
            ReadText(dirs.Field(row, 2), dir.directory_direct);
            ReadText(dirs.Field(row, 3), dir.directory_alias);
            ReadInt16(dirs.Field(row, 4), dir.dir_mode);
            ReadYesNo(dirs.Field(row, 5), dir.explore_from_here);
            for (const QString& name : nameOfClient.values(dirs.Field(row, 0).toLongLong())) {
                found[name].Dirs.append(dir);
            }
        }
    }
    for (const QString& name : std::as_const(alone)) {
        if (std::optional<NamedClient> client = ClientAlone(name, withDirs)) {
            found.insert(name, *client);
        }
    }
    return found;
}
