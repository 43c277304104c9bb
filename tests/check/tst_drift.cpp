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
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("expected");
        const QString file = "\"$D/DNCAdmin.ini\"";
        const QString master = "\"$D/MASTER/DNCAdmin.ini\"";
        QTest::newRow("fresh export") << QStringList() << QStringList();
        QTest::newRow("client added")
            << QStringList{"ADD"}
            << QStringList{"error|LATHE4|drift-added|LATHE4 is missing from " + file +
                               "; the DNC server does not know it until the file is written "
                               "again",
                           "error|LATHE4|drift-added|LATHE4 is missing from " + master +
                               "; the DNC server does not know it until the file is written "
                               "again"};
        QTest::newRow("client removed")
            << QStringList{"DELETE FROM t_dnc_server_clients WHERE client_name = 'MILL2'"}
            << QStringList{
                   "warning|MILL2|drift-removed|MILL2 in " + file +
                       " is no longer a client of CNCSRV1",
                   "warning|MILL2|drift-removed|MILL2 in " + master + " is no longer a client"};
        QTest::newRow("protocol and download folder changed")
            << QStringList{"UPDATE t_dnc_server_clients SET protocol_id = 4 "
                           "WHERE client_name = 'LATHE1'",
                           "UPDATE t_client_directory SET directory_direct = '$W\\NEW' "
                           "WHERE directory_direct LIKE '%L1'"}
            << QStringList{"warning|LATHE1|drift-changed|LATHE1 in " + file +
                               " differs from the database: PROTOCOL STANDARD -> BTR, "
                               "DEFAULT_DIR $D\\L1 -> $D\\NEW, DEFAULT_UP_DIR $D\\L1 -> $D\\NEW",
                           // The master holds the old folders in upper case.
                           "warning|LATHE1|drift-changed|LATHE1 in " + master +
                               " differs from the database: PROTOCOL STANDARD -> BTR, "
                               "DEFAULT_DIR $W\\L1 -> $D\\NEW, DEFAULT_UP_DIR $W\\L1 -> $D\\NEW"};
        QTest::newRow("shop terminal stays out")
            << QStringList{"UPDATE t_dnc_server_clients SET protocol_id = 5 "
                           "WHERE client_name = 'MILL2'"}
            << QStringList{"warning|MILL2|drift-removed|MILL2 in " + file +
                               " is no longer a client of CNCSRV1",
                           "warning|MILL2|drift-removed|MILL2 in " + master +
                               " is no longer a client"};
    }
    void Drift() {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, expected);
        CheckInstallation db;
        MessageRecorder messages;
        const QString folder = WindowsPathText(db.Folder());
        db.WriteFile("DNCAdminExportCopy.ini", "[ADMIN]\r\nLINES_DISPLAYED=64\r\n");
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
        QCOMPARE(options.Files.size(), 2);
        QList<Finding> drift;
        for (const Finding& f : CheckConfiguration(options).Findings) {
            if (f.Kind.startsWith("drift-")) {
                drift << f;
            }
        }
        QStringList rows = FindingRows(drift, folder);
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
