// bench_admin_windows: builds a configuration of 1,000 servers and 20,000 clients and
// reports the median time from the call that creates the client administration window and
// the move window to the window shown (first paint), beside the statements each window
// runs on opening, run directly on SQLite. Exits 1 when a window misses 100 ms.
//
//   bench_admin_windows [runs]   (default 21; offscreen unless QT_QPA_PLATFORM or DISPLAY
//                                 names a platform)

#include "large_configuration.h"

#include "admin/frmClients.h"
#include "admin/frmMakeClients.h"
#include "admin/pick_lists.h"
#include "db/dnc_database.h"

#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr double kTargetMs = 100;

// Creates the window, shows it and waits for its first paint; returns the milliseconds.
template <class Window>
double OpenAndShow() {
    QElapsedTimer timer;
    timer.start();
    auto window = std::make_unique<Window>();
    ShowUntilPainted(*window);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    window.reset();
    QApplication::processEvents();
    return ms;
}

// The statements the windows run on opening, directly on SQLite.
class DirectStatements {
public:
    explicit DirectStatements(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_prepare_v2(db_,
                           "SELECT dnc_server_name FROM t_dnc_servers WHERE dnc_server_name <> ? "
                           "ORDER BY dnc_server_name ASC, rowid",
                           -1, &servers_, nullptr);
        sqlite3_prepare_v2(db_,
                           "SELECT dnc_server_id FROM t_dnc_servers WHERE dnc_server_name = ? "
                           "ORDER BY rowid LIMIT 1",
                           -1, &serverId_, nullptr);
        sqlite3_prepare_v2(db_,
                           "SELECT client_name FROM t_dnc_server_clients WHERE dnc_server_id = ? "
                           "ORDER BY client_name ASC, rowid",
                           -1, &clients_, nullptr);
    }
    ~DirectStatements() {
        sqlite3_finalize(servers_);
        sqlite3_finalize(serverId_);
        sqlite3_finalize(clients_);
        sqlite3_close(db_);
    }
    bool IsOpen() const { return servers_ && serverId_ && clients_; }

    std::vector<std::string> ServerNames() {
        std::vector<std::string> names;
        sqlite3_bind_text(servers_, 1, "", 0, SQLITE_STATIC);
        while (sqlite3_step(servers_) == SQLITE_ROW) {
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(servers_, 0)));
        }
        sqlite3_reset(servers_);
        return names;
    }
    // The clients of a server chosen by name.
    size_t ClientsOf(const std::string& server) {
        sqlite3_bind_text(serverId_, 1, server.data(), int(server.size()), SQLITE_TRANSIENT);
        const bool found = sqlite3_step(serverId_) == SQLITE_ROW;
        const sqlite3_int64 id = found ? sqlite3_column_int64(serverId_, 0) : 0;
        sqlite3_reset(serverId_);
        std::vector<std::string> names;
        if (found) {
            sqlite3_bind_int64(clients_, 1, id);
            while (sqlite3_step(clients_) == SQLITE_ROW) {
                names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(clients_, 0)));
            }
            sqlite3_reset(clients_);
        }
        return names.size();
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* servers_ = nullptr;
    sqlite3_stmt* serverId_ = nullptr;
    sqlite3_stmt* clients_ = nullptr;
};

struct WindowFigure {
    const char* name;
    double windowMs;
    double layerMs;   // the same statements through the database layer
    double directMs;  // and directly on SQLite
};

// The statements the windows run on opening, through the database layer.
size_t LayerStatements(const QStringList& servers) {
    size_t rows = size_t(LoadServerNames());
    for (const QString& server : servers) {
        if (const std::optional<qint32> id = GetServerID(server)) {
            rows += size_t(LoadServerClientNames(*id));
        }
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform(true);
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    int messages = 0;
    CountMessages(messages);

    LargeConfiguration configuration;
    if (!configuration.Build() || !configuration.Connect()) {
        return 2;
    }
    DirectStatements direct(configuration.Path().toStdString());
    if (!direct.IsOpen()) {
        return 2;
    }
    std::printf("Configuration: %d servers, %d clients; %d runs each, alternating, platform %s\n",
                LargeConfiguration::kServers, LargeConfiguration::kClients, runs,
                qPrintable(QApplication::platformName()));

    // Each window opens on servers in the middle of the list, as after a few choices.
    const QString left = QStringLiteral("SRV0500");
    const QString right = QStringLiteral("SRV0501");
    OpenAndShow<frmMakeClients>();  // the first window of a run loads fonts and styles
    std::vector<WindowFigure> figures;
    size_t sink = 0;
    for (int kind = 0; kind < 2; ++kind) {
        std::vector<double> windowTimes;
        std::vector<double> layerTimes;
        std::vector<double> directTimes;
        QElapsedTimer timer;
        for (int i = 0; i < runs; ++i) {
            LastClientServer = left;
            LastMoveServers = {left, right};
            windowTimes.push_back(kind == 0 ? OpenAndShow<frmMakeClients>()
                                            : OpenAndShow<frmClients>());
            timer.start();
            sink += LayerStatements(kind == 0 ? QStringList{left} : QStringList{left, right});
            layerTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
            timer.start();
            sink += direct.ServerNames().size();
            sink += direct.ClientsOf(left.toStdString());
            if (kind == 1) {
                sink += direct.ClientsOf(right.toStdString());
            }
            directTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        figures.push_back(WindowFigure{
            kind == 0 ? "frmMakeClients opened and shown" : "frmClients opened and shown",
            Median(windowTimes), Median(layerTimes), Median(directTimes)});
    }

    std::printf("\n%-34s %10s %15s %15s %10s  %s\n", "window (median)", "window ms",
                "its SQL, layer", "its SQL, direct", "target ms", "result");
    bool allMet = true;
    for (const WindowFigure& f : figures) {
        const bool met = f.windowMs <= kTargetMs;
        allMet &= met;
        std::printf("%-34s %10.2f %15.3f %15.3f %10.0f  %s\n", f.name, f.windowMs, f.layerMs,
                    f.directMs, kTargetMs, met ? "met" : "MISSED");
    }
    std::printf("\nmessages shown: %d (checksum %zu)\n", messages, sink);
    DncConnection.Close();
    return allMet && messages == 0 ? 0 : 1;
}
