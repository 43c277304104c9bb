// bench_check_scale: kestrum-check itself, run as a process on a plant of 100,000 clients:
// the check with about 250,000 findings, and --repair of 50,000 missing-row findings (with
// the backup it makes first, also timed alone in this process). Wall time, the tool's peak
// memory and its exit code. On a new DNC.mdb, and with --db also on that PostgreSQL
// database, directly and through a relay that adds 1 ms to every round trip.
// Exits 1 when a run ends otherwise than expected (never for its speed).
//
//   bench_check_scale [--clients N] [--repair N] [--db postgresql://...] [--tool-dir DIR]
//
// The database --db names is a scratch one holding the schema (kestrum-newinstall URI):
// every table in it, the change log too, is emptied and filled here.

#include "bench/plant/delay_proxy.h"
#include "bench/support/command_line.h"

#include "db/backend.h"
#include "db/new_installation.h"
#include "transfer/backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kClientsPerServer = 100;
constexpr const char* kServer = "PostgreSQL";
constexpr const char* kRelayed = "PostgreSQL +1ms";

// One run of the tool: what it wrote is counted, not kept.
struct ToolRun {
    double seconds = 0;
    double peakMb = 0;
    int exitCode = -1;  // -1: did not start or was killed
    qint64 outLines = 0;
    qint64 repairedLines = 0;  // "repaired CLIENT: TABLE: 1 row added" on standard error
    QByteArray otherErr;       // the start of anything else it said there
};

void CountLines(QByteArray& pending, const char* data, ssize_t size,
                const std::function<void(const QByteArray&)>& line) {
    pending.append(data, size);
    qsizetype start = 0;
    for (qsizetype end; (end = pending.indexOf('\n', start)) >= 0; start = end + 1) {
        line(pending.mid(start, end - start));
    }
    pending.remove(0, start);
}

// wait4 gives the child's own peak memory, without a wrapper process in between.
ToolRun RunTool(const QString& tool, const QStringList& arguments) {
    ToolRun run;
    std::vector<std::string> texts{tool.toStdString()};
    for (const QString& argument : arguments) {
        texts.push_back(argument.toStdString());
    }
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return run;
    }
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return run;
    }
    QByteArray outPending;
    QByteArray errPending;
    const auto onOut = [&run](const QByteArray&) { ++run.outLines; };
    const auto onErr = [&run](const QByteArray& line) {
        if (line.startsWith("repaired ")) {
            ++run.repairedLines;
        } else if (run.otherErr.size() < 2000) {
            run.otherErr += line + '\n';
        }
    };
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    std::vector<char> buffer(1 << 16);
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (pollfd& fd : fds) {
            if (fd.fd < 0 || fd.revents == 0) {
                continue;
            }
            const ssize_t got = read(fd.fd, buffer.data(), buffer.size());
            if (got <= 0) {
                close(fd.fd);
                fd.fd = -1;
                --open;
            } else if (fd.fd == out[0]) {
                CountLines(outPending, buffer.data(), got, onOut);
            } else {
                CountLines(errPending, buffer.data(), got, onErr);
            }
        }
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.peakMb = double(usage.ru_maxrss) / 1024.0;  // kB on Linux
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The numbers 0 .. count-1 as a subquery with column i.
QString Numbers(bool server, int count) {
    return server ? QStringLiteral("SELECT generate_series(0, %1) AS i").arg(count - 1)
                  : QStringLiteral(
                        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
                        "FROM n WHERE i < %1) SELECT i FROM n")
                        .arg(count - 1);
}

// What a plant holds: every client with a download folder and all its rows except where said.
struct Plant {
    int clients = 0;
    int missing = 0;           // clients without their t_command and t_timeout_table_up rows
    bool sharedPorts = false;  // clients in fours on one serial port of their server
    bool sharedBts = false;    // every other client in pairs on one BTS address
};

// The findings the check should report on plant.
qint64 ExpectedFindings(const Plant& plant) {
    // A client's group: idx / 4 for ports (a server's 100 clients hold 25 whole groups) and
    // for the BTS pairs {4k, 4k + 2}.
    std::vector<int> ports(size_t(plant.clients / 4 + 1));
    std::vector<int> bts(ports.size());
    for (int i = 0; i < plant.clients; ++i) {
        ++ports[size_t(i / 4)];
        if (i % 2 == 0) {
            ++bts[size_t(i / 4)];
        }
    }
    qint64 findings = plant.missing;
    for (size_t g = 0; g < ports.size(); ++g) {
        findings += plant.sharedPorts && ports[g] > 1 ? ports[g] : 0;
        findings += plant.sharedBts && bts[g] > 1 ? bts[g] : 0;
    }
    return findings;
}

