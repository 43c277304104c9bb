// Backups and their restore as an administrator's scripts run them: kestrum-backup list and
// restore, and the DNCAdmin.ini copies of kestrum-dncadmin, against hostile names, bad
// backups, a damaged DNC.mdb, other connections and other Kestrums holding the database,
// links, and files in the backups folder that Kestrum did not make. Every run is judged by
// its exit code, its message and the sha256 of every file of the plant before and after.

#include "base/database_use_lock.h"
#include "components/database_connection.h"
#include "db/backend.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/transfer/backup_plant.h"
#include "transfer/backup_names.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <optional>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// The backup the restores name, and its configuration (server OLD).
const QString kGood = QStringLiteral("DNC_2020-06-01_08-00-00Z.mdb");

QString Backup(const BackupPlant& plant, const QString& name) {
    return plant.Backups() + QLatin1Char('/') + name;
}

// Another program's connection to DNC.mdb, open while it lives; sql runs on it first. A
// process of its own: the test's own reading of the files would drop the locks of a
// connection in this process.
struct OtherConnection {
    OtherConnection(const QString& path, const QByteArray& sql) {
        process.start(QStringLiteral(KESTRUM_BINARY_DIR "/tests/transfer/sqlite_holder"),
                      {path, QString::fromUtf8(sql)});
        ok = Answer() == QLatin1String("ready");
    }
    ~OtherConnection() {
        process.closeWriteChannel();
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished(30000);
        }
    }
    // Runs one line of SQL there: the first column of its rows, joined by ",".
    QString Run(const QByteArray& sql) {
        process.write(sql + '\n');
        return Answer();
    }
    QString Answer() {
        while (!process.canReadLine() && process.waitForReadyRead(30000)) {
        }
        return QString::fromUtf8(process.readLine()).trimmed();
    }
    QString Servers() { return Run("SELECT dnc_server_name FROM t_dnc_servers"); }
    QProcess process;
    bool ok = false;
};

// A Kestrum of its own program folder on the plant's DNC.mdb, as this user or another.
struct OtherKestrum {
    OtherKestrum(const BackupPlant& plant, bool otherUser) {
        const QString folder = plant.Path("other-kestrum");
        QDir().mkpath(folder);
#ifdef Q_OS_WIN
        const QString program = folder + "/Kestrum.exe";
        QFile::copy(QStringLiteral(KESTRUM_BINARY_DIR "/Kestrum.exe"), program);
#else
        const QString program = folder + "/Kestrum";
        QFile::copy(QStringLiteral(KESTRUM_BINARY_DIR "/Kestrum"), program);
#endif
        QFile ini(folder + "/Kestrum.ini");
        ok = ini.open(QIODevice::WriteOnly) &&
             ini.write("[ADMIN]\r\nMDBPATH=" + QFile::encodeName(plant.Path("data")) + "\r\n") > 0;
        ini.close();
        if (otherUser) {
            process.setProgram(QStringLiteral("setpriv"));
            process.setArguments({"--reuid=65534", "--regid=65534", "--clear-groups", program});
        } else {
            process.setProgram(program);
        }
        process.setWorkingDirectory(folder);
        process.start();
        // It holds the database once nobody else can take it whole.
        ok = ok && process.waitForStarted(30000) &&
             QTest::qWaitFor(
                 [&] {
                     DatabaseUseLock probe;
                     return probe.Acquire(plant.Database(), DatabaseUseLock::Mode::Exclusive, 0) ==
                            DatabaseUseLock::Result::InUse;
                 },
                 30000);
    }
    ~OtherKestrum() {
        process.kill();
        process.waitForFinished(30000);
    }
    QProcess process;
    bool ok = false;
};

