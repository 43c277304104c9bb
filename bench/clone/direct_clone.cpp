#include "direct_clone.h"

#include <sqlite3.h>

#include <strings.h>
#include <cstdio>

namespace {

struct Dir {
    int64_t id;
    std::string path;
    std::string alias;
    int64_t mode;
    int64_t explore;
};

}  // namespace

sqlite3_stmt* DirectClone::Prepared(const std::string& sql) {
    sqlite3_stmt* s = SqliteFile::Prepared(sql);
    if (s) {
        sqlite3_clear_bindings(s);
    }
    return s;
}

int64_t DirectClone::Number(const std::string& sql, int64_t key) {
    sqlite3_stmt* s = Prepared(sql);
    sqlite3_bind_int64(s, 1, key);
    const int64_t value = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_reset(s);
    return value;
}

int64_t DirectClone::NumberByText(const std::string& sql, const std::string& key) {
    sqlite3_stmt* s = Prepared(sql);
    BindText(s, 1, key);
    const int64_t value = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_reset(s);
    return value;
}

std::vector<std::string> DirectClone::Names(const std::string& sql, int64_t key) {
    std::vector<std::string> names;
    sqlite3_stmt* s = Prepared(sql);
    sqlite3_bind_int64(s, 1, key);
    while (sqlite3_step(s) == SQLITE_ROW) {
        names.push_back(Text(s, 0));
    }
    sqlite3_reset(s);
    return names;
}

size_t DirectClone::OpenCloneLists() {
    sqlite3_stmt* s = Prepared(
        "SELECT dnc_server_name FROM t_dnc_servers WHERE dnc_server_name <> ? "
        "ORDER BY dnc_server_name ASC, rowid");
    BindText(s, 1, "");
    std::vector<std::string> servers;
    while (sqlite3_step(s) == SQLITE_ROW) {
        servers.push_back(Text(s, 0));
    }
    sqlite3_reset(s);
    const std::vector<std::string> all = Names(
        "SELECT client_name FROM t_dnc_server_clients WHERE dnc_server_id > ? "
        "ORDER BY client_name ASC, rowid",
        0);
    const int64_t first = NumberByText(
        "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = ? ORDER BY rowid LIMIT 1",
        servers.front());
    const std::vector<std::string> ofServer = Names(
        "SELECT client_name FROM t_dnc_server_clients WHERE dnc_server_id = ? "
        "ORDER BY client_name ASC, rowid",
        first);
    return servers.size() + all.size() + ofServer.size();
}

