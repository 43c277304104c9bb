// Drift: the DNCAdmin.ini files Kestrum knows against what an export would write now, and
// the questions before a server's or the master's DNCAdmin.ini is replaced, which list what
// changes for the clients (No leaves the file as it was).

#include "base/inifile.h"
#include "check/configuration_check.h"
#include "db/dnc_database.h"
#include "dncadmin/dncadmin_export.h"
#include "dncadmin/dncadmin_merge.h"
#include "dncadmin/folder_selection.h"
#include "dncadmin/frmToolsMerge.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestDrift : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetDatabaseState();
        MasterDncAdminPath.clear();
        DncAdminPaths = {};
    }

    void Drift_data() {
        QTest::addColumn<QStringList>("statements");  // ADD adds LATHE4
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, const QString& sql, const QStringList& expected) {
            QTest::newRow(name) << sql.split("; ", Qt::SkipEmptyParts) << expected;
        };
        // Each finding is made for the program folder's export and for the master.
        const auto both = [](const QString& text, const QString& masterText) {
            return QStringList{QString(text).arg("\"$D/DNCAdmin.ini\""),
                               QString(masterText).arg("\"$D/MASTER/DNCAdmin.ini\"")};
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
        db.WriteFile("DNCAdminExportCopy.ini", kBase);
        // The export of CNCSRV1 in the program folder, and a master merged from it with
        // CNCSRV2's export.
        const QString exported = db.FilePath("DNCAdmin.ini");
        QVERIFY(ExportDncAdmin({"LATHE1", "MILL2", "SHOP"}, db.FilePath("DNCAdminExportCopy.ini"),
                               exported)
                    .Ok);
        QVERIFY(
            ExportDncAdmin({"GRIND3"}, db.FilePath("DNCAdminExportCopy.ini"), db.FilePath("S2.ini"))
                .Ok);
        QDir(db.Folder()).mkpath("MASTER");
        MergeTable table;
        QVERIFY(ReadDncAdminFile(exported, table.Columns[0]));
        QVERIFY(ReadDncAdminFile(db.FilePath("S2.ini"), table.Columns[1]));
        QVERIFY(
            MergeDncAdmin(table, db.FilePath("MASTER"), db.FilePath("DNCAdminExportCopy.ini")).Ok);
        QVERIFY(
            WriteIniValue("PATHS", "MASTERDNCADMINPATH", db.FilePath("MASTER"), db.SettingsPath()));

        for (QString sql : statements) {
            if (sql == "ADD") {
                db.AddClient("LATHE4", 1, "01", "004", 2, 4, {{db.Dir("L1"), 3}});
                continue;
            }
            QVERIFY(db.Exec(sql.replace("$W", folder)));
        }
        CheckOptions options = LocalOptions();
        options.Files = KnownDncAdminFiles();
        QStringList rows = FindingRows(CheckConfiguration(options).Findings, folder);
        rows = rows.filter("|drift-");
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
        const QString own = JoinPath(db.Folder(), "DNCAdmin.ini");
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
        db.WriteFile("T.ini", kBase);
        QVERIFY(ExportDncAdmin({"LATHE1", "MILL2", "SHOP"}, db.FilePath("T.ini"),
                               db.FilePath("DNCAdmin.ini"))
                    .Ok);
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
        db.WriteFile("T.ini", kBase);
        QVERIFY(
            ExportDncAdmin({"LATHE1", "MILL2"}, db.FilePath("T.ini"), db.FilePath("S1.ini")).Ok);
        QDir(db.Folder()).mkpath("MASTER");
        const QByteArray master = kBase + "[CNC_LIST]\r\n1=OLD\r\n[OLD]\r\nNODE_ID=09\r\n";
        db.WriteFile("MASTER/DNCAdmin.ini", master);
        QVERIFY(
            WriteIniValue("PATHS", "MASTERDNCADMINPATH", db.FilePath("MASTER"), db.SettingsPath()));
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

KESTRUM_TEST(TestDrift)

#include "tst_drift.moc"
