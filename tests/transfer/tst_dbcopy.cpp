// kestrum-dbcopy between two SQLite files and through a PostgreSQL database: a round trip
// gives the same rows and counters, new ids continue above every copied one, and a target
// holding rows is refused unchanged.

#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/transfer_jobs.h"

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
        const QString a = dir.filePath(QStringLiteral("a.mdb"));
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        QVERIFY(ImportAccessFile(SampleMdb(), a).ok);
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

KESTRUM_TEST(TestDbCopy)

#include "tst_dbcopy.moc"