int DirectClone::Clone(const std::string& sourceName, const std::vector<std::string>& targets) {
    const std::string byName =
        "SELECT client_id FROM t_dnc_server_clients WHERE client_name = ? ORDER BY rowid LIMIT 1";
    const int64_t source = NumberByText(byName, sourceName);
    // The source's records.
    sqlite3_stmt* mode = Prepared(
        "SELECT m_baud, m_parity, m_databits, m_stopbits FROM "
        "t_client_mode WHERE client_id = ? ORDER BY client_id, rowid");
    sqlite3_bind_int64(mode, 1, source);
    sqlite3_step(mode);
    const int64_t baud = sqlite3_column_int64(mode, 0);
    const std::string parity = Text(mode, 1);
    const int64_t data = sqlite3_column_int64(mode, 2);
    const int64_t stop = sqlite3_column_int64(mode, 3);
    sqlite3_reset(mode);
    int done = 0;
    for (const std::string& name : targets) {
        const int64_t target = NumberByText(byName, name);
        if (target < 0) {
            continue;
        }
        Exec("BEGIN");
        const int64_t targetProtocol = Number(
            "SELECT protocol_id FROM t_dnc_server_clients WHERE client_id = ? LIMIT 1", target);
        const int64_t protocol = Number(
            "SELECT protocol_id FROM t_dnc_server_clients WHERE client_id = ? LIMIT 1", source);
        if (targetProtocol != 5) {
            sqlite3_stmt* u = Prepared(
                "UPDATE t_client_mode SET m_baud = ?, m_parity = ?, m_databits = ?, m_stopbits = ? "
                "WHERE client_id = ?");
            sqlite3_bind_int64(u, 1, baud);
            BindText(u, 2, parity);
            sqlite3_bind_int64(u, 3, data);
            sqlite3_bind_int64(u, 4, stop);
            sqlite3_bind_int64(u, 5, target);
            sqlite3_step(u);
            // The other tables copied row by row from the source's, as the copy does.
            for (const char* sql :
                 {"UPDATE t_filter_table_up SET (start_file_char, end_file_char, filesave_mode, "
                  "trim_percent, crlf_adj, noparity_upload) = (SELECT start_file_char, "
                  "end_file_char, filesave_mode, trim_percent, crlf_adj, noparity_upload FROM "
                  "t_filter_table_up WHERE client_id = ?1) WHERE client_id = ?2",
                  "UPDATE t_timeout_table_up SET (init_timeout, up_timeout) = (SELECT "
                  "init_timeout, up_timeout FROM t_timeout_table_up WHERE client_id = ?1) WHERE "
                  "client_id = ?2",
                  "UPDATE t_dnc_server_clients SET protocol_id = (SELECT protocol_id FROM "
                  "t_dnc_server_clients WHERE client_id = ?1) WHERE client_id = ?2",
                  "UPDATE t_client_terminal_mode SET (line_length, line_number, char_delay) = "
                  "(SELECT line_length, line_number, char_delay FROM t_client_terminal_mode "
                  "WHERE client_id = ?1) WHERE client_id = ?2",
                  "UPDATE t_remote SET (report_name, upload_report) = (SELECT report_name, "
                  "upload_report FROM t_remote WHERE rem_client_id = ?1) WHERE rem_client_id = ?2",
                  "UPDATE t_dnc_server_clients SET (terminal_enabled, bts_used, bts_latency, "
                  "bts_loop) = (SELECT terminal_enabled, bts_used, bts_latency, bts_loop FROM "
                  "t_dnc_server_clients WHERE client_id = ?1) WHERE client_id = ?2",
                  "UPDATE t_filter_table_down SET (init, strip_1stpercent, stop_Endpercent, "
                  "strip_header, leader, trailer, start_file_char, end_file_char, strip_all) = "
                  "(SELECT init, strip_1stpercent, stop_Endpercent, strip_header, leader, trailer, "
                  "start_file_char, end_file_char, strip_all FROM t_filter_table_down WHERE "
                  "client_id = ?1) WHERE client_id = ?2",
                  "UPDATE t_timeout_table_down SET (char_delay, eob_delay, char_buffer, "
                  "init_timeout, interchar_timeout) = (SELECT char_delay, eob_delay, char_buffer, "
                  "init_timeout, interchar_timeout FROM t_timeout_table_down WHERE client_id = "
                  "?1) WHERE client_id = ?2",
                  "UPDATE t_dnc_server_clients SET bts_eobdelay = (SELECT CASE WHEN eob_delay = 0 "
                  "THEN -1 ELSE 0 END FROM t_timeout_table_down WHERE client_id = ?2) WHERE "
                  "client_id = ?2"}) {
                sqlite3_stmt* c = Prepared(sql);
                sqlite3_bind_int64(c, 1, source);
                sqlite3_bind_int64(c, 2, target);
                sqlite3_step(c);
            }
            if (Number("SELECT shop_client_id FROM t_shopterm_clients WHERE shop_client_id = ? "
                       "LIMIT 1",
                       target) < 0) {
                sqlite3_stmt* i = Prepared(
                    "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?1, ?1)");
                sqlite3_bind_int64(i, 1, target);
                sqlite3_step(i);
            }
            if (Number("SELECT rem_client_id FROM t_remote WHERE rem_client_id = ? LIMIT 1",
                       target) < 0) {
                sqlite3_stmt* i = Prepared("INSERT INTO t_remote (rem_client_id) VALUES (?)");
                sqlite3_bind_int64(i, 1, target);
                sqlite3_step(i);
            }
            (void)protocol;
        }
        // The folders: the target's by path, then an update or an insert per source folder.
        std::vector<Dir> own;
        sqlite3_stmt* dirs = Prepared(
            "SELECT dir_id, directory_direct, directory_alias, dir_mode, explore_from_here FROM "
            "t_client_directory WHERE client_id = ? ORDER BY directory_direct ASC, rowid");
        sqlite3_bind_int64(dirs, 1, target);
        while (sqlite3_step(dirs) == SQLITE_ROW) {
            own.push_back(Dir{sqlite3_column_int64(dirs, 0), Text(dirs, 1), Text(dirs, 2),
                              sqlite3_column_int64(dirs, 3), sqlite3_column_int64(dirs, 4)});
        }
        sqlite3_reset(dirs);
        std::vector<Dir> from;
        sqlite3_bind_int64(dirs, 1, source);
        while (sqlite3_step(dirs) == SQLITE_ROW) {
            from.push_back(Dir{sqlite3_column_int64(dirs, 0), Text(dirs, 1), Text(dirs, 2),
                               sqlite3_column_int64(dirs, 3), sqlite3_column_int64(dirs, 4)});
        }
        sqlite3_reset(dirs);
        for (const Dir& d : from) {
            int64_t match = 0;
            for (const Dir& o : own) {
                if (strcasecmp(o.path.c_str(), d.path.c_str()) == 0) {
                    match = o.id;
                }
            }
            if (match > 0) {
                sqlite3_stmt* u = Prepared(
                    "UPDATE t_client_directory SET dir_mode = ?, directory_alias = ?, "
                    "explore_from_here = ? WHERE dir_id = ?");
                sqlite3_bind_int64(u, 1, d.mode);
                BindText(u, 2, d.alias);
                sqlite3_bind_int64(u, 3, d.explore);
                sqlite3_bind_int64(u, 4, match);
                sqlite3_step(u);
            } else {
                sqlite3_stmt* i = Prepared(
                    "INSERT INTO t_client_directory (client_id, directory_direct, "
                    "directory_alias, dir_mode, explore_from_here) VALUES (?, ?, ?, ?, ?)");
                sqlite3_bind_int64(i, 1, target);
                BindText(i, 2, d.path);
                BindText(i, 3, d.alias);
                sqlite3_bind_int64(i, 4, d.mode);
                sqlite3_bind_int64(i, 5, d.explore);
                sqlite3_step(i);
                own.push_back(Dir{LastInsertId(), d.path, d.alias, d.mode, d.explore});
            }
        }
        done += Exec("COMMIT");
    }
    return done;
}

