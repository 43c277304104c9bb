// kestrum-dbcopy killed with SIGKILL half-way, as a power cut or an impatient script leaves
// it: the next run removes what it left and makes the copy.

#include "db/new_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

// A configuration large enough that copying it takes a while: clients with their modes.
bool MakeLargeSource(const QString& path, int clients) {
    if (!CreateDatabaseAt(path)) {
        return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "large");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        const QString numbers =
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                "WHERE i < %1) ")
                .arg(clients);
        ok = db.open() &&
             query.exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1')") &&
             query.exec(numbers +
                        "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) "
                        "SELECT 'CLIENT' || i, 1 FROM n") &&
             query.exec(
                 "INSERT INTO t_client_mode (client_id) "
                 "SELECT client_id FROM t_dnc_server_clients");
        db.close();
    }
    QSqlDatabase::removeDatabase("large");
    return ok;
}

// The hidden files a copy works in (".DNC.mdb.ID.new" and what belongs to it).
QStringList Temporaries(const QString& folder) {
    return QDir(folder).entryList({".DNC.mdb.*"}, QDir::Files | QDir::Hidden);
}

}  // namespace

class TestKilledCopy : public QObject {
    Q_OBJECT
private slots:
    // kestrum-import writes its target the same way; the Access files at hand are too
    // small to be caught half-way (its leftovers by name are in the command-line table).
    void nextRunCleansUp() {
        if (TestOnServer()) {
            QSKIP("the files in question are those of a new DNC.mdb");
        }
        const QString tool = QStringLiteral("dbcopy");
        QTemporaryDir dir;
        const QString source = dir.filePath("source.mdb");
        QVERIFY(MakeLargeSource(source, 40000));
        const QString target = dir.filePath("out/DNC.mdb");
        QVERIFY(QDir().mkpath(dir.filePath("out")));
        QProcess copy;
        copy.start(QStringLiteral(KESTRUM_BINARY_DIR "/tools/%1/kestrum-%1").arg(tool),
                   {source, target});
        QVERIFY(copy.waitForStarted());
        // Killed once its database file exists (its lock, made before it, is complete then):
        // the copy is under way.
        const auto started = [&] {
            return !Temporaries(dir.filePath("out"))
                        .filter(QRegularExpression("\\.new$"))
                        .isEmpty();
        };
        while (!started() && copy.state() == QProcess::Running) {
            QThread::msleep(1);
        }
        copy.kill();  // SIGKILL: nothing of the program runs any more
        QVERIFY(copy.waitForFinished(30000));
        QVERIFY2(copy.exitStatus() == QProcess::CrashExit, "the copy ended before it was killed");
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(!Temporaries(dir.filePath("out")).isEmpty());

        const ToolRun run = RunTool(tool, {source, target});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(Temporaries(dir.filePath("out")), QStringList());
        QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"DNC.mdb"});
    }
};

KESTRUM_TEST(TestKilledCopy)
#include "tst_killed_copy.moc"
