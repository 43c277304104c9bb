#pragma once
// An SQLite file opened through the C API for the benchmarks' direct statements, with its
// prepared statements kept for reuse.

#include <cstdint>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

class SqliteFile {
public:
    explicit SqliteFile(const std::string& path);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    bool IsOpen() const { return db_ != nullptr; }
    // Runs a statement without a result (set-up, pragmas).
    bool Exec(const char* sql);

protected:
    // The statement prepared once, reset for the next use; its bindings stay.
    sqlite3_stmt* Prepared(const std::string& sql);
    int64_t LastInsertId() const;

private:
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

std::string Text(sqlite3_stmt* statement, int column);
void BindText(sqlite3_stmt* statement, int index, const std::string& text);
