// bench_changelog: on a configuration of 1,000 servers and 20,000 clients, the medians of a
// clone onto 100 targets and of a port-setup OK with the change log and without it, and the
// time of the backup made before a bulk change. Exits 1 when the log adds more than 20 %.
//
//   bench_changelog [runs-scale]

#include "direct_sqlite.h"
#include "large_configuration.h"

#include "admin/clone_clients.h"
#include "base/settings.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "setup/port_setup_logic.h"
#include "transfer/backup.h"

#include <QApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTargets = 100;
constexpr double kMaxLogShare = 1.20;

}  // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication application(argc, argv);
    const int scale = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    int messages = 0;
    CountMessages(messages);

    LargeConfiguration configuration;
    if (!configuration.Build([](DirectSqlite& build) {
            build.Exec("UPDATE t_dnc_server_clients SET protocol_id = 72 WHERE client_id = 70");
            build.Exec("INSERT INTO t_remote (rem_client_id, report_name) VALUES (70, 'R')");
            build.Exec(
                "INSERT INTO t_client_directory (client_id, directory_direct, directory_alias, "
                "dir_mode, explore_from_here) VALUES (70, 'C:\\NC\\PROG', 'TV1', 3, -1), "
                "(70, 'C:\\NC\\UP', 'TV2', 2, 0)");
        })) {
        return 2;
    }
    LocalComputerName = QString::fromLatin1(LargeConfiguration::kLocalServer);
    if (!configuration.Connect()) {
        return 2;
    }
    SetCurrentAction(QStringLiteral("bench_changelog"));
    const std::vector<std::string>& names = configuration.ClientNames();
    const QString source = QString::fromStdString(names[69]);
    QStringList targets;
    for (int i = 0; i < kTargets; ++i) {
        targets << QString::fromStdString(names[size_t(5000 + i)]);
    }

    // Every run changes every target: the source alternates between two settings from one
    // run to the next, whichever variant runs.
    int cloned = 0;
    int turn = 0;
    const auto clone = [&](int) {
        const int i = turn++;
        UpdateRecordsMDB(QStringLiteral("t_client_mode"), QStringLiteral("client_id"),
                         SqlValue::Number(70), QStringLiteral("m_baud"),
                         SqlValue::Number(i % 2 ? 4800 : 9600));
        CloneRun run = PrepareClone(source, targets);
        while (CloneNextTarget(run)) {
        }
        for (const CloneTargetResult& result : run.Results) {
            cloned += result.Outcome.AttributesCopied;
        }
    };
    const qint32 portClient = GetClientID(QString::fromStdString(names[7000])).value_or(0);
    const CurrentProtocol current = CurrentProtocolForOk(portClient, QStringLiteral("STANDARD"));
    const auto portSetup = [&](int) {
        const int i = turn++;
        PortValues values;
        values.port = 1 + i % 4;
        values.baud = i % 2 ? QStringLiteral("19200") : QStringLiteral("9600");
        values.parity = i % 2 ? QStringLiteral("N") : QStringLiteral("E");
        SavePortSetup(portClient, current, QString(), values);
    };
    const auto withLog = [](bool on, const std::function<void(int)>& work) {
        return [on, work](int i) {
            SetChangeLogEnabled(on);
            work(i);
            SetChangeLogEnabled(true);
        };
    };

    SetBulkChangeBackupsEnabled(false);
    std::vector<Figure> figures;
    figures.push_back(Measure("clone onto 100 targets: log / none", 11 * scale, 0,
                              withLog(true, clone), withLog(false, clone)));
    figures.push_back(Measure("port-setup OK: log / none", 51 * scale, 0, withLog(true, portSetup),
                              withLog(false, portSetup)));
    SetBulkChangeBackupsEnabled(true);
    const auto cloneWithoutBackup = [&](int i) {
        SetBulkChangeBackupsEnabled(false);
        clone(i);
        SetBulkChangeBackupsEnabled(true);
    };
    figures.push_back(
        Measure("clone onto 100 targets: backup / none", 11 * scale, 0, clone, cloneWithoutBackup));
    QString backupError;
    figures.push_back(Measure(
        "backup alone / nothing", 11 * scale, 0,
        [&](int) {
            const BackupOutcome outcome =
                BackupConfiguration(DncConnection, BackupFolder(), BackupKeepCount());
            if (!outcome.ok) {
                backupError = outcome.error;
            }
        },
        [](int) {}));

    std::printf("\n%-42s %12s %12s %8s\n", "operation (median)", "with ms", "without ms", "ratio");
    for (const Figure& f : figures) {
        std::printf("%-42s %12.3f %12.3f %8.2f\n", f.name, f.kestrumMs, f.directMs,
                    f.directMs > 0 ? f.kestrumMs / f.directMs : 0.0);
    }
    const double cloneShare = figures[0].kestrumMs / figures[0].directMs;
    const double portShare = figures[1].kestrumMs / figures[1].directMs;
    std::printf("\nDNC.mdb: %lld bytes; log rows: %lld; messages: %d%s\n",
                qint64(QFileInfo(configuration.Path()).size()),
                qint64(ReadChangeLog(DncConnection, {}).value_or(QList<ChangeLogEntry>()).size()),
                messages, backupError.isEmpty() ? "" : qPrintable(" backup: " + backupError));
    const bool met = cloneShare <= kMaxLogShare && portShare <= kMaxLogShare;
    std::printf(
        "log adds %.0f %% to the clone and %.0f %% to the port-setup OK (limit 20 %%): %s\n",
        (cloneShare - 1) * 100, (portShare - 1) * 100, met ? "met" : "MISSED");
    DncConnection.Close();
    return met && messages == 0 && cloned > 0 ? 0 : 1;
}
