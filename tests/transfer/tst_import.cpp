// The import of the made-up plant: every table as expected, the Access file untouched, new
// rows numbered above the Access counters, and the imported clients exported as the DNC
// server reads them. Then copies of the imported file between databases (kestrum-dbcopy):
// a round trip keeps every row and counter.

#include "app/startup.h"
#include "base/paths.h"
#include "db/client_directories.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "db/protocol_records.h"
#include "dncadmin/dncadmin_export.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/transfer_jobs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every table of an SQLite file with its rows, the counters in sqlite_sequence among them;
// Kestrum's own kestrum_* tables aside.
QList<QJsonObject> Dump(const QString& file) {
    QList<QJsonObject> all;
    QStringList tables;
    for (const QJsonObject& entry : RowsOf(file, QStringLiteral("sqlite_master"))) {
        const QString name = entry.value("name").toString();
        if (entry.value("type").toString() == QLatin1String("table") &&
            !name.startsWith(QLatin1String("kestrum_"))) {
            tables << name;
        }
    }
    tables.sort();
    for (const QString& table : tables) {
        all << QJsonObject{{"table", table}};
        all << RowsOf(file, table);
    }
    return all;
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString imported_;
    CopyOutcome outcome_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        imported_ = dir_.filePath(QStringLiteral("DNC.mdb"));
        const QByteArray before = FileBytes(SampleMdb());
        outcome_ = ImportAccessFile(SampleMdb(), imported_);
        QVERIFY2(outcome_.ok, qPrintable(outcome_.error));
        QVERIFY(FileBytes(SampleMdb()) == before);  // DNC servers may still read it
        QCOMPARE(outcome_.skipped, QStringList());
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"DNC.mdb"});
    }

    // Row for row, in stored order: identifiers with their gaps, orphan rows, yes/no as -1/0,
    // NULL text as "", NULL numbers as the schema's default, text byte for byte.
    void tables_data() {
        QTest::addColumn<QString>("table");
        for (const auto& [table, rows] : outcome_.copied) {
            QTest::newRow(qPrintable(table)) << table;
        }
        QCOMPARE(outcome_.copied.size(), 13);
    }
    void tables() {
        QFETCH(QString, table);
        const QList<QJsonObject> expected = ExpectedRows(table);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(RowsOf(imported_, table), expected);
        for (const auto& [name, count] : outcome_.copied) {
            QVERIFY(name != table || count == expected.size());
        }
    }

    // The imported file as an installation's DNC.mdb. A new server, client, directory and
    // shop-terminal link get numbers above the last the Access file handed out, not above the
    // highest row left (client 37 was deleted). Imported clients export as the DNC server
    // reads them: the file below is written by hand from the sample's rows (REMOTE 72 and
    // MAZATROL 102, UNC folders with '$', the up folder falling back to the download folder
    // when there is none).
    void worksAsAnInstallation() {
        TempInstallation install(
            TempInstallation::Options{false, false, std::nullopt, QStringLiteral("CELLSRV02")});
        QVERIFY(QFile::copy(imported_, install.DatabasePath()));
        QVERIFY(install.OpenConnection());
        MessageRecorder messages;
        AddServer(QStringLiteral("NEWSRV"));
        QVERIFY(AddClientMDB(QStringLiteral("NEW LATHE"), QStringLiteral("NEWSRV")));
        const qint32 client = GetClientID(QStringLiteral("NEW LATHE")).value_or(0);
        const auto dir = AddDirMDB(client, QStringLiteral("C:\\NC\\NEW"));
        QVERIFY(EnsureShopTermSelfRowMDB(client));
        const QMap<QString, qint64> next = {
            {"t_dnc_servers", GetServerID(QStringLiteral("NEWSRV")).value_or(0)},
            {"t_dnc_server_clients", client},
            {"t_client_directory", dir.value_or(0)},
            {"t_shopterm_clients",
             install.QueryValue("SELECT MAX(shopterm_id) FROM t_shopterm_clients").toLongLong()}};
        QMap<QString, qint64> expected;
        for (const auto& [table, last] : SampleSequences()) {
            expected[table] = last + 1;
        }
        QCOMPARE(next, expected);

        const QByteArray base = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";
        install.WriteFile(QStringLiteral("base.ini"), base);
        const ExportOutcome exported = ExportDncAdmin(
            {QStringLiteral("FANUC ROBODRILL 3"), QStringLiteral("MAZAK INTEGREX I200")},
            install.FilePath(QStringLiteral("base.ini")),
            install.FilePath(QStringLiteral("DNCAdmin.ini")));
        QVERIFY2(exported.Ok, qPrintable(exported.Error));
        QCOMPARE(messages.Count(), 0);
        const QByteArray byHand = base +
                                  "[FANUC ROBODRILL 3]\r\n"
                                  "NODE_ID=2\r\n"
                                  "PORT_ID=06\r\n"
                                  "PROTOCOL=REMOTE\r\n"
                                  "DEFAULT_DIR=\\\\CELLSRV02\\DNC$\\FANUC\\RD3\r\n"
                                  "DEFAULT_UP_DIR=\\\\CELLSRV02\\DNC$\\FANUC\\RD3\\UPLOAD\r\n"
                                  "[MAZAK INTEGREX I200]\r\n"
                                  "NODE_ID=2\r\n"
                                  "PORT_ID=01\r\n"
                                  "PROTOCOL=MAZATROL\r\n"
                                  "DEFAULT_DIR=\\\\FILESRV\\NC\\MAZAK\\I200\r\n"
                                  "DEFAULT_UP_DIR=\\\\FILESRV\\NC\\MAZAK\\I200\r\n"
                                  "[CNC_LIST]\r\n"
                                  "1=FANUC ROBODRILL 3\r\n"
                                  "2=MAZAK INTEGREX I200\r\n";
        QCOMPARE(install.ReadFile(QStringLiteral("DNCAdmin.ini")), byHand);
    }

    // kestrum-dbcopy between two SQLite files and through a PostgreSQL database.
    void roundTrip() {
        QTemporaryDir dir;
        const QString& a = imported_;
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        const QString c = dir.filePath(QStringLiteral("c.mdb"));
        CopyOutcome outcome = CopyDatabase(a, b);  // a new file
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QVERIFY(CreateDatabaseAt(c));  // an existing file without rows
        outcome = CopyDatabase(b, c);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(Dump(c), Dump(a));
        QVERIFY(!CopyDatabase(a, a).ok);
    }

    // Onto an empty PostgreSQL database by the tools, from the Access file or from SQLite,
    // and back into SQLite: every row and counter kept, a second copy onto it refused, and
    // the server then hands out ids above every copied one.
    void throughServer_data() {
        QTest::addColumn<QString>("tool");
        QTest::newRow("import") << "import";
        QTest::newRow("dbcopy") << "dbcopy";
    }
    void throughServer() {
        if (!TestOnServer()) {
            QSKIP("needs the PostgreSQL test server");
        }
        QFETCH(QString, tool);
        QTemporaryDir dir;
        const QString& a = imported_;
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        TempInstallation install({true, false, std::nullopt, QStringLiteral("CNCSRV1")});
        QVERIFY(install.OnServer());
        const QStringList copy = {tool == "import" ? SampleMdb() : a, install.DatabaseLocation()};
        ToolRun run = RunTool(tool, copy);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run = RunTool(QStringLiteral("dbcopy"), {install.DatabaseLocation(), b});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(Dump(b), Dump(a));
        run = RunTool(tool, copy);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("already holds a configuration")),
                 qPrintable(run.err));

        QVERIFY(install.OpenConnection());
        MessageRecorder messages;
        QVERIFY2(AddClientMDB(QStringLiteral("NEW MILL"), QStringLiteral("DNC-HALLE1")),
                 qPrintable(messages.Texts().join('\n')));
        QCOMPARE(GetClientID(QStringLiteral("NEW MILL")), std::optional<qint32>(38));
        QCOMPARE(messages.Count(), 0);
    }
};

KESTRUM_TEST(TestImport)

// Start-up finding an Access DNC.mdb says what it is and how to import it, ends without a
// window and leaves the file as it was.
class TestStartUpOnAccess : public QObject {
    Q_OBJECT
private slots:
    void saysHowToImport() {
        TempInstallation install(
            TempInstallation::Options{false, false, std::nullopt, QStringLiteral("CNCSRV1")});
        QVERIFY(QFile::copy(SampleMdb(), install.DatabasePath()));
        const QByteArray before = FileBytes(install.DatabasePath());
        MessageRecorder messages;
        QCOMPARE(StartUp(), StartUpOutcome::AccessDatabase);
        QCOMPARE(messages.Count(), 1);
        const QString path = DisplayPath(install.DatabasePath());
        QVERIFY2(messages.Last().text.startsWith("The DNC Database at path \"" + path +
                                                 "\" is a Microsoft Access database"),
                 qPrintable(messages.Last().text));
        QVERIFY(messages.Last().text.contains("kestrum-import \"" + path + "\" "));
        QVERIFY(!DncConnection.IsOpen());
        QVERIFY(FileBytes(install.DatabasePath()) == before);
    }
};

KESTRUM_TEST(TestStartUpOnAccess)

#include "tst_import.moc"
