// bench_plant: on a configuration of 1,000 servers and 20,000 clients, the median time of each
// window and routine an administrator waits on, and the statements it sends: on a database
// server each statement is a round trip. Runs on an SQLite DNC.mdb, and also on a PostgreSQL
// database when one is named, reached through a relay that adds 1 ms to every round trip.
// Exits 1 when a target is missed.
//
//   bench_plant [--runs N] [--db postgresql://user@127.0.0.1:5432/dnc]
//
// KESTRUM_BENCH_DB may name the database instead of --db. The database must hold the empty
// schema (it is filled once and reused by later runs) and be on this computer.

#include "delay_proxy.h"
#include "large_configuration.h"

#include "admin/clone_clients.h"
#include "admin/frmClients.h"
#include "admin/frmCloneClients.h"
#include "admin/frmMakeClients.h"
#include "admin/frmToolsNodePortID.h"
#include "admin/pick_lists.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "base/settings.h"
#include "bts/frmBTS.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "db/node_port_ids.h"
#include "db/statement.h"
#include "db/statement_count.h"
#include "dncadmin/dncadmin_export.h"
#include "setup/frmPortSetup.h"
#include "tools/btssim/simulated_lines.h"
#include "transfer/backup.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <vector>

namespace {

constexpr int kServers = LargeConfiguration::kServers;
constexpr int kClients = LargeConfiguration::kClients;
constexpr int kLocalClients = LargeConfiguration::kLocalClients;
const QString kLocalServer = QString::fromLatin1(LargeConfiguration::kLocalServer);
constexpr int kTargets = 100;
constexpr int kBatch = 250;  // rows per INSERT while filling

struct Result {
    QString name;
    double ms;
    quint64 statements;
    double targetMs;  // 0: none
};

QString ConnectionString(const QString& source) {
    return QStringLiteral("Provider = Microsoft.Jet.OLEDB.4.0;data source = ") + source +
           QStringLiteral(";");
}

bool Run(const QString& sql, const QList<SqlValue>& values = {}) {
    return RunCommand(sql, values, ReportAs{QStringLiteral("bench fill"), 1}).has_value();
}

QString Marks(int rows, int columns) {
    QStringList row;
    for (int c = 0; c < columns; ++c) {
        row << QStringLiteral("?");
    }
    const QString one = QLatin1Char('(') + row.join(QStringLiteral(", ")) + QLatin1Char(')');
    QStringList all;
    for (int r = 0; r < rows; ++r) {
        all << one;
    }
    return all.join(QStringLiteral(", "));
}

// The clients' names in stored order, as the other benchmarks make them: not in name order,
// as in a configuration that grew over the years.
QStringList ClientNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kClients; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "M%05d", i);
        names.emplace_back(name);
    }
    std::shuffle(names.begin(), names.end(), std::mt19937(20240601));
    QStringList result;
    for (const std::string& name : names) {
        result << QString::fromStdString(name);
    }
    return result;
}

