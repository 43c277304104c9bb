// The change log: one record per changed row, written in the change's own transaction, and
// the window that shows it. Backups before bulk changes, keeping the newest, and restoring
// one.

#include "admin/clone_clients.h"
#include "admin/frmToolsNodePortID.h"
#include "admin/pick_lists.h"
#include "base/database_use_lock.h"
#include "base/inifile.h"
#include "base/modal.h"
#include "base/platform.h"
#include "changelog/frmChangeLog.h"
#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "db/node_port_ids.h"
#include "db/protocol_attributes.h"
#include "dncadmin/atomic_file.h"
#include "setup/port_setup_logic.h"
#include "tests/support/checked_query.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"
#include "transfer/backup.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTreeView>
#include <QUuid>

namespace {

// Every row of the tables the DNC servers read, as text, in a stable order.
QStringList DumpConfiguration(const QString& location) {
    QStringList rows;
    DatabaseConnection connection(QUuid::createUuid().toString());
    if (!OpenDatabaseAt(connection, location)) {
        return {QStringLiteral("cannot open ") + location};
    }
    for (const QString& table : SchemaTables()) {
        // Sorted here: a table of one column (t_command) has no second column to order by.
        QSqlQuery query(connection.Database());
        if (!ExecOrFail(query, QStringLiteral("SELECT * FROM ") + table)) {
            return {QStringLiteral("cannot read ") + table};
        }
        QStringList tableRows;
        while (query.next()) {
            QStringList fields{table};
            for (int i = 0; i < query.record().count(); ++i) {
                fields << query.value(i).toString();
            }
            tableRows << fields.join(QLatin1Char('|'));
        }
        tableRows.sort();
        rows << tableRows;
    }
    return rows;
}

// An installation with two servers and clients made through the database layer (LATHE1,
// LATHE2 and MILL1 on CNCSRV1: ids 1 to 3).
struct LogRig {
    LogRig() {
        SetChangeLogTimeSource([this] {
            return QDateTime(QDate(2026, 12, 7), QTime(8, 0), Qt::UTC).addSecs(60 * ticks++);
        });
        tmp.AddPlant({{"CNCSRV1", {"LATHE1", "LATHE2", "MILL1"}}, {"CNCSRV2", {}}});
        tmp.Exec("DELETE FROM kestrum_change_log");  // the cases start with an empty log
        ticks = 0;
    }
    ~LogRig() {
        SetChangeLogTimeSource({});
        SetCurrentAction(QString());
    }
    // The log, oldest first: table|operation|server|client|changes.
    QStringList Log() const {
        return tmp.TextRows(
            "SELECT table_name, operation, server_name, client_name, changes "
            "FROM kestrum_change_log ORDER BY change_id");
    }
    TempInstallation tmp;
    MessageRecorder messages;
    int ticks = 0;
};

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
    window.findChild<QComboBox*>("cboNode")->lineEdit()->setText(QStringLiteral("N9"));
    window.findChild<QPushButton*>("cmdOK")->click();
    return true;
}

}  // namespace

class TestChangeLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A record holds the value the database held, nothing is recorded for a value that
    // stays; a protocol change and a client added and deleted record their rows.
    void recordsOldValuesAndClientRows() {
        LogRig rig;
        // Changed behind the layer's back: the record must show what the database held.
        rig.tmp.Exec("UPDATE t_client_mode SET m_baud = 4800 WHERE client_id = 2");
        SetCurrentAction(QStringLiteral("Port Setup"));
        QVERIFY(UpdateRecordsMDB("t_client_mode", "client_id", SqlValue::Number(2), "m_baud",
                                 SqlValue::Number(19200)));
        // The same value again changes nothing and records nothing.
        QVERIFY(UpdateRecordsMDB("t_client_mode", "client_id", SqlValue::Number(2), "m_baud",
                                 SqlValue::Number(19200)));
        QCOMPARE(rig.Log(), QStringList{"t_client_mode|update|CNCSRV1|LATHE2|"
                                        "[[\"m_baud\",\"4800\",\"19200\"]]"});
        QCOMPARE(rig.tmp.TextRows("SELECT changed_at, action, computer, "
                                  "CASE WHEN os_user <> '' THEN 1 ELSE 0 END, "
                                  "client_id FROM kestrum_change_log"),
                 QStringList{"2026-12-07T08:00:00.000Z|Port Setup|CNCSRV1|1|2"});
        rig.tmp.Exec("DELETE FROM kestrum_change_log");

        // A protocol change records its companion rows.
        const qint32 id = 3;  // MILL1
        PortValues values;
        values.baud = QStringLiteral("2400");
        const PortSetupSave saved =
            SavePortSetup(id, CurrentProtocolForOk(id, QStringLiteral("STANDARD")),
                          QStringLiteral("REMOTE"), values);
        QCOMPARE(int(saved), int(PortSetupSave::Saved));
        const QString mill = "|CNCSRV1|MILL1|";
        QCOMPARE(rig.Log(),
                 (QStringList{
                     "t_shopterm_clients|insert" + mill +
                         "[[\"shop_client_id\",null,\"3\"],[\"clients_id\",null,\"3\"]]",
                     "t_remote|insert" + mill + "[[\"rem_client_id\",null,\"3\"]]",
                     "t_dnc_server_clients|update" + mill + "[[\"protocol_id\",\"2\",\"72\"]]",
                     "t_client_mode|update" + mill + "[[\"m_baud\",\"9600\",\"2400\"]]",
                     "t_dnc_server_clients|update" + mill + "[[\"bts_eobdelay\",\"0\",\"-1\"]]"}));
        rig.tmp.Exec("DELETE FROM kestrum_change_log");

        QVERIFY(AddClientMDB("DRILL'S", "CNCSRV2"));
        const QStringList added = rig.Log();
        // The client row and its seven companions.
        QCOMPARE(added.filter("|insert|CNCSRV2|DRILL'S|").size(), 8);
        QCOMPARE(added.size(), 8);
        QVERIFY(
            added.first().startsWith("t_dnc_server_clients|insert|CNCSRV2|DRILL'S|"
                                     "[[\"client_name\",null,\"DRILL'S\"]"));
        rig.tmp.Exec("DELETE FROM kestrum_change_log");
        QVERIFY(DeleteClientRecordsMDB("DRILL'S"));
        const QStringList deleted = rig.Log();
        QCOMPARE(deleted.size(), 1);
        QVERIFY2(deleted.first().startsWith("t_dnc_server_clients|delete|CNCSRV2|DRILL'S|"
                                            "[[\"client_id\",\""),
                 qPrintable(deleted.first()));
        QVERIFY(deleted.first().contains("[\"client_name\",\"DRILL'S\",null]"));
        QCOMPARE(rig.tmp.QueryValue("SELECT row_key FROM kestrum_change_log").toString(),
                 QStringLiteral("client_id=4"));
    }

    // An older database gets the log when it is first written to. A new server, a clone, a
    // move and the attribute dialogs (on a connection of their own, in their own transaction)
    // record each row they change under its own client; the clone's source and the rows whose
    // values stay are not recorded.
    void eachChangeIsRecordedUnderItsClient() {
        LogRig rig;
        rig.tmp.Exec("UPDATE t_client_mode SET m_baud = 1200, m_parity = 'N' WHERE client_id = 1");
        rig.tmp.Exec("DROP TABLE kestrum_change_log");
        QVERIFY(rig.tmp.OpenConnection());
        AddServer("CNCSRV3");
        QVERIFY(RunBulkChange("clone"));
        QVERIFY(RunBulkChange("move"));
        DatabaseConnection own(QStringLiteral("AttributeDialog"));
        QVERIFY(OpenDatabaseAt(own, rig.tmp.DatabaseLocation()));
        QVERIFY(WriteAttributeRows(
            own, 1, {AttributeChange{"t_remote", true, {"report_name"}, {SqlValue::Text("R1")}}}));
        own.Close();
        const QString mode = "[[\"m_baud\",\"9600\",\"1200\"],[\"m_parity\",\"E\",\"N\"]]";
        const QString eob = "[[\"bts_eobdelay\",\"0\",\"-1\"]]";  // follows eob_delay
        QCOMPARE(rig.Log(),
                 (QStringList{"t_dnc_servers|insert|CNCSRV3||"
                              "[[\"dnc_server_name\",null,\"CNCSRV3\"]]",
                              "t_client_mode|update|CNCSRV1|LATHE2|" + mode,
                              "t_dnc_server_clients|update|CNCSRV1|LATHE2|" + eob,
                              "t_client_mode|update|CNCSRV1|MILL1|" + mode,
                              "t_dnc_server_clients|update|CNCSRV1|MILL1|" + eob,
                              "t_dnc_server_clients|update|CNCSRV1|MILL1|"
                              "[[\"dnc_server_id\",\"1\",\"2\"]]",
                              "t_remote|insert|CNCSRV1|LATHE1|[[\"rem_client_id\",null,\"1\"]]",
                              "t_remote|update|CNCSRV1|LATHE1|[[\"report_name\",\"\",\"R1\"]]"}));
        QCOMPARE(rig.messages.Count(), 0);
    }

    // A change whose record cannot be written does not stay, alone or inside a transaction;
    // a statement that fails leaves no record.
    void neitherChangeNorRecordAlone_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("record fails, own transaction") << "single";
        QTest::newRow("record fails, in a transaction") << "nodeport";
        QTest::newRow("statement fails") << "statement";
    }
    void neitherChangeNorRecordAlone() {
        QFETCH(QString, how);
        LogRig rig;
        if (how != QLatin1String("statement")) {
            // A log that refuses every record.
            QVERIFY(rig.tmp.RefuseInserts(QStringLiteral("kestrum_change_log")));
        }
        const QStringList before = DumpConfiguration(rig.tmp.DatabaseLocation());
        if (how == QLatin1String("single")) {
            QVERIFY(!UpdateRecordsMDB("t_client_mode", "client_id", SqlValue::Number(1), "m_baud",
                                      SqlValue::Number(300)));
        } else if (how == QLatin1String("nodeport")) {
            const NodePortChange change =
                SetNodePortIdsMDB({"LATHE1", "LATHE2"}, QStringLiteral("N7"), true);
            QVERIFY(!change.Committed);
        } else {
            // NOT NULL: the update fails in the database.
            QVERIFY(!UpdateRecordsMDB("t_dnc_server_clients", "client_name",
                                      SqlValue::Text("LATHE1"), "client_name", SqlValue::Null()));
        }
        QCOMPARE(DumpConfiguration(rig.tmp.DatabaseLocation()), before);
        QCOMPARE(rig.Log(), QStringList());
        QVERIFY(rig.messages.Count() >= 1);
    }

    // The Change log window: newest first, the client filter, and the CSV it saves.
    void newestFirstFilteredAndSaved() {
        LogRig rig;
        for (const int client : {1, 2, 1}) {  // LATHE1, LATHE2, LATHE1
            const ActionScope action(QStringLiteral("Port Setup"));
            UpdateRecordsMDB("t_client_mode", "client_id", SqlValue::Number(client), "m_baud",
                             SqlValue::Number(1200 + rig.ticks));
        }
        frmChangeLog window;
        window.show();
        const QAbstractItemModel* list = window.findChild<QTreeView*>("lstEntries")->model();
        const auto cell = [list](int row, int column) {
            return list->index(row, column).data().toString();
        };
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(cell(0, 0), QStringLiteral("2026-12-07T08:02:00.000Z"));
        QCOMPARE(cell(2, 0), QStringLiteral("2026-12-07T08:00:00.000Z"));
        QCOMPARE(cell(0, 3), QStringLiteral("Port Setup"));

        auto* client = window.findChild<QComboBox*>("cboClient");
        client->setCurrentIndex(client->findText("LATHE2"));
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(cell(0, 5), QStringLiteral("LATHE2"));
        QCOMPARE(cell(0, 8), QStringLiteral("m_baud: 9600 -> 1201"));

        const QString path = rig.tmp.FilePath("log.csv");
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            qobject_cast<QFileDialog*>(&dialog)->selectFile(path);
            return int(QDialog::Accepted);
        });
        window.findChild<QPushButton*>("cmdSave")->click();
        SetModalHook(previous);
        const QList<QByteArray> lines = rig.tmp.ReadFile("log.csv").split('\n');
        QCOMPARE(lines.size(), 3);  // header, one entry, and the end
        QVERIFY(lines.at(1).startsWith("2026-12-07T08:01:00.000Z,CNCSRV1,"));
        QVERIFY(lines.at(1).contains(",LATHE2,m_baud: 9600 -> 1201\r"));
    }

    // Backups before bulk changes, keeping the newest, and restoring one.
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
        QCOMPARE(DumpConfiguration(rig.tmp.FilePath("Backups/" + made.first())), before);
    }

    // The old DNCAdmin.ini goes to the backups first; without its copy it is not replaced.
    // Only the newest database backups are kept.
    void backupsOfDncAdminAndTheNewestKept() {
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
        QCOMPARE(run.outBytes.count("\r\n"), 2);  // the header and the one change
        QVERIFY(run.out.contains("m_baud: 9600 -> 600"));
        QCOMPARE(RunTool("log", {"--since", "someday"}).exitCode, 2);
        {
            // A running Kestrum holds the database.
            DatabaseUseLock running;
            QCOMPARE(int(running.Acquire(db, DatabaseUseLock::Mode::Shared, 0)),
                     int(DatabaseUseLock::Result::Held));
            run = RunTool("backup", {"restore", backup, "--db", db});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains("Kestrum has"), qPrintable(run.err));
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

KESTRUM_TEST(TestChangeLog)
#include "tst_change_log.moc"
