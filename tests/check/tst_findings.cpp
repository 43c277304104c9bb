// The configuration check on databases built for each finding: what it finds (severity,
// client, text), what a repair changes, and that the check alone changes nothing.

#include "check/configuration_check.h"
#include "db/dnc_database.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QTest>

namespace {

// Statements run on the sound configuration; $L, $M, $G are the ids of LATHE1, MILL2 and
// GRIND3, $D the installation's folder as path text.
void Apply(const CheckInstallation& db, const QStringList& statements) {
    for (QString sql : statements) {
        sql.replace("$L", QString::number(db.IdOf("LATHE1")))
            .replace("$M", QString::number(db.IdOf("MILL2")))
            .replace("$G", QString::number(db.IdOf("GRIND3")))
            .replace("$D", db.Folder());
        QVERIFY2(db.Exec(sql), qPrintable(sql));
    }
}

}  // namespace

class TestFindings : public QObject {
    Q_OBJECT
private slots:
    void Finds_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("sound") << QStringList() << QStringList();
        QTest::newRow("same com port")
            << QStringList{"UPDATE t_client_mode SET cnc_comport = 1 WHERE client_id = $M"}
            << QStringList{
                   "error|LATHE1|same-com-port|LATHE1 is on COM 1, the same serial port as MILL2",
                   "error|MILL2|same-com-port|MILL2 is on COM 1, the same serial port as LATHE1"};
        QTest::newRow("same port on two servers is fine")
            << QStringList{"UPDATE t_client_mode SET cnc_comport = 2 WHERE client_id = $G"}
            << QStringList();
        QTest::newRow("same node and port id")
            << QStringList{"UPDATE t_dnc_server_clients SET PORT_ID = '001' WHERE client_id = $M"}
            << QStringList{
                   "error|LATHE1|same-node-port-id|LATHE1 has NODE_ID \"01\" and PORT_ID "
                   "\"001\", the same as MILL2",
                   "error|MILL2|same-node-port-id|MILL2 has NODE_ID \"01\" and PORT_ID "
                   "\"001\", the same as LATHE1"};
        QTest::newRow("missing rows")
            << QStringList{"DELETE FROM t_command WHERE client_id = $L",
                           "DELETE FROM t_client_mode WHERE client_id = $L"}
            << QStringList{
                   "error|LATHE1|missing-row|LATHE1 has no row in t_client_mode, "
                   "t_command; the DNC server cannot read its settings"};
        QTest::newRow("left behind")
            << QStringList{"INSERT INTO t_client_mode (client_id) VALUES (99)",
                           "INSERT INTO t_client_directory (client_id, directory_direct) "
                           "VALUES (99, 'C:\\OLD')",
                           "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) "
                           "VALUES (99, 99)"}
            << QStringList{
                   "warning||left-behind-rows|A deleted client (id 99) left rows behind "
                   "in t_client_mode, t_client_directory, t_shopterm_clients"};
        QTest::newRow("unknown protocol")
            << QStringList{"UPDATE t_dnc_server_clients SET protocol_id = 9 WHERE client_id = $L"}
            << QStringList{
                   "error|LATHE1|unknown-protocol|LATHE1 has protocol number 9, which is "
                   "not in the protocol list"};
        QTest::newRow("reserved name")
            << QStringList{"UPDATE t_dnc_server_clients SET client_name = 'Cnc_List' "
                           "WHERE client_id = $L"}
            << QStringList{"error|Cnc_List|bad-name|Client \"Cnc_List\" cannot be written to "
                           "DNCAdmin.ini: the name is a section DNCAdmin.ini uses itself"};
        QTest::newRow("name with bracket")
            << QStringList{"UPDATE t_dnc_server_clients SET client_name = 'A]B' "
                           "WHERE client_id = $L"}
            << QStringList{"error|A]B|bad-name|Client \"A]B\" cannot be written to DNCAdmin.ini: "
                           "a section name cannot hold \"]\""};
        QTest::newRow("names apart by case and blank")
            << QStringList{"UPDATE t_dnc_server_clients SET client_name = 'lathe1 ' "
                           "WHERE client_id = $G"}
            << QStringList{
                   "error|LATHE1|similar-names|Client \"LATHE1\" cannot be told apart from "
                   "\"lathe1 \" (CNCSRV2) (letter case or blanks only)",
                   "error|lathe1 |bad-name|Client \"lathe1 \" cannot be written to DNCAdmin.ini: "
                   "the name begins or ends with a blank",
                   "error|lathe1 |similar-names|Client \"lathe1 \" cannot be told apart from "
                   "\"LATHE1\" (CNCSRV1) (letter case or blanks only)"};
        QTest::newRow("same bts address")
            << QStringList{"UPDATE t_dnc_server_clients SET bts_address = '0011223344AB' "
                           "WHERE client_id IN ($L, $G)"}
            << QStringList{"error|LATHE1|same-bts-address|LATHE1 has BTS adapter 0011223344AB, "
                           "the same as GRIND3",
                           "error|GRIND3|same-bts-address|GRIND3 has BTS adapter 0011223344AB, "
                           "the same as LATHE1"};
        QTest::newRow("bts without address")
            << QStringList{"UPDATE t_dnc_server_clients SET bts_used = -1, bts_pin = '12345678' "
                           "WHERE client_id = $L",
                           "UPDATE t_dnc_server_clients SET bts_used = -1 WHERE client_id = $G"}
            << QStringList{"warning|LATHE1|bts-incomplete|LATHE1 has BTS switched on but no "
                           "adapter address",
                           "warning|GRIND3|bts-incomplete|GRIND3 has BTS switched on but no "
                           "adapter address and no PIN"};
        QTest::newRow("folder missing on this computer")
            << QStringList{"UPDATE t_client_directory SET directory_direct = "
                           "directory_direct || '\\GONE' WHERE client_id = $L"}
            << QStringList{"error|LATHE1|missing-folder|LATHE1: folder \"$D\\L1\\GONE\" does not "
                           "exist"};
        QTest::newRow("same alias")
            << QStringList{"UPDATE t_client_directory SET directory_alias = 'PARTS' "
                           "WHERE client_id = $M"}
            << QStringList{"warning|MILL2|same-alias|MILL2 has 2 folders with alias PARTS: "
                           "$D\\M2, $D\\M2UP"};
        QTest::newRow("mode outside 1-3")
            << QStringList{"UPDATE t_client_directory SET dir_mode = 4 WHERE client_id = $L"}
            << QStringList{
                   "error|LATHE1|no-download-folder|LATHE1 has no download folder; the "
                   "DNC server gets an empty DEFAULT_DIR",
                   "warning|LATHE1|bad-dir-mode|LATHE1: folder \"$D\\L1\" has mode 4; "
                   "only 1 (download), 2 (upload) and 3 (both) are used"};
        QTest::newRow("upload folder only")
            << QStringList{"DELETE FROM t_client_directory WHERE client_id = $M AND dir_mode = 1"}
            << QStringList{
                   "error|MILL2|no-download-folder|MILL2 has no download folder; the DNC "
                   "server gets an empty DEFAULT_DIR"};
        QTest::newRow("server deleted")
            << QStringList{"DELETE FROM t_dnc_servers WHERE dnc_server_name = 'CNCSRV2'"}
            << QStringList{
                   "error|GRIND3|no-server|GRIND3 belongs to a DNC server that no longer "
                   "exists (id 2)"};
    }
    void Finds() {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, expected);
        CheckInstallation db;
        Apply(db, statements);
        const QStringList before = db.Dump();
        MessageRecorder messages;
        const CheckResult result = CheckConfiguration(LocalOptions());
        QVERIFY(result.Ok);
        // Folders are path text on drive C: the finding shows them so.
        QCOMPARE(FindingRows(result.Findings, WindowsPathText(db.Folder())), expected);
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(db.Dump(), before);
    }

    // A repair adds the missing rows with their defaults or removes the left-behind rows,
    // and changes nothing else: afterwards the database is the sound one again.
    void Repairs_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("missing rows")
            << QStringList{"DELETE FROM t_command WHERE client_id = $M",
                           "DELETE FROM t_timeout_table_up WHERE client_id = $M",
                           "DELETE FROM t_filter_table_down"}
            << QStringList{"t_filter_table_down: 1 row added", "t_filter_table_down: 1 row added",
                           "t_timeout_table_up: 1 row added",  "t_command: 1 row added",
                           "t_filter_table_down: 1 row added", "t_filter_table_down: 1 row added"};
        QTest::newRow("left behind")
            << QStringList{"INSERT INTO t_client_mode (client_id, cnc_comport) VALUES (77, 1)",
                           "INSERT INTO t_command (client_id) VALUES (77)",
                           "INSERT INTO t_remote (rem_client_id) VALUES (77)",
                           "INSERT INTO t_client_directory (client_id, directory_direct) "
                           "VALUES (77, 'C:\\OLD')",
                           "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) "
                           "VALUES ($L, 77)"}
            << QStringList{"t_client_mode: 1 row removed", "t_command: 1 row removed",
                           "t_client_directory: 1 row removed", "t_remote: 1 row removed",
                           "t_shopterm_clients: 1 row removed"};
    }
    void Repairs() {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, changes);
        CheckInstallation db;
        const QStringList sound = db.Dump();
        Apply(db, statements);
        MessageRecorder messages;
        QStringList done;
        for (const Finding& finding : CheckConfiguration(LocalOptions()).Findings) {
            QVERIFY(IsRepairable(finding));
            const RepairDone repair = RepairFinding(finding);
            QVERIFY(repair.Ok);
            done << repair.Changes;
        }
        QCOMPARE(done, changes);
        QCOMPARE(db.Dump(), sound);
        QVERIFY(CheckConfiguration(LocalOptions()).Findings.isEmpty());
        QCOMPARE(messages.Count(), 0);
    }

    // A repair that no longer fits (the client came back, or was deleted meanwhile) changes
    // nothing; a finding with no safe answer is never repaired.
    void RepairStale() {
        CheckInstallation db;
        Apply(db, {"DELETE FROM t_command WHERE client_id = $L"});
        const QList<Finding> findings = CheckConfiguration(LocalOptions()).Findings;
        QCOMPARE(findings.size(), 1);
        Apply(db, {"DELETE FROM t_dnc_server_clients WHERE client_id = $L"});
        const QStringList before = db.Dump();
        QVERIFY(!RepairFinding(findings.first()).Ok);
        Finding leftBehind = findings.first();
        leftBehind.Kind = QStringLiteral("left-behind-rows");
        leftBehind.ClientId = qint32(db.IdOf("MILL2"));
        QVERIFY(!RepairFinding(leftBehind).Ok);
        QCOMPARE(db.Dump(), before);
        Finding port;
        port.Kind = QStringLiteral("same-com-port");
        port.ClientId = qint32(db.IdOf("MILL2"));
        QVERIFY(!IsRepairable(port));
        QVERIFY(!RepairFinding(port).Ok);
        QCOMPARE(db.Dump(), before);
    }
};

KESTRUM_TEST(TestFindings)

#include "tst_findings.moc"
