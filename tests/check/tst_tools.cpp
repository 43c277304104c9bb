// kestrum-check (with and without --repair) and the dry runs of kestrum-dncadmin, run as the
// separate programs they are: exit codes, output, and what they leave in files and database.

#include "tests/check/check_fixture.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"
#include "transfer/backup.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

// The stored configuration: the file's bytes, or every row on the server.
QByteArray Stored(const CheckInstallation& db) {
    return db.OnServer() ? db.Dump().join('\n').toUtf8() : db.ReadFile("DNC.mdb");
}

}  // namespace

class TestTools : public QObject {
    Q_OBJECT
private slots:
    // Exit 0 without findings, 1 with them (one line each), 2 when the check cannot run.
    // Without --repair the database stays byte for byte as it was. --repair adds missing rows
    // with their defaults and removes left-behind ones, one transaction and change-log record
    // each, after a backup; checked again afterwards, only what cannot be repaired (client 2's
    // protocol) is left, the rest is the sound database.
    void Check_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("arguments");  // $DB is the database
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");       // the kinds printed, in order
        QTest::addColumn<QString>("err");           // part of standard error
        QTest::addColumn<QStringList>("repaired");  // all of standard error, after "repaired "
        QTest::addColumn<QStringList>("log");       // table|operation|client_id
        const auto row = [](const char* name, const QStringList& statements,
                            const QString& arguments, int exitCode, const QStringList& out,
                            const QString& err = QString()) {
            QTest::newRow(name) << statements << arguments << exitCode << out << err
                                << QStringList() << QStringList();
        };
        const QStringList broken = {"UPDATE t_client_mode SET cnc_comport = 7",
                                    "DELETE FROM t_command WHERE client_id = 1",
                                    "INSERT INTO t_remote (rem_client_id) VALUES (55)"};
        const QStringList found = {"missing-row", "same-com-port", "same-com-port", "same-com-port",
                                   "left-behind-rows"};
        const QString protocol9 = "UPDATE t_dnc_server_clients SET protocol_id = 9";
        row("sound", {}, "--db $DB", 0, {});
        row("findings", broken, "--db $DB", 1, found);
        row("json", broken, "--json --db $DB", 1, found);
        row("one server, named in any case", {protocol9}, "--server cncsrv2 --db $DB", 1,
            {"unknown-protocol"});
        row("no database", {}, "--db $DB.none", 2, {}, "not found");
        row("unknown server", {}, "--db $DB --server NOPE", 2, {}, "DNC server \"NOPE\" not found");
        row("wrong option", {}, "--db $DB --fix", 2, {}, "Unknown option");
        const auto repair = [&protocol9](const char* name, const QStringList& statements,
                                         const QStringList& repaired, const QStringList& log) {
            QTest::newRow(name) << statements + QStringList{protocol9 + " WHERE client_id = 2"}
                                << "--repair --db $DB" << 1 << QStringList{"unknown-protocol"}
                                << QString() << repaired << log;
        };
        repair(
            "repair missing rows",
            {"DELETE FROM t_command WHERE client_id = 2",
             "DELETE FROM t_timeout_table_up WHERE client_id = 2",
             "DELETE FROM t_filter_table_down"},
            {"LATHE1: t_filter_table_down: 1 row added", "MILL2: t_filter_table_down: 1 row added",
             "MILL2: t_timeout_table_up: 1 row added", "MILL2: t_command: 1 row added",
             "SHOP: t_filter_table_down: 1 row added", "GRIND3: t_filter_table_down: 1 row added"},
            {"t_filter_table_down|insert|1", "t_filter_table_down|insert|2",
             "t_timeout_table_up|insert|2", "t_command|insert|2", "t_filter_table_down|insert|3",
             "t_filter_table_down|insert|4"});
        repair(
            "repair left behind",
            {"INSERT INTO t_client_mode (client_id, cnc_comport) VALUES (77, 1)",
             "INSERT INTO t_command (client_id) VALUES (77)",
             "INSERT INTO t_remote (rem_client_id) VALUES (77)",
             "INSERT INTO t_client_directory (client_id, directory_direct) "
             "VALUES (77, 'C:\\OLD')",
             "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (1, 77)"},
            {"client id 77: t_client_mode: 1 row removed", "client id 77: t_command: 1 row removed",
             "client id 77: t_client_directory: 1 row removed",
             "client id 77: t_remote: 1 row removed",
             "client id 77: t_shopterm_clients: 1 row removed"},
            {"t_client_mode|delete|77", "t_command|delete|77", "t_client_directory|delete|77",
             "t_remote|delete|77", "t_shopterm_clients|delete|77"});
    }
    void Check() {
        QFETCH(QStringList, statements);
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QFETCH(QStringList, repaired);
        QFETCH(QStringList, log);
        CheckInstallation db;
        const QStringList sound = db.Dump();
        for (const QString& sql : statements) {
            QVERIFY(db.Exec(sql));
        }
        const QByteArray before = Stored(db);
        // A missing database is a missing file on both backends.
        const QString location =
            arguments.contains("$DB.none") ? db.DatabasePath() : db.DatabaseLocation();
        // Run from the installation's folder: a server's backups go to the working folder.
        const ToolRun run =
            RunTool("check", arguments.replace("$DB", location).split(' '), db.Folder());
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QStringList kinds;
        for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
            if (arguments.contains("--json")) {
                const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
                QVERIFY2(!object.value("text").toString().isEmpty(), qPrintable(line));
                QVERIFY(object.contains("severity") && object.contains("server") &&
                        object.contains("client"));
                kinds << object.value("kind").toString();
            } else {
                kinds << line.section('\t', 3, 3);
            }
        }
        QCOMPARE(kinds, out);
        if (repaired.isEmpty()) {
            QCOMPARE(Stored(db), before);
            return;
        }
        QCOMPARE(run.err.split('\n', Qt::SkipEmptyParts),
                 repaired.replaceInStrings(QRegularExpression("^"), "repaired "));
        QCOMPARE(db.TextRows("SELECT table_name, operation, client_id FROM kestrum_change_log "
                             "ORDER BY change_id"),
                 log);
        QCOMPARE(ListBackups(db.FilePath("Backups")).size(), 1);
        QVERIFY(db.Exec("UPDATE t_dnc_server_clients SET protocol_id = 6 WHERE client_id = 2"));
        QCOMPARE(db.Dump(), sound);
    }

    // --dry-run prints the clients added, removed and changed against the file on disk and
    // writes nothing.
    void DryRun_data() {
        QTest::addColumn<QString>("arguments");  // $D is the installation folder
        QTest::addColumn<bool>("fileBefore");    // the target exists (an older export)
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        const QString exportArgs =
            "export --db $D/DNC.mdb --server CNCSRV1 --base $D/T.ini --out $D/OUT/DNCAdmin.ini "
            "--dry-run";
        const QString mergeArgs = "merge --template $D/T.ini --master $D/OUT $D/S1.ini --dry-run";
        const QStringList changes = {
            "Dry run, nothing written. Changes to $D/OUT/DNCAdmin.ini:", "  added LATHE4",
            "  added MILL3", "  removed MILL2",
            "  changed LATHE1: PORT_ID 001 -> 009, PROTOCOL STANDARD -> BTR"};
        const QString wouldWrite = "Would write $D/OUT/DNCAdmin.ini: 3 clients";
        QTest::newRow("export") << exportArgs << true << 0
                                << QStringList{wouldWrite + " of server CNCSRV1"} + changes;
        QTest::newRow("export, new file")
            << exportArgs << false << 0
            << QStringList{wouldWrite + " of server CNCSRV1",
                           "Dry run, nothing written. Changes to $D/OUT/DNCAdmin.ini (a new "
                           "file):",
                           "  added LATHE1", "  added LATHE4", "  added MILL3"};
        QTest::newRow("merge") << mergeArgs << true << 0 << QStringList{wouldWrite} + changes;
        QTest::newRow("merge refused")
            << "merge --template $D/T.ini --master $D/OUT $D/S1.ini $D/S1.ini --dry-run" << true
            << 1 << QStringList();
    }
    void DryRun() {
        if (TestOnServer()) {
            QSKIP("the merge reads the DNC.mdb of its folder");
        }
        QFETCH(QString, arguments);
        QFETCH(bool, fileBefore);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        CheckInstallation db;
        QDir(db.Folder()).mkpath("OUT");
        QVERIFY(!fileBefore || db.Export({"LATHE1", "MILL2", "SHOP"}, "OUT/DNCAdmin.ini"));
        // Since then: LATHE4 added, MILL2 renamed, LATHE1 changed.
        db.AddClient("LATHE4", 1, "01", "004", 2, 4, {{db.Dir("L1"), 3}});
        QVERIFY(
            db.Exec("UPDATE t_dnc_server_clients SET client_name = 'MILL3' "
                    "WHERE client_name = 'MILL2'"));
        QVERIFY(
            db.Exec("UPDATE t_dnc_server_clients SET protocol_id = 4, PORT_ID = '009' "
                    "WHERE client_name = 'LATHE1'"));
        // The merge's source: the export as it would be now.
        QVERIFY(db.Export({"LATHE1", "LATHE4", "MILL3", "SHOP"}, "S1.ini"));
        const QMap<QString, QString> before = Snapshot(db.Folder());
        const ToolRun run = RunTool("dncadmin", arguments.replace("$D", db.Folder()).split(' '));
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts).replaceInStrings(db.Folder(), "$D"), out);
        QVERIFY(exitCode == 0 || !run.err.isEmpty());
        QCOMPARE(Snapshot(db.Folder()), before);
    }
};

KESTRUM_TEST(TestTools)

#include "tst_tools.moc"
