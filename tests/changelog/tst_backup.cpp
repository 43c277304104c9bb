// Backups before bulk changes, keeping the newest, and restoring one.

#include "admin/clone_clients.h"
#include "admin/frmToolsNodePortID.h"
#include "admin/pick_lists.h"
#include "app/startup.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "changelog_rig.h"
#include "dncadmin/atomic_file.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"
#include "transfer/backup.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

namespace {

QStringList Backups(const LogRig& rig) {
    return ListBackups(rig.tmp.FilePath("Backups"));
}

// The bulk change the row names; true when it went ahead.
bool RunBulkChange(const QString& change) {
    if (change == QLatin1String("clone")) {
        CloneRun run = PrepareClone("LATHE1", {"LATHE2", "MILL1"});
        while (CloneNextTarget(run)) {
        }
        return run.Refused.isEmpty();
    }
    if (change == QLatin1String("move")) {
        return MoveClient("MILL1", "CNCSRV1", "CNCSRV2") == MoveOutcome::Moved;
    }
    frmToolsNodePortID window;
    window.show();
    auto* node = window.findChild<QComboBox*>("cboNode");
    node->lineEdit()->setText(QStringLiteral("N9"));
    window.findChild<QPushButton*>("cmdOK")->click();
    return true;
}

}  // namespace

class TestBackup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bulkChanges_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("writable");
        for (const char* change : {"clone", "move", "node/port"}) {
            QTest::newRow(change) << QString(change) << true;
            QTest::newRow(qPrintable(QString(change) + " unwritable")) << QString(change) << false;
        }
    }
    // Each leaves one new backup equal to the database before it; without a backup nothing
    // changes and the user is told.
    void bulkChanges() {
        QFETCH(QString, change);
        QFETCH(bool, writable);
        LogRig rig;
        rig.tmp.Exec("UPDATE t_client_mode SET m_baud = 1200 WHERE client_id = 1");
        if (!writable) {
            // A file where the folder should be: no backup can be written there (also as root).
            rig.tmp.WriteFile("NoFolder", "x");
            WriteIniValue("BACKUP", "BACKUPPATH", rig.tmp.FilePath("NoFolder"),
                          rig.tmp.SettingsPath());
        }
        const QStringList before = DumpConfiguration(rig.tmp.DatabaseLocation());
        const bool wentAhead = RunBulkChange(change);
        if (!writable) {
            QVERIFY(change == "node/port" || !wentAhead);
            QCOMPARE(DumpConfiguration(rig.tmp.DatabaseLocation()), before);
            QCOMPARE(rig.Log(), QStringList());
            const QString shown = rig.messages.Texts().join('\n');
            QVERIFY2(change == "clone" || shown.contains("could not be backed up"),
                     qPrintable(shown));
            return;
        }
        QVERIFY(DumpConfiguration(rig.tmp.DatabaseLocation()) != before);
        const QStringList made = Backups(rig);
        QCOMPARE(made.size(), 1);
        QVERIFY(made.first().startsWith("DNC_"));
        QCOMPARE(DumpConfiguration(rig.tmp.FilePath("Backups/" + made.first())), before);
    }

    void onlyTheNewestAreKept() {
        LogRig rig;
        WriteIniValue("BACKUP", "BACKUPKEEP", "3", rig.tmp.SettingsPath());
        QStringList made;
        for (int i = 0; i < 5; ++i) {
            const BackupOutcome outcome =
                BackupConfiguration(DncConnection, BackupFolder(), BackupKeepCount());
            QVERIFY2(outcome.ok, qPrintable(outcome.error));
            made.prepend(QFileInfo(outcome.path).fileName());
        }
        QCOMPARE(Backups(rig), made.mid(0, 3));
    }

    // The old DNCAdmin.ini goes to the backups first; without its copy it is not replaced.
    void dncAdminIsKeptBeforeItIsReplaced() {
        LogRig rig;
        const QString file = rig.tmp.FilePath("DNCAdmin.ini");
        rig.tmp.WriteFile("DNCAdmin.ini", "[OLD]\r\n");
        rig.tmp.WriteFile("NoFolder", "x");
        WriteIniValue("BACKUP", "BACKUPPATH", rig.tmp.FilePath("NoFolder"), rig.tmp.SettingsPath());
        QString error;
        QVERIFY(!SaveFileAtomically(file, "[NEW]\r\n", &error));
        QVERIFY2(error.contains("NoFolder"), qPrintable(error));
        QCOMPARE(rig.tmp.ReadFile("DNCAdmin.ini"), QByteArray("[OLD]\r\n"));

        WriteIniValue("BACKUP", "BACKUPPATH", "", rig.tmp.SettingsPath());  // beside DNC.mdb
        QVERIFY2(SaveFileAtomically(file, "[NEW]\r\n", &error), qPrintable(error));
        QCOMPARE(rig.tmp.ReadFile("DNCAdmin.ini"), QByteArray("[NEW]\r\n"));
        const QStringList kept =
            QDir(rig.tmp.FilePath("Backups")).entryList({"DNCAdmin_*.ini"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(rig.tmp.ReadFile("Backups/" + kept.first()), QByteArray("[OLD]\r\n"));
    }

    // The tools as scripts use them: the backup list, the log filtered by client as CSV, and
    // a restore, refused while Kestrum runs, that brings the rows back after saving the
    // current ones.
    void tools() {
        if (TestOnServer()) {
            QSKIP("restores and the tools' --db here work on DNC.mdb files");
        }
        LogRig rig;
        const QString db = rig.tmp.DatabasePath();
        const QStringList original = DumpConfiguration(db);
        QVERIFY(BackupBeforeBulkChange("test"));
        const QString backup = Backups(rig).first();
        QVERIFY(UpdateRecordsMDB("t_client_mode", "client_id", SqlValue::Number(2), "m_baud",
                                 SqlValue::Number(600)));
        QVERIFY(DeleteClientRecordsMDB("MILL1"));
        const QStringList changed = DumpConfiguration(db);
        ToolRun run = RunTool("backup", {"list", "--db", db});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), backup);
        run = RunTool("log", {"--db", db, "--client", "lathe2", "--csv"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count("\r\n"), 2);  // the header and the one change
        QVERIFY(run.out.contains("m_baud: 9600 -> 600"));
        QCOMPARE(RunTool("log", {"--since", "someday"}).exitCode, 2);
        {
            // Kestrum from the tool's folder holds its single-instance lock.
            SetProgramFolder(KESTRUM_BINARY_DIR "/tools/backup");
            SingleInstanceLock running;
            QVERIFY(running.TryAcquire());
            SetProgramFolder(rig.tmp.Folder());
            run = RunTool("backup", {"restore", backup, "--db", db});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains("Kestrum is running"), qPrintable(run.err));
            QCOMPARE(Backups(rig), QStringList{backup});
        }
        DncConnection.Close();
        run = RunTool("backup", {"restore", backup, "--db", db});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(DumpConfiguration(db), original);
        QStringList saved = Backups(rig);
        QCOMPARE(saved.size(), 2);
        saved.removeAll(backup);
        QCOMPARE(DumpConfiguration(rig.tmp.FilePath("Backups/" + saved.first())), changed);
    }
};

KESTRUM_TEST(TestBackup)
#include "tst_backup.moc"
