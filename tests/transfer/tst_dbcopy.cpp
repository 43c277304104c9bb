// kestrum-dbcopy between two SQLite files and through a PostgreSQL database: a round trip
// gives the same rows and counters, new ids continue above every copied one, and a target
// holding rows is refused unchanged.

#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "db/schema_names.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/transfer_jobs.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString Sequences(const QString& file) {
    QStringList all;
    for (const QJsonObject& row : RowsOf(file, QStringLiteral("sqlite_sequence"))) {
        all << row.value("name").toString() + QLatin1Char('=') +
                   QString::number(row.value("seq").toInteger());
    }
    all.sort();
    return all.join(QLatin1Char(','));
}

// Every table of an SQLite file with its rows, the counters among them; Kestrum's own
// kestrum_* tables aside.
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

// An empty database on the test server with the schema, dropped again at the end.
class ServerDatabase {
public:
    explicit ServerDatabase(const QString& role)
        : name_(QStringLiteral("kestrum_%1_%2").arg(role).arg(QCoreApplication::applicationPid())) {
        RunOnServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
        made_ = RunOnServer(QStringLiteral("CREATE DATABASE %1").arg(name_), &error_) &&
                CreateServerSchema(Uri(), &error_);
    }
    ~ServerDatabase() {
        RunOnServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
    }
    bool Made() const { return made_; }
    QString Error() const { return error_; }
    QString Uri() const { return TestServerDatabaseUri(name_); }

private:
    QString name_;
    QString error_;
    bool made_ = false;
};

}  // namespace

class TestDbCopy : public QObject {
    Q_OBJECT
private slots:
    void roundTrip() {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.mdb"));
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        const QString c = dir.filePath(QStringLiteral("c.mdb"));
        QVERIFY(ImportAccessFile(SampleMdb(), a).ok);

        CopyOutcome outcome = CopyDatabase(a, b);  // a new file
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QVERIFY(CreateDatabaseAt(c));  // an existing file without rows
        outcome = CopyDatabase(b, c);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        for (const QString& table : SchemaTables()) {
            QCOMPARE(RowsOf(c, table), RowsOf(a, table));
        }
        QCOMPARE(Sequences(c), Sequences(a));
        QCOMPARE(Sequences(a), QStringLiteral("t_client_directory=44,t_dnc_server_clients=37,"
                                              "t_dnc_servers=5,t_shopterm_clients=11"));

        // A target that holds rows is refused and left byte for byte.
        const QByteArray before = FileBytes(b);
        outcome = CopyDatabase(a, b);
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.error.contains(QStringLiteral("already holds a configuration")));
        QCOMPARE(FileBytes(b), before);
        QVERIFY(!CopyDatabase(a, a).ok);
    }

    // SQLite -> PostgreSQL -> SQLite keeps every row and counter; the server then hands out
    // ids above every copied one.
    void serverRoundTrip() {
        if (!TestOnServer()) {
            QSKIP("needs the PostgreSQL test server");
        }
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.mdb"));
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        QVERIFY(ImportAccessFile(SampleMdb(), a).ok);
        TempInstallation install({true, false, std::nullopt, QStringLiteral("CNCSRV1")});
        QVERIFY(install.OnServer());
        CopyOutcome outcome = CopyDatabase(a, install.DatabaseLocation());
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        outcome = CopyDatabase(install.DatabaseLocation(), b);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(Dump(b), Dump(a));
        QVERIFY(!CopyDatabase(a, install.DatabaseLocation()).ok);  // holds rows now

        QVERIFY(install.OpenConnection());
        MessageRecorder messages;
        QVERIFY2(AddClientMDB(QStringLiteral("NEW MILL"), QStringLiteral("DNC-HALLE1")),
                 qPrintable(messages.Texts().join('\n')));
        QCOMPARE(GetClientID(QStringLiteral("NEW MILL")), std::optional<qint32>(38));
        QCOMPARE(messages.Count(), 0);
    }

    // The Access sample into an empty server database made by kestrum-newinstall's routine,
    // through the tools themselves.
    void importIntoServer() {
        if (!TestOnServer()) {
            QSKIP("needs the PostgreSQL test server");
        }
        ServerDatabase server(QStringLiteral("import"));
        QVERIFY2(server.Made(), qPrintable(server.Error()));
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.mdb"));
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        QVERIFY(ImportAccessFile(SampleMdb(), a).ok);
        ToolRun run = RunTool(QStringLiteral("import"), {SampleMdb(), server.Uri()});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run = RunTool(QStringLiteral("dbcopy"), {server.Uri(), b});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(Dump(b), Dump(a));
        run = RunTool(QStringLiteral("import"), {SampleMdb(), server.Uri()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("already holds a configuration")),
                 qPrintable(run.err));
    }
};

KESTRUM_TEST(TestDbCopy)

#include "tst_dbcopy.moc"
