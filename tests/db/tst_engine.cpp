// The engine objects and the one function every program opens a database through: which
// engine a location names, locations that hold ';' or quotes, the schema with Kestrum's own
// tables, transactions that did not begin, and the file engine's backup and restore.

#include "db/backend.h"
#include "db/change_log.h"
#include "db/check_reads.h"
#include "db/new_installation.h"
#include "db_test_helpers.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"

#include <QElapsedTimer>
#include <QSqlQuery>

namespace {

QByteArray Sha256(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

}  // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    // One rule tells a server URI from a DNC.mdb path, whoever asks; a path that merely holds
    // "://" is a file.
    void serverOrFile_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<bool>("server");
        QTest::newRow("uri") << "postgresql://kestrum@dncdb/dnc" << true;
        QTest::newRow("short scheme, capitals") << "POSTGRES://dncdb/dnc" << true;
        QTest::newRow("service, leading blank") << " postgresql:///?service=dnc" << true;
        QTest::newRow("linux path") << "/srv/dnc/DNC.mdb" << false;
        QTest::newRow("windows path") << "C:\\DNC\\DNC.mdb" << false;
        QTest::newRow("path holding ://") << "/srv/a://b/DNC.mdb" << false;
        QTest::newRow("other scheme") << "mysql://dncdb/dnc" << false;
        QTest::newRow("empty") << "" << false;
    }
    void serverOrFile() {
        QFETCH(QString, location);
        QFETCH(bool, server);
        QCOMPARE(DatabaseEngine::NamesServer(location), server);
        QCOMPARE(IsDatabaseUri(location), server);
        QCOMPARE(DatabaseEngine::For(location)->IsServer(), server);
    }

    // The connection string gives back every location as it was: a ';' or a quote in a folder
    // name does not cut it short, and a plain path is written as it always was.
    void connectionStringKeepsLocation_data() {
        QTest::addColumn<QString>("location");
        QTest::newRow("plain") << "/srv/dnc/DNC.mdb";
        QTest::newRow("semicolon") << "/srv/dnc;old/DNC.mdb";
        QTest::newRow("quotes") << "/srv/\"a\" 'b';c/DNC.mdb";
        QTest::newRow("leading quote") << "\"/srv/DNC.mdb";
        QTest::newRow("trailing blank") << "/srv/dnc/DNC.mdb ";
        QTest::newRow("uri") << "postgresql://kestrum@/dnc?host=/run/a;b";
    }
    void connectionStringKeepsLocation() {
        QFETCH(QString, location);
        const QString text = DatabaseConnection::ConnectionStringFor(location);
        QCOMPARE(DatabaseConnection::DataSourceOf(text), location);
        if (QTest::currentDataTag() == QLatin1String("plain")) {
            QCOMPARE(text, "Provider = Microsoft.Jet.OLEDB.4.0;data source = " + location + ";");
        }
    }

    // A DNC.mdb in a folder whose name holds ';' and quotes opens, through the program's
    // connection string and through the tools' function, and is the file asked for.
    void pathWithSemicolonOpens() {
        TempInstallation::Options options;
        options.createDatabase = false;
        TempInstallation tmp(options);
#ifdef Q_OS_WIN
        const QString folder = tmp.FilePath("site;'old' 'b'");  // no '"' in Windows names
#else
        const QString folder = tmp.FilePath("site;\"old\" 'b'");
#endif
        QVERIFY(QDir().mkpath(folder));
        QString error;
        QVERIFY2(CreateDatabaseFile(folder, &error), qPrintable(error));
        const QString path = QDir(folder).filePath("DNC.mdb");
        QVERIFY(DncConnection.Open(DatabaseConnection::ConnectionStringFor(path)));
        QCOMPARE(DncConnection.Location(), path);
        QSqlQuery count(DncConnection.Database());
        QVERIFY(count.exec("SELECT COUNT(*) FROM t_protocol") && count.next());
        QCOMPARE(count.value(0).toInt(), 8);
        DncConnection.Close();
        DatabaseConnection tool(QStringLiteral("tool"));
        QVERIFY2(OpenDatabaseAt(tool, path, &error), qPrintable(error));
        QCOMPARE(tool.Location(), path);
        QVERIFY(!QFileInfo::exists(tmp.FilePath("site")));
    }

    // A new database holds the change log from its schema on both engines; a database made
    // before it gets it, once, and running the upgrade again changes nothing.
    void schemaHoldsOwnTables() {
        TempInstallation tmp;
        QVERIFY(tmp.IsValid());
        QCOMPARE(TableExists(DncConnection, kChangeLogTable), std::optional<bool>(true));
        QVERIFY(!DncConnection.Engine().OwnTablesScript().isEmpty());
        QVERIFY(tmp.Exec("DROP TABLE kestrum_change_log"));
        QCOMPARE(TableExists(DncConnection, kChangeLogTable), std::optional<bool>(false));
        QString error;
        QVERIFY2(AddOwnTables(DncConnection, &error), qPrintable(error));
        QVERIFY2(AddOwnTables(DncConnection, &error), qPrintable(error));
        QCOMPARE(TableExists(DncConnection, kChangeLogTable), std::optional<bool>(true));
        QCOMPARE(tmp.QueryValue("SELECT COUNT(*) FROM kestrum_change_log").toInt(), 0);
    }

    // A transaction that did not begin is a failure: its commit says so, and a repair meant
    // for one transaction runs none of its statements one by one instead.
    void transactionThatDidNotBegin_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("connection closed") << "closed";
        QTest::newRow("begin refused") << "refused";
    }
    void transactionThatDidNotBegin() {
        QFETCH(QString, how);
        TempInstallation tmp;
        QVERIFY(tmp.IsValid());
        if (how == "refused" && tmp.OnServer()) {
            QSKIP("the server takes a second BEGIN with a warning");
        }
        PutClient(tmp, "LATHE1", PutServer(tmp, "CNCSRV1"), "01");
        const QVariant id = tmp.QueryValue("SELECT client_id FROM t_dnc_server_clients");
        MessageRecorder messages;
        QSqlDatabase db = DncConnection.Database();
        if (how == "closed") {
            DncConnection.Close();
        } else {
            // The program's own connection already in a transaction: BEGIN fails.
            QVERIFY(db.transaction());
        }
        {
            Transaction transaction(ReportAs{QStringLiteral("Error Test#"), 1});
            QVERIFY(!transaction.Begun());
            QVERIFY(!transaction.Commit(ReportAs{QStringLiteral("Error Test#"), 2}));
        }
        QCOMPARE(messages.Count(), 1);
        const RepairDone done = RepairMDB(
            {RepairRequest::Kind::AddMissingRows, id.toInt(), {"t_command", "t_client_mode"}});
        QVERIFY(!done.Ok);
        QVERIFY(done.Changes.isEmpty());
        if (how == "refused") {
            // Nothing ran inside the outer transaction either.
            QSqlQuery rows(db);
            QVERIFY(rows.exec("SELECT COUNT(*) FROM t_command") && rows.next());
            QCOMPARE(rows.value(0).toInt(), 0);
            QVERIFY(db.rollback());
        }
        QCOMPARE(tmp.QueryValue("SELECT COUNT(*) FROM t_command").toInt(), 0);
        QCOMPARE(tmp.QueryValue("SELECT COUNT(*) FROM kestrum_change_log").toInt(), 0);
    }

    // The file engine's online backup is the whole configuration; its restore puts it back
    // into the open database. Under another program's write lock the restore gives up after
    // the time limit and leaves the file as it was.
    void fileBackupAndRestore() {
        TempInstallation tmp;
        QVERIFY(tmp.IsValid());
        if (tmp.OnServer()) {
            QVERIFY(!DncConnection.Engine().HasFileBackup());
            return;
        }
        const DatabaseEngine& engine = DncConnection.Engine();
        PutServer(tmp, "CNCSRV1");
        const QString copy = tmp.FilePath("copy.mdb");
        QString error;
        QVERIFY2(engine.BackupToFile(DncConnection.Database(), copy, &error), qPrintable(error));
        QVERIFY(DatabaseConnection::IsSqliteFile(copy));
        QVERIFY(tmp.Exec("UPDATE t_dnc_servers SET dnc_server_name = 'CHANGED'"));

        DatabaseConnection other(QStringLiteral("other program"));
        QVERIFY(OpenDatabaseAt(other, tmp.DatabasePath()));
        QVERIFY(QSqlQuery(other.Database()).exec("BEGIN IMMEDIATE"));
        const QByteArray locked = Sha256(tmp.DatabasePath());
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!engine.RestoreFromFile(DncConnection.Database(), copy, &error));
        QVERIFY2(waited.elapsed() < 9000, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(error.contains("locked"), qPrintable(error));
        QCOMPARE(Sha256(tmp.DatabasePath()), locked);
        QVERIFY(QSqlQuery(other.Database()).exec("ROLLBACK"));
        other.Close();

        QVERIFY2(engine.RestoreFromFile(DncConnection.Database(), copy, &error), qPrintable(error));
        QSqlQuery names(DncConnection.Database());
        QVERIFY(names.exec("SELECT dnc_server_name FROM t_dnc_servers") && names.next());
        QCOMPARE(names.value(0).toString(), QStringLiteral("CNCSRV1"));
    }
};

KESTRUM_TEST(TestEngine)

#include "tst_engine.moc"
