#include "direct_sqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

const char* const kDependentTables[] = {
    "t_client_mode",     "t_client_terminal_mode", "t_filter_table_down",
    "t_filter_table_up", "t_timeout_table_down",   "t_timeout_table_up",
    "t_command"};

// The first column of the first row as a number, -1 when there is none.
int64_t FirstNumber(sqlite3_stmt* statement) {
    const int64_t value =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_reset(statement);
    return value;
}

}  // namespace

std::vector<std::string> DirectSqlite::Build(int servers, int clients,
                                             const std::string& localServer, int localClients) {
    Exec("BEGIN");
    sqlite3_stmt* server = Prepared("INSERT INTO t_dnc_servers (dnc_server_name) VALUES (?)");
    for (int i = 0; i < servers; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "SRV%04d", i);
        BindText(server, 1, i == 0 ? localServer : std::string(name));
        sqlite3_step(server);
        sqlite3_reset(server);
    }
    std::vector<std::string> names;
    for (int i = 0; i < clients; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "M%05d", i);
        names.emplace_back(name);
    }
    // Rows are not stored in name order, as in a configuration that grew over the years.
    std::shuffle(names.begin(), names.end(), std::mt19937(20240601));
    sqlite3_stmt* client = Prepared(
        "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID, PORT_ID) "
        "VALUES (?, ?, ?, ?)");
    std::vector<sqlite3_stmt*> dependents;
    for (const char* table : kDependentTables) {
        dependents.push_back(
            Prepared(std::string("INSERT INTO ") + table + " (client_id) VALUES (?)"));
    }
    for (int i = 0; i < clients; ++i) {
        const bool local = i < localClients;
        const int serverId = local ? 1 : 2 + (i % (servers - 1));
        BindText(client, 1, names[size_t(i)]);
        sqlite3_bind_int64(client, 2, serverId);
        BindText(client, 3, local ? "TOOL" : "NODE" + std::to_string(serverId % 4 + 1));
        BindText(client, 4, "P" + std::to_string(i % 16));
        sqlite3_step(client);
        sqlite3_reset(client);
        const int64_t id = LastInsertId();
        for (sqlite3_stmt* dependent : dependents) {
            sqlite3_bind_int64(dependent, 1, id);
            sqlite3_step(dependent);
            sqlite3_reset(dependent);
        }
    }
    Exec("COMMIT");
    return names;
}

std::vector<std::string> DirectSqlite::LoadAllClientNames() {
    std::vector<std::string> names;
    sqlite3_stmt* s = Prepared(
        "SELECT client_name FROM t_dnc_server_clients WHERE dnc_server_id > ? "
        "ORDER BY client_name ASC, rowid");
    sqlite3_bind_int64(s, 1, 0);
    while (sqlite3_step(s) == SQLITE_ROW) {
        names.push_back(Text(s, 0));
    }
    sqlite3_reset(s);
    return names;
}

int64_t DirectSqlite::ClientId(const std::string& name) {
    sqlite3_stmt* s = Prepared(
        "SELECT client_id FROM t_dnc_server_clients WHERE client_name = ? ORDER BY rowid LIMIT 1");
    BindText(s, 1, name);
    return FirstNumber(s);
}

bool DirectSqlite::AddClient(const std::string& name, const std::string& server) {
    sqlite3_stmt* look = Prepared(
        "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = ? ORDER BY rowid "
        "LIMIT 1");
    BindText(look, 1, server);
    const int64_t serverId = FirstNumber(look);
    if (serverId < 0) {
        return false;
    }
    Exec("BEGIN");
    sqlite3_stmt* insert =
        Prepared("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES (?, ?)");
    BindText(insert, 1, name);
    sqlite3_bind_int64(insert, 2, serverId);
    bool ok = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    const int64_t id = LastInsertId();
    for (const char* table : kDependentTables) {
        sqlite3_stmt* s = Prepared(std::string("INSERT INTO ") + table + " (client_id) VALUES (?)");
        sqlite3_bind_int64(s, 1, id);
        ok &= sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
    }
    return Exec("COMMIT") && ok;
}

