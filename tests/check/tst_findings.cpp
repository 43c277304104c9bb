// The configuration check on databases built for each finding: what it finds (severity,
// client, text), that the check alone changes nothing, and repairs that no longer fit. Then
// the DNCAdmin.ini files against what an export would write now: drift, and the questions
// before a server's or the master's file is replaced (No leaves the file as it was).

#include "base/inifile.h"
#include "db/dnc_database.h"
#include "dncadmin/dncadmin_merge.h"
#include "dncadmin/folder_selection.h"
#include "dncadmin/frmToolsMerge.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QTest>

class TestFindings : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetDatabaseState();
        MasterDncAdminPath.clear();
        DncAdminPaths = {};
    }

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

    // A finding about a group names the first ten others and counts the rest: twelve
    // clients on one port name eleven others each.
    void NamesAFewOthers() {
        CheckInstallation db;
        QStringList values;
        for (int i = 1; i <= 12; ++i) {
            values << QStringLiteral("('X%1', 1)").arg(i, 2, 10, QLatin1Char('0'));
        }
        QVERIFY(db.Exec("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES " +
                        values.join(", ")));
        QVERIFY(
            db.Exec("INSERT INTO t_client_mode (client_id, cnc_comport) SELECT client_id, 5 "
                    "FROM t_dnc_server_clients WHERE client_name LIKE 'X%'"));
        QStringList texts;
        for (const Finding& f : CheckConfiguration(LocalOptions()).Findings) {
            if (f.Kind == QLatin1String("same-com-port")) {
                texts << f.Text;
            }
        }
        QCOMPARE(texts.size(), 12);
        QCOMPARE(texts.first(),
                 "X01 is on COM 5, the same serial port as X02, X03, X04, X05, X06, X07, X08, "
                 "X09, X10, X11 and 1 more");
        QCOMPARE(texts.last(),
                 "X12 is on COM 5, the same serial port as X01, X02, X03, X04, X05, X06, X07, "
                 "X08, X09, X10 and 1 more");
    }

    // Many repairs go kRepairBatch to a transaction. A repair that fails in a batch is run
    // alone again: it alone stays unrepaired and its report is shown once, the batch's not.
    void RepairsInBatches() {
        CheckInstallation db;
        const int clients = kRepairBatch + 20;
        QVERIFY(db.Exec(
            QStringLiteral("INSERT INTO t_dnc_server_clients (client_name, "
                           "dnc_server_id) SELECT 'R' || n, 1 FROM %1")
                .arg(db.OnServer() ? "generate_series(1, " + QString::number(clients) + ") AS s(n)"
                                   : "(WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL "
                                     "SELECT n + 1 FROM c WHERE n < " +
                                         QString::number(clients) + ") SELECT n FROM c)")));
        // The repair of R7 is refused by the database.
        const QStringList refuse =
            db.OnServer()
                ? QStringList{"CREATE FUNCTION refuse_r7() RETURNS trigger AS $$ BEGIN IF "
                              "NEW.client_id = (SELECT client_id FROM t_dnc_server_clients WHERE "
                              "client_name = 'R7') THEN RAISE EXCEPTION 'refused'; END IF; "
                              "RETURN NEW; END $$ LANGUAGE plpgsql",
                              "CREATE TRIGGER refuse_r7 BEFORE INSERT ON t_command FOR EACH ROW "
                              "EXECUTE FUNCTION refuse_r7()"}
                : QStringList{"CREATE TRIGGER refuse_r7 BEFORE INSERT ON t_command WHEN "
                              "NEW.client_id = (SELECT client_id FROM t_dnc_server_clients WHERE "
                              "client_name = 'R7') BEGIN SELECT RAISE(ABORT, 'refused'); END"};
        for (const QString& sql : refuse) {
            QVERIFY2(db.Exec(sql), qPrintable(sql));
        }
        const QList<Finding> findings = CheckConfiguration(LocalOptions()).Findings;
        MessageRecorder messages;
        QStringList unrepaired;
        int repaired = 0;
        const int told = RepairFindings(findings, [&](const Finding& f, const RepairDone& done) {
            if (done.Ok) {
                ++repaired;
            } else {
                unrepaired << f.Client;
            }
        });
        QVERIFY(db.Exec(db.OnServer() ? "DROP TRIGGER refuse_r7 ON t_command"
                                      : "DROP TRIGGER refuse_r7"));
        QVERIFY(!db.OnServer() || db.Exec("DROP FUNCTION refuse_r7()"));
        QCOMPARE(told, clients);
        QCOMPARE(unrepaired, QStringList{"R7"});
        QCOMPARE(repaired, clients - 1);
        QCOMPARE(messages.Count(), 1);
        QVERIFY2(messages.Last().text.contains("refused"), qPrintable(messages.Last().text));
        QStringList left;
        for (const Finding& f : CheckConfiguration(LocalOptions()).Findings) {
            if (f.Kind == QLatin1String("missing-row")) {
                left << f.Client;
            }
        }
        QCOMPARE(left, QStringList{"R7"});
    }

    // Drift: the DNCAdmin.ini files Kestrum knows against what an export would write now.
    void Drift_data() {
        QTest::addColumn<QStringList>("statements");  // ADD adds LATHE4
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, const QString& sql, const QStringList& expected) {
            QTest::newRow(name) << sql.split("; ", Qt::SkipEmptyParts) << expected;
        };
        // Each finding is made for the program folder's export and for the master.
        const auto both = [](const QString& text, const QString& masterText) {
            // Named as the system spells paths (the settings hold them so).
            return QStringList{
                QString(text).arg(QDir::toNativeSeparators("\"$D/DNCAdmin.ini\"")),
                QString(masterText).arg(QDir::toNativeSeparators("\"$D/MASTER/DNCAdmin.ini\""))};
        };
        const QString added =
            "error|LATHE4|drift-added|LATHE4 is missing from %1; the DNC "
            "server does not know it until the file is written again";
        const QString removed = "warning|MILL2|drift-removed|MILL2 in %1 is no longer a client";
        row("fresh export", "", {});
        row("client added", "ADD", both(added, added));
        row("client removed", "DELETE FROM t_dnc_server_clients WHERE client_name = 'MILL2'",
            both(removed + " of CNCSRV1", removed));
        // The master holds the old folders in upper case.
        row("protocol and download folder changed",
            "UPDATE t_dnc_server_clients SET protocol_id = 4 WHERE client_name = 'LATHE1'; "
            "UPDATE t_client_directory SET directory_direct = '$W\\NEW' "
            "WHERE directory_direct LIKE '%L1'",
            both("warning|LATHE1|drift-changed|LATHE1 in %1 differs from the database: PROTOCOL "
                 "STANDARD -> BTR, DEFAULT_DIR $D\\L1 -> $D\\NEW, DEFAULT_UP_DIR $D\\L1 -> "
                 "$D\\NEW",
                 "warning|LATHE1|drift-changed|LATHE1 in %1 differs from the database: PROTOCOL "
                 "STANDARD -> BTR, DEFAULT_DIR $W\\L1 -> $D\\NEW, DEFAULT_UP_DIR $W\\L1 -> "
                 "$D\\NEW"));
        row("shop terminal stays out",
            "UPDATE t_dnc_server_clients SET protocol_id = 5 WHERE client_name = 'MILL2'",
            both(removed + " of CNCSRV1", removed));
    }
    void Drift() {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, expected);
        CheckInstallation db;
        MessageRecorder messages;
        const QString folder = WindowsPathText(db.Folder());
        // The export of CNCSRV1 in the program folder, and a master merged from it with
        // CNCSRV2's export.
        const QString base = "DNCAdminExportCopy.ini";
        QVERIFY(db.Export({"LATHE1", "MILL2", "SHOP"}, "DNCAdmin.ini", base));
        QVERIFY(db.Export({"GRIND3"}, "S2.ini", base));
        QDir(db.Folder()).mkpath("MASTER");
        MergeTable table;
        QVERIFY(ReadDncAdminFile(db.FilePath("DNCAdmin.ini"), table.Columns[0]));
        QVERIFY(ReadDncAdminFile(db.FilePath("S2.ini"), table.Columns[1]));
        QVERIFY(MergeDncAdmin(table, db.FilePath("MASTER"), db.FilePath(base)).Ok);
        QVERIFY(WriteIniValue("PATHS", "MASTERDNCADMINPATH",
                              QDir::toNativeSeparators(db.FilePath("MASTER")), db.SettingsPath()));

        for (QString sql : statements) {
            if (sql == "ADD") {
                db.AddClient("LATHE4", 1, "01", "004", 2, 4, {{db.Dir("L1"), 3}});
                continue;
            }
            QVERIFY(db.Exec(sql.replace("$W", folder)));
        }
        CheckOptions options = LocalOptions();
        options.Files = KnownDncAdminFiles();
        QStringList rows =
            FindingRows(CheckConfiguration(options).Findings, folder).filter("|drift-");
        rows.replaceInStrings(db.Folder(), "$D");
        rows.replaceInStrings(folder.toUpper(), "$W");  // the master holds upper case
        QCOMPARE(rows, expected);
        QCOMPARE(messages.Count(), 0);
    }

    // The files compared: the program folder's export, the server folder's copy (once, also
    // when it is the program folder) and the master.
    void KnownFiles() {
        CheckInstallation db;
        const auto paths = [] {
            QStringList list;
            for (const KnownDncAdminFile& file : KnownDncAdminFiles()) {
                list << file.Path + (file.Master ? " (master)" : "");
            }
            return list;
        };
        const QString own = QDir::toNativeSeparators(JoinPath(db.Folder(), "DNCAdmin.ini"));
        QCOMPARE(paths(), QStringList{own});
        QVERIFY(WriteIniValue("PATHS", "DNCADMINEXPORTPATH", db.Folder(), db.SettingsPath()));
        QCOMPARE(paths(), QStringList{own});
        QVERIFY(WriteIniValue("PATHS", "DNCADMINEXPORTPATH", "C:\\DNC\\SRV", db.SettingsPath()));
        QVERIFY(WriteIniValue("PATHS", "MASTERDNCADMINPATH", "C:\\DNC\\MASTER", db.SettingsPath()));
        QCOMPARE(paths(), QStringList({own, "C:\\DNC\\SRV\\DNCAdmin.ini",
                                       "C:\\DNC\\MASTER\\DNCAdmin.ini (master)"}));
    }

    // The export copied into the server's folder (folder selection, mode 0).
    void ServerFile_data() {
        QTest::addColumn<QByteArray>("onDisk");  // the server's DNCAdmin.ini before
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QString>("question");  // "" when none is asked
        QTest::addColumn<bool>("replaced");
        const QByteArray lathe =
            "[CNC_LIST]\r\n1=LATHE1\r\n[LATHE1]\r\nNODE_ID=01\r\n"
            "PORT_ID=001\r\nPROTOCOL=STANDARD\r\nDEFAULT_DIR=X\r\n"
            "DEFAULT_UP_DIR=X\r\n";
        QTest::newRow("changes, yes")
            << lathe << MsgAnswer::Yes
            << "Replace \"$T\\SRV\\DNCAdmin.ini\"?\n\n1 clients added, 0 removed, 1 changed:\n"
               "added MILL2\nchanged LATHE1: DEFAULT_DIR X -> $T\\L1, DEFAULT_UP_DIR X -> $T\\L1"
            << true;
        QTest::newRow("changes, no") << lathe << MsgAnswer::No << "Replace" << false;
        QTest::newRow("same clients") << QByteArray("<same>") << MsgAnswer::No << "" << true;
        QTest::newRow("no file yet") << QByteArray() << MsgAnswer::No << "" << true;
    }
    void ServerFile() {
        QFETCH(QByteArray, onDisk);
        QFETCH(MsgAnswer, answer);
        QFETCH(QString, question);
        QFETCH(bool, replaced);
        CheckInstallation db;
        QVERIFY(db.Export({"LATHE1", "MILL2", "SHOP"}, "DNCAdmin.ini"));
        QDir(db.Folder()).mkpath("SRV");
        if (onDisk == "<same>") {
            // Other bytes (another base), the same clients.
            onDisk = "[X]\r\n" + db.ReadFile("DNCAdmin.ini");
        }
        if (!onDisk.isEmpty()) {
            db.WriteFile("SRV/DNCAdmin.ini", onDisk);
        }
        MessageRecorder messages;
        messages.Answer(answer);
        SelectedFolderPath = db.FilePath("SRV");
        const ConfirmOutcome outcome = ConfirmFolderSelection(0);
        QCOMPARE(outcome, replaced ? ConfirmOutcome::Close : ConfirmOutcome::StayOpen);
        QCOMPARE(db.ReadFile("SRV/DNCAdmin.ini"), replaced ? db.ReadFile("DNCAdmin.ini") : onDisk);
        QCOMPARE(messages.Count(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty()) {
            QString text = messages.Last().text;
            // The file is named as the settings store it: Windows path text.
            text.replace(WindowsPathText(db.Folder()), "$T");
            QVERIFY2(text.startsWith(question), qPrintable(text));
            QCOMPARE(messages.Last().buttons, MsgButtons::YesNo);
        }
    }

    // The merge into an existing master asks first; No writes nothing.
    void Master() {
        CheckInstallation db;
        QVERIFY(db.Export({"LATHE1", "MILL2"}, "S1.ini"));
        QDir(db.Folder()).mkpath("MASTER");
        const QByteArray master = kBase + "[CNC_LIST]\r\n1=OLD\r\n[OLD]\r\nNODE_ID=09\r\n";
        db.WriteFile("MASTER/DNCAdmin.ini", master);
        QVERIFY(WriteIniValue("PATHS", "MASTERDNCADMINPATH",
                              QDir::toNativeSeparators(db.FilePath("MASTER")), db.SettingsPath()));
        QVERIFY(WriteIniValue("PATHS", "DNCADMINPATH1", db.FilePath("S1.ini"), db.SettingsPath()));
        MessageRecorder messages;
        frmToolsMerge window;
        messages.Answer(MsgAnswer::No);
        window.Merge();
        QCOMPARE(db.ReadFile("MASTER/DNCAdmin.ini"), master);
        QCOMPARE(messages.Count(), 1);
        QVERIFY2(messages.Last().text.endsWith("2 clients added, 1 removed, 0 changed:\n"
                                               "added LATHE1\nadded MILL2\nremoved OLD"),
                 qPrintable(messages.Last().text));
        messages.Answer(MsgAnswer::Yes);
        window.Merge();
        QVERIFY(db.ReadFile("MASTER/DNCAdmin.ini").contains("1=LATHE1\r\n2=MILL2\r\n"));
        // Merged again: the clients stay as they are, nothing to ask.
        window.Merge();
        QCOMPARE(messages.Count(), 2);
    }
};

KESTRUM_TEST(TestFindings)

#include "tst_findings.moc"