// A copy of a file with its bytes changed: cut to a length, or a page overwritten.
QByteArray Spoiled(const QByteArray& bytes, const QString& how) {
    if (how == QLatin1String("truncated")) {
        return bytes.left(bytes.size() / 2);
    }
    if (how == QLatin1String("header only")) {
        return bytes.left(100);
    }
    QByteArray spoiled = bytes;  // the second page, the servers' table, overwritten
    const int pageSize = (uchar(bytes.at(16)) << 8) | uchar(bytes.at(17));
    spoiled.replace(pageSize, pageSize, QByteArray(pageSize, '\x5a'));
    return spoiled;
}

bool RunAsRoot() {
#ifdef Q_OS_WIN
    return false;  // no other user to run as
#else
    return ::geteuid() == 0;
#endif
}

}  // namespace

class TestBackupTool : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        const bool serverTest = QByteArray(QTest::currentTestFunction()).startsWith("server");
        if (TestOnServer() != serverTest) {
            QSKIP(serverTest ? "this runs on a server database" : "these run on DNC.mdb files");
        }
    }

    // kestrum-backup restore and list. The set-up names what the row prepares; changes are
    // the entries of the plant expected to change ("~" contents, "+" new, "-" gone; "?" any
    // number of them).
    void restoreAndList_data() {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");  // part of stderr; empty: stderr empty
        QTest::addColumn<QStringList>("changes");
        const QStringList restored = {"~data/DNC.mdb", "+data/Backups/DNC_2*Z.mdb"};
        const auto row = [](const char* name, const QString& setUp, const QStringList& arguments,
                            int exitCode, const QString& message, const QStringList& changes) {
            QTest::newRow(name) << setUp << arguments << exitCode << message << changes;
        };
        const QStringList restore = {"restore", kGood};
        row("restored, the current kept", "", restore, 0, "", restored);
        row("with --db", "", {"restore", kGood, "--db", "$D/data/DNC.mdb"}, 0, "", restored);
        row("absolute name", "", {"restore", "$D/data/Backups/" + kGood}, 1, "is a path", {});
        row("name with ../", "", {"restore", "../Backups/" + kGood}, 1, "is a path", {});
        row("name ..", "", {"restore", ".."}, 1, "leads out of the backups folder", {});
        row("link out of the folder", "link", {"restore", "DNC_2021-01-01_00-00-00Z.mdb"}, 1,
            "is a link, not a backup Kestrum made", {});
        row("user file named like a backup", "user files",
            {"restore", "DNC_2020-06-01_08-00-00Z (2).mdb"}, 1,
            "is not the name of a configuration backup Kestrum made", {});
        row("no such backup", "", {"restore", "DNC_2021-01-01_00-00-00Z.mdb"}, 1,
            "there is no backup", {});
        row("truncated backup", "truncated", restore, 1, "is cut short", {});
        row("header-only backup", "header only", restore, 1, "is cut short", {});
        row("corrupted backup", "corrupted", restore, 1, "cannot be restored: it is damaged", {});
        row("foreign SQLite file", "foreign", restore, 1,
            "it is not a Kestrum configuration: it has no table t_dnc_servers", {});
        row("column missing", "column missing", restore, 1,
            "table t_remote has no column report_name", {});
        row("not a database", "text", restore, 1, "is not an SQLite database", {});
        row("damaged DNC.mdb", "damaged", restore, 1, "restore with --force", {});
        row("damaged DNC.mdb, --force", "damaged", {"restore", kGood, "--force"}, 0, "",
            {"~data/DNC.mdb", "+data/Backups/DNC-damaged_2*Z.mdb"});
        // Windows renames over no open file: past the wait the restore fails and leaves all
        // as it was. Elsewhere the other program keeps the damaged file it has open.
#ifdef Q_OS_WIN
        row("damaged DNC.mdb open in another program, --force", "damaged held",
            {"restore", kGood, "--force"}, 1,
            "DNC.mdb\" could not be replaced: another program holds it open (waited 5 s)", {});
#else
        row("damaged DNC.mdb open in another program, --force", "damaged held",
            {"restore", kGood, "--force"}, 0, "",
            {"~data/DNC.mdb", "+data/Backups/DNC-damaged_2*Z.mdb"});
#endif
        row("symlinked DNC.mdb", "symlink", restore, 0, "",
            {"~data/real/DNC.mdb", "+data/Backups/DNC_2*Z.mdb"});
        row("other connection, WAL", "wal", restore, 0, "",
            {"+data/Backups/DNC_2*Z.mdb", "?~data/DNC.mdb*"});
        row("other connection, rollback", "rollback", restore, 0, "", restored);
        row("lock held past the limit, WAL", "wal writing", restore, 1,
            "locked by another program (waited 5 s)", {});
        row("lock held past the limit, rollback", "rollback writing", restore, 1,
            "locked by another program (waited 5 s)", {});
        row("Kestrum of another program folder", "kestrum", restore, 1,
            "Kestrum has \"$D/data/DNC.mdb\" open", {});
        row("Kestrum of another user", "kestrum as nobody", restore, 1,
            "Kestrum has \"$D/data/DNC.mdb\" open", {});
        // Kestrum's own go, a future one too: one is kept, and that is the undo copy.
        row("pruning", "pruning", restore, 0, "",
            {"~data/DNC.mdb", "+data/Backups/DNC_2*Z.mdb",
             "-data/Backups/DNC_2019-01-01_00-00-00Z.mdb",
             "-data/Backups/DNC_2019-01-01_00-00-00Z_02.mdb", "-data/Backups/" + kGood,
             "-data/Backups/DNC_2099-01-01_00-00-00Z.mdb"});
        row("list", "user files", {"list"}, 0, "", {});
        row("list, folder is a file", "backups is a file", {"list"}, 1,
            "data/Backups\" is not a folder", {});
        row("list, folder unreadable", "backups unreadable", {"list"}, 1,
            "data/Backups\" cannot be read", {});
    }
    void restoreAndList() {
        QFETCH(QString, setUp);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QStringList, changes);
        BackupPlant plant(setUp == QLatin1String("pruning") ? 1 : 20);
        QVERIFY(plant.IsValid());
        QVERIFY(BackupPlant::MakeConfiguration(Backup(plant, kGood), "OLD"));
        const QStringList good = DumpDatabase(Backup(plant, kGood));
        QString database = plant.Database();
        std::optional<OtherConnection> other;  // ends before the plant's files go
        std::optional<OtherKestrum> kestrum;
        bool asNobody = false;
