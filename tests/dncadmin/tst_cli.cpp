// The tools run as separate programs, as a script runs them.

#include "db/dnc_database.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#ifndef Q_OS_WIN
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

// Zeroes the pages of a table and of its indexes, as a damaged disk would leave them.
bool DamageTable(const DncAdminInstallation& db, const QString& table) {
    const int pageSize = db.QueryValue("PRAGMA page_size").toInt();
    const QList<QVariantList> roots =
        db.Query("SELECT rootpage FROM sqlite_master WHERE tbl_name = ?", {table});
    QFile file(db.DatabasePath());
    if (pageSize <= 0 || roots.isEmpty() || !file.open(QIODevice::ReadWrite)) {
        return false;
    }
    for (const QVariantList& root : roots) {
        if (!file.seek(qint64(root.at(0).toInt() - 1) * pageSize) ||
            file.write(QByteArray(pageSize, '\0')) != pageSize) {
            return false;
        }
    }
    return true;
}

#ifdef Q_OS_WIN
struct FullDisk {
    explicit FullDisk(const QString&) {}
    bool mounted = false;
};
#else
// A small file system that is full. Needs root (and a system that allows the mount).
struct FullDisk {
    explicit FullDisk(const QString& folder) : path(QFile::encodeName(folder)) {
        QDir().mkpath(folder);
        mounted =
            ::geteuid() == 0 && ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") == 0;
        QFile fill(folder + "/fill");
        if (mounted && fill.open(QIODevice::WriteOnly)) {
            while (fill.write(QByteArray(4096, 'x')) > 0 && fill.flush()) {
            }
        }
    }
    ~FullDisk() {
        if (mounted) {
            ::umount2(path.constData(), MNT_DETACH);
        }
    }
    QByteArray path;
    bool mounted = false;
};
#endif

// Holds the database locked for writing from another connection while it lives.
struct DatabaseLock {
    explicit DatabaseLock(const QString& path) : db(QSqlDatabase::addDatabase("QSQLITE", "lock")) {
        db.setDatabaseName(path);
        locked = db.open() && QSqlQuery(db).exec("BEGIN EXCLUSIVE");
    }
    ~DatabaseLock() {
        db.close();  // the transaction ends with the connection
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("lock");
    }
    QSqlDatabase db;
    bool locked = false;
};

}  // namespace

