#pragma once
// The statements of the clone and of the node/port change, run directly on SQLite (the C
// API): the baseline the program is measured against.

#include "sqlite_file.h"

#include <cstdint>
#include <string>
#include <vector>

class DirectClone : public SqliteFile {
public:
    using SqliteFile::SqliteFile;

    // What the clone window reads when it opens: the servers, all clients, the first server's.
    size_t OpenCloneLists();
    // The clone of source onto each target, one transaction per target. Returns targets done.
    int Clone(const std::string& source, const std::vector<std::string>& targets);
    // The node/port list rows of the server's clients.
    size_t NodePortRows(const std::string& server);
    // The node id and port ids of the server's clients, in one transaction.
    int NodePortRewrite(const std::string& server, const std::string& node);

private:
    // Also without the bindings of its last use.
    sqlite3_stmt* Prepared(const std::string& sql);
    int64_t Number(const std::string& sql, int64_t key);
    int64_t NumberByText(const std::string& sql, const std::string& key);
    std::vector<std::string> Names(const std::string& sql, int64_t key);
};