#ifdef Q_OS_WIN
        if (setUp == QLatin1String("link") || setUp == QLatin1String("symlink")) {
            QSKIP("QFile::link makes a shortcut (.lnk) on Windows, which nothing follows");
        }
#endif
        if (setUp == QLatin1String("link")) {
            QVERIFY(BackupPlant::MakeConfiguration(plant.Path("outside.mdb"), "OUT"));
            QVERIFY(QFile::link(plant.Path("outside.mdb"),
                                Backup(plant, "DNC_2021-01-01_00-00-00Z.mdb")));
        } else if (setUp == QLatin1String("user files") || setUp == QLatin1String("pruning")) {
            // No two differ only in case: Windows takes those for one file.
            for (const char* name :
                 {"DNC_2020-06-01_08-00-00Z (2).mdb", "DNC_mine.mdb",
                  "DNC_2019-01-01_00-00-00Z_01.mdb", "DNC_2019-02-30_00-00-00Z.mdb",
                  "dnc_2019-01-01_00-00-01Z.mdb", "DNC_2019-01-01_00-00-00Z.mdb.bak",
                  "DNC_2019-01-01_00-00-00Z_2.mdb"}) {
                QVERIFY(QFile::copy(Backup(plant, kGood), Backup(plant, name)));
            }
            for (const char* name :
                 {"DNC_2019-01-01_00-00-00Z.mdb", "DNC_2019-01-01_00-00-00Z_02.mdb",
                  "DNC_2099-01-01_00-00-00Z.mdb"}) {
                QVERIFY(QFile::copy(Backup(plant, kGood), Backup(plant, name)));
            }
        } else if (setUp == QLatin1String("truncated") || setUp == QLatin1String("header only") ||
                   setUp == QLatin1String("corrupted")) {
            QVERIFY(plant.Write("data/Backups/" + kGood,
                                Spoiled(plant.Read("data/Backups/" + kGood), setUp)));
        } else if (setUp == QLatin1String("foreign")) {
            QVERIFY(QFile::remove(Backup(plant, kGood)));
            QVERIFY(ExecOn(Backup(plant, kGood), "CREATE TABLE t (x); INSERT INTO t VALUES (1)"));
        } else if (setUp == QLatin1String("column missing")) {
            QVERIFY(ExecOn(Backup(plant, kGood), "ALTER TABLE t_remote DROP COLUMN report_name"));
        } else if (setUp == QLatin1String("text")) {
            QVERIFY(plant.Write("data/Backups/" + kGood, "[ADMIN]\r\nMDBPATH=C:\\DNC\r\n"));
        } else if (setUp.startsWith(QLatin1String("damaged"))) {
            QVERIFY(plant.Write("data/DNC.mdb", Spoiled(plant.Read("data/DNC.mdb"), "damaged")));
            if (setUp.endsWith(QLatin1String("held"))) {
                other.emplace(database, "SELECT 1");
                QVERIFY(other->ok);
            }
        } else if (setUp == QLatin1String("symlink")) {
            QVERIFY(QDir().mkpath(plant.Path("data/real")));
            QVERIFY(QFile::rename(database, plant.Path("data/real/DNC.mdb")));
            QVERIFY(QFile::link("real/DNC.mdb", database));
            database = plant.Path("data/real/DNC.mdb");
        } else if (setUp.startsWith(QLatin1String("wal")) ||
                   setUp.startsWith(QLatin1String("rollback"))) {
            QByteArray sql =
                setUp.startsWith(QLatin1String("wal")) ? "PRAGMA journal_mode=WAL;" : "";
            sql += "SELECT count(*) FROM t_dnc_servers;";
            if (setUp.endsWith(QLatin1String("writing"))) {
                // Its change is under way: the journal is live, the write lock held.
                sql += "BEGIN IMMEDIATE; UPDATE t_dnc_servers SET dnc_server_name = 'BUSY';";
            }
            other.emplace(database, sql);
            QVERIFY(other->ok);
        } else if (setUp.startsWith(QLatin1String("kestrum"))) {
            if (setUp.endsWith(QLatin1String("nobody")) && !RunAsRoot()) {
                QSKIP("another user's Kestrum needs root to start");
            }
            kestrum.emplace(plant, setUp.endsWith(QLatin1String("nobody")));
            QVERIFY(kestrum->ok);
        } else if (setUp == QLatin1String("backups is a file")) {
            QVERIFY(QDir(plant.Backups()).removeRecursively());
            QVERIFY(plant.Write("data/Backups", "not a folder"));
        } else if (setUp == QLatin1String("backups unreadable")) {
            if (!RunAsRoot()) {
                QSKIP("the folder is made unreadable to another user, which needs root");
            }
            QVERIFY(QFile::setPermissions(
                plant.Path("data"), QFile::permissions(plant.Path("data")) | QFile::ExeOther));
            QVERIFY(QFile::setPermissions(plant.Backups(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            asNobody = true;
        }
        const QByteArray damagedBefore = plant.Read("data/DNC.mdb");
        const QString tool = plant.Program(ToolProgram("backup"));

        const QMap<QString, QString> before = Snapshot(plant.Root());
        QStringList args;
        for (const QString& argument : arguments) {
            args << QString(argument).replace("$D", plant.Root());
        }
        const ToolRun run =
            asNobody
                ? RunProgram(
                      "setpriv",
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", tool} + args)
                : RunProgram(tool, args);
        const QMap<QString, QString> after = Snapshot(plant.Root());

        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        if (message.isEmpty()) {
            QCOMPARE(run.err, QString());
        } else {
            QVERIFY2(run.err.contains(QString(message).replace("$D", plant.Root())),
                     qPrintable(run.err));
            QCOMPARE(run.err.count('\n'), 1);
        }
        const QString unexpected = UnexpectedChanges(Changes(before, after), changes);
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected));

        if (setUp.endsWith(QLatin1String("writing"))) {
            // The other program's change goes on and stays, after the refused restore.
            QCOMPARE(other->Run("COMMIT"), QString());
            QCOMPARE(other->Servers(), QStringLiteral("BUSY"));
        } else if (exitCode == 0 && arguments.first() == QLatin1String("restore")) {
            if (other && !setUp.startsWith(QLatin1String("damaged"))) {
                QCOMPARE(other->Servers(), QStringLiteral("OLD"));  // it reads the restored one
                other.reset();                                      // and its end keeps it
            }
            QCOMPARE(DumpDatabase(database), good);
            QVERIFY(QFileInfo(plant.Database()).isSymLink() == (setUp == QLatin1String("symlink")));
            if (setUp.startsWith(QLatin1String("damaged"))) {
                const QStringList kept =
                    QDir(plant.Backups()).entryList({"DNC-damaged_*.mdb"}, QDir::Files);
                QCOMPARE(kept.size(), 1);
                QCOMPARE(plant.Read("data/Backups/" + kept.first()), damagedBefore);
            }
        } else if (setUp == QLatin1String("user files") &&
                   arguments.first() == QLatin1String("list")) {
            // Kestrum's own only, newest first.
            QCOMPARE(run.out, QStringLiteral("DNC_2099-01-01_00-00-00Z.mdb\n%1\n"
                                             "DNC_2019-01-01_00-00-00Z_02.mdb\n"
                                             "DNC_2019-01-01_00-00-00Z.mdb\n")
                                  .arg(kGood));
        }
        if (setUp == QLatin1String("pruning")) {
            // No user file goes.
            QCOMPARE(QDir(plant.Backups()).entryList(QDir::Files).size(), 8);
        }
    }

    // kestrum-backup on a server configuration, the DBURI of the Kestrum.ini beside the
    // tools: the backup is checked, the configuration on the server goes to a backup beside
    // the program, then is replaced in one transaction; refused while another Kestrum is
    // connected, unless forced. A refusal changes neither the server nor the backups.
    void serverRestore_data() {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("restore") << "" << QStringList() << 0 << "";
        QTest::newRow("another Kestrum connected")
            << "connected" << QStringList() << 1 << "Kestrum is connected to";
        QTest::newRow("forced under another Kestrum")
            << "connected" << QStringList{"--force"} << 0 << "";
        QTest::newRow("damaged backup")
            << "corrupted" << QStringList() << 1 << "cannot be restored";
        QTest::newRow("a path") << "" << QStringList{"--name", "../DNC.mdb"} << 1 << "is a path";
    }
    void serverRestore() {
        QFETCH(QString, setUp);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QString error;
        const QString uri = FreshServerDatabase(&error);
        QVERIFY2(!uri.isEmpty(), qPrintable(error));
        BackupPlant plant;
        QVERIFY(plant.IsValid());
        QVERIFY(plant.Write("prog/Kestrum.ini", "[ADMIN]\r\nDBURI=" + uri.toUtf8() + "\r\n"));
        const QString backups = plant.Path("prog/Backups");  // a server's are beside the tools
        QVERIFY(QDir().mkpath(backups));
        QVERIFY(BackupPlant::MakeConfiguration(backups + '/' + kGood, "OLD"));
        if (setUp == QLatin1String("corrupted")) {
            QVERIFY(plant.Write("prog/Backups/" + kGood,
                                Spoiled(plant.Read("prog/Backups/" + kGood), setUp)));
        }
        // On the server: NOW with two clients, the second deleted (its key is used up).
        DatabaseConnection server(QStringLiteral("server-restore"));
        QVERIFY2(OpenDatabaseAt(server, uri, &error), qPrintable(error));
        const auto rows = [&](const QString& sql) {
            QSqlQuery query(server.Database());
            QStringList values;
            if (!query.exec(sql)) {
                return QStringList{QStringLiteral("failed: ") + query.lastError().text()};
            }
            while (query.next()) {
                values << query.value(0).toString();
            }
            return values;
        };
        QCOMPARE(rows("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('NOW')"), QStringList());
        QCOMPARE(rows("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) VALUES "
                      "('NOW_LATHE', 1), ('NOW_MILL', 1)"),
                 QStringList());
        QCOMPARE(rows("DELETE FROM t_dnc_server_clients WHERE client_name = 'NOW_MILL'"),
                 QStringList());
        const QString user = rows("SELECT current_user").value(0);
        server.Close();  // this test's connection is not another Kestrum
        std::optional<DatabaseConnection> other;
        if (setUp == QLatin1String("connected")) {
            other.emplace(QStringLiteral("other-kestrum"));
            QVERIFY2(OpenDatabaseAt(*other, uri, &error), qPrintable(error));
        }

        const QString name = options.contains("--name") ? options.takeLast() : kGood;
        options.removeAll("--name");
        const QMap<QString, QString> before = Snapshot(backups);
        const ToolRun run = RunProgram(plant.Program(ToolProgram("backup")),
                                       QStringList{"restore", name} + options);
        const QMap<QString, QString> after = Snapshot(backups);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (other && exitCode != 0) {
            // Who is connected, and from where.
            QVERIFY2(run.err.contains(user + " from "), qPrintable(run.err));
        }
        other.reset();

        QVERIFY2(OpenDatabaseAt(server, uri, &error), qPrintable(error));
        const QStringList changes = Changes(before, after);
        if (exitCode != 0) {
            QCOMPARE(rows("SELECT client_name FROM t_dnc_server_clients"),
                     QStringList{"NOW_LATHE"});
            QCOMPARE(changes, QStringList());
        } else {
            QCOMPARE(rows("SELECT client_name FROM t_dnc_server_clients"),
                     QStringList{"OLD_LATHE"});
            // The undo copy holds the configuration as it was, and the list shows both.
            QCOMPARE(changes.size(), 1);
            QVERIFY2(changes.first().startsWith("+DNC_"), qPrintable(changes.first()));
            const QStringList dump = DumpDatabase(backups + '/' + changes.first().mid(1));
            QCOMPARE(dump.filter("_LATHE"), dump.filter("NOW_LATHE"));
            QCOMPARE(dump.filter("NOW_LATHE").size(), 1);
            const ToolRun list = RunProgram(plant.Program(ToolProgram("backup")), {"list"});
            QCOMPARE(list.out, changes.first().mid(1) + '\n' + kGood + '\n');
            // No key handed out before the restore is handed out again.
            QCOMPARE(rows("INSERT INTO t_dnc_server_clients (client_name, dnc_server_id) "
                          "VALUES ('NEW', 1) RETURNING client_id"),
                     QStringList{"3"});
        }
        server.Close();
    }

    // kestrum-dncadmin keeps the DNCAdmin.ini it replaces; the pruning after it keeps
    // BACKUPKEEP copies of that folder's file, the one just made among them even when another
    // is dated later, and touches neither the copies of a folder whose name starts alike nor
    // the user's files.
    void dncAdminCopiesPrunedPerFolder() {
        BackupPlant plant(1);
        QVERIFY(plant.IsValid());
        QVERIFY(ExecOn(plant.Database(), "UPDATE t_dnc_servers SET dnc_server_name = 'CNCSRV1'"));
        QVERIFY(plant.Write("T.ini", "[ADMIN]\r\nLINES_DISPLAYED=64\r\n"));
        QVERIFY(QDir().mkpath(plant.Path("DNC")));
        QVERIFY(plant.Write("DNC/DNCAdmin.ini", "[OLD]\r\n"));
        const QStringList others = {"DNCAdmin_DNC_SRV1_2019-01-01_00-00-00Z.ini",
                                    "DNCAdmin_DNC_SRV1_2019-01-02_00-00-00Z.ini",
                                    "DNCAdmin_DNC_mine.ini", "DNCAdmin_DNC_2019-01-01.ini"};
        const QStringList older = {"DNCAdmin_DNC_2019-01-01_00-00-00Z.ini",
                                   "DNCAdmin_DNC_2099-01-01_00-00-00Z.ini"};
        for (const QString& name : others + older) {
            QVERIFY(plant.Write("data/Backups/" + name, name.toUtf8()));
        }
        const QString tool = plant.Program(ToolProgram("dncadmin"));
        const QMap<QString, QString> before = Snapshot(plant.Root());
        const ToolRun run =
            RunProgram(tool, {"export", "--db", plant.Database(), "--server", "CNCSRV1", "--base",
                              plant.Path("T.ini"), "--out", plant.Path("DNC/DNCAdmin.ini")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString unexpected =
            UnexpectedChanges(Changes(before, Snapshot(plant.Root())),
                              {"~DNC/DNCAdmin.ini", "+data/Backups/DNCAdmin_DNC_2*Z.ini",
                               "-data/Backups/" + older.at(0), "-data/Backups/" + older.at(1)});
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected));
        const QStringList copies = QDir(plant.Backups()).entryList(QDir::Files);
        for (const QString& name : others) {
            QVERIFY2(copies.contains(name), qPrintable(name));
        }
        const QStringList made = copies.filter(QRegularExpression("^DNCAdmin_DNC_20.*Z\\.ini$"));
        QCOMPARE(made.size(), 1);
        QCOMPARE(plant.Read("data/Backups/" + made.first()), QByteArray("[OLD]\r\n"));
    }

    // Names are Kestrum's only as Kestrum writes them, read from the end (a folder name may
    // hold "_" and even a date).
    void backupNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("prefix");  // empty: not Kestrum's
        QTest::addColumn<int>("sequence");
        QTest::newRow("plain") << "DNC_2026-12-07_11-28-47Z.ini"
                               << "DNC" << 1;
        QTest::newRow("second of a second") << "DNC_2026-12-07_11-28-47Z_02.ini"
                                            << "DNC" << 2;
        QTest::newRow("hundredth") << "DNC_2026-12-07_11-28-47Z_100.ini"
                                   << "DNC" << 100;
        QTest::newRow("folder with _") << "DNCAdmin_DNC_SRV1_2026-12-07_11-28-47Z.ini"
                                       << "DNCAdmin_DNC_SRV1" << 1;
        QTest::newRow("folder with a date")
            << "DNCAdmin_X_2020-01-01_00-00-00Z_2026-12-07_11-28-47Z_03.ini"
            << "DNCAdmin_X_2020-01-01_00-00-00Z" << 3;
        for (const char* foreign :
             {"DNC_2026-12-07_11-28-47Z_01.ini", "DNC_2026-12-07_11-28-47Z_2.ini",
              "DNC_2026-12-07_11-28-47Z_007.ini", "DNC_2026-02-30_11-28-47Z.ini",
              "DNC_2026-12-07_24-00-00Z.ini", "DNC_2026-12-07_11-28-47.ini",
              "DNC_2026-12-07_11-28-47z.ini", "DNC_2026-12-07_11-28-47Z.INI",
              "DNC_2026-12-07_11-28-47Z .ini", "_2026-12-07_11-28-47Z.ini", "DNC_mine.ini"}) {
            QTest::newRow(foreign) << foreign << "" << 0;
        }
    }
    void backupNames() {
        QFETCH(QString, name);
        QFETCH(QString, prefix);
        QFETCH(int, sequence);
        const std::optional<BackupName> parsed = ParseBackupName(name, ".ini");
        QCOMPARE(parsed.has_value(), !prefix.isEmpty());
        if (parsed) {
            QCOMPARE(parsed->prefix, prefix);
            QCOMPARE(parsed->sequence, sequence);
            QCOMPARE(parsed->FileName(), name);
        }
    }
};

KESTRUM_TEST(TestBackupTool)
#include "tst_backup.moc"
