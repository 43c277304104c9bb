#pragma once
// The statements of the database layer run directly on SQLite (the C API), as the baseline
// the layer is measured against, and the building of a large configuration.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class DirectSqlite {
public:
    explicit DirectSqlite(const std::string& path);
    ~DirectSqlite();
    DirectSqlite(const DirectSqlite&) = delete;
    DirectSqlite& operator=(const DirectSqlite&) = delete;

    bool IsOpen() const { return db_ != nullptr; }
    // Runs a statement without a result (set-up, pragmas).
    bool Exec(const char* sql);

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

private:
    sqlite3_stmt* Prepared(const std::string& sql);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};
