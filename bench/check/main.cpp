// bench_check: the configuration check of 1,000 servers and 20,000 clients (with a folder
// each, some shared serial ports and a DNCAdmin.ini to compare) against the same reads run
// directly on SQLite. The whole check must take at most 2 s. Exits 1 when a target is missed.
//
//   bench_check [runs]   (default 7)

#include "direct_sqlite.h"
#include "large_configuration.h"

#include "base/settings.h"
#include "check/configuration_check.h"
#include "db/dnc_database.h"
#include "dncadmin/dncadmin_export.h"

#include <QCoreApplication>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The check's statements, stepped through with their columns read, as the baseline.
class DirectCheck : public SqliteFile {
public:
    using SqliteFile::SqliteFile;

    size_t ReadAll() {
        static const char* const statements[] = {
            "SELECT dnc_server_id, dnc_server_name FROM t_dnc_servers ORDER BY dnc_server_id",
            "SELECT client_id, client_name, dnc_server_id, NODE_ID, PORT_ID, protocol_id, "
            "bts_used, bts_address, bts_pin FROM t_dnc_server_clients ORDER BY client_id",
            "SELECT protocol_id, protocol_name FROM t_protocol",
            "SELECT client_id, cnc_comport FROM t_client_mode",
            "SELECT client_id FROM t_client_terminal_mode",
            "SELECT client_id FROM t_filter_table_down",
            "SELECT client_id FROM t_filter_table_up",
            "SELECT client_id FROM t_timeout_table_down",
            "SELECT client_id FROM t_timeout_table_up",
            "SELECT client_id FROM t_command",
            "SELECT rem_client_id FROM t_remote",
            "SELECT shop_client_id, clients_id FROM t_shopterm_clients",
            "SELECT dir_id, client_id, directory_direct, directory_alias, dir_mode "
            "FROM t_client_directory ORDER BY dir_id"};
        size_t sink = 0;
        for (const char* sql : statements) {
            sqlite3_stmt* statement = Prepared(sql);
            while (sqlite3_step(statement) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                    if (sqlite3_column_type(statement, c) == SQLITE_TEXT) {
                        sink += Text(statement, c).size();
                    } else {
                        sink += size_t(sqlite3_column_int64(statement, c));
                    }
                }
            }
            sqlite3_reset(statement);
        }
        return sink;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    int messages = 0;
    CountMessages(messages);

    LargeConfiguration configuration;
    if (!configuration.Build([](DirectSqlite& db) {
            // A download folder per client, and ports that collide now and then.
            db.Exec(
                "INSERT INTO t_client_directory (client_id, directory_direct, dir_mode) "
                "SELECT client_id, 'C:\\DNC\\' || client_name, 3 FROM t_dnc_server_clients");
            db.Exec("UPDATE t_client_mode SET cnc_comport = client_id % 23 + 1");
        })) {
        return 2;
    }
    DirectCheck direct(configuration.Path().toStdString());
    if (!direct.IsOpen() || !configuration.Connect()) {
        return 2;
    }
    LocalComputerName = QStringLiteral("NOT-A-SERVER");  // no folder look-ups on disk

    // The local server's export, to compare with.
    CheckOptions options;
    options.LocalComputer = LocalComputerName;
    const QString base = configuration.Folder() + QStringLiteral("/base.ini");
    QFile baseFile(base);
    if (!baseFile.open(QIODevice::WriteOnly) ||
        baseFile.write("[ADMIN]\r\nLINES_DISPLAYED=64\r\n") < 0) {
        return 2;
    }
    baseFile.close();
    const std::optional<qint32> local =
        GetServerID(QString::fromLatin1(LargeConfiguration::kLocalServer));
    if (!local) {
        return 2;
    }
    LoadServerClientNames(*local);
    QStringList names;
    for (const ClientListEntry& entry : ServerClients) {
        names << entry.ClientName;
    }
    const QString exported = configuration.Folder() + QStringLiteral("/DNCAdmin.ini");
    if (!ExportDncAdmin(names, base, exported).Ok) {
        return 2;
    }
    options.Files = {KnownDncAdminFile{exported, false}};

    size_t sink = 0;
    qsizetype findings = 0;
    std::vector<Figure> figures;
    figures.push_back(Measure(
        "reads (13 statements)", runs, 0,
        [&](int) { sink += size_t(ReadCheckData().Clients.size()); },
        [&](int) { sink += direct.ReadAll(); }));
    figures.push_back(Measure(
        "whole check (reads, rules, drift)", runs, 2000,
        [&](int) {
            const CheckResult result = CheckConfiguration(options);
            findings = result.Findings.size();
        },
        [&](int) { sink += direct.ReadAll(); }));

    std::printf("Configuration: %d servers, %d clients; findings: %lld\n",
                LargeConfiguration::kServers, LargeConfiguration::kClients,
                static_cast<long long>(findings));
    std::printf("\n%-38s %12s %12s %7s %10s  %s\n", "operation (median)", "Kestrum ms", "SQLite ms",
                "ratio", "target ms", "result");
    bool allMet = true;
    for (const Figure& f : figures) {
        const double ratio = f.directMs > 0 ? f.kestrumMs / f.directMs : 0;
        const bool met = f.targetMs == 0 || f.kestrumMs <= f.targetMs;
        allMet &= met;
        const QByteArray target =
            f.targetMs == 0 ? QByteArray("-") : QByteArray::number(f.targetMs, 'f', 1);
        std::printf("%-38s %12.2f %12.2f %7.2f %10s  %s\n", f.name, f.kestrumMs, f.directMs, ratio,
                    target.constData(), met ? "met" : "MISSED");
    }
    std::printf("\nmessages shown: %d (checksum %zu)\n", messages, sink);
    DncConnection.Close();
    return allMet && messages == 0 && findings > 0 ? 0 : 1;
}