size_t DirectClone::NodePortRows(const std::string& server) {
    const int64_t serverId = NumberByText(
        "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = ? ORDER BY rowid LIMIT 1",
        server);
    size_t rows = 0;
    for (const std::string& name : Names("SELECT client_name FROM t_dnc_server_clients WHERE "
                                         "dnc_server_id = ? ORDER BY client_name ASC, rowid",
                                         serverId)) {
        const int64_t id = NumberByText(
            "SELECT client_id FROM t_dnc_server_clients WHERE client_name = ? ORDER BY rowid "
            "LIMIT 1",
            name);
        sqlite3_stmt* s = Prepared(
            "SELECT c.NODE_ID, c.PORT_ID, c.bts_used, c.bts_loop, m.cnc_comport FROM "
            "t_dnc_server_clients c LEFT JOIN t_client_mode m ON m.client_id = c.client_id "
            "WHERE c.client_id = ?");
        sqlite3_bind_int64(s, 1, id);
        rows += sqlite3_step(s) == SQLITE_ROW;
        sqlite3_reset(s);
    }
    return rows;
}

int DirectClone::NodePortRewrite(const std::string& server, const std::string& node) {
    const int64_t serverId = NumberByText(
        "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = ? ORDER BY rowid LIMIT 1",
        server);
    int changed = 0;
    Exec("BEGIN");
    for (const std::string& name : Names("SELECT client_name FROM t_dnc_server_clients WHERE "
                                         "dnc_server_id = ? ORDER BY client_name ASC, rowid",
                                         serverId)) {
        const int64_t id = NumberByText(
            "SELECT client_id FROM t_dnc_server_clients WHERE client_name = ? ORDER BY rowid "
            "LIMIT 1",
            name);
        const int64_t port = Number(
            "SELECT cnc_comport FROM t_client_mode WHERE client_id = ? ORDER BY rowid LIMIT 1", id);
        sqlite3_stmt* n =
            Prepared("UPDATE t_dnc_server_clients SET NODE_ID = ? WHERE client_id = ?");
        BindText(n, 1, node);
        sqlite3_bind_int64(n, 2, id);
        changed += sqlite3_step(n) == SQLITE_DONE;
        char portId[16];
        std::snprintf(portId, sizeof portId, "%03lld", static_cast<long long>(port));
        sqlite3_stmt* p =
            Prepared("UPDATE t_dnc_server_clients SET PORT_ID = ? WHERE client_id = ?");
        BindText(p, 1, portId);
        sqlite3_bind_int64(p, 2, id);
        sqlite3_step(p);
    }
    Exec("COMMIT");
    return changed;
}
