// The configuration check on databases built for each finding: what it finds (severity,
// client, text), that the check alone changes nothing, and repairs that no longer fit.

#include "check/configuration_check.h"
#include "db/dnc_database.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestFindings : public QObject {
    Q_OBJECT
private slots:
    void Finds_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("expected");
        // Statements apart by "; ".
        const auto row = [](const char* name, const QString& sql, const QStringList& expected) {
            QTest::newRow(name) << sql.split("; ", Qt::SkipEmptyParts) << expected;
        };
        row("sound", "", {});
        // GRIND3 shares the port too, but on another server.
        row("same com port", "UPDATE t_client_mode SET cnc_comport = 1 WHERE client_id IN (2, 4)",
            {"error|LATHE1|same-com-port|LATHE1 is on COM 1, the same serial port as MILL2",
             "error|MILL2|same-com-port|MILL2 is on COM 1, the same serial port as LATHE1"});
        row("same node and port id",
            "UPDATE t_dnc_server_clients SET PORT_ID = '001' WHERE client_id = 2",
            {"error|LATHE1|same-node-port-id|LATHE1 has NODE_ID \"01\" and PORT_ID \"001\", the "
             "same as MILL2",
             "error|MILL2|same-node-port-id|MILL2 has NODE_ID \"01\" and PORT_ID \"001\", the "
             "same as LATHE1"});
        row("missing rows",
            "DELETE FROM t_command WHERE client_id = 1; "
            "DELETE FROM t_client_mode WHERE client_id = 1",
            {"error|LATHE1|missing-row|LATHE1 has no row in t_client_mode, t_command; the DNC "
             "server cannot read its settings"});
        row("left behind",
            "INSERT INTO t_client_mode (client_id) VALUES (99); "
            "INSERT INTO t_client_directory (client_id, directory_direct) VALUES (99, 'C:\\OLD'); "
            "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (99, 99)",
            {"warning||left-behind-rows|A deleted client (id 99) left rows behind in "
             "t_client_mode, t_client_directory, t_shopterm_clients"});
        row("unknown protocol",
            "UPDATE t_dnc_server_clients SET protocol_id = 9 WHERE client_id = 1",
            {"error|LATHE1|unknown-protocol|LATHE1 has protocol number 9, which is not in the "
             "protocol list"});
        row("reserved name, name with bracket",
            "UPDATE t_dnc_server_clients SET client_name = 'Cnc_List' WHERE client_id = 1; "
            "UPDATE t_dnc_server_clients SET client_name = 'A]B' WHERE client_id = 2",
            {"error|A]B|bad-name|Client \"A]B\" cannot be written to DNCAdmin.ini: a section name "
             "cannot hold \"]\"",
             "error|Cnc_List|bad-name|Client \"Cnc_List\" cannot be written to DNCAdmin.ini: the "
             "name is a section DNCAdmin.ini uses itself"});
        row("names apart by case and blank",
            "UPDATE t_dnc_server_clients SET client_name = 'lathe1 ' WHERE client_id = 4",
            {"error|LATHE1|similar-names|Client \"LATHE1\" cannot be told apart from \"lathe1 \" "
             "(CNCSRV2) (letter case or blanks only)",
             "error|lathe1 |bad-name|Client \"lathe1 \" cannot be written to DNCAdmin.ini: the "
             "name begins or ends with a blank",
             "error|lathe1 |similar-names|Client \"lathe1 \" cannot be told apart from \"LATHE1\" "
             "(CNCSRV1) (letter case or blanks only)"});
        row("same bts address",
            "UPDATE t_dnc_server_clients SET bts_address = '0011223344AB' "
            "WHERE client_id IN (1, 4)",
            {"error|LATHE1|same-bts-address|LATHE1 has BTS adapter 0011223344AB, the same as "
             "GRIND3",
             "error|GRIND3|same-bts-address|GRIND3 has BTS adapter 0011223344AB, the same as "
             "LATHE1"});
        row("bts without address",
            "UPDATE t_dnc_server_clients SET bts_used = -1, bts_pin = '12345678' WHERE "
            "client_id = 1; UPDATE t_dnc_server_clients SET bts_used = -1 WHERE client_id = 4",
            {"warning|LATHE1|bts-incomplete|LATHE1 has BTS switched on but no adapter address",
             "warning|GRIND3|bts-incomplete|GRIND3 has BTS switched on but no adapter address and "
             "no PIN"});
        row("folder missing on this computer",
            "UPDATE t_client_directory SET directory_direct = directory_direct || '\\GONE' "
            "WHERE client_id = 1",
            {"error|LATHE1|missing-folder|LATHE1: folder \"$D\\L1\\GONE\" does not exist"});
        row("same alias",
            "UPDATE t_client_directory SET directory_alias = 'PARTS' WHERE client_id = 2",
            {"warning|MILL2|same-alias|MILL2 has 2 folders with alias PARTS: $D\\M2, $D\\M2UP"});
        // LATHE1's folder has mode 4, MILL2 has an upload folder only.
        row("no download folder",
            "UPDATE t_client_directory SET dir_mode = 4 WHERE client_id = 1; "
            "DELETE FROM t_client_directory WHERE client_id = 2 AND dir_mode = 1",
            {"error|LATHE1|no-download-folder|LATHE1 has no download folder; the DNC server gets "
             "an empty DEFAULT_DIR",
             "warning|LATHE1|bad-dir-mode|LATHE1: folder \"$D\\L1\" has mode 4; only 1 "
             "(download), 2 (upload) and 3 (both) are used",
             "error|MILL2|no-download-folder|MILL2 has no download folder; the DNC server gets "
             "an empty DEFAULT_DIR"});
        row("server deleted", "DELETE FROM t_dnc_servers WHERE dnc_server_name = 'CNCSRV2'",
            {"error|GRIND3|no-server|GRIND3 belongs to a DNC server that no longer exists (id "
             "2)"});
    }
    void Finds() {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, expected);
        CheckInstallation db;
        for (const QString& sql : statements) {
            QVERIFY2(db.Exec(sql), qPrintable(sql));
        }
        const QStringList before = db.Dump();
        MessageRecorder messages;
        const CheckResult result = CheckConfiguration(LocalOptions());
        QVERIFY(result.Ok);
        // Folders are path text on drive C: the finding shows them so.
        QCOMPARE(FindingRows(result.Findings, WindowsPathText(db.Folder())), expected);
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(db.Dump(), before);
    }

    // A repair that no longer fits (the client came back, or was deleted meanwhile) changes
    // nothing; a finding with no safe answer is never repaired.
    void RepairStale() {
        CheckInstallation db;
        QVERIFY(db.Exec("DELETE FROM t_command WHERE client_id = 1"));
        const QList<Finding> findings = CheckConfiguration(LocalOptions()).Findings;
        QCOMPARE(findings.size(), 1);
        QVERIFY(db.Exec("DELETE FROM t_dnc_server_clients WHERE client_id = 1"));
        const QStringList before = db.Dump();
        QVERIFY(!RepairFinding(findings.first()).Ok);
        Finding leftBehind = findings.first();
        leftBehind.Kind = QStringLiteral("left-behind-rows");
        leftBehind.ClientId = 2;
        QVERIFY(!RepairFinding(leftBehind).Ok);
        Finding port = leftBehind;
        port.Kind = QStringLiteral("same-com-port");
        QVERIFY(!IsRepairable(port));
        QVERIFY(!RepairFinding(port).Ok);
        QCOMPARE(db.Dump(), before);
    }
};

KESTRUM_TEST(TestFindings)

#include "tst_findings.moc"
