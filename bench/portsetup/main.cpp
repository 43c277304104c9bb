// bench_portsetup [runs]: two figures of the port setup window, with their targets.
//  1. Detection over 16 simulated ports on the real clock (12 usable, 2 that never open,
//     1 that never closes, 1 in use), against the sum of the waits the probes ask for:
//     no more than 5% over.
//  2. The window opened (ids and mode record read, lists filled, shown) for a client of a
//     configuration of 1,000 servers and 20,000 clients: median no more than 100 ms.
// Exit code 1 when a target is missed. Runs offscreen unless a platform is given.

#include "base/settings.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "setup/frmPortSetup.h"
#include "setup/port_detection.h"
#include "tools/btssim/simulated_lines.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kServers = 1000;
constexpr int kClients = 20000;
const char* const kLocalServer = "BENCHSRV";

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The waits the probes ask for: 100 ms to close a usable port, 9 x 100 between the ten
// tries to open plus 100 to close, 100 + 9 x 100 for a port that never closes.
constexpr qint64 kUsable = 12;
constexpr qint64 kNeverOpen = 2;
constexpr qint64 kNeverClose = 1;
constexpr qint64 kPrescribedMs = kUsable * 100 + kNeverOpen * 1000 + kNeverClose * 1000;

bool BenchDetection(int runs) {
    bool within = true;
    for (int run = 1; run <= runs; ++run) {
        SimulatedSerialLines lines;
        for (int port = 1; port <= 16; ++port) {
            lines.AddLoopback(port);
        }
        lines.Port(4).refuseOpen = true;
        lines.Port(9).refuseOpen = true;
        lines.Port(12).stuckOpen = true;
        lines.Port(15).busy = true;
        QElapsedTimer timer;
        timer.start();
        const PortDetection detection = DetectComPorts();
        const qint64 elapsed = timer.elapsed();
        if (detection.usable.size() != kUsable || detection.failed.size() != 3) {
            std::fprintf(stderr, "detection found %s\n", qPrintable(DetectionSummary(detection)));
            return false;
        }
        const double ratio = double(elapsed) / double(kPrescribedMs);
        std::printf("Detection run %d: %lld ms for %lld ms of waits (%.3fx, target <= 1.05x)\n",
                    run, static_cast<long long>(elapsed), static_cast<long long>(kPrescribedMs),
                    ratio);
        within &= ratio <= 1.05;
    }
    return within;
}

// Fills DNC.mdb with the servers, the clients and their seven rows each.
bool BuildConfiguration(const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("build"));
    db.setDatabaseName(path);
    if (!db.open()) {
        return false;
    }
    {
        db.transaction();
        QSqlQuery server(db);
        server.prepare(QStringLiteral("INSERT INTO t_dnc_servers (dnc_server_name) VALUES (?)"));
        for (int i = 0; i < kServers; ++i) {
            server.addBindValue(i == 0 ? QString::fromLatin1(kLocalServer)
                                       : QStringLiteral("SRV%1").arg(i, 4, 10, QLatin1Char('0')));
            server.exec();
        }
        QSqlQuery client(db);
        client.prepare(QStringLiteral(
            "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES (?, ?)"));
        const char* const tables[] = {
            "t_client_mode",     "t_client_terminal_mode", "t_filter_table_down",
            "t_filter_table_up", "t_timeout_table_down",   "t_timeout_table_up",
            "t_command"};
        std::vector<QSqlQuery> rows;
        for (const char* table : tables) {
            rows.emplace_back(db);
            rows.back().prepare(QStringLiteral("INSERT INTO ") + QLatin1String(table) +
                                QStringLiteral(" (client_id) VALUES (?)"));
        }
        for (int i = 0; i < kClients; ++i) {
            client.addBindValue(QStringLiteral("CNC%1").arg(i, 5, 10, QLatin1Char('0')));
            client.addBindValue(1 + i % kServers);
            if (!client.exec()) {
                return false;
            }
            const QVariant id = client.lastInsertId();
            for (QSqlQuery& row : rows) {
                row.addBindValue(id);
                row.exec();
            }
        }
        db.commit();
    }
    db.close();
    return true;
}

bool BenchOpening(int runs) {
    QTemporaryDir folder;
    QString error;
    if (!folder.isValid() || !CreateDatabaseFile(folder.path(), &error)) {
        std::fprintf(stderr, "cannot create DNC.mdb: %s\n", qPrintable(error));
        return false;
    }
    const QString path = folder.filePath(QStringLiteral("DNC.mdb"));
    if (!BuildConfiguration(path)) {
        std::fprintf(stderr, "cannot build the configuration\n");
        return false;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("build"));
    SetProgramFolder(folder.path());
    SettingsFileName = JoinPath(folder.path(), QStringLiteral("Kestrum.ini"));
    WriteIniValue(QStringLiteral("PROTOCOLs"), QStringLiteral("STANDARD"), QStringLiteral("True"),
                  SettingsFileName);
    LocalComputerName = QString::fromLatin1(kLocalServer);
    DncConnectionString = QStringLiteral("Provider = Microsoft.Jet.OLEDB.4.0;data source = ") +
                          path + QStringLiteral(";");
    if (!DncConnection.Open(DncConnectionString)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(DncConnection.LastError()));
        return false;
    }
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        CurrentClientName =
            QStringLiteral("CNC%1").arg((i * 7919) % kClients, 5, 10, QLatin1Char('0'));
        timer.start();
        CurrentClientMode = ClientModeRecord();
        if (!ReadCurrentClientIds()) {
            std::fprintf(stderr, "client %s not found\n", qPrintable(CurrentClientName));
            return false;
        }
        {
            frmPortSetup window;
            window.show();
            QCoreApplication::processEvents();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        QCoreApplication::processEvents();
    }
    const double median = Median(times);
    std::printf(
        "Port setup opened on %d servers / %d clients: median %.2f ms, worst %.2f ms "
        "(%d runs, target <= 100 ms)\n",
        kServers, kClients, median, *std::max_element(times.begin(), times.end()), runs);
    DncConnection.Close();
    return median <= 100.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    SetMessageHandler([](const MessageRequest&) { return MsgAnswer::Ok; });
    const bool detection = BenchDetection(runs);
    const bool opening = BenchOpening(21 * runs);
    return detection && opening ? 0 : 1;
}