const QStringList kTables = {"t_client_mode",
                             "t_client_terminal_mode",
                             "t_filter_table_down",
                             "t_filter_table_up",
                             "t_timeout_table_down",
                             "t_timeout_table_up",
                             "t_command",
                             "t_remote",
                             "t_shopterm_clients",
                             "t_client_directory",
                             "t_dnc_server_clients",
                             "t_dnc_servers",
                             "kestrum_change_log"};

// Empties location and fills it with plant in one transaction, a few INSERT ... SELECT.
bool Fill(const QString& location, const Plant& plant) {
    DatabaseConnection connection(QStringLiteral("fill"));
    QString error;
    if (!OpenDatabaseAt(connection, location, &error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(location), qPrintable(error));
        return false;
    }
    const bool server = connection.Engine().IsServer();
    QSqlDatabase db = connection.Database();
    QSqlQuery query(db);
    const auto run = [&query](const QString& sql) {
        if (!query.exec(sql)) {
            std::fprintf(stderr, "%s\n  in %s\n", qPrintable(query.lastError().text()),
                         qPrintable(sql.left(300)));
            return false;
        }
        return true;
    };
    const auto first = [&](const char* column, const char* table, qint64* value) {
        if (!run(QStringLiteral("SELECT MIN(%1) FROM %2")
                     .arg(QLatin1String(column), QLatin1String(table))) ||
            !query.next()) {
            return false;
        }
        *value = query.value(0).toLongLong();
        return true;
    };
    if (!db.transaction()) {
        return false;
    }
    bool ok = true;
    if (server) {
        ok = run(QStringLiteral("TRUNCATE ") + kTables.join(QStringLiteral(", ")) +
                 QStringLiteral(" RESTART IDENTITY"));
    } else {
        for (const QString& table : kTables) {
            ok = ok && run(QStringLiteral("DELETE FROM ") + table);
        }
    }
    const int servers = (plant.clients + kClientsPerServer - 1) / kClientsPerServer;
    ok = ok && run(QStringLiteral("INSERT INTO t_dnc_servers (dnc_server_name) SELECT 'SRV' || i "
                                  "FROM (%1) AS n")
                       .arg(Numbers(server, servers)));
    // Made in one statement, the keys follow each other: a client's number is its key's offset.
    qint64 firstServer = 0;
    ok = ok && first("dnc_server_id", "t_dnc_servers", &firstServer);
    const QString bts = plant.sharedBts
                            ? QStringLiteral("CASE WHEN i % 2 = 0 THEN 'BT' || (i / 4) ELSE '' END")
                            : QStringLiteral("''");
    ok = ok && run(QStringLiteral("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, "
                                  "bts_address) SELECT 'M' || i, %1 + i / %2, %3 FROM (%4) AS n")
                       .arg(firstServer)
                       .arg(kClientsPerServer)
                       .arg(bts, Numbers(server, plant.clients)));
    qint64 firstClient = 0;
    ok = ok && first("client_id", "t_dnc_server_clients", &firstClient);
    const QString idx = QStringLiteral("CAST(client_id - %1 AS BIGINT)").arg(firstClient);
    // Spread evenly: client idx is left out when (idx + 1) * m / n passes a whole number.
    const QString kept = QStringLiteral(" WHERE (%1 + 1) * %2 / %3 = %1 * %2 / %3")
                             .arg(idx)
                             .arg(plant.missing)
                             .arg(plant.clients);
    for (const char* table : {"t_client_terminal_mode", "t_filter_table_down", "t_filter_table_up",
                              "t_timeout_table_down"}) {
        ok = ok && run(QStringLiteral("INSERT INTO %1 (client_id) SELECT client_id FROM "
                                      "t_dnc_server_clients")
                           .arg(QLatin1String(table)));
    }
    for (const char* table : {"t_timeout_table_up", "t_command"}) {
        ok = ok && run(QStringLiteral("INSERT INTO %1 (client_id) SELECT client_id FROM "
                                      "t_dnc_server_clients")
                           .arg(QLatin1String(table)) +
                       kept);
    }
    const QString port = plant.sharedPorts
                             ? QStringLiteral("(%1 % %2) / 4 + 1").arg(idx).arg(kClientsPerServer)
                             : QStringLiteral("0");
    ok = ok && run(QStringLiteral("INSERT INTO t_client_mode (client_id, cnc_comport) SELECT "
                                  "client_id, %1 FROM t_dnc_server_clients")
                       .arg(port));
    ok = ok && run(QStringLiteral("INSERT INTO t_client_directory (client_id, directory_direct, "
                                  "dir_mode) SELECT client_id, 'C:\\DNC\\' || client_name, 3 "
                                  "FROM t_dnc_server_clients"));
    if (!ok || !db.commit()) {
        db.rollback();
        return false;
    }
    // The planner's figures, as a server in use would have them.
    return !server || run(QStringLiteral("ANALYZE"));
}