// Fills an empty configuration through the program's own connection, with statements both
// database engines take: the same rows as the other benchmarks' configuration, and a remote
// clone source with two folders.
bool Fill(const QStringList& names) {
    Transaction transaction(ReportAs{QStringLiteral("bench fill"), 0});
    for (int first = 0; first < kServers; first += kBatch) {
        const int rows = std::min(kBatch, kServers - first);
        QList<SqlValue> values;
        for (int i = first; i < first + rows; ++i) {
            values << SqlValue::Text(
                i == 0 ? kLocalServer : QStringLiteral("SRV%1").arg(i, 4, 10, QLatin1Char('0')));
        }
        if (!Run(QStringLiteral("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ") +
                     Marks(rows, 1),
                 values)) {
            return false;
        }
    }
    std::map<int, qint64> serverIds;  // by position
    const Recordset servers =
        SelectRows(QStringLiteral("SELECT dnc_server_id, dnc_server_name FROM t_dnc_servers"), {},
                   ReportAs{QStringLiteral("bench fill"), 2});
    for (int row = 0; row < servers.RecordCount(); ++row) {
        const QString name = servers.Field(row, 1).toString();
        serverIds[name == kLocalServer ? 0 : name.mid(3).toInt()] =
            servers.Field(row, 0).toLongLong();
    }
    for (int first = 0; first < kClients; first += kBatch) {
        const int rows = std::min(kBatch, kClients - first);
        QList<SqlValue> values;
        for (int i = first; i < first + rows; ++i) {
            const bool local = i < kLocalClients;
            const int server = local ? 0 : 1 + (i % (kServers - 1));
            values << SqlValue::Text(names.at(i)) << SqlValue::Number(serverIds[server])
                   << SqlValue::Text(local ? QStringLiteral("TOOL")
                                           : QStringLiteral("NODE%1").arg((server + 1) % 4 + 1))
                   << SqlValue::Text(QStringLiteral("P%1").arg(i % 16));
        }
        if (!Run(QStringLiteral("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, "
                                "NODE_ID, PORT_ID) VALUES ") +
                     Marks(rows, 4),
                 values)) {
            return false;
        }
    }
    for (const char* table :
         {"t_client_mode", "t_client_terminal_mode", "t_filter_table_down", "t_filter_table_up",
          "t_timeout_table_down", "t_timeout_table_up", "t_command"}) {
        if (!Run(QStringLiteral("INSERT INTO %1 (client_id) SELECT client_id FROM "
                                "t_dnc_server_clients")
                     .arg(QLatin1String(table)))) {
            return false;
        }
    }
    const SqlValue source = SqlValue::Text(names.at(69));
    const bool extras =
        Run(QStringLiteral(
                "UPDATE t_dnc_server_clients SET protocol_id = 72 WHERE client_name = ?"),
            {source}) &&
        Run(QStringLiteral("INSERT INTO t_remote (rem_client_id, report_name) SELECT client_id, "
                           "'REPORT' FROM t_dnc_server_clients WHERE client_name = ?"),
            {source}) &&
        Run(QStringLiteral("INSERT INTO t_client_directory (client_id, directory_direct, "
                           "directory_alias, dir_mode, explore_from_here) SELECT client_id, "
                           "'C:\\NC\\PROG', 'TV1', 3, -1 FROM t_dnc_server_clients WHERE "
                           "client_name = ?"),
            {source}) &&
        Run(QStringLiteral("INSERT INTO t_client_directory (client_id, directory_direct, "
                           "directory_alias, dir_mode, explore_from_here) SELECT client_id, "
                           "'C:\\NC\\UP', 'TV2', 2, 0 FROM t_dnc_server_clients WHERE "
                           "client_name = ?"),
            {source});
    return extras && transaction.Commit(ReportAs{QStringLiteral("bench fill"), 3});
}

// Times one operation: a warm-up, then runs; the statements of the last run.
Result Measure(const QString& name, int runs, double targetMs, const std::function<void()>& run) {
    run();
    std::vector<double> times;
    quint64 statements = 0;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        const quint64 before = StatementsSent();
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        statements = StatementsSent() - before;
    }
    return Result{name, Median(times), statements, targetMs};
}

template <class Window>
void OpenWindow() {
    Window window;
    ShowUntilPainted(window);
    QApplication::processEvents();
}

