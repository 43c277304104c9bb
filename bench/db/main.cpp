// bench_db: builds a configuration of 1,000 servers and 20,000 clients in a temporary folder
// and reports the medians of the database layer's chief operations beside the same
// statements run directly on SQLite. Exits 1 when a target is missed.
//
//   bench_db [runs-scale]   (default 1; 2 doubles every run count)

#include "direct_sqlite.h"
#include "large_configuration.h"

#include "base/settings.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kClients = LargeConfiguration::kClients;
const char* const kLocalServer = LargeConfiguration::kLocalServer;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int scale = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;

    int messages = 0;
    CountMessages(messages);

    LargeConfiguration configuration;
    QElapsedTimer buildTimer;
    buildTimer.start();
    if (!configuration.Build()) {
        return 2;
    }
    const std::vector<std::string>& names = configuration.ClientNames();
    std::printf("Configuration: %d servers, %d clients (%d on %s), built in %lld ms in %s\n",
                LargeConfiguration::kServers, kClients, LargeConfiguration::kLocalClients,
                kLocalServer, static_cast<long long>(buildTimer.elapsed()),
                qPrintable(configuration.Folder()));
    DirectSqlite direct(configuration.Path().toStdString());
    if (!direct.IsOpen()) {
        return 2;
    }
    LocalComputerName = QString::fromLatin1(kLocalServer);
    if (!configuration.Connect()) {
        return 2;
    }

    std::mt19937 random(7);
    std::vector<std::string> probes;
    for (int i = 0; i < 4001 * scale; ++i) {
        probes.push_back(names[random() % names.size()]);
    }
    std::vector<Figure> figures;
    size_t sink = 0;

    figures.push_back(Measure(
        "LoadAllClientNames (20,000 rows)", 31 * scale, 50,
        [&](int) { sink += size_t(LoadAllClientNames()); },
        [&](int) { sink += direct.LoadAllClientNames().size(); }));

    figures.push_back(Measure(
        "GetClientID (by name)", 2001 * scale, 1,
        [&](int i) {
            sink += size_t(GetClientID(QString::fromStdString(probes[size_t(2 * i)])).value_or(0));
        },
        [&](int i) { sink += size_t(direct.ClientId(probes[size_t(2 * i)])); }));

    figures.push_back(Measure(
        "GetFieldValueMDB (client_id by name)", 2001 * scale, 1,
        [&](int i) {
            sink +=
                size_t(GetFieldValueMDB(
                           QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_name"),
                           SqlValue::Text(QString::fromStdString(probes[size_t(2 * i + 1)])),
                           QStringLiteral("="), QStringLiteral("client_id"))
                           .value_or(QVariant())
                           .toLongLong());
        },
        [&](int i) { sink += size_t(direct.ClientId(probes[size_t(2 * i + 1)])); }));

    int added = 0;
    figures.push_back(Measure(
        "AddClientMDB (client + 7 rows)", 201 * scale, 5,
        [&](int i) {
            added += AddClientMDB(QStringLiteral("NEW%1").arg(i, 6, 10, QLatin1Char('0')),
                                  QStringLiteral("SRV0500"));
        },
        [&](int i) {
            char name[32];
            std::snprintf(name, sizeof name, "DIRECT%06d", i);
            added += direct.AddClient(name, "SRV0500");
        }));

    // The same creation with the disk syncs switched off on both connections: what is left is
    // the software's own cost. Shown beside the real figure, which the disk's sync time rules.
    QSqlQuery(DncConnection.Database()).exec(QStringLiteral("PRAGMA synchronous = OFF"));
    direct.Exec("PRAGMA synchronous = OFF");
    figures.push_back(Measure(
        "AddClientMDB, disk syncs off", 201 * scale, 0,
        [&](int i) {
            added += AddClientMDB(QStringLiteral("NOSYNC%1").arg(i, 6, 10, QLatin1Char('0')),
                                  QStringLiteral("SRV0501"));
        },
        [&](int i) {
            char name[32];
            std::snprintf(name, sizeof name, "DIRECTNOSYNC%06d", i);
            added += direct.AddClient(name, "SRV0501");
        }));
    QSqlQuery(DncConnection.Database()).exec(QStringLiteral("PRAGMA synchronous = FULL"));
    direct.Exec("PRAGMA synchronous = FULL");

    int checks = 0;
    figures.push_back(Measure(
        "CheckServerConfig (64 clients)", 31 * scale, 50,
        [&](int) { checks += CheckServerConfig() == 0 && ServerNodeId == QLatin1String("TOOL"); },
        [&](int) {
            std::string node;
            checks += direct.CheckServerConfig(kLocalServer, &node) == 0 && node == "TOOL";
        }));

    std::printf("\n%-38s %12s %12s %7s %10s  %s\n", "operation (median)", "Kestrum ms", "SQLite ms",
                "ratio", "target ms", "result");
    bool allMet = true;
    for (const Figure& f : figures) {
        const double ratio = f.directMs > 0 ? f.kestrumMs / f.directMs : 0;
        const bool met = (f.targetMs == 0 || f.kestrumMs < f.targetMs) && ratio <= 3.0;
        allMet &= met;
        const QByteArray target =
            f.targetMs == 0 ? QByteArray("-") : QByteArray::number(f.targetMs, 'f', 1);
        std::printf("%-38s %12.4f %12.4f %7.2f %10s  %s\n", f.name, f.kestrumMs, f.directMs, ratio,
                    target.constData(), met ? "met" : "MISSED");
    }
    const bool sane = messages == 0 && added == 4 * 201 * scale && checks == 2 * 31 * scale;
    std::printf("\nmessages shown: %d; clients added: %d; checks passed: %d (checksum %zu)\n",
                messages, added, checks, sink);
    DncConnection.Close();
    return allMet && sane ? 0 : 1;
}