// The backup --repair makes first, alone: what the repair's time holds of it.
double BackupSeconds(const QString& location, const QString& folder) {
    DatabaseConnection connection(QStringLiteral("backup"));
    QString error;
    if (!OpenDatabaseAt(connection, location, &error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(location), qPrintable(error));
        return -1;
    }
    QElapsedTimer timer;
    timer.start();
    const BackupOutcome outcome = BackupConfiguration(connection, folder, 0);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!outcome.ok) {
        std::fprintf(stderr, "backup: %s\n", qPrintable(outcome.error));
        return -1;
    }
    QFile::remove(outcome.path);
    return seconds;
}

struct Row {
    QString operation;
    QString engine;
    int clients = 0;
    qint64 findings = 0;
    double seconds = 0;
    double peakMb = -1;  // -1: not measured
    int exitCode = -2;   // -2: none
};

class Bench {
public:
    Bench(QString tool, QString folder) : tool_(std::move(tool)), folder_(std::move(folder)) {}

    bool FillTimed(const QString& location, const Plant& plant, const QString& engine) {
        QElapsedTimer timer;
        timer.start();
        std::printf("filling %s: %d clients...", qPrintable(engine), plant.clients);
        std::fflush(stdout);
        const bool ok = Fill(location, plant);
        std::printf(" %.1f s\n", double(timer.nsecsElapsed()) / 1e9);
        return ok;
    }

    // The check of plant, as filled: its findings, one a line, and exit code 1.
    void Check(const QString& location, const Plant& plant, const QString& engine) {
        const ToolRun run = RunTool(tool_, {QStringLiteral("--db"), location});
        const qint64 expected = ExpectedFindings(plant);
        Add({QStringLiteral("check"), engine, plant.clients, run.outLines, run.seconds, run.peakMb,
             run.exitCode},
            run, run.exitCode == 1 && run.outLines == expected,
            QStringLiteral("%1 findings expected").arg(expected));
    }

    // --repair of plant's missing rows: two rows added per finding, none left, exit code 0.
    void Repair(const QString& location, const Plant& plant, const QString& engine) {
        const double backup = BackupSeconds(location, folder_ + QStringLiteral("/probe"));
        rows_.push_back({QStringLiteral("backup alone"), engine, plant.clients, 0, backup, -1, -2});
        ok_ &= backup >= 0;
        const ToolRun run =
            RunTool(tool_, {QStringLiteral("--db"), location, QStringLiteral("--repair")});
        Add({QStringLiteral("check --repair"), engine, plant.clients, run.repairedLines / 2,
             run.seconds, run.peakMb, run.exitCode},
            run, run.exitCode == 0 && run.outLines == 0 && run.repairedLines == 2 * plant.missing,
            QStringLiteral("%1 findings to repair, none left").arg(plant.missing));
    }

    const std::vector<Row>& Rows() const { return rows_; }
    bool Ok() const { return ok_; }

private:
    void Add(const Row& row, const ToolRun& run, bool expected, const QString& wanted) {
        rows_.push_back(row);
        std::printf("  %s on %s: %.1f s, exit code %d\n", qPrintable(row.operation),
                    qPrintable(row.engine), row.seconds, row.exitCode);
        if (!expected) {
            ok_ = false;
            std::fprintf(stderr,
                         "%s on %s did not end as expected (%s): exit code %d, %lld "
                         "lines out, %lld repaired\n%s",
                         qPrintable(row.operation), qPrintable(row.engine), qPrintable(wanted),
                         run.exitCode, static_cast<long long>(run.outLines),
                         static_cast<long long>(run.repairedLines), run.otherErr.constData());
        }
        std::fflush(stdout);
    }

    QString tool_;
    QString folder_;
    std::vector<Row> rows_;
    bool ok_ = true;
};

