// bench_clone: on a configuration of 1,000 servers and 20,000 clients, the medians of opening
// the clone and node/port windows, of a clone onto 100 targets and of the node/port rewrite of
// 64 clients, each beside the same statements run directly on SQLite. Exits 1 when a target
// is missed.
//
//   bench_clone [runs-scale]   (offscreen unless QT_QPA_PLATFORM says otherwise)

#include "direct_clone.h"
#include "direct_sqlite.h"
#include "large_configuration.h"

#include "admin/clone_clients.h"
#include "admin/frmCloneClients.h"
#include "admin/frmToolsNodePortID.h"
#include "base/messages.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "db/node_port_ids.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLocalClients = LargeConfiguration::kLocalClients;
constexpr int kTargets = 100;
const char* const kLocalServer = LargeConfiguration::kLocalServer;

}  // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication application(argc, argv);
    const int scale = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;

    int messages = 0;
    CountMessages(messages);

    LargeConfiguration configuration;
    const bool built = configuration.Build([](DirectSqlite& build) {
        // The source of the clones: a remote client with two folders.
        build.Exec("UPDATE t_dnc_server_clients SET protocol_id = 72 WHERE client_id = 70");
        build.Exec("INSERT INTO t_remote (rem_client_id, report_name) VALUES (70, 'REPORT')");
        build.Exec(
            "INSERT INTO t_client_directory (client_id, directory_direct, directory_alias, "
            "dir_mode, explore_from_here) VALUES (70, 'C:\\NC\\PROG', 'TV1', 3, -1), "
            "(70, 'C:\\NC\\UP', 'TV2', 2, 0)");
    });
    if (!built) {
        return 2;
    }
    const std::vector<std::string>& names = configuration.ClientNames();
    const std::string path = configuration.Path().toStdString();
    DirectClone direct(path);
    if (!direct.IsOpen()) {
        return 2;
    }
    std::printf("Configuration: %d servers, %d clients (%d on %s)\n", LargeConfiguration::kServers,
                LargeConfiguration::kClients, kLocalClients, kLocalServer);

    LocalComputerName = QString::fromLatin1(kLocalServer);
    if (!configuration.Connect()) {
        return 2;
    }

    const QString source = QString::fromStdString(names[69]);
    // Targets of other servers, away from the local server's clients and the source.
    std::vector<std::string> directTargets;
    QStringList targets;
    for (int i = 0; i < kTargets; ++i) {
        directTargets.push_back(names[size_t(1000 + i)]);
        targets << QString::fromStdString(names[size_t(5000 + i)]);
    }

    DirectSqlite check(path);
    std::vector<Figure> figures;
    size_t sink = 0;
    figures.push_back(Measure(
        "frmCloneClients opened (to painted)", 21 * scale, 100,
        [&](int) {
            frmCloneClients window;
            ShowUntilPainted(window);
            sink += size_t(window.isVisible());
        },
        [&](int) { sink += direct.OpenCloneLists(); }));

    figures.push_back(Measure(
        "frmToolsNodePortID opened (64 clients)", 21 * scale, 100,
        [&](int) {
            frmToolsNodePortID window;
            ShowUntilPainted(window);
            sink += size_t(window.Rows().size());
        },
        [&](int) {
            std::string node;
            sink += size_t(check.CheckServerConfig(kLocalServer, &node) == 0);
            sink += direct.NodePortRows(kLocalServer);
        }));

    int cloned = 0;
    figures.push_back(Measure(
        "clone onto 100 targets", 11 * scale, 1000,
        [&](int) {
            CloneRun run = PrepareClone(source, targets);
            while (CloneNextTarget(run)) {
            }
            for (const CloneTargetResult& result : run.Results) {
                cloned += result.Outcome.AttributesCopied;
            }
        },
        [&](int) { cloned += direct.Clone(names[69], directTargets); }));

    QStringList local;
    LoadServerClientNames(GetServerID(QString::fromLatin1(kLocalServer)).value_or(-1));
    for (const ClientListEntry& client : std::as_const(ServerClients)) {
        local << client.ClientName;
    }
    int rewritten = 0;
    figures.push_back(Measure(
        "node/port rewrite of 64 clients", 31 * scale, 200,
        [&](int i) {
            rewritten +=
                SetNodePortIdsMDB(local, i % 2 ? QStringLiteral("02") : QStringLiteral("01"), true)
                    .NodeIdsChanged;
        },
        [&](int i) { rewritten += direct.NodePortRewrite(kLocalServer, i % 2 ? "02" : "01"); }));

    std::printf("\n%-40s %12s %12s %7s %10s  %s\n", "operation (median)", "Kestrum ms", "SQLite ms",
                "ratio", "target ms", "result");
    bool allMet = true;
    for (const Figure& f : figures) {
        const double ratio = f.directMs > 0 ? f.kestrumMs / f.directMs : 0;
        const bool met = f.kestrumMs < f.targetMs;
        allMet &= met;
        std::printf("%-40s %12.3f %12.3f %7.2f %10.1f  %s\n", f.name, f.kestrumMs, f.directMs,
                    ratio, f.targetMs, met ? "met" : "MISSED");
    }
    const bool sane = messages == 0 && cloned == 2 * 11 * scale * kTargets &&
                      rewritten == 2 * 31 * scale * kLocalClients;
    std::printf("\nmessages shown: %d; targets cloned: %d; node ids rewritten: %d (checksum %zu)\n",
                messages, cloned, rewritten, sink);
    DncConnection.Close();
    return allMet && sane ? 0 : 1;
}