// What a script sees: the exit code, the message (on stdout after success, else one line on
// stderr naming the cause), and the files. A success writes OUT/DNCAdmin.ini; a failure
// leaves every file of the installation as it was, byte for byte. Export takes the server's
// clients in name order, shop terminals left out.
class TestDncAdminTool : public QObject {
    Q_OBJECT
private slots:
    void Runs_data() {
        QTest::addColumn<QStringList>("arguments");  // $D is the temporary folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("written");  // OUT/DNCAdmin.ini after a success
        const QString exportTo = "export --db $D/DNC.mdb --server CNCSRV1 --base $D/T.ini --out ";
        const QString out = exportTo + "$D/OUT/DNCAdmin.ini";
        const QString merge = "merge --template $D/T.ini --master $D/OUT ";
        // Arguments starting "newinstall" run kestrum-newinstall with the rest.
        const auto row = [](const char* name, const QString& arguments, int code,
                            const char* message, const QByteArray& written = {}) {
            QTest::newRow(name) << arguments.split(' ') << code << message << written;
        };
        const QByteArray empty = "PORT_ID=\r\nPROTOCOL=\r\nDEFAULT_DIR=\r\nDEFAULT_UP_DIR=\r\n";
        row("export", QString(out).replace("CNCSRV1", "cncsrv1"), 0,
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
        // A UTF-16 source keeps its letters beyond ASCII in the (ANSI) master.
        row("utf-16 source", merge + "$D/U16.ini", 0, "Merge successful, 1 Clients",
            kTemplate +
                "[CNC_LIST]\r\n1=M\xDCHLE\r\n[M\xDCHLE]\r\nNODE_ID=\xC9"
                "1\r\n" +
                empty);
        row("no base", QString(out).replace("T.ini", "none.ini"), 1, "none.ini\" was not found");
        row("unknown server", QString(out).replace("CNCSRV1", "NOPE"), 1,
            "DNC server \"NOPE\" not found");
        row("no database", QString(out).replace("DNC.mdb", "none.mdb"), 1, "none.mdb\" not found");
        row("client twice", merge + "$D/S1.ini $D/S1.ini", 1,
            "ERROR! Client A in DNCAdmin.ini 1 and 2");
        row("unreadable source", merge + "$D/none.ini", 1, "source \"");
        row("five sources", merge + "$D/T.ini $D/T.ini $D/T.ini $D/T.ini $D/T.ini", 2,
            "one to four source files");
        row("missing option", "merge $D/T.ini", 2, "option --template is missing");
        row("fifo", exportTo + "$D/OUT/fifo", 1, "FIFO (named pipe), not a regular");
        row("device", exportTo + "$D/OUT/null", 1, "it is a device, not a regular");
        row("folder", exportTo + "$D/OUT", 1, "it is a folder, not a file");
        row("folder where nothing can be made", exportTo + "/proc/DNCAdmin.ini", 1,
            "/proc/DNCAdmin.ini");
        row("dangling link", exportTo + "$D/OUT/link", 1, "which does not exist");
        row("damaged client table", out, 1, "could not be read (database disk image is malformed)");
        row("locked database", out, 1, "the database is busy or locked by another program");
        row("out is the database", exportTo + "$D/DNC.mdb", 2, "--out names the same file as --db");
        row("out is the base", exportTo + "$D/T.ini", 2, "--out names the same file as --base");
        row("export to a full disk", exportTo + "$D/FULL/DNCAdmin.ini", 1,
            "No space left on device");
        row("utf-8 marked source", merge + "$D/BOM.ini", 1,
            "BOM.ini\" cannot be read: it starts with a UTF-8 byte-order mark");
        row("empty source", merge + "$D/S1.ini $D/EMPTY.ini", 1,
            "EMPTY.ini\" cannot be read: the file is empty");
        row("source without list", merge + "$D/T.ini", 1,
            "T.ini\" cannot be read: it holds no [CNC_LIST] section");
        row("letter the master cannot hold", merge + "$D/L16.ini", 1,
            "cannot be written in the file's encoding (ANSI)");
        row("merge to a full disk", "merge --template $D/T.ini --master $D/FULL $D/S1.ini", 1,
            "Master DNCAdmin write error! (No space left on device)");
        row("no folder", "newinstall ", 2, "Usage: kestrum-newinstall");
        row("dangling database link", "newinstall $D/OUT", 1, "DNC.mdb\" is a link to \"");
        row("new database on a full disk", "newinstall $D/FULL", 1, "database or disk is full");
        // A client dropped from the list would pass for a list without it.
        row("name not valid text", out, 1,
            "The name of client id 1 is not valid text; DNCAdmin.ini was not written.");
    }
    void Runs() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QByteArray, written);
        const QByteArray tag = QTest::currentDataTag();
        DncAdminInstallation db;
        if (db.OnServer() && (tag.startsWith("damaged") || tag.startsWith("locked") ||
                              tag == "out is the database")) {
            QSKIP("this damages, locks or names the DNC.mdb file itself");
        }
        if (db.OnServer() && tag == "name not valid text") {
            QSKIP("a server database holds only valid text");
        }
        db.AddClient("MILL2", "01", "2", 2, {{"C:\\DNC\\M2", 3}});
        db.AddClient("SHOP", "01", "3", 5);
        db.AddClient("LATHE1", "01", "1", 62, {{"C:\\DNC\\L1", 3}});
        db.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('OTHER')");
        db.Exec("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES ('X', 2)");
        DncConnection.Close();  // the tool opens the file itself
        const auto utf16 = [](const QString& text) {
            return QByteArray("\xFF\xFE") +
                   QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        };
        const QList<QPair<QString, QByteArray>> files = {
            {"T.ini", kTemplate},
            {"S1.ini", "[CNC_LIST]\r\n1=A\r\n[A]\r\nNODE_ID=01\r\n"},
            {"S2.ini", "[CNC_LIST]\r\n3=B\r\n"},
            {"U16.ini", utf16("[CNC_LIST]\r\n1=M\u00fchle\r\n[M\u00dcHLE]\r\nNODE_ID=\u00e91\r\n")},
            {"L16.ini", utf16("[CNC_LIST]\r\n1=a\r\n[A]\r\nPORT_ID=\u0141\r\n")},
            {"BOM.ini", "\xEF\xBB\xBF[CNC_LIST]\r\n1=A\r\n"},
            {"EMPTY.ini", ""},
            {"OUT/DNCAdmin.ini", kTemplate + "[CNC_LIST]\r\n1=OLD\r\n"}};
        const QString out = db.FilePath("OUT");
        QDir().mkpath(out);
        for (const auto& [name, bytes] : files) {
            db.WriteFile(name, bytes);
        }
#ifdef Q_OS_WIN
        if (tag == "fifo" || tag == "device" || tag.contains("link") || tag.contains("full disk") ||
            tag.startsWith("folder where")) {
            QSKIP("FIFOs, device nodes, symbolic links, /proc and small file systems are Linux's");
        }
#else
        QCOMPARE(::mkfifo(QFile::encodeName(out + "/fifo").constData(), 0600), 0);
        QVERIFY(QFile::link(out + "/nowhere/none.ini", out + "/link"));
        if (tag == "dangling database link") {
            QVERIFY(QFile::link(out + "/elsewhere.mdb", out + "/DNC.mdb"));
        }
        if (tag == "device") {
            if (::geteuid() != 0) {
                QSKIP("A device node can only be made as root");
            }
            QCOMPARE(::mknod(QFile::encodeName(out + "/null").constData(), S_IFCHR | 0600,
                             makedev(1, 3)),
                     0);
        }
#endif
        if (tag == "damaged client table") {
            QVERIFY(DamageTable(db, "t_dnc_server_clients"));
        }
        if (tag == "name not valid text") {  // MILL2 and a byte no UTF-8 text holds
            QVERIFY(
                db.Exec("UPDATE t_dnc_server_clients SET client_name = "
                        "CAST(X'4D494C4C32FF' AS TEXT) WHERE client_name = 'MILL2'"));
        }
        std::optional<FullDisk> full;
        if (tag.contains("full disk")) {
            full.emplace(db.FilePath("FULL"));
            if (!full->mounted) {
                QSKIP("A full disk needs a small tmpfs, which only root can mount");
            }
            db.WriteFile("FULL/DNCAdmin.ini", "");  // fails; the disk is full
        }
        arguments.replaceInStrings("$D", db.Folder());
        arguments.replaceInStrings(db.DatabasePath(), db.DatabaseLocation());
        const QString tool = arguments.first() == "newinstall" ? arguments.takeFirst() : "dncadmin";
        const QMap<QString, QString> before = Snapshot(db.Folder(), "Backups");
        // After the snapshot: closing any file of the database in this process would drop
        // the lock (the system's locks belong to the process).
        std::optional<DatabaseLock> lock;
        if (tag == "locked database") {
            lock.emplace(db.DatabasePath());
            QVERIFY(lock->locked);
        }
        const ToolRun run = RunTool(tool, arguments, db.Folder());
        lock.reset();
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((exitCode ? run.err : run.out).contains(message), qPrintable(run.out + run.err));
        if (exitCode == 0) {
            QCOMPARE(db.ReadFile("OUT/DNCAdmin.ini"), written);
        } else {
            QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
            QCOMPARE(Snapshot(db.Folder(), "Backups"), before);
        }
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
        QCOMPARE(RunTool("dncadmin", arguments, db.Folder()).exitCode, 0);
        const QByteArray fresh = db.ReadFile("DNCAdmin.ini");
        QVERIFY(fresh.endsWith("[CNC_LIST]\r\n1=A\r\n"));
        const QByteArray old = "[CNC_LIST]\r\n1=OLD\r\n";
        db.WriteFile("DNCAdmin.ini", old);
        QProcess process;
        process.setWorkingDirectory(db.Folder());  // a server database's backups go there
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
