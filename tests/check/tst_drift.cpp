// Drift: the DNCAdmin.ini files Kestrum knows against what an export would write now.

#include "base/inifile.h"
#include "check/configuration_check.h"
#include "db/dnc_database.h"
#include "dncadmin/dncadmin_export.h"
#include "dncadmin/dncadmin_merge.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestDrift : public QObject {
    Q_OBJECT
private slots:
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
};

KESTRUM_TEST(TestDrift)

#include "tst_drift.moc"
