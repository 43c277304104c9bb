#pragma once
// The statements of the database layer run directly on SQLite (the C API), as the baseline
// the layer is measured against, and the building of a large configuration.

#include "sqlite_file.h"

#include <cstdint>
#include <string>
#include <vector>

class DirectSqlite : public SqliteFile {
public:
    using SqliteFile::SqliteFile;

    // A configuration of servers and clients: the first server is called localServer and has
    // localClients clients (NODE_ID "TOOL"); the others share the rest. Every client gets
    // its seven dependent rows. Returns the client names.
    std::vector<std::string> Build(int servers, int clients, const std::string& localServer,
                                   int localClients);

    std::vector<std::string> LoadAllClientNames();
    int64_t ClientId(const std::string& name);
    bool AddClient(const std::string& name, const std::string& server);
    // 0 when the server is configured, its clients found and all of one node id (returned).
    int CheckServerConfig(const std::string& localServer, std::string* nodeId);
};
