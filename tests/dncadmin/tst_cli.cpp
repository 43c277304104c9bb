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
    // What the tool writes and prints; each failure exits non-zero, names the cause and
    // leaves the output as it was. Export takes the server's clients in name order, shop
    // terminals left out.
    void Runs_data() {
        QTest::addColumn<QStringList>("arguments");  // $D is the temporary folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");     // on stdout after success, else stderr
        QTest::addColumn<QByteArray>("written");  // OUT/DNCAdmin.ini after, "" unchanged
        const QString out = " --out $D/OUT/DNCAdmin.ini";
        const QString merge = "merge --template $D/T.ini --master $D/OUT ";
        const auto row = [](const char* name, const QString& arguments, int code,
                            const char* message, const QByteArray& written = {}) {
            QTest::newRow(name) << arguments.split(' ') << code << message << written;
        };
        const QByteArray empty = "PORT_ID=\r\nPROTOCOL=\r\nDEFAULT_DIR=\r\nDEFAULT_UP_DIR=\r\n";
        row("export", "export --db $D/DNC.mdb --server cncsrv1 --base $D/T.ini" + out, 0,
            "2 clients of server cncsrv1 (1 shop terminals left out)",
            kTemplate +
                "[LATHE1]\r\nNODE_ID=01\r\nPORT_ID=1\r\nPROTOCOL=LINE TERMINAL\r\n"
                "DEFAULT_DIR=C:\\DNC\\L1\r\nDEFAULT_UP_DIR=C:\\DNC\\L1\r\n"
                "[MILL2]\r\nNODE_ID=01\r\nPORT_ID=2\r\nPROTOCOL=STANDARD\r\n"
                "DEFAULT_DIR=C:\\DNC\\M2\r\nDEFAULT_UP_DIR=C:\\DNC\\M2\r\n"
                "[CNC_LIST]\r\n1=LATHE1\r\n2=MILL2\r\n");
        row("merge", merge + "$D/S1.ini $D/S2.ini", 0, "Merge successful, 2 Clients",
            kTemplate + "[CNC_LIST]\r\n1=A\r\n2=B\r\n[A]\r\nNODE_ID=01\r\n" + empty +
                "[B]\r\nNODE_ID=\r\n" + empty);
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
    void Runs() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QByteArray, written);
        DncAdminInstallation db;
        db.AddClient("MILL2", "01", "2", 2, {{"C:\\DNC\\M2", 3}});
        db.AddClient("SHOP", "01", "3", 5);
        db.AddClient("LATHE1", "01", "1", 62, {{"C:\\DNC\\L1", 3}});
        db.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('OTHER')");
        db.Exec("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES ('X', 2)");
        DncConnection.Close();  // the tool opens the file itself
        db.WriteFile("T.ini", kTemplate);
        db.WriteFile("S1.ini", "[CNC_LIST]\r\n1=A\r\n[A]\r\nNODE_ID=01\r\n");
        db.WriteFile("S2.ini", "[CNC_LIST]\r\n3=B\r\n");
        QByteArray forty = "[CNC_LIST]\r\n";
        for (int k = 1; k <= 40; ++k) {
            forty += QByteArray::number(k) + "=C" + QByteArray::number(k) + "\r\n";
        }
        db.WriteFile("S40.ini", forty);
        QDir().mkpath(db.FilePath("OUT"));
        const QByteArray old = kTemplate + "[CNC_LIST]\r\n1=OLD\r\n";
        db.WriteFile("OUT/DNCAdmin.ini", old);
        arguments.replaceInStrings("$D", db.Folder());
        arguments.replaceInStrings(db.DatabasePath(), db.DatabaseLocation());
        const Run run = RunTool(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((exitCode ? run.err : run.out).contains(message), qPrintable(run.out + run.err));
        QVERIFY(exitCode == 0 || run.out.isEmpty());
        QCOMPARE(db.ReadFile("OUT/DNCAdmin.ini"), written.isEmpty() ? old : written);
    }

    // Killed the moment the target starts to change, the tool leaves the old file or the
    // new one, never a part of either. A large base makes the write long enough to be hit.
    void KilledWhileWriting() {
        DncAdminInstallation db;
        db.AddClient("A", "01", "1", 2);
        DncConnection.Close();
        db.WriteFile("base.ini", "; " + QByteArray(24 * 1024 * 1024, 'x') + "\r\n");
        QStringList arguments{"export", "--db", db.DatabaseLocation(), "--server", "CNCSRV1"};
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
};

KESTRUM_TEST(TestDncAdminTool)
#include "tst_cli.moc"
