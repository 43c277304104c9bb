// kestrum-dncadmin run as a separate program: what it writes, what it prints, and that a
// failure leaves the files as they were and ends with a non-zero exit code.

#include "db/dnc_database.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/test_main.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunTool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(KESTRUM_BINARY_DIR "/tools/dncadmin/kestrum-dncadmin"), arguments);
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

const QByteArray kTemplate = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";

}  // namespace

class TestDncAdminTool : public QObject {
    Q_OBJECT
private slots:
    // The clients of the server in name order, shop terminals left out.
    void Export() {
        DncAdminInstallation db;
        db.AddClient("MILL2", "01", "2", 2, {{"C:\\DNC\\M2", 3}});
        db.AddClient("SHOP", "01", "3", 5);
        db.AddClient("LATHE1", "01", "1", 62, {{"C:\\DNC\\L1", 3}});
        db.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('OTHER')");
        db.Exec("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES ('X', 2)");
        db.WriteFile("base.ini", kTemplate);
        DncConnection.Close();  // the tool opens the file itself
        const Run run =
            RunTool({"export", "--db", db.DatabasePath(), "--server", "cncsrv1", "--base",
                     db.FilePath("base.ini"), "--out", db.FilePath("DNCAdmin.ini")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(db.ReadFile("DNCAdmin.ini"),
                 kTemplate +
                     "[LATHE1]\r\nNODE_ID=01\r\nPORT_ID=1\r\nPROTOCOL=LINE TERMINAL\r\n"
                     "DEFAULT_DIR=C:\\DNC\\L1\r\nDEFAULT_UP_DIR=C:\\DNC\\L1\r\n"
                     "[MILL2]\r\nNODE_ID=01\r\nPORT_ID=2\r\nPROTOCOL=STANDARD\r\n"
                     "DEFAULT_DIR=C:\\DNC\\M2\r\nDEFAULT_UP_DIR=C:\\DNC\\M2\r\n"
                     "[CNC_LIST]\r\n1=LATHE1\r\n2=MILL2\r\n");
        QVERIFY2(run.out.contains("2 clients of server cncsrv1 (1 shop terminals left out)"),
                 qPrintable(run.out));
        QVERIFY(run.out.contains("  2=MILL2\n"));
    }

    void Merge() {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("MASTER"));
        WriteBytes(dir.filePath("T.ini"), kTemplate);
        WriteBytes(dir.filePath("S1.ini"), "[CNC_LIST]\r\n1=A\r\n[A]\r\nNODE_ID=01\r\n");
        WriteBytes(dir.filePath("S2.ini"), "[CNC_LIST]\r\n3=B\r\n");
        const Run run =
            RunTool({"merge", "--template", dir.filePath("T.ini"), "--master",
                     dir.filePath("MASTER"), dir.filePath("S1.ini"), dir.filePath("S2.ini")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("Merge successful, 2 Clients"), qPrintable(run.out));
        QCOMPARE(ReadBytes(dir.filePath("MASTER/DNCAdmin.ini")),
                 kTemplate +
                     "[CNC_LIST]\r\n1=A\r\n2=B\r\n[A]\r\nNODE_ID=01\r\nPORT_ID=\r\nPROTOCOL=\r\n"
                     "DEFAULT_DIR=\r\nDEFAULT_UP_DIR=\r\n[B]\r\nNODE_ID=\r\nPORT_ID=\r\n"
                     "PROTOCOL=\r\nDEFAULT_DIR=\r\nDEFAULT_UP_DIR=\r\n");
    }

    // Killed the moment the target starts to change, the tool leaves the old file or the
    // new one, never a part of either. A large base makes the write long enough to be hit.
    void KilledWhileWriting() {
        DncAdminInstallation db;
        db.AddClient("A", "01", "1", 2);
        DncConnection.Close();
        db.WriteFile("base.ini", "; " + QByteArray(24 * 1024 * 1024, 'x') + "\r\n");
        QStringList arguments{"export", "--db", db.DatabasePath(), "--server", "CNCSRV1"};
        arguments << "--base" << db.FilePath("base.ini") << "--out" << db.FilePath("DNCAdmin.ini");
        QCOMPARE(RunTool(arguments).exitCode, 0);
        const QByteArray fresh = db.ReadFile("DNCAdmin.ini");
        QVERIFY(fresh.endsWith("[CNC_LIST]\r\n1=A\r\n"));
        const QByteArray old = "[CNC_LIST]\r\n1=OLD\r\n";
        db.WriteFile("DNCAdmin.ini", old);
        QProcess process;
        process.start(QStringLiteral(KESTRUM_BINARY_DIR "/tools/dncadmin/kestrum-dncadmin"),
                      arguments);
        QVERIFY(process.waitForStarted());
        while (!process.waitForFinished(1)) {
            if (QFileInfo(db.FilePath("DNCAdmin.ini")).size() != old.size()) {
                process.kill();
                QVERIFY(process.waitForFinished(30000));
                break;
            }
        }
        const QByteArray after = db.ReadFile("DNCAdmin.ini");
        QVERIFY2(after == old || after == fresh, qPrintable(QString::number(after.size())));
    }

    // Each failure: exit code, a message naming the cause, and the output file unchanged.
    void Failures_data() {
        QTest::addColumn<QStringList>("arguments");  // $D is the temporary folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString out = " --out $D/OUT/DNCAdmin.ini";
        const QString merge = "merge --template $D/T.ini --master $D/OUT ";
        const auto row = [](const char* name, const QString& arguments, int code,
                            const char* message) {
            QTest::newRow(name) << arguments.split(' ') << code << message;
        };
        row("no base", "export --db $D/DNC.mdb --server CNCSRV1 --base $D/none.ini" + out, 1,
            "none.ini\" was not found");
        row("unknown server", "export --db $D/DNC.mdb --server NOPE --base $D/T.ini" + out, 1,
            "DNC server \"NOPE\" not found");
        row("no database", "export --db $D/none.mdb --server CNCSRV1 --base $D/T.ini" + out, 1,
            "none.mdb\" not found");
        row("over 64", merge + "$D/S40.ini $D/S40.ini", 1, "ERROR! Clients > 64");
        row("unreadable source", merge + "$D/none.ini", 1, "source \"");
        row("five sources", merge + "$D/T.ini $D/T.ini $D/T.ini $D/T.ini $D/T.ini", 2,
            "one to four source files");
        row("missing option", "merge $D/T.ini", 2, "option --template is missing");
    }
    void Failures() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        DncAdminInstallation db;
        db.AddClient("A", "01", "1", 2);
        DncConnection.Close();
        db.WriteFile("T.ini", kTemplate);
        QByteArray forty = "[CNC_LIST]\r\n";
        for (int k = 1; k <= 40; ++k) {
            forty += QByteArray::number(k) + "=C" + QByteArray::number(k) + "\r\n";
        }
        db.WriteFile("S40.ini", forty);
        QDir().mkpath(db.FilePath("OUT"));
        const QByteArray old = "[CNC_LIST]\r\n1=OLD\r\n";
        db.WriteFile("OUT/DNCAdmin.ini", old);
        arguments.replaceInStrings("$D", db.Folder());
        const Run run = RunTool(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(db.ReadFile("OUT/DNCAdmin.ini"), old);
    }
};

KESTRUM_TEST(TestDncAdminTool)
#include "tst_cli.moc"
