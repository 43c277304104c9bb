#include "db/schema_names.h"

#include <array>

namespace {

struct TableNames {
    const char* table;
    QStringList columns;
};

// Kept in step with schema.sql; a test compares the two.
const QList<TableNames>& Tables() {
    static const QList<TableNames> tables = {
        {"t_dnc_servers", {"dnc_server_id", "dnc_server_name"}},
        {"t_dnc_server_clients",
         {"client_id", "client_name", "dnc_server_id", "NODE_ID", "PORT_ID", "protocol_id",
          "com_ports", "terminal_enabled", "alt_protocol_used", "alt_protocol", "bts_used",
          "bts_address", "bts_pin", "bts_eobdelay", "bts_loop", "bts_latency"}},
        {"t_client_mode",
         {"client_id", "cnc_comport", "m_baud", "m_databits", "m_parity", "m_stopbits"}},
        {"t_client_terminal_mode",
         {"client_id", "tmode_id", "line_length", "line_number", "char_delay"}},
        {"t_filter_table_down",
         {"client_id", "init", "strip_1stpercent", "stop_Endpercent", "strip_header", "strip_all",
          "leader", "trailer", "start_file_char", "end_file_char"}},
        {"t_filter_table_up",
         {"client_id", "noparity_upload", "trim_percent", "crlf_adj", "start_file_char",
          "end_file_char", "filesave_mode"}},
        {"t_timeout_table_down",
         {"client_id", "init_timeout", "interchar_timeout", "char_delay", "eob_delay",
          "char_buffer"}},
        {"t_timeout_table_up", {"client_id", "init_timeout", "up_timeout"}},
        {"t_command", {"client_id"}},
        {"t_remote",
         {"rem_client_id", "c_start_char", "c_end_char", "down_cmd_char", "up_cmd_char",
          "path_cmd_char", "down_n_offset_char", "redirect_cmd_char", "kill_cmd_char",
          "files_cmd_char", "upload_report", "report_name"}},
        {"t_shopterm_clients", {"shopterm_id", "shop_client_id", "clients_id"}},
        {"t_client_directory",
         {"dir_id", "client_id", "directory_direct", "directory_alias", "dir_mode",
          "explore_from_here"}},
        {"t_protocol", {"protocol_id", "protocol_name", "protocol_dll"}},
    };
    return tables;
}

const TableNames* FindTable(const QString& table) {
    for (const TableNames& entry : Tables()) {
        if (table.compare(QLatin1String(entry.table), Qt::CaseInsensitive) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<QString> SchemaTableName(const QString& table) {
    const TableNames* entry = FindTable(table);
    if (!entry) {
        return std::nullopt;
    }
    return QString::fromLatin1(entry->table);
}

std::optional<QString> SchemaColumnName(const QString& table, const QString& column) {
    const TableNames* entry = FindTable(table);
    if (!entry) {
        return std::nullopt;
    }
    for (const QString& name : entry->columns) {
        if (name.compare(column, Qt::CaseInsensitive) == 0) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<QString> SqlOperator(const QString& op) {
    static const std::array<QLatin1String, 7> operators = {
        QLatin1String("="),  QLatin1String("<>"), QLatin1String("<"),   QLatin1String(">"),
        QLatin1String("<="), QLatin1String(">="), QLatin1String("LIKE")};
    const QString trimmed = op.trimmed();
    for (QLatin1String known : operators) {
        if (trimmed.compare(known, Qt::CaseInsensitive) == 0) {
            return QString(known);
        }
    }
    return std::nullopt;
}

bool IsSchemaTable(const QString& table) {
    return FindTable(table) != nullptr;
}

bool IsSchemaColumn(const QString& table, const QString& column) {
    return SchemaColumnName(table, column).has_value();
}

QStringList SchemaTables() {
    QStringList names;
    for (const TableNames& entry : Tables()) {
        names << QString::fromLatin1(entry.table);
    }
    return names;
}

QStringList SchemaColumns(const QString& table) {
    const TableNames* entry = FindTable(table);
    return entry ? entry->columns : QStringList();
}

bool IsSqlOperator(const QString& op) {
    return SqlOperator(op).has_value();
}