int DirectSqlite::CheckServerConfig(const std::string& localServer, std::string* nodeId) {
    sqlite3_stmt* servers = Prepared(
        "SELECT dnc_server_name FROM t_dnc_servers WHERE dnc_server_name <> ? "
        "ORDER BY dnc_server_name ASC, rowid");
    BindText(servers, 1, "");
    std::vector<std::string> serverNames;
    while (sqlite3_step(servers) == SQLITE_ROW) {
        serverNames.push_back(Text(servers, 0));
    }
    sqlite3_reset(servers);
    if (std::find(serverNames.begin(), serverNames.end(), localServer) == serverNames.end()) {
        return -1;
    }
    sqlite3_stmt* serverId = Prepared(
        "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = ? ORDER BY rowid "
        "LIMIT 1");
    BindText(serverId, 1, localServer);
    const int64_t id = FirstNumber(serverId);

    sqlite3_stmt* clients = Prepared(
        "SELECT client_name FROM t_dnc_server_clients WHERE dnc_server_id = ? "
        "ORDER BY client_name ASC, rowid");
    sqlite3_bind_int64(clients, 1, id);
    std::vector<std::string> clientNames;
    while (sqlite3_step(clients) == SQLITE_ROW) {
        clientNames.push_back(Text(clients, 0));
    }
    sqlite3_reset(clients);

    // Per client: its ids by name, then its mode record, as the layer reads them.
    std::vector<std::string> nodes;
    for (const std::string& name : clientNames) {
        sqlite3_stmt* ofServer = Prepared(
            "SELECT dnc_server_id FROM t_dnc_server_clients WHERE client_name = ? "
            "ORDER BY rowid LIMIT 1");
        BindText(ofServer, 1, name);
        const int64_t clientServer = FirstNumber(ofServer);
        const int64_t clientId = ClientId(name);
        if (clientServer < 0 || clientId < 0) {
            continue;
        }
        sqlite3_stmt* mode = Prepared(
            "SELECT * FROM t_client_mode WHERE client_id = ? ORDER BY client_id ASC, rowid");
        sqlite3_bind_int64(mode, 1, clientId);
        std::string baud;
        std::string parity;
        int port = 0;
        if (sqlite3_step(mode) == SQLITE_ROW) {
            port = sqlite3_column_int(mode, 1);
            baud = Text(mode, 2);
            parity = Text(mode, 4);
        }
        sqlite3_reset(mode);
        sqlite3_stmt* row = Prepared(
            "SELECT * FROM t_dnc_server_clients WHERE client_id = ? "
            "ORDER BY client_id ASC, rowid");
        sqlite3_bind_int64(row, 1, clientId);
        std::string node;
        int64_t protocol = -1;
        int64_t server = -1;
        if (sqlite3_step(row) == SQLITE_ROW) {
            server = sqlite3_column_int64(row, 2);
            node = Text(row, 3);
            protocol = sqlite3_column_int64(row, 5);
        }
        sqlite3_reset(row);
        sqlite3_stmt* protocolRow = Prepared(
            "SELECT * FROM t_protocol WHERE protocol_id = ? ORDER BY protocol_id ASC, rowid");
        sqlite3_bind_int64(protocolRow, 1, protocol);
        std::string protocolName;
        if (sqlite3_step(protocolRow) == SQLITE_ROW) {
            protocolName = Text(protocolRow, 1);
        }
        sqlite3_reset(protocolRow);
        sqlite3_stmt* serverName = Prepared(
            "SELECT dnc_server_name FROM t_dnc_servers WHERE dnc_server_id = ? "
            "ORDER BY rowid LIMIT 1");
        sqlite3_bind_int64(serverName, 1, server);
        sqlite3_step(serverName);
        const std::string ofName = Text(serverName, 0);
        sqlite3_reset(serverName);
        (void)port;
        nodes.push_back(node);
    }
    if (nodes.empty()) {
        return -1;
    }
    for (const std::string& node : nodes) {
        if (node != nodes.front()) {
            return 0;
        }
    }
    *nodeId = nodes.front();
    return 0;
}