void Print(const std::vector<Row>& rows) {
    std::printf("\n%-16s %-16s %8s %9s %9s %8s %5s\n", "operation", "engine", "clients", "findings",
                "seconds", "peak MB", "exit");
    for (const Row& r : rows) {
        const QByteArray findings =
            r.findings > 0 ? QByteArray::number(r.findings) : QByteArray("-");
        const QByteArray peak = r.peakMb >= 0 ? QByteArray::number(r.peakMb, 'f', 1) : "-";
        const QByteArray exit = r.exitCode >= -1 ? QByteArray::number(r.exitCode) : "-";
        std::printf("%-16s %-16s %8d %9s %9.2f %8s %5s\n", qPrintable(r.operation),
                    qPrintable(r.engine), r.clients, findings.constData(), r.seconds,
                    peak.constData(), exit.constData());
    }
    // The relay's 1 ms per round trip: the extra time per finding counts the round trips.
    for (const Row& slow : rows) {
        for (const Row& direct : rows) {
            if (slow.engine == QLatin1String(kRelayed) && direct.engine == QLatin1String(kServer) &&
                slow.operation == direct.operation && slow.findings > 0) {
                std::printf("%s: the relay adds %.1f s, %.2f ms per finding\n",
                            qPrintable(slow.operation), slow.seconds - direct.seconds,
                            (slow.seconds - direct.seconds) * 1000 / double(slow.findings));
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    const auto option = [&args](const char* name, const QString& otherwise) {
        return BenchOption(args, name, otherwise);
    };
    const int clients = std::max(4, option("--clients", QStringLiteral("100000")).toInt());
    const int repairs = std::clamp(option("--repair", QStringLiteral("50000")).toInt(), 1, clients);
    const QString server = option("--db", QString());
    const QString toolDir = option(
        "--tool-dir", QCoreApplication::applicationDirPath() + QStringLiteral("/../../tools"));
    QString built = toolDir + QStringLiteral("/check/kestrum-check");
    if (!QFileInfo(built).isExecutable()) {
        built = toolDir + QStringLiteral("/kestrum-check");
    }

    QTemporaryDir folder;
    // A copy in a folder of its own: a server database's backups go beside the program.
    const QString tool = folder.filePath(QStringLiteral("tool/kestrum-check"));
    if (!folder.isValid() || !QDir().mkpath(folder.filePath(QStringLiteral("tool"))) ||
        !QFile::copy(built, tool)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(built));
        return 2;
    }
    const Plant checked{clients, clients, true, true};
    const Plant repaired{clients, repairs, false, false};
    Bench bench(tool, folder.path());

    QString error;
    for (const char* name : {"check", "repair"}) {
        const QString path = folder.filePath(QLatin1String(name));
        if (!QDir().mkpath(path) || !CreateDatabaseFile(path, &error)) {
            std::fprintf(stderr, "cannot create DNC.mdb: %s\n", qPrintable(error));
            return 2;
        }
    }
    const QString checkFile = folder.filePath(QStringLiteral("check/DNC.mdb"));
    const QString repairFile = folder.filePath(QStringLiteral("repair/DNC.mdb"));
    const QString sqlite = QStringLiteral("SQLite");
    if (!bench.FillTimed(checkFile, checked, sqlite)) {
        return 2;
    }
    bench.Check(checkFile, checked, sqlite);
    if (!bench.FillTimed(repairFile, repaired, sqlite)) {
        return 2;
    }
    bench.Repair(repairFile, repaired, sqlite);

    if (!server.isEmpty()) {
        const QString direct = QLatin1String(kServer);
        const QString slow = QLatin1String(kRelayed);
        QUrl url(server);
        DelayProxy proxy;
        std::string why;
        if (!proxy.Start(url.host().isEmpty() ? "127.0.0.1" : url.host().toStdString(),
                         uint16_t(url.port(5432)), 1000, 0, &why)) {
            std::fprintf(stderr, "relay: %s\n", why.c_str());
            return 2;
        }
        url.setHost(QStringLiteral("127.0.0.1"));
        url.setPort(proxy.Port());
        const QString relayed = url.toString();
        if (!bench.FillTimed(server, checked, direct)) {
            return 2;
        }
        bench.Check(server, checked, direct);
        bench.Check(relayed, checked, slow);
        if (!bench.FillTimed(server, repaired, direct)) {
            return 2;
        }
        bench.Repair(server, repaired, direct);
        if (!bench.FillTimed(server, repaired, direct)) {
            return 2;
        }
        bench.Repair(relayed, repaired, slow);
        proxy.Stop();
    }
    Print(bench.Rows());
    return bench.Ok() ? 0 : 1;
}