std::vector<Result> RunOperations(const QStringList& names, const QString& folder, int runs) {
    std::vector<Result> results;
    LocalComputerName = kLocalServer;
    // The windows open on the 64-client server, as after an administrator chose it.
    LastClientServer = kLocalServer;
    LastMoveServers = {kLocalServer, QStringLiteral("SRV0500")};
    LastCloneServer = kLocalServer;
    LastCloneSource = names.at(69);

    results.push_back(Measure(QStringLiteral("frmMakeClients opened"), runs, 100,
                              [] { OpenWindow<frmMakeClients>(); }));
    results.push_back(
        Measure(QStringLiteral("frmClients opened"), runs, 100, [] { OpenWindow<frmClients>(); }));
    results.push_back(Measure(QStringLiteral("frmCloneClients opened"), runs, 100,
                              [] { OpenWindow<frmCloneClients>(); }));
    results.push_back(Measure(QStringLiteral("frmToolsNodePortID opened (64)"), runs, 100,
                              [] { OpenWindow<frmToolsNodePortID>(); }));
    const QString chosen = names.at(10);
    results.push_back(Measure(QStringLiteral("frmPortSetup opened"), runs, 100, [&chosen] {
        CurrentClientName = chosen;
        ReadCurrentClientIds();
        OpenWindow<frmPortSetup>();
    }));
    {
        // The adapter's port answers at once: the window's own work is measured, not a wait.
        SimulatedSerialLines lines;
        lines.AddAdapter(5);
        results.push_back(
            Measure(QStringLiteral("frmBTS opened"), runs, 100, [] { OpenWindow<frmBTS>(); }));
    }
    results.push_back(
        Measure(QStringLiteral("CheckServerConfig (64)"), runs, 100, [] { CheckServerConfig(); }));

    LoadServerClientNames(GetServerID(kLocalServer).value_or(-1));
    QStringList local;
    for (const ClientListEntry& client : std::as_const(ServerClients)) {
        local << client.ClientName;
    }
    // Every run gives the 64 clients another node id: 64 rows and their change records.
    int rewrites = 0;
    results.push_back(
        Measure(QStringLiteral("node/port OK (64 changed)"), runs, 100, [&local, &rewrites] {
            SetNodePortIdsMDB(
                local, rewrites++ % 2 ? QStringLiteral("TOOL") : QStringLiteral("TOOLB"), true);
        }));
    const QString base = folder + QStringLiteral("/DNCAdminExportCopy.ini");
    const QString target = folder + QStringLiteral("/DNCAdmin.ini");
    QFile file(base);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("[ADMIN]\r\nLINES_DISPLAYED=64\r\n");
        file.close();
    }
    bool exported = true;
    results.push_back(Measure(QStringLiteral("DNCAdmin export (64)"), runs, 300, [&] {
        exported &= ExportDncAdmin(local, base, target).Listed.size() == kLocalClients;
    }));
    if (!exported) {
        std::fprintf(stderr, "the export did not list the 64 clients\n");
    }

    QStringList targets;
    for (int i = 0; i < kTargets; ++i) {
        targets << names.at(5000 + i);
    }
    const auto clone = [&] {
        CloneRun run = PrepareClone(names.at(69), targets);
        while (CloneNextTarget(run)) {
        }
    };
    // The backup every bulk change takes first, of all 20,000 clients, is measured apart.
    results.push_back(Measure(QStringLiteral("backup before a bulk change"), std::max(3, runs / 4),
                              0, [] { BackupRefusal(QString()); }));
    SetBulkChangeBackupsEnabled(false);
    results.push_back(
        Measure(QStringLiteral("clone onto 100 targets"), std::max(3, runs / 4), 1000, clone));
    SetBulkChangeBackupsEnabled(true);
    results.push_back(Measure(QStringLiteral("clone onto 100, with its backup"),
                              std::max(3, runs / 4), 0, clone));

    // New names each run, also when the database is reused.
    const QString stamp = QString::number(QDateTime::currentMSecsSinceEpoch(), 36).toUpper();
    int added = 0;
    results.push_back(Measure(QStringLiteral("AddClientMDB"), runs, 15, [&] {
        AddClientMDB(QStringLiteral("A%1X%2").arg(stamp).arg(added++), QStringLiteral("SRV0500"));
    }));
    LastClientServer = QStringLiteral("SRV0501");
    frmMakeClients window;
    auto* name = window.findChild<QLineEdit*>(QStringLiteral("txtClientName"));
    auto* add = window.findChild<QPushButton*>(QStringLiteral("cmdAdd"));
    if (name && add) {
        results.push_back(Measure(QStringLiteral("client added in frmMakeClients"), runs, 50, [&] {
            name->setText(QStringLiteral("W%1X%2").arg(stamp).arg(added++));
            add->click();
        }));
    }
    return results;
}

bool Print(const char* backend, const std::vector<Result>& results) {
    std::printf("\n%s\n%-34s %10s %11s %10s  %s\n", backend, "operation (median)", "ms",
                "statements", "target ms", "result");
    bool met = true;
    for (const Result& r : results) {
        const bool ok = r.targetMs == 0 || r.ms <= r.targetMs;
        met &= ok;
        const QByteArray target =
            r.targetMs == 0 ? QByteArray("-") : QByteArray::number(r.targetMs, 'f', 0);
        std::printf("%-34s %10.2f %11llu %10s  %s\n", qPrintable(r.name), r.ms,
                    static_cast<unsigned long long>(r.statements), target.constData(),
                    ok ? "met" : "MISSED");
    }
    std::fflush(stdout);
    return met;
}

