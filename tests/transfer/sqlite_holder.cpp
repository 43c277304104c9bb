// Another program with an SQLite database open, for the restore tests: a process of its own,
// as the locks of SQLite (POSIX locks) cannot be held by the test process, which reads the
// same files. Usage: sqlite_holder FILE SQL. It opens FILE, runs SQL, prints "ready", then
// runs each line of standard input and prints its rows' first columns joined by ","; a line
// that fails prints "error: " and the reason. It ends at the end of standard input.

#include <sqlite3.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

std::string Run(sqlite3* db, const std::string& sql) {
    std::string rows;
    char* error = nullptr;
    const auto collect = [](void* out, int, char** values, char**) {
        auto* text = static_cast<std::string*>(out);
        if (!text->empty()) {
            *text += ',';
        }
        *text += values[0] ? values[0] : "null";
        return 0;
    };
    if (sqlite3_exec(db, sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
        rows = std::string("error: ") + (error ? error : "?");
        sqlite3_free(error);
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: sqlite_holder FILE SQL\n";
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) {
        std::cout << "error: " << sqlite3_errmsg(db) << std::endl;
        return 1;
    }
    const std::string first = Run(db, argv[2]);
    std::cout << (first.rfind("error: ", 0) == 0 ? first : std::string("ready")) << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::cout << Run(db, line) << std::endl;
    }
    sqlite3_close(db);
    return 0;
}