// The PostgreSQL database: filled directly when empty, then measured through the relay.
bool RunOnServer(const QString& uri, const QStringList& names, const QString& folder, int runs,
                 bool* met) {
    QUrl url(uri);
    const QString host = url.host().isEmpty() ? QStringLiteral("127.0.0.1") : url.host();
    const int port = url.port(5432);
    DncConnection.Close();
    if (!DncConnection.Open(ConnectionString(uri))) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(uri),
                     qPrintable(DncConnection.LastError()));
        return false;
    }
    const LookUp marker =
        SelectFirstValue(QStringLiteral("SELECT dnc_server_id FROM t_dnc_servers WHERE "
                                        "dnc_server_name = ?"),
                         {SqlValue::Text(kLocalServer)}, ReportAs{QStringLiteral("bench"), 1});
    const LookUp any = SelectFirstValue(QStringLiteral("SELECT COUNT(*) FROM t_dnc_servers"), {},
                                        ReportAs{QStringLiteral("bench"), 1});
    if (!marker.found()) {
        if (!any.found() || any.value.toLongLong() != 0) {
            std::fprintf(stderr, "%s holds servers but not the benchmark's; give an empty one\n",
                         qPrintable(uri));
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        if (!Fill(names)) {
            return false;
        }
        std::printf("filled %s in %lld ms\n", qPrintable(uri),
                    static_cast<long long>(timer.elapsed()));
    }
    DncConnection.Close();

    DelayProxy proxy;
    std::string error;
    if (!proxy.Start(host.toStdString(), uint16_t(port), 1000, 0, &error)) {
        std::fprintf(stderr, "relay: %s\n", error.c_str());
        return false;
    }
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(proxy.Port());
    const QString relayed = url.toString();
    if (!DncConnection.Open(ConnectionString(relayed))) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(relayed),
                     qPrintable(DncConnection.LastError()));
        return false;
    }
    *met &= Print("PostgreSQL, 1 ms added per round trip", RunOperations(names, folder, runs));
    DncConnection.Close();
    proxy.Stop();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication application(argc, argv);
    int runs = 11;
    QString server = qEnvironmentVariable("KESTRUM_BENCH_DB");
    const QStringList arguments = application.arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--runs")) {
            runs = std::max(1, arguments.at(++i).toInt());
        } else if (arguments.at(i) == QLatin1String("--db")) {
            server = arguments.at(++i);
        }
    }
    int messages = 0;
    CountMessages(messages);

    QTemporaryDir folder;
    QString error;
    if (!folder.isValid() || !CreateDatabaseFile(folder.path(), &error)) {
        std::fprintf(stderr, "cannot create DNC.mdb: %s\n", qPrintable(error));
        return 2;
    }
    SetProgramFolder(folder.path());
    SettingsFileName = folder.filePath(QStringLiteral("Kestrum.ini"));
    WriteIniValue(QStringLiteral("PROTOCOLs"), QStringLiteral("STANDARD"), QStringLiteral("True"),
                  SettingsFileName);
    const QStringList names = ClientNames();
    const QString path = folder.filePath(QStringLiteral("DNC.mdb"));
    DncConnectionString = ConnectionString(path);
    if (!DncConnection.Open(DncConnectionString) || !Fill(names)) {
        std::fprintf(stderr, "cannot fill DNC.mdb: %s\n", qPrintable(DncConnection.LastError()));
        return 2;
    }
    std::printf("Configuration: %d servers, %d clients (%d on %s); %d runs each, median\n",
                kServers, kClients, kLocalClients, qPrintable(kLocalServer), runs);
    bool met = Print("SQLite", RunOperations(names, folder.path(), runs));
    if (!server.isEmpty() && !RunOnServer(server, names, folder.path(), runs, &met)) {
        return 2;
    }
    DncConnection.Close();
    std::printf("\nmessages shown: %d\n", messages);
    return met && messages == 0 ? 0 : 1;
}
